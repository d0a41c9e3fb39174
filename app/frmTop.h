// The terminal window's logic: start-up, the receive display, the port button
// and line events, typing, the output lines and the log file.
//
// frmTop owns the settings store and works on its controls through the
// platform interfaces handed to it; the Qt layer builds the widgets, passes
// each user action to the handler named after its control and event, and
// shows the display text from the TextDisplay model. Everything runs on the
// user-interface thread.
//
// The handlers are called for the user's own actions only. When the window
// itself changes a control (the log check box is cleared after a failed log
// write), the platform does not call the control's handler again.
//
// The display's change event is the model's: frmTop registers rtfData_Change
// with rtfData when it is built, so the automatic clearing runs inside every
// change, the window's own appends included.
//
// The receive path is the hot path: AddTextToDisplay gives, character for
// character, the results of appending every byte to a rich-text box and
// reading the box back; DisplayWriter does the appending at a cost that does
// not grow with the display.
//
// A second formatter may stand beside AddTextToDisplay (the Tools menu's
// colours and hex rows, DisplayChoices): while one is set, received chunks go
// to it instead, and it builds what it shows from the steps below, which keep
// the display's rules (time prefix, trimming, the 500-line clear) and collect
// the log from the bytes as they came. Status lines always take the window's
// own road.
//
// The log file is opened, appended to and closed for every line (LogFile).
// When it cannot be written, the window says so once, switches logging off
// and goes on showing what arrives.
#pragma once

#include "CommControl.h"
#include "Controls.h"
#include "DisplayWriter.h"
#include "TextDisplay.h"
#include "WindowHost.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kestrel {

class clsSerialPortConfigINI;

struct frmTopControls {
  ICheckBox &chkLogEnabled;
  IButton &cmdClearDisplay;
  TextDisplay &rtfData;
  ICheckBox &chkAutoClear;
  ITextBox &txtSize;
  IButton &cmdOpenPort;
  IStatusBar &sbTop;
  IFileChooser &cdlgTop;
  ICommControl &MSComm1;
  IMenuItem &mnuOptionAddTime;
  IMenuItem &mnuOptionIgnorePinStatus;
  IMenuItem &mnuRTSLevel;
  IMenuItem &mnuDTRLevel;
  IMessageBox &messageBox;
  IClock &clock;
  IAppInfo &appInfo;
  IWindowHost &host;
};

class frmTop {
public:
  explicit frmTop(frmTopControls controls);
  ~frmTop();
  frmTop(const frmTop &) = delete;
  frmTop &operator=(const frmTop &) = delete;

  // Display formatting.
  void AddTextToDisplay(const std::string &sData);
  void AddStatusMessageToDisplay(const std::string &sData);
  void AddTextToDisplayA(const std::string &sData);
  // What the user typed, shown as a local echo in the typed style: printable
  // characters and line breaks, as received text shows them, but never
  // logged, since the log copies what the board sent.
  void AddTypedToDisplay(const std::string &sData);

  // Port control.
  bool PortStatusUpdate(bool UpdatePort = false, bool PortOpen = false);
  // What status panel 1 and the port button show of the port. The window is
  // their one owner; the Tools menu shows its waiting for a device through
  // here as well.
  enum class PortShown { Active, Closed, WaitingForDevice };
  void PortStatusShow(PortShown state);
  // A note of the Tools menu in status panel 1.
  void StatusNote(const std::string &text);
  // Puts back what panel 1 says of the open port where it still shows note.
  void StatusNoteEnd(const std::string &note);
  // While why is not empty, typed keys are not sent and status panel 1 says
  // why: a file going out would get them in the middle of its bytes. Empty
  // lets them through again and puts back what panel 1 said of the port.
  void TypingHeld(const std::string &why);
  // True while typed keys are held, and status panel 1 then says so: note
  // when given, else why they are held. Everything that would send as the
  // user types asks here first.
  bool TypingRefused(const std::string &note = {});
  // Ends a display and log line that the loss of the device cut short, so
  // that it stands as its own line before whatever comes next; a line
  // already ended is left alone.
  void EndCutLine();

  // Whole lines the display keeps; 0 for its limit of about 10000
  // characters and the clearing after 500 line feeds. Back on that limit,
  // the display keeps the lines that start in its last 10000 characters, and
  // the 500 line feeds count from the switch.
  std::size_t HistoryLines() const { return mDisplay.HistoryLines(); }
  void HistoryLines(std::size_t lines);
  // The receive path in steps, for a formatter beside AddTextToDisplay. The
  // display side: the time prefix where a line starts, a run of printable
  // characters, a line break. The log side: the received bytes, as
  // AddTextToDisplay collects them. Then the once-per-chunk rules.
  using ReceiveFormatter = std::function<void(const std::string &)>;
  void ReceivedBy(ReceiveFormatter formatter) { mReceivedBy = std::move(formatter); }
  void StartDisplayLine();
  void ShowPrintableRun(std::string_view run);
  void ShowLineBreak();
  void CollectForLog(std::string_view received);
  void EndOfReceived() { EndOfCall(); }
  // The time prefix and the log's stamp with ".mmm" after the seconds.
  bool Milliseconds() const { return mMilliseconds; }
  void Milliseconds(bool on);

  // Log switch and writer.
  void UpdateLogCheckCaption();
  void LogFileWrite(const std::string &LogFileName, const std::string &sText, bool AddPrefixTime);

  // Event handlers.
  void Form_Load();
  void Form_Terminate();
  void mnuFileEnd_Click();
  void mnuFileLogFile_Click();
  void chkLogEnabled_Click();
  void cmdClearDisplay_Click();
  void cmdOpenPort_Click();
  void mnuRTSLevel_Click();
  void mnuDTRLevel_Click();
  void MSComm1_OnComm();
  // The device went away while the port was open; the port is closed already.
  void MSComm1_Closed();
  void rtfData_KeyPress(std::int16_t &KeyAscii);
  void rtfData_Change();
  void mnuOptionAddTime_Click();
  void mnuOptionIgnorePinStatus_Click();
  void mnuOptionSerialPort_Click();
  void mnuHelpAbout_Click();

  // State, for the view and the tests.
  clsSerialPortConfigINI *SerialConfig() const { return mSerialConfig.get(); }
  bool LineStart() const { return mLineStart; }
  std::int32_t LineCount() const { return mLineCount; }
  const std::string &LogFilePath() const { return mLogFilePath; }
  bool LogEnabled() const { return mLogEnabled; }
  const std::string &LogLine() const { return mLogLine; }

private:
  void ComControlInitialize();
  void StatusPanelSet(std::int16_t index, const std::string &text, bool enabled);
  void StatusBarUpdate();
  void EndOfCall();
  void LogPrintable(std::string_view run);
  void LogLineOut();
  void LogCode(unsigned char ch);
  const std::string &TimeText();
  void LogWriteFailed(const std::string &LogFileName, const std::string &reason);

  frmTopControls mControls;
  std::unique_ptr<clsSerialPortConfigINI> mSerialConfig;
  bool mLineStart = false;
  std::int32_t mLineCount = 0;
  std::string mLogFilePath;
  bool mLogEnabled = false;
  std::string mLogLine;

  DisplayWriter mDisplay;
  // The formatted time of day, formatted again only when the second changes.
  LocalTime mTimeKey{-1, 0, 0, 0, 0, 0, 0};
  std::string mTimeText;
  std::string mTimePrefix;
  std::string mLogBuffer;
  bool mReportingLogFailure = false;
  ReceiveFormatter mReceivedBy;
  bool mMilliseconds = false;
  // Something arrived since the last line feed: a line is open in the
  // display or in mLogLine.
  bool mLineOpen = false;
  std::string mTypingHeld;
  bool mTypingNoteShown = false;
};

} // namespace kestrel
