#include "frmAbout.h"

#include "SystemRoutines.h"
#include "modShell.h"

namespace kestrel {

frmAbout::frmAbout(frmAboutControls controls) : c(controls) {
  c.lblVersion.Caption(VersionDesignText);
}

void frmAbout::Form_Load() {
  // The running executable's own path: Linux programs carry no ".exe".
  const std::string exe = c.appInfo.ExePath();
  LocalTime changed;
  if (FileExists(exe) && FileLastChange(exe, changed))
    c.lblVersion.Caption("Version " + std::to_string(c.appInfo.VersionMajor()) + "." +
                         std::to_string(c.appInfo.VersionMinor()) + "." +
                         std::to_string(c.appInfo.VersionRevision()) + " - " +
                         c.clock.DayName(changed.weekday) + " " +
                         c.clock.MonthShortName(changed.month) + " " + std::to_string(changed.day) +
                         ", " + std::to_string(changed.year));
  mWidth = Image2Width;
  mTop = static_cast<std::int16_t>(Image2Height + 100);
}

void frmAbout::Form_Activate() {
  c.tmrClose.Interval(CloseAfterMs);
}

void frmAbout::Form_DblClick() {
  c.tmrClose.Interval(0);
  c.form.Unload();
}

void frmAbout::cmdWebsite_Click() {
  ShellOpen(c.shell, WebsiteAddress);
  c.tmrClose.Interval(CloseAfterMs);
}

void frmAbout::cmdOK_Click(std::int16_t Index) {
  if (Index == 0)
    c.form.Unload();
}

void frmAbout::tmrClose_Timer() {
  c.tmrClose.Interval(0);
  c.form.Unload();
}

} // namespace kestrel
