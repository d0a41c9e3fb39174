// A plain model of the receive display, kept naive so that the window's fast formatter can be
// checked against it: one string, one character at a time, the whole text measured, trimmed and
// rewritten for each; the log file opened per line. For tests, fuzzing and benchmarks only.
#pragma once
#include "Controls.h"
#include <cstdint>
#include <string>
namespace kestrel::test {
class ReferenceFormatter {
public:
  explicit ReferenceFormatter(const IClock &clock) : mClock(clock) {}
  // The user's settings, read at every use as the window reads its controls.
  bool addTime = false, ignorePinStatus = true, autoClear = false;
  std::string size = "0", display, logLine, logFilePath;
  bool lineStart = true, logEnabled = false;
  std::int32_t lineCount = 0;
  void AddTextToDisplay(const std::string &sData);
  void AddStatusMessageToDisplay(const std::string &sData) {
    if (!ignorePinStatus)
      AddTextToDisplay(sData);
  }
  void SetText(const std::string &text); // and the change event
  void Start(const std::string &exeName) {
    SetText(exeName + " Started " + mClock.DefaultDateTimeText(mClock.Now()) + "\r\n");
  }
  // Ticking the log box with a file chosen: logging on, the start line written.
  void StartLogging(const std::string &path) {
    logFilePath = path;
    logEnabled = true;
    LogFileWrite("*** Logging Started ***");
  }
  void StopLogging() { logEnabled = false; }

private:
  void RichTextAppend(const std::string &text);
  void LogFileWrite(const std::string &sText);
  std::string TimeText() const;
  const IClock &mClock;
};
} // namespace kestrel::test
