#include "frmAbout.h"

#include "SystemRoutines.h"
#include "modShell.h"

namespace kestrel {

frmAbout::frmAbout(frmAboutControls controls) : mControls(controls) {
  mControls.lblVersion.Caption(VersionDesignText);
}

void frmAbout::Form_Load() {
  // The running executable's own path: Linux programs carry no ".exe".
  const std::string exe = mControls.appInfo.ExePath();
  LocalTime changed;
  if (FileExists(exe) && FileLastChange(exe, changed))
    mControls.lblVersion.Caption("Version " + std::to_string(mControls.appInfo.VersionMajor()) +
                                 "." + std::to_string(mControls.appInfo.VersionMinor()) + "." +
                                 std::to_string(mControls.appInfo.VersionRevision()) + " - " +
                                 mControls.clock.DayName(changed.weekday) + " " +
                                 mControls.clock.MonthShortName(changed.month) + " " +
                                 std::to_string(changed.day) + ", " + std::to_string(changed.year));
  mWidth = Image2Width;
  mTop = static_cast<std::int16_t>(Image2Height + 100);
}

void frmAbout::Form_Activate() {
  mControls.tmrClose.Interval(CloseAfterMs);
}

void frmAbout::Form_DblClick() {
  mControls.tmrClose.Interval(0);
  mControls.form.Unload();
}

void frmAbout::cmdWebsite_Click() {
  ShellOpen(mControls.shell, WebsiteAddress);
  mControls.tmrClose.Interval(CloseAfterMs);
}

void frmAbout::cmdOK_Click(std::int16_t Index) {
  if (Index == 0)
    mControls.form.Unload();
}

void frmAbout::tmrClose_Timer() {
  mControls.tmrClose.Interval(0);
  mControls.form.Unload();
}

} // namespace kestrel
