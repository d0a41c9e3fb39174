#include "ToolsMenu.h"

#include "PosixFile.h"
#include "SystemRoutines.h"
#include "ToolsText.h"
#include "clsSerialPortConfigINI.h"

#include <cerrno>

namespace kestrel {

ToolsMenu::ToolsMenu(ToolsMenuControls controls)
    : mControls(std::move(controls)), mSender(mControls.MSComm1) {
  mControls.tmrReconnect.OnTimer([this] { tmrReconnect_Timer(); });
  mControls.tmrBreak.OnTimer([this] { tmrBreak_Timer(); });
  mControls.tmrSendFile.OnTimer([this] { tmrSendFile_Timer(); });
  mControls.tmrLineLevels.OnTimer([this] { tmrLineLevels_Timer(); });
  mControls.mnuToolsReconnect.Checked(mControls.choices.Flag("Reconnect"));
}

ToolsMenu::~ToolsMenu() {
  for (ITimer *t : {&mControls.tmrReconnect, &mControls.tmrBreak, &mControls.tmrSendFile,
                    &mControls.tmrLineLevels}) {
    t->Interval(0);
    t->OnTimer(nullptr);
  }
}

void ToolsMenu::cmdOpenPort_Click() {
  if (!mWaiting) {
    mControls.top.cmdOpenPort_Click();
    return;
  }
  StopWaiting();
}

void ToolsMenu::MSComm1_Closed() {
  mControls.top.EndCutLine();
  if (!mControls.mnuToolsReconnect.Checked()) {
    mControls.top.MSComm1_Closed();
    return;
  }
  mWaiting = true;
  mLostPort = mControls.MSComm1.CommPort();
  mLostSettings = mControls.MSComm1.Settings();
  mLostRts = mControls.MSComm1.RTSEnable();
  StatusLine("Device Disconnected");
  mControls.top.PortStatusShow(frmTop::PortShown::WaitingForDevice);
  mControls.top.PortStatusUpdate();
  mControls.tmrReconnect.Interval(kReconnectMs);
}

// The port that was lost, and no other, is opened again, at the settings
// Serial.ini holds for it now; the open drops RTS as every open does, so the
// line is raised again where it was high before the loss, as its menu item
// still shows.
void ToolsMenu::tmrReconnect_Timer() {
  if (!mWaiting || !mControls.top.SerialConfig()) {
    mControls.tmrReconnect.Interval(0);
    return;
  }
  if (!mControls.top.SerialConfig()->ComPortReopen(mLostPort, mLostSettings))
    return;
  if (mLostRts)
    (void)mControls.MSComm1.RTSEnable(true);
  mControls.tmrReconnect.Interval(0);
  mWaiting = false;
  mControls.top.PortStatusUpdate();
  mControls.top.PortStatusShow(frmTop::PortShown::Active);
  StatusLine("Device Reconnected");
}

void ToolsMenu::StopWaiting() {
  mControls.tmrReconnect.Interval(0);
  mWaiting = false;
  mControls.top.PortStatusUpdate(true, false);
  mControls.top.PortStatusShow(frmTop::PortShown::Closed);
}

void ToolsMenu::mnuToolsReconnect_Click() {
  mControls.mnuToolsReconnect.Checked(!mControls.mnuToolsReconnect.Checked());
  if (!mControls.mnuToolsReconnect.Checked() && mWaiting)
    StopWaiting();
  Remember(mControls.choices.Flag("Reconnect", mControls.mnuToolsReconnect.Checked()));
}

// The choice holds for this run either way; the user learns that the next
// start will not have it.
void ToolsMenu::Remember(const IniResult &saved) {
  if (!saved.ok)
    mControls.messageBox.Show("The choice could not be remembered for the next start: " +
                                  saved.error,
                              mControls.appInfo.ExeName() + " - Tools", MessageIcon::Exclamation);
}

// The window has ended a line cut short by the loss, so the status line
// stands on its own line.
void ToolsMenu::StatusLine(const std::string &text) {
  mControls.top.AddStatusMessageToDisplay(text + "\n");
}

// Refused while a file is sending: the paste would land inside its bytes.
void ToolsMenu::mnuToolsPaste_Click(const std::u32string &text) {
  const std::string title = mControls.appInfo.ExeName() + " - Paste to Port";
  if (!mControls.MSComm1.PortOpen()) {
    mControls.messageBox.Show("Open the port before pasting to it.", title,
                              MessageIcon::Exclamation);
    return;
  }
  // Told as a refused key is, so the port's state comes back when the file is out.
  if (mControls.top.TypingRefused(kPasteHeld))
    return;
  // What an earlier paste left out is no news once the next one is asked for.
  mControls.top.StatusNoteEnd(mPasteNote);
  mPasteNote.clear();
  if (text.empty())
    return;
  PastedBytes pasted = PasteToBytes(text);
  if (pasted.bytes.size() > kPasteAskBytes &&
      !mControls.question.Ask("The text to paste is " + std::to_string(pasted.bytes.size()) +
                                  " characters long. Send all of it to the port?",
                              title))
    return;
  // The question's event loop may have seen the port go, or a file start.
  if (!mControls.MSComm1.PortOpen()) {
    mControls.messageBox.Show("The port closed before the text was sent.", title,
                              MessageIcon::Exclamation);
    return;
  }
  if (mControls.top.TypingRefused(kPasteHeld))
    return;
  if (mTyping)
    mTyping->SendTyped(pasted.bytes);
  else
    mControls.MSComm1.Output(pasted.bytes);
  if (pasted.leftOut > 0) {
    mPasteNote = "Paste to Port: " + std::to_string(pasted.leftOut) +
                 (pasted.leftOut == 1 ? " character" : " characters") +
                 " left out (not in Latin-1)";
    mControls.top.StatusNote(mPasteNote);
  }
}

void ToolsMenu::mnuToolsSendFile_Click() {
  const std::string title = mControls.appInfo.ExeName() + " - Send File";
  if (mSender.Status() == FileSender::State::Sending)
    return;
  if (!mControls.MSComm1.PortOpen()) {
    mControls.messageBox.Show("Open the port before sending a file.", title,
                              MessageIcon::Exclamation);
    return;
  }
  std::string path;
  if (!mControls.cdlgSendFile.Choose("Send File", path) || path.empty())
    return;
  if (int err = mSender.Open(path)) {
    if (err == EISDIR || err == ENODEV)
      mControls.messageBox.Show(path + (err == EISDIR ? " is a folder" : " is a FIFO or device") +
                                    ", not a file. Choose a file to send.",
                                title, MessageIcon::Exclamation);
    else
      mControls.messageBox.Show("Unable to read the file " + path + ".", title,
                                MessageIcon::Exclamation, SystemErrorText(err));
    return;
  }
  // The chooser's event loop may have seen the port go.
  if (!mControls.MSComm1.PortOpen()) {
    mSender.Cancel();
    mControls.messageBox.Show("The port closed before " + SplitPath(path).name + " was sent.",
                              title, MessageIcon::Exclamation);
    return;
  }
  mSendName = SplitPath(path).name;
  mSendStart = mLastProgress = mControls.milliseconds();
  mControls.sendProgress.Show(mSendName);
  mControls.sendProgress.Progress(0, SendProgressText(0, mSender.Size(), 0));
  mControls.tmrSendFile.Interval(kSendTickMs);
  mControls.top.TypingHeld(kTypingHeld);
  tmrSendFile_Timer();
}

void ToolsMenu::tmrSendFile_Timer() {
  FileSender::State state = mSender.Pump();
  std::int64_t now = mControls.milliseconds();
  if (state == FileSender::State::Sending) {
    if (now - mLastProgress >= 100) {
      mLastProgress = now;
      std::uint64_t sent = mSender.Sent();
      int perMille = mSender.Size() == 0 ? 1000 : static_cast<int>(sent * 1000 / mSender.Size());
      mControls.sendProgress.Progress(perMille,
                                      SendProgressText(sent, mSender.Size(), now - mSendStart));
    }
    return;
  }
  SendFinished();
}

void ToolsMenu::SendFinished() {
  mControls.tmrSendFile.Interval(0);
  mControls.top.TypingHeld("");
  mControls.sendProgress.Close();
  const std::string title = mControls.appInfo.ExeName() + " - Send File";
  switch (mSender.Status()) {
  case FileSender::State::PortClosed:
    mControls.messageBox.Show("The port closed before all of " + mSendName + " was sent.", title,
                              MessageIcon::Exclamation);
    break;
  case FileSender::State::ReadFailed:
    mControls.messageBox.Show("Reading " + mSendName + " failed; the rest was not sent.", title,
                              MessageIcon::Exclamation, SystemErrorText(mSender.ReadError()));
    break;
  case FileSender::State::SizeChanged:
    // A file of /proc says it is empty and still has something to read.
    if (mSender.NewSize() == mSender.Size()) {
      mControls.messageBox.Show(mSendName + " is longer than the " +
                                    std::to_string(mSender.Size()) +
                                    " bytes the system says it holds, so it cannot be sent as it "
                                    "stands. Sending stopped after " +
                                    std::to_string(mSender.SentWhenStopped()) + " bytes.",
                                title, MessageIcon::Exclamation);
      break;
    }
    mControls.messageBox.Show(mSendName + " changed size while it was being sent (" +
                                  std::to_string(mSender.Size()) + " bytes when chosen, " +
                                  std::to_string(mSender.NewSize()) +
                                  " bytes now). Sending stopped after " +
                                  std::to_string(mSender.SentWhenStopped()) + " bytes.",
                              title, MessageIcon::Exclamation);
    break;
  case FileSender::State::Changed:
    mControls.messageBox.Show(mSendName +
                                  " was written again while it was being sent. Sending stopped "
                                  "after " +
                                  std::to_string(mSender.SentWhenStopped()) + " bytes.",
                              title, MessageIcon::Exclamation);
    break;
  default:
    break;
  }
}

void ToolsMenu::cmdSendCancel_Click() {
  mSender.Cancel();
  mControls.tmrSendFile.Interval(0);
  mControls.top.TypingHeld("");
  mControls.sendProgress.Close();
}

// A break while a file goes out would take the bytes the line is shifting meanwhile.
void ToolsMenu::mnuToolsSendBreak_Click() {
  if (!mControls.MSComm1.PortOpen() || mControls.tmrBreak.Interval() != 0)
    return;
  if (mControls.top.TypingRefused(kBreakHeld))
    return;
  if (mControls.MSComm1.Break(true) == comNoError)
    mControls.tmrBreak.Interval(kBreakMs);
}

void ToolsMenu::tmrBreak_Timer() {
  mControls.tmrBreak.Interval(0);
  if (mControls.MSComm1.PortOpen())
    mControls.MSComm1.Break(false);
}

void ToolsMenu::mnuToolsLineLevels_Click() {
  mControls.mnuToolsLineLevels.Checked(!mControls.mnuToolsLineLevels.Checked());
  bool shown = mControls.mnuToolsLineLevels.Checked();
  mControls.tmrLineLevels.Interval(shown ? kLevelsTickMs : 0);
  mLevelsShownOnce = false;
  if (shown)
    tmrLineLevels_Timer();
  mControls.lineLevels.Visible(shown);
}

void ToolsMenu::LineLevels_Closed() {
  mControls.mnuToolsLineLevels.Checked(false);
  mControls.tmrLineLevels.Interval(0);
}

// Polled at the pace the control reads the lines; the view is told only of
// changes, so an idle window costs nothing to draw.
void ToolsMenu::tmrLineLevels_Timer() {
  ModemLines levels;
  bool enabled = mControls.MSComm1.LineLevels(levels) != comPortNotOpen;
  if (mLevelsShownOnce && levels == mShownLevels && enabled == mShownEnabled)
    return;
  mLevelsShownOnce = true;
  mShownLevels = levels;
  mShownEnabled = enabled;
  mControls.lineLevels.Levels(levels, enabled);
}

} // namespace kestrel
