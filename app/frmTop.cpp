#include "frmTop.h"

#include "SystemRoutines.h"
#include "Val.h"
#include "clsSerialPortConfigINI.h"
#include "frmAbout.h"
#include "frmConfigSerial.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {

constexpr std::size_t kDisplayLimit = 10000;
constexpr std::int32_t kLineClearCount = 500;
constexpr std::size_t kLogLineLimit = 500;
// The trim looks for the first line break at least this far past the length
// of the text being appended (counted from 0, so 100 for one character).
constexpr std::size_t kTrimSearchStart = 99;
constexpr std::string_view kLineBreak = "\r\n";

bool IsPrintable(unsigned char ch) {
  return ch >= 32 && ch <= 126;
}

// " <0xHH>" for every code, upper-case hexadecimal without leading zeros.
struct Token {
  char text[8];
  unsigned char length;
};

constexpr std::array<Token, 256> MakeTokens() {
  std::array<Token, 256> tokens{};
  constexpr char hex[] = "0123456789ABCDEF";
  for (int code = 0; code < 256; ++code) {
    Token &t = tokens[code];
    unsigned char n = 0;
    for (char ch : {' ', '<', '0', 'x'})
      t.text[n++] = ch;
    if (code >= 16)
      t.text[n++] = hex[code >> 4];
    t.text[n++] = hex[code & 15];
    t.text[n++] = '>';
    t.length = n;
  }
  return tokens;
}

constexpr std::array<Token, 256> kTokens = MakeTokens();

// Appends one line to the end of the file, creating it when missing. Returns
// the empty text or why not. The open never waits: a FIFO without a reader, a
// device or anything else that is no regular file is refused at once. A line
// that cannot be written whole is cut off again, so that the file holds whole
// lines only and the next line starts at a line's start; but only while what
// this program wrote is still the end of the file: a line another program
// appended meanwhile is never cut away with it.
std::string AppendToFile(const std::string &path, std::string_view bytes) {
  constexpr const char *kNotAFile = "it is a FIFO or device, not a file";
  // Looked at before the open: opening a serial device would raise its lines.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return S_ISDIR(st.st_mode) ? SystemErrorText(EISDIR) : kNotAFile;
  int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
  if (fd < 0)
    return errno == ENXIO ? kNotAFile : SystemErrorText(errno);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kNotAFile;
  }
  // Where this line's bytes begin and end in the file, once some are written.
  // Each write lands at the end of the file as it is then, so a line written
  // in parts is one piece only while nobody appends between the parts.
  off_t ownStart = -1, ownEnd = -1;
  bool onePiece = true;
  std::string error;
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR)
        continue;
      error = SystemErrorText(errno);
      break;
    }
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    const off_t begin = end - static_cast<off_t>(written);
    onePiece = onePiece && (ownEnd < 0 || ownEnd == begin);
    ownStart = ownEnd == begin ? ownStart : begin;
    ownEnd = end;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  if (!error.empty() && ownEnd >= 0) {
    const bool stillLast = ::fstat(fd, &st) == 0 && st.st_size == ownEnd;
    if (!stillLast || ::ftruncate(fd, ownStart) != 0 || !onePiece)
      error += "; the part of the line already written could not be removed";
  }
  if (::close(fd) != 0 && error.empty() && errno != EINTR)
    error = SystemErrorText(errno);
  return error;
}

} // namespace

frmTop::frmTop(frmTopControls controls) : c(controls) {
  c.rtfData.OnChange([this] { rtfData_Change(); });
}

frmTop::~frmTop() {
  c.rtfData.OnChange(nullptr);
}

void frmTop::Form_Load() {
  mSerialConfig = std::make_unique<clsSerialPortConfigINI>();
  mSerialConfig->FileNameINI("Serial.ini");
  mSerialConfig->ComControl(&c.MSComm1);
  ComControlInitialize();
  StatusBarUpdate();
  c.rtfData.Text(c.appInfo.ExeName() + " Started " + c.clock.DefaultDateTimeText(c.clock.Now()) +
                 std::string(kLineBreak));
  mLineStart = true;
}

void frmTop::Form_Terminate() {
  mSerialConfig.reset();
}

void frmTop::mnuFileEnd_Click() {
  c.host.End();
}

void frmTop::cmdClearDisplay_Click() {
  c.rtfData.Text("");
}

void frmTop::mnuOptionAddTime_Click() {
  c.mnuOptionAddTime.Checked(!c.mnuOptionAddTime.Checked());
}

void frmTop::mnuOptionIgnorePinStatus_Click() {
  c.mnuOptionIgnorePinStatus.Checked(!c.mnuOptionIgnorePinStatus.Checked());
}

void frmTop::mnuOptionSerialPort_Click() {
  std::unique_ptr<IConfigSerialWindow> window = c.host.LoadConfigSerial();
  if (!window)
    return;
  window->Form().clsSerialPortConfig = mSerialConfig.get();
  window->Form().InitForm();
  window->ShowModal();
}

void frmTop::mnuHelpAbout_Click() {
  IAboutWindow &about = c.host.LoadAbout();
  about.Form().tmrClose().Interval(frmAbout::CloseAfterMs);
  about.ShowModeless();
}

void frmTop::ComControlInitialize() {
  c.MSComm1.RThreshold(1);
}

void frmTop::StatusPanelSet(std::int16_t index, const std::string &text, bool enabled) {
  c.sbTop.PanelText(index, text);
  c.sbTop.PanelEnabled(index, enabled);
  c.sbTop.Refresh();
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
    StatusPanelSet(2, "Com" + port + " - " + settings, c.MSComm1.PortOpen());
  }
}

bool frmTop::PortStatusUpdate(bool UpdatePort, bool PortOpen) {
  bool result = true;
  if (UpdatePort) {
    if (mSerialConfig) {
      mSerialConfig->ComPortOpen(PortOpen);
      result = mSerialConfig->ComPortOpen() == PortOpen;
    } else {
      result = c.MSComm1.PortOpen() == PortOpen;
    }
  }
  StatusBarUpdate();
  return result;
}

void frmTop::cmdOpenPort_Click() {
  if (!c.MSComm1.PortOpen()) {
    PortStatusUpdate(true, true);
    if (!c.MSComm1.PortOpen()) {
      c.messageBox.Show("Please Update Serial Port Information",
                        c.appInfo.ExeName() + " - Unable to Initialize Serial Port",
                        MessageIcon::Exclamation,
                        mSerialConfig ? mSerialConfig->LastOpenError() : std::string());
      StatusPanelSet(1, "Update Serial Port Configuration under Options", true);
      return;
    }
    StatusPanelSet(1, "Serial Port Active", true);
    c.cmdOpenPort.Caption("Close Port");
  } else {
    PortStatusUpdate(true, false);
    StatusPanelSet(1, "Serial Port Closed", true);
    c.cmdOpenPort.Caption("Open Port");
  }
}

void frmTop::MSComm1_Closed() {
  StatusPanelSet(1, "Serial Port Closed", true);
  c.cmdOpenPort.Caption("Open Port");
  StatusBarUpdate();
}

void frmTop::MSComm1_OnComm() {
  switch (c.MSComm1.CommEvent()) {
  case comEvReceive:
    AddTextToDisplay(c.MSComm1.Input());
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
  if (KeyAscii <= 0 || KeyAscii > 255 || !c.MSComm1.PortOpen())
    return;
  c.MSComm1.Output(std::string(1, static_cast<char>(KeyAscii)));
}

void frmTop::mnuRTSLevel_Click() {
  c.mnuRTSLevel.Checked(!c.mnuRTSLevel.Checked());
  c.MSComm1.RTSEnable(c.mnuRTSLevel.Checked());
}

void frmTop::mnuDTRLevel_Click() {
  c.mnuDTRLevel.Checked(!c.mnuDTRLevel.Checked());
  c.MSComm1.DTREnable(c.mnuDTRLevel.Checked());
}

void frmTop::AddTextToDisplay(const std::string &sData) {
  const char *p = sData.data();
  const char *const end = p + sData.size();
  while (p < end) {
    auto ch = static_cast<unsigned char>(*p);
    if (IsPrintable(ch)) {
      const char *runEnd = p + 1;
      while (runEnd < end && IsPrintable(static_cast<unsigned char>(*runEnd)))
        ++runEnd;
      std::string_view run(p, static_cast<std::size_t>(runEnd - p));
      p = runEnd;
      if (mLineStart && c.mnuOptionAddTime.Checked()) {
        TimeText();
        AppendTracked(mTimePrefix);
        mLineStart = false;
      }
      ShowPrintable(run);
      if (mLogEnabled)
        mLogLine.append(run);
    } else if (ch == '\n') {
      ++p;
      RichTextAppend(kLineBreak);
      ++mLineCount;
      if (mLogEnabled) {
        LogFileWrite(mLogFilePath, mLogLine, true);
        mLogLine.clear();
      }
      mLineStart = true;
    } else {
      ++p;
      if (ch != 8 && ch != 13)
        mLogLine.append(kTokens[ch].text, kTokens[ch].length);
    }
  }

  EndOfCall();
}

// The rules both formatters apply once per call, after its last character:
// the display is emptied past 500 line breaks, and a log line that grew past
// 500 characters without one goes out (or is dropped with logging off).
void frmTop::EndOfCall() {
  if (mLineCount > kLineClearCount) {
    c.rtfData.Text("");
    mLineCount = 0;
  }
  if (mLogLine.size() > kLogLineLimit) {
    if (mLogEnabled)
      LogFileWrite(mLogFilePath, mLogLine, true);
    mLogLine.clear();
  }
}

void frmTop::AddStatusMessageToDisplay(const std::string &sData) {
  if (c.mnuOptionIgnorePinStatus.Checked())
    return;
  AddTextToDisplay(sData);
}

// Shows control codes as their tokens and honours backspace; it does not trim.
void frmTop::AddTextToDisplayA(const std::string &sData) {
  for (char byte : sData) {
    auto ch = static_cast<unsigned char>(byte);
    if (IsPrintable(ch)) {
      if (mLineStart && c.mnuOptionAddTime.Checked()) {
        TimeText();
        c.rtfData.AppendAtEnd(mTimePrefix);
        mLineStart = false;
      }
      c.rtfData.AppendAtEnd(std::string_view(&byte, 1));
      if (mLogEnabled)
        mLogLine += byte;
    } else if (ch == '\n') {
      c.rtfData.AppendAtEnd(kLineBreak);
      ++mLineCount;
      if (mLogEnabled) {
        LogFileWrite(mLogFilePath, mLogLine, true);
        mLogLine.clear();
      }
      mLineStart = true;
    } else if (ch == 8) {
      if (c.rtfData.Length() > 0) {
        std::string_view text = c.rtfData.Text();
        c.rtfData.Text(std::string(text.substr(0, text.size() - 1)));
      }
    } else if (ch != 13) {
      std::string_view token(kTokens[ch].text, kTokens[ch].length);
      c.rtfData.AppendAtEnd(token);
      mLogLine.append(token);
    }
  }

  EndOfCall();
}

// Past 10000 characters the display first drops its oldest lines, up to the
// first line break at least about 100 characters in, or else its first
// character alone.
void frmTop::RichTextAppend(std::string_view text) {
  if (c.rtfData.Length() + text.size() > kDisplayLimit) {
    std::size_t from = text.size() + kTrimSearchStart;
    std::size_t cut = 1;
    std::size_t last = LastLineBreak();
    if (last != TextDisplay::npos && last >= from) {
      std::size_t at = c.rtfData.Find(kLineBreak, from);
      if (at != TextDisplay::npos)
        cut = at + kLineBreak.size();
    }
    DropFrontTracked(cut);
  }
  AppendTracked(text);
}

void frmTop::rtfData_Change() {
  if (!c.chkAutoClear.Value())
    return;
  double n = AutoClearLimit();
  if (n > 0 && n < static_cast<double>(c.rtfData.Length()))
    cmdClearDisplay_Click();
}

void frmTop::mnuFileLogFile_Click() {
  c.cdlgTop.DefaultExt("txt");
  c.cdlgTop.DialogTitle("Log Files");
  c.cdlgTop.Filter("Log Files (*.txt)|*.txt|All File (*.*)|*.*");
  c.cdlgTop.InitDir(c.appInfo.ExeFolder());
  if (c.cdlgTop.Show() == ChooserResult::Cancelled)
    return;
  std::string chosen = c.cdlgTop.FileName();
  if (!chosen.empty())
    mLogFilePath = chosen;
}

void frmTop::chkLogEnabled_Click() {
  if (mLogFilePath.empty())
    mnuFileLogFile_Click();
  if (c.chkLogEnabled.Value()) {
    UpdateLogCheckCaption();
  } else {
    c.chkLogEnabled.Caption("Log Disabled: " + mLogFilePath);
    mLogEnabled = false;
  }
}

void frmTop::UpdateLogCheckCaption() {
  if (mLogFilePath.empty())
    return;
  mLogEnabled = true;
  c.chkLogEnabled.Caption("Log Enabled: " + mLogFilePath);
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

// A run of printable characters, with the outcome of appending them one by
// one. Two stretches go in whole: those that neither reach the trimming limit
// nor pass the automatic-clearing limit, and, on a full display without a line
// break far enough in, those where every character would only have pushed out
// the first one (the run brings no line break, so none can appear). Wherever
// a character could trim at a line break or clear the display, it goes alone.
void frmTop::ShowPrintable(std::string_view run) {
  while (!run.empty()) {
    std::size_t length = c.rtfData.Length();
    std::size_t room = AutoClearRoom();
    std::size_t take = 0;
    if (length < kDisplayLimit) {
      if (room > length)
        take = std::min({run.size(), kDisplayLimit - length, room - length});
      if (take > 0) {
        AppendTracked(run.substr(0, take));
        run.remove_prefix(take);
        continue;
      }
    } else if (room >= length) {
      std::size_t last = LastLineBreak();
      if (last == TextDisplay::npos || last < 1 + kTrimSearchStart) {
        take = std::min(run.size(), length);
        DropFrontTracked(take);
        AppendTracked(run.substr(0, take));
        run.remove_prefix(take);
        continue;
      }
    }
    RichTextAppend(run.substr(0, 1));
    run.remove_prefix(1);
  }
}

// The display's own appends and cuts keep the position of its last line
// break up to date. Any other change of the display, a clearing from inside
// the change event included, leaves it to be found again.
void frmTop::AppendTracked(std::string_view text) {
  std::size_t last = LastLineBreak();
  std::size_t at = c.rtfData.Length();
  std::uint64_t expected = c.rtfData.Generation() + 1;
  c.rtfData.AppendAtEnd(text);
  if (c.rtfData.Generation() != expected)
    return;
  if (text == kLineBreak)
    last = at;
  mLastBreak = last;
  mBreakGeneration = expected;
}

void frmTop::DropFrontTracked(std::size_t count) {
  std::size_t last = LastLineBreak();
  std::uint64_t expected = c.rtfData.Generation() + 1;
  c.rtfData.DropFront(count);
  if (c.rtfData.Generation() != expected)
    return;
  mLastBreak = (last != TextDisplay::npos && last >= count) ? last - count : TextDisplay::npos;
  mBreakGeneration = expected;
}

std::size_t frmTop::LastLineBreak() {
  if (mBreakGeneration != c.rtfData.Generation()) {
    mLastBreak = c.rtfData.Text().rfind(kLineBreak);
    mBreakGeneration = c.rtfData.Generation();
  }
  return mLastBreak;
}

// The longest the display may grow before the automatic clearing empties it.
std::size_t frmTop::AutoClearRoom() {
  constexpr std::size_t unlimited = std::numeric_limits<std::size_t>::max();
  if (!c.chkAutoClear.Value())
    return unlimited;
  double n = AutoClearLimit();
  if (!(n > 0) || n >= 1e18)
    return unlimited;
  return static_cast<std::size_t>(std::floor(n));
}

double frmTop::AutoClearLimit() {
  std::string text = c.txtSize.Text();
  if (text != mSizeText) {
    mSizeValue = Val(text);
    mSizeText = std::move(text);
  }
  return mSizeValue;
}

// "yyyy/mm/dd HH:MM:SS", and the display's prefix: that and " - ".
const std::string &frmTop::TimeText() {
  LocalTime now = c.clock.Now();
  if (!(now == mTimeKey)) {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", now.year,
                          now.month, now.day, now.hour, now.minute, now.second);
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
    c.chkLogEnabled.Value(false);
    c.chkLogEnabled.Caption("Log Disabled: " + mLogFilePath);
  }
  if (mReportingLogFailure)
    return;
  mReportingLogFailure = true;
  c.messageBox.Show("Unable to write to the log file " + LogFileName +
                        ". Logging has been switched off.",
                    c.appInfo.ExeName() + " - Log File", MessageIcon::Exclamation, reason);
  mReportingLogFailure = false;
}

} // namespace kestrel
