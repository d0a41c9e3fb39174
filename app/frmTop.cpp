#include "frmTop.h"

#include "LogFile.h"
#include "TextStyle.h"
#include "clsSerialPortConfigINI.h"
#include "frmAbout.h"
#include "frmConfigSerial.h"

#include <cstdio>

namespace kestrel {

namespace {

constexpr std::int32_t kLineClearCount = 500;
constexpr std::size_t kLogLineLimit = 500;

// Splits received text into runs of printable characters, line feeds and
// other bytes, handed on in order; the one scan that the display and the log
// both follow.
template <class Run, class LineEnd, class Code>
void ForEachPiece(std::string_view text, Run run, LineEnd lineEnd, Code code) {
  const char *p = text.data();
  const char *const end = p + text.size();
  while (p < end) {
    const auto ch = static_cast<unsigned char>(*p);
    if (IsPrintable(ch)) {
      const char *runEnd = p + 1;
      while (runEnd < end && IsPrintable(static_cast<unsigned char>(*runEnd)))
        ++runEnd;
      run(std::string_view(p, static_cast<std::size_t>(runEnd - p)));
      p = runEnd;
    } else {
      ++p;
      if (ch == '\n')
        lineEnd();
      else
        code(ch);
    }
  }
}

} // namespace

frmTop::frmTop(frmTopControls controls)
    : mControls(controls), mDisplay(mControls.rtfData, mControls.chkAutoClear, mControls.txtSize) {
  mControls.rtfData.OnChange([this] { rtfData_Change(); });
}

frmTop::~frmTop() {
  mControls.rtfData.OnChange(nullptr);
}

void frmTop::Form_Load() {
  mSerialConfig = std::make_unique<clsSerialPortConfigINI>();
  mSerialConfig->FileNameINI("Serial.ini");
  mSerialConfig->ComControl(&mControls.MSComm1);
  ComControlInitialize();
  StatusBarUpdate();
  mControls.rtfData.Text(mControls.appInfo.ExeName() + " Started " +
                         mControls.clock.DefaultDateTimeText(mControls.clock.Now()) +
                         std::string(kLineBreak));
  mLineStart = true;
}

void frmTop::Form_Terminate() {
  mSerialConfig.reset();
}

void frmTop::mnuFileEnd_Click() {
  mControls.host.End();
}

void frmTop::cmdClearDisplay_Click() {
  mControls.rtfData.Text("");
}

void frmTop::mnuOptionAddTime_Click() {
  mControls.mnuOptionAddTime.Checked(!mControls.mnuOptionAddTime.Checked());
}

void frmTop::mnuOptionIgnorePinStatus_Click() {
  mControls.mnuOptionIgnorePinStatus.Checked(!mControls.mnuOptionIgnorePinStatus.Checked());
}

void frmTop::mnuOptionSerialPort_Click() {
  std::unique_ptr<IConfigSerialWindow> window = mControls.host.LoadConfigSerial();
  if (!window)
    return;
  window->Form().clsSerialPortConfig = mSerialConfig.get();
  // Devices come and go while the program runs; the scan opens nothing, so
  // the list is made afresh for every opening.
  if (mSerialConfig)
    (void)mSerialConfig->PortsFindAll(1, 20);
  window->Form().InitForm();
  window->ShowModal();
}

void frmTop::mnuHelpAbout_Click() {
  IAboutWindow &about = mControls.host.LoadAbout();
  about.Form().tmrClose().Interval(frmAbout::CloseAfterMs);
  about.ShowModeless();
}

void frmTop::ComControlInitialize() {
  mControls.MSComm1.RThreshold(1);
}

void frmTop::StatusPanelSet(std::int16_t index, const std::string &text, bool enabled) {
  mControls.sbTop.PanelText(index, text);
  mControls.sbTop.PanelEnabled(index, enabled);
  mControls.sbTop.Refresh();
}

void frmTop::StatusBarUpdate() {
  std::string port;
  std::string settings;
  if (!mSerialConfig || !mSerialConfig->SettingsRetrieve(port, settings)) {
    StatusPanelSet(2, " ", true);
  } else if (settings.empty()) {
    StatusPanelSet(2, " ", true);
    StatusPanelSet(1, "Please Update Your Serial Port Settings", true);
  } else {
    StatusPanelSet(2, "Com" + port + " - " + settings, mControls.MSComm1.PortOpen());
  }
}

bool frmTop::PortStatusUpdate(bool UpdatePort, bool PortOpen) {
  bool result = true;
  if (UpdatePort) {
    if (mSerialConfig) {
      mSerialConfig->ComPortOpen(PortOpen);
      result = mSerialConfig->ComPortOpen() == PortOpen;
    } else {
      result = mControls.MSComm1.PortOpen() == PortOpen;
    }
  }
  StatusBarUpdate();
  return result;
}

void frmTop::cmdOpenPort_Click() {
  if (!mControls.MSComm1.PortOpen()) {
    PortStatusUpdate(true, true);
    if (!mControls.MSComm1.PortOpen()) {
      mControls.messageBox.Show("Please Update Serial Port Information",
                                mControls.appInfo.ExeName() + " - Unable to Initialize Serial Port",
                                MessageIcon::Exclamation,
                                mSerialConfig ? mSerialConfig->LastOpenError() : std::string());
      StatusPanelSet(1, "Update Serial Port Configuration under Options", true);
      return;
    }
    PortStatusShow(PortShown::Active);
  } else {
    PortStatusUpdate(true, false);
    PortStatusShow(PortShown::Closed);
  }
}

void frmTop::PortStatusShow(PortShown state) {
  switch (state) {
  case PortShown::Active:
    StatusPanelSet(1, "Serial Port Active", true);
    mControls.cmdOpenPort.Caption("Close Port");
    break;
  case PortShown::Closed:
    StatusPanelSet(1, "Serial Port Closed", true);
    mControls.cmdOpenPort.Caption("Open Port");
    break;
  case PortShown::WaitingForDevice:
    StatusPanelSet(1, "Waiting for Device", true);
    mControls.cmdOpenPort.Caption("Close Port");
    break;
  }
}

void frmTop::StatusNote(const std::string &text) {
  StatusPanelSet(1, text, true);
}

void frmTop::StatusNoteEnd(const std::string &note) {
  if (!note.empty() && mControls.MSComm1.PortOpen() && mControls.sbTop.PanelText(1) == note)
    PortStatusShow(PortShown::Active);
}

void frmTop::TypingHeld(const std::string &why) {
  mTypingHeld = why;
  if (why.empty() && mTypingNoteShown && mControls.MSComm1.PortOpen())
    PortStatusShow(PortShown::Active);
  mTypingNoteShown = false;
}

bool frmTop::TypingRefused(const std::string &note) {
  if (mTypingHeld.empty())
    return false;
  StatusNote(note.empty() ? mTypingHeld : note);
  mTypingNoteShown = true;
  return true;
}

// Ended as a line feed would end it: shown, counted and logged, whether or
// not status lines are shown, since the line is the device's own. The display
// and the log are ended each by its own last line: hex rows, or a line feed
// followed by escape sequences only, leave the display's line ended and the
// log's open.
void frmTop::EndCutLine() {
  const std::string_view shown = mControls.rtfData.Text();
  if (!shown.empty() && !shown.ends_with(kLineBreak))
    ShowLineBreak();
  if (mLineOpen) {
    mLineOpen = false;
    LogLineOut();
  }
  EndOfCall();
}

void frmTop::MSComm1_Closed() {
  EndCutLine();
  PortStatusShow(PortShown::Closed);
  StatusBarUpdate();
}

void frmTop::MSComm1_OnComm() {
  switch (mControls.MSComm1.CommEvent()) {
  case comEvReceive:
    if (mReceivedBy)
      mReceivedBy(mControls.MSComm1.Input());
    else
      AddTextToDisplay(mControls.MSComm1.Input());
    break;
  case comEvCTS:
    AddStatusMessageToDisplay("CTS Changed State\n");
    break;
  case comEvDSR:
    AddStatusMessageToDisplay("DSR Changed State\n");
    break;
  case comEvCD:
    AddStatusMessageToDisplay("CD Changed State\n");
    break;
  case comEvRing:
    AddStatusMessageToDisplay("Ring Changed State\n");
    break;
  case comEventFrame:
    AddStatusMessageToDisplay("Error-Framing\n");
    break;
  case comEventOverrun:
    AddStatusMessageToDisplay("Error-Overrun\n");
    break;
  case comEventRxOver:
    AddStatusMessageToDisplay("Error-Rx Overflow\n");
    break;
  case comEventRxParity:
    AddStatusMessageToDisplay("Error-Parity\n");
    break;
  default:
    break;
  }
}

// Codes outside one byte cannot go out as one character and are not sent.
void frmTop::rtfData_KeyPress(std::int16_t &KeyAscii) {
  if (KeyAscii <= 0 || KeyAscii > 255 || !mControls.MSComm1.PortOpen())
    return;
  if (TypingRefused())
    return;
  mControls.MSComm1.Output(std::string(1, static_cast<char>(KeyAscii)));
}

void frmTop::mnuRTSLevel_Click() {
  mControls.mnuRTSLevel.Checked(!mControls.mnuRTSLevel.Checked());
  mControls.MSComm1.RTSEnable(mControls.mnuRTSLevel.Checked());
}

void frmTop::mnuDTRLevel_Click() {
  mControls.mnuDTRLevel.Checked(!mControls.mnuDTRLevel.Checked());
  mControls.MSComm1.DTREnable(mControls.mnuDTRLevel.Checked());
}

void frmTop::AddTextToDisplay(const std::string &sData) {
  ForEachPiece(
      sData,
      [this](std::string_view run) {
        StartDisplayLine();
        mDisplay.ShowPrintable(run);
        LogPrintable(run);
      },
      [this] {
        mLineOpen = false;
        mDisplay.RichTextAppend(kLineBreak);
        ++mLineCount;
        // Before the log's line goes out: a failed write's message box lets
        // other events show text, and the next line takes its prefix.
        mLineStart = true;
        LogLineOut();
      },
      [this](unsigned char ch) { LogCode(ch); });
  EndOfCall();
}

void frmTop::HistoryLines(std::size_t lines) {
  if (lines == 0 && mDisplay.HistoryLines() > 0)
    mLineCount = 0;
  mDisplay.HistoryLines(lines);
}

// The rules both formatters apply once per call, after its last character:
// the display is emptied past 500 line breaks, and a log line that grew past
// 500 characters without one goes out (or is dropped with logging off).
void frmTop::EndOfCall() {
  if (mLineCount > kLineClearCount && mDisplay.HistoryLines() == 0) {
    mControls.rtfData.Text("");
    mLineCount = 0;
  }
  if (mLogLine.size() > kLogLineLimit) {
    if (mLogEnabled)
      LogFileWrite(mLogFilePath, mLogLine, true);
    mLogLine.clear();
  }
}

void frmTop::AddTypedToDisplay(const std::string &sData) {
  const std::uint32_t previous = mControls.rtfData.Style();
  TextStyle typed = TextStyle::Unpacked(previous);
  typed.typed = true;
  mControls.rtfData.Style(typed.Packed());
  ForEachPiece(
      sData,
      [this](std::string_view run) {
        StartDisplayLine();
        mDisplay.ShowPrintable(run);
      },
      [this] { ShowLineBreak(); }, [](unsigned char) {});
  mControls.rtfData.Style(previous);
  EndOfCall();
}

void frmTop::AddStatusMessageToDisplay(const std::string &sData) {
  if (mControls.mnuOptionIgnorePinStatus.Checked())
    return;
  AddTextToDisplay(sData);
}

// Shows control codes as their tokens and honours backspace; it does not trim.
void frmTop::AddTextToDisplayA(const std::string &sData) {
  for (char byte : sData) {
    auto ch = static_cast<unsigned char>(byte);
    if (IsPrintable(ch)) {
      if (mLineStart && mControls.mnuOptionAddTime.Checked()) {
        TimeText();
        mControls.rtfData.AppendAtEnd(mTimePrefix);
        mLineStart = false;
      }
      mControls.rtfData.AppendAtEnd(std::string_view(&byte, 1));
      if (mLogEnabled)
        mLogLine += byte;
      mLineOpen = true;
    } else if (ch == '\n') {
      mLineOpen = false;
      mControls.rtfData.AppendAtEnd(kLineBreak);
      ++mLineCount;
      if (mLogEnabled) {
        LogFileWrite(mLogFilePath, mLogLine, true);
        mLogLine.clear();
      }
      mLineStart = true;
    } else if (ch == 8) {
      if (mControls.rtfData.Length() > 0) {
        std::string_view text = mControls.rtfData.Text();
        mControls.rtfData.Text(std::string(text.substr(0, text.size() - 1)));
      }
    } else if (ch != 13) {
      std::string_view token = CodeToken(ch);
      mControls.rtfData.AppendAtEnd(token);
      mLogLine.append(token);
      mLineOpen = true;
    }
  }

  EndOfCall();
}

void frmTop::StartDisplayLine() {
  if (mLineStart && mControls.mnuOptionAddTime.Checked()) {
    TimeText();
    mDisplay.AppendTracked(mTimePrefix);
    mLineStart = false;
  }
}

void frmTop::ShowPrintableRun(std::string_view run) {
  mDisplay.ShowPrintable(run);
}

void frmTop::ShowLineBreak() {
  mDisplay.RichTextAppend(kLineBreak);
  ++mLineCount;
  mLineStart = true;
}

void frmTop::CollectForLog(std::string_view received) {
  ForEachPiece(
      received, [this](std::string_view run) { LogPrintable(run); },
      [this] {
        mLineOpen = false;
        LogLineOut();
      },
      [this](unsigned char ch) { LogCode(ch); });
}

// The log's side of a received chunk. The line is collected whole even with
// logging off, so that the 500-character rule cuts the same lines either way
// and logging switched on mid-line writes the line the display shows; a line
// that ends unlogged is dropped, so none of it reaches a later line.
void frmTop::LogPrintable(std::string_view run) {
  mLogLine.append(run);
  mLineOpen = true;
}

void frmTop::LogLineOut() {
  if (mLogEnabled)
    LogFileWrite(mLogFilePath, mLogLine, true);
  mLogLine.clear();
}

void frmTop::LogCode(unsigned char ch) {
  if (ch != 8 && ch != 13) {
    mLogLine.append(CodeToken(ch));
    mLineOpen = true;
  }
}

// The formatted time is read again at once, so no stamp of the old form is
// handed out for the rest of the second.
void frmTop::Milliseconds(bool on) {
  mMilliseconds = on;
  mTimeKey = LocalTime{-1, 0, 0, 0, 0, 0, 0};
}

void frmTop::rtfData_Change() {
  if (!mControls.chkAutoClear.Value())
    return;
  double n = mDisplay.AutoClearLimit();
  if (n > 0 && n < static_cast<double>(mControls.rtfData.Length()))
    cmdClearDisplay_Click();
}

// The default extension is "txt", not "*.rtf": the log is plain text, the
// chooser's filter lists *.txt files, and a name typed without an extension
// should end in what the filter shows the next time, rather than claim to be
// rich text that no editor could open as such.
void frmTop::mnuFileLogFile_Click() {
  mControls.cdlgTop.DefaultExt("txt");
  mControls.cdlgTop.DialogTitle("Log Files");
  mControls.cdlgTop.Filter("Log Files (*.txt)|*.txt|All File (*.*)|*.*");
  mControls.cdlgTop.InitDir(mControls.appInfo.ExeFolder());
  if (mControls.cdlgTop.Show() == ChooserResult::Cancelled)
    return;
  std::string chosen = mControls.cdlgTop.FileName();
  if (!chosen.empty())
    mLogFilePath = chosen;
}

void frmTop::chkLogEnabled_Click() {
  if (mLogFilePath.empty())
    mnuFileLogFile_Click();
  if (mControls.chkLogEnabled.Value()) {
    UpdateLogCheckCaption();
  } else {
    mControls.chkLogEnabled.Caption("Log Disabled: " + mLogFilePath);
    mLogEnabled = false;
  }
}

void frmTop::UpdateLogCheckCaption() {
  if (mLogFilePath.empty())
    return;
  mLogEnabled = true;
  mControls.chkLogEnabled.Caption("Log Enabled: " + mLogFilePath);
  LogFileWrite(mLogFilePath, "*** Logging Started ***", true);
}

void frmTop::LogFileWrite(const std::string &LogFileName, const std::string &sText,
                          bool AddPrefixTime) {
  if (LogFileName.empty())
    return;
  if (AddPrefixTime)
    mLogBuffer = TimeText();
  else
    mLogBuffer = '\t';
  mLogBuffer += '\t';
  mLogBuffer += sText;
  mLogBuffer += kLineBreak;
  if (std::string error = AppendToFile(LogFileName, mLogBuffer); !error.empty())
    LogWriteFailed(LogFileName, error);
}

// "yyyy/mm/dd HH:MM:SS" (".mmm" after it when asked for), and the display's
// prefix: that and " - ".
const std::string &frmTop::TimeText() {
  LocalTime now = mMilliseconds ? mControls.clock.NowWithMilliseconds() : mControls.clock.Now();
  if (!(now == mTimeKey)) {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", now.year,
                          now.month, now.day, now.hour, now.minute, now.second);
    if (mMilliseconds && n > 0 && n < 40)
      n += std::snprintf(buffer + n, sizeof buffer - n, ".%03d", now.millisecond % 1000);
    mTimeText.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    mTimePrefix = mTimeText + " - ";
    mTimeKey = now;
  }
  return mTimeText;
}

// Logging goes off before the message shows, so nothing that runs while the
// box is open can try the file again and report the same failure twice.
void frmTop::LogWriteFailed(const std::string &LogFileName, const std::string &reason) {
  if (mLogEnabled) {
    mLogEnabled = false;
    mControls.chkLogEnabled.Value(false);
    mControls.chkLogEnabled.Caption("Log Disabled: " + mLogFilePath);
  }
  if (mReportingLogFailure)
    return;
  mReportingLogFailure = true;
  mControls.messageBox.Show(
      "Unable to write to the log file " + LogFileName + ". Logging has been switched off.",
      mControls.appInfo.ExeName() + " - Log File", MessageIcon::Exclamation, reason);
  mReportingLogFailure = false;
}

} // namespace kestrel
