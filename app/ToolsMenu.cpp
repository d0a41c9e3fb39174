#include "ToolsMenu.h"

#include "PosixFile.h"
#include "SystemRoutines.h"
#include "ToolsText.h"
#include "clsSerialPortConfigINI.h"

namespace kestrel {

ToolsMenu::ToolsMenu(ToolsMenuControls controls) : c(std::move(controls)), mSender(c.MSComm1) {
  c.tmrReconnect.OnTimer([this] { tmrReconnect_Timer(); });
  c.tmrBreak.OnTimer([this] { tmrBreak_Timer(); });
  c.tmrSendFile.OnTimer([this] { tmrSendFile_Timer(); });
  c.tmrLineLevels.OnTimer([this] { tmrLineLevels_Timer(); });
}

ToolsMenu::~ToolsMenu() {
  for (ITimer *t : {&c.tmrReconnect, &c.tmrBreak, &c.tmrSendFile, &c.tmrLineLevels}) {
    t->Interval(0);
    t->OnTimer(nullptr);
  }
}

void ToolsMenu::cmdOpenPort_Click() {
  if (!mWaiting) {
    c.top.cmdOpenPort_Click();
    return;
  }
  StopWaiting();
}

void ToolsMenu::MSComm1_Closed() {
  if (!c.mnuToolsReconnect.Checked()) {
    c.top.MSComm1_Closed();
    return;
  }
  mWaiting = true;
  StatusLine("Device Disconnected");
  c.top.PortStatusShow(frmTop::PortShown::WaitingForDevice);
  c.top.PortStatusUpdate();
  c.tmrReconnect.Interval(kReconnectMs);
}

// The store opens with what Serial.ini holds now, as the port button does.
void ToolsMenu::tmrReconnect_Timer() {
  if (!mWaiting || !c.top.SerialConfig()) {
    c.tmrReconnect.Interval(0);
    return;
  }
  c.top.SerialConfig()->ComPortOpen(true);
  if (!c.MSComm1.PortOpen())
    return;
  c.tmrReconnect.Interval(0);
  mWaiting = false;
  c.top.PortStatusUpdate();
  c.top.PortStatusShow(frmTop::PortShown::Active);
  StatusLine("Device Reconnected");
}

void ToolsMenu::StopWaiting() {
  c.tmrReconnect.Interval(0);
  mWaiting = false;
  c.top.PortStatusUpdate(true, false);
  c.top.PortStatusShow(frmTop::PortShown::Closed);
}

void ToolsMenu::mnuToolsReconnect_Click() {
  c.mnuToolsReconnect.Checked(!c.mnuToolsReconnect.Checked());
  if (!c.mnuToolsReconnect.Checked() && mWaiting)
    StopWaiting();
}

// A line cut short by the loss is ended first, so the status line stands on
// its own line as a line event at a line start does.
void ToolsMenu::StatusLine(const std::string &text) {
  std::string_view shown = c.rtfData.Text();
  bool partial = !shown.empty() && !shown.ends_with("\r\n");
  c.top.AddStatusMessageToDisplay((partial ? "\n" : "") + text + "\n");
}

void ToolsMenu::mnuToolsPaste_Click(const std::u32string &text) {
  if (!c.MSComm1.PortOpen() || text.empty())
    return;
  PastedBytes pasted = PasteToBytes(text);
  if (pasted.bytes.size() > kPasteAskBytes &&
      !c.question.Ask("The text to paste is " + std::to_string(pasted.bytes.size()) +
                          " characters long. Send all of it to the port?",
                      c.appInfo.ExeName() + " - Paste to Port"))
    return;
  // The question's event loop may have seen the port go.
  if (!c.MSComm1.PortOpen())
    return;
  c.MSComm1.Output(pasted.bytes);
  if (pasted.leftOut > 0)
    c.top.StatusNote("Paste to Port: " + std::to_string(pasted.leftOut) +
                     (pasted.leftOut == 1 ? " character" : " characters") +
                     " left out (not in Latin-1)");
}

void ToolsMenu::mnuToolsSendFile_Click() {
  const std::string title = c.appInfo.ExeName() + " - Send File";
  if (mSender.Status() == FileSender::State::Sending)
    return;
  if (!c.MSComm1.PortOpen()) {
    c.messageBox.Show("Open the port before sending a file.", title, MessageIcon::Exclamation);
    return;
  }
  std::string path;
  if (!c.cdlgSendFile.Choose("Send File", path) || path.empty())
    return;
  if (int err = mSender.Open(path)) {
    c.messageBox.Show("Unable to read the file " + path + ".", title, MessageIcon::Exclamation,
                      SystemErrorText(err));
    return;
  }
  // The chooser's event loop may have seen the port go.
  if (!c.MSComm1.PortOpen()) {
    mSender.Cancel();
    return;
  }
  mSendName = SplitPath(path).name;
  mSendStart = mLastProgress = c.milliseconds();
  c.sendProgress.Show(mSendName);
  c.sendProgress.Progress(0, SendProgressText(0, mSender.Size(), 0));
  c.tmrSendFile.Interval(kSendTickMs);
  tmrSendFile_Timer();
}

void ToolsMenu::tmrSendFile_Timer() {
  FileSender::State state = mSender.Pump();
  std::int64_t now = c.milliseconds();
  if (state == FileSender::State::Sending) {
    if (now - mLastProgress >= 100) {
      mLastProgress = now;
      std::uint64_t sent = mSender.Sent();
      int perMille = mSender.Size() == 0 ? 1000 : static_cast<int>(sent * 1000 / mSender.Size());
      c.sendProgress.Progress(perMille, SendProgressText(sent, mSender.Size(), now - mSendStart));
    }
    return;
  }
  SendFinished();
}

void ToolsMenu::SendFinished() {
  c.tmrSendFile.Interval(0);
  c.sendProgress.Close();
  const std::string title = c.appInfo.ExeName() + " - Send File";
  switch (mSender.Status()) {
  case FileSender::State::PortClosed:
    c.messageBox.Show("The port closed before all of " + mSendName + " was sent.", title,
                      MessageIcon::Exclamation);
    break;
  case FileSender::State::ReadFailed:
    c.messageBox.Show("Reading " + mSendName + " failed; the rest was not sent.", title,
                      MessageIcon::Exclamation, SystemErrorText(mSender.ReadError()));
    break;
  default:
    break;
  }
}

void ToolsMenu::cmdSendCancel_Click() {
  mSender.Cancel();
  c.tmrSendFile.Interval(0);
  c.sendProgress.Close();
}

void ToolsMenu::mnuToolsSendBreak_Click() {
  if (!c.MSComm1.PortOpen() || c.tmrBreak.Interval() != 0)
    return;
  if (c.MSComm1.Break(true) == comNoError)
    c.tmrBreak.Interval(kBreakMs);
}

void ToolsMenu::tmrBreak_Timer() {
  c.tmrBreak.Interval(0);
  if (c.MSComm1.PortOpen())
    c.MSComm1.Break(false);
}

void ToolsMenu::mnuToolsLineLevels_Click() {
  c.mnuToolsLineLevels.Checked(!c.mnuToolsLineLevels.Checked());
  bool shown = c.mnuToolsLineLevels.Checked();
  c.tmrLineLevels.Interval(shown ? kLevelsTickMs : 0);
  mLevelsShownOnce = false;
  if (shown)
    tmrLineLevels_Timer();
  c.lineLevels.Visible(shown);
}

void ToolsMenu::LineLevels_Closed() {
  c.mnuToolsLineLevels.Checked(false);
  c.tmrLineLevels.Interval(0);
}

// Polled at the pace the control reads the lines; the view is told only of
// changes, so an idle window costs nothing to draw.
void ToolsMenu::tmrLineLevels_Timer() {
  ModemLines levels;
  bool enabled = c.MSComm1.LineLevels(levels) != comPortNotOpen;
  if (mLevelsShownOnce && levels == mShownLevels && enabled == mShownEnabled)
    return;
  mLevelsShownOnce = true;
  mShownLevels = levels;
  mShownEnabled = enabled;
  c.lineLevels.Levels(levels, enabled);
}

} // namespace kestrel
