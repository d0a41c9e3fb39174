#include "ReferenceFormatter.h"
#include "Val.h"
#include <cstdio>
namespace kestrel::test {
std::string ReferenceFormatter::TimeText() const {
  LocalTime t = mClock.Now();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buffer;
}
void ReferenceFormatter::SetText(const std::string &text) {
  display = text;
  if (autoClear && Val(size) > 0 && Val(size) < static_cast<double>(display.size()))
    SetText("");
}
void ReferenceFormatter::RichTextAppend(const std::string &text) {
  std::string whole = display;
  if (whole.size() + text.size() > 10000) {
    // Positions count from 1; p is 0 when there is no CR LF from start on.
    std::size_t p = 0;
    for (std::size_t i = text.size() + 100; p == 0 && i + 1 <= whole.size(); ++i)
      p = whole[i - 1] == '\r' && whole[i] == '\n' ? i : 0;
    SetText(p + 2 <= whole.size() ? whole.substr(p + 1) : std::string());
  }
  SetText(display + text);
}
void ReferenceFormatter::AddTextToDisplay(const std::string &sData) {
  for (char ch : sData) {
    int code = static_cast<unsigned char>(ch);
    if (code >= 32 && code <= 126) {
      if (lineStart && addTime) {
        SetText(display + TimeText() + " - ");
        lineStart = false;
      }
      RichTextAppend(std::string(1, ch));
      logLine += std::string(1, ch);
    } else if (code == 10) {
      RichTextAppend("\r\n");
      lineCount += 1;
      if (logEnabled)
        LogFileWrite(logLine);
      logLine = "";
      lineStart = true;
    } else if (code != 8 && code != 13) {
      char token[16];
      std::snprintf(token, sizeof token, " <0x%X>", static_cast<unsigned>(code));
      logLine += token;
    }
  }
  if (lineCount > 500) {
    SetText("");
    lineCount = 0;
  }
  if (logLine.size() > 500 && logEnabled)
    LogFileWrite(logLine);
  if (logLine.size() > 500)
    logLine = "";
}
void ReferenceFormatter::LogFileWrite(const std::string &sText) {
  std::string line = TimeText() + "\t" + sText + "\r\n";
  if (std::FILE *file = std::fopen(logFilePath.c_str(), "ab")) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
  }
}
} // namespace kestrel::test
