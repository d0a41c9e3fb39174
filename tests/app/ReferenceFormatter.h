// A plain model of the terminal's receive display, kept deliberately naive so
// that the window's fast formatter can be checked against it.
//
// It holds the display as one string and takes every character by itself:
// each printable character reads the whole text to measure it, trims it past
// 10000 characters by searching the whole text for a line break, appends, and
// raises the change event, which reads the automatic-clearing limit afresh
// and may empty the display. The time prefix replaces the whole text by the
// text and the prefix. The log file is opened, appended to and closed per
// line through the C library. Its cost grows with the display; it is for
// tests, fuzzing and benchmarks, never for the program.
#pragma once

#include "Controls.h"

#include <cstdint>
#include <string>

namespace kestrel::test {

class ReferenceFormatter {
public:
  explicit ReferenceFormatter(const IClock &clock) : clock_(clock) {}

  // The user's settings, read at every use as the window reads its controls:
  // "Prefix Time To Receive Data", "Ignore Pin Status Messages", the
  // automatic-clearing check box and its limit text.
  bool addTime = false;
  bool ignorePinStatus = true;
  bool autoClear = false;
  std::string size = "0";

  std::string display;
  bool lineStart = true;
  std::int32_t lineCount = 0;
  std::string logLine;
  bool logEnabled = false;
  std::string logFilePath;
  std::uint64_t changes = 0;

  void AddTextToDisplay(const std::string &sData);
  void AddStatusMessageToDisplay(const std::string &sData);
  void LogFileWrite(const std::string &LogFileName, const std::string &sText, bool AddPrefixTime);
  // Replaces the whole text; raises the change event.
  void SetText(const std::string &text);
  // The start-up text: "<name> Started <date and time>" and a line break.
  void Start(const std::string &exeName);
  // Ticking the log box with a file chosen: logging on, the start line written.
  void StartLogging(const std::string &path);
  void StopLogging() { logEnabled = false; }

private:
  void RichTextAppend(const std::string &text);
  void Change();
  std::string TimeText() const;

  const IClock &clock_;
};

} // namespace kestrel::test
