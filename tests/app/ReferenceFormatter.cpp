#include "ReferenceFormatter.h"

#include "Val.h"

#include <cstdio>

namespace kestrel::test {

std::string ReferenceFormatter::TimeText() const {
  LocalTime t = clock_.Now();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buffer;
}

void ReferenceFormatter::Start(const std::string &exeName) {
  SetText(exeName + " Started " + clock_.DefaultDateTimeText(clock_.Now()) + "\r\n");
  lineStart = true;
}

void ReferenceFormatter::StartLogging(const std::string &path) {
  logFilePath = path;
  logEnabled = true;
  LogFileWrite(logFilePath, "*** Logging Started ***", true);
}

void ReferenceFormatter::SetText(const std::string &text) {
  display = text;
  Change();
}

void ReferenceFormatter::Change() {
  ++changes;
  double n = Val(size);
  std::string text = display;
  if (autoClear && n > 0 && n < static_cast<double>(text.size()))
    SetText("");
}

void ReferenceFormatter::RichTextAppend(const std::string &text) {
  std::string whole = display;
  if (whole.size() + text.size() > 10000) {
    // Positions count from 1; p is 0 when there is no CR LF from start on.
    std::size_t start = text.size() + 100;
    std::size_t p = 0;
    for (std::size_t i = start; i + 1 <= whole.size(); ++i)
      if (whole[i - 1] == '\r' && whole[i] == '\n') {
        p = i;
        break;
      }
    std::size_t from = p + 2;
    SetText(from <= whole.size() ? whole.substr(from - 1) : std::string());
  }
  display.insert(display.size(), text);
  Change();
}

void ReferenceFormatter::AddTextToDisplay(const std::string &sData) {
  for (std::size_t i = 0; i < sData.size(); ++i) {
    int code = static_cast<unsigned char>(sData[i]);
    if (code >= 32 && code <= 126) {
      if (lineStart && addTime) {
        SetText(display + TimeText() + " - ");
        lineStart = false;
      }
      RichTextAppend(std::string(1, sData[i]));
      if (logEnabled)
        logLine += sData[i];
    } else if (code == 10) {
      RichTextAppend("\r\n");
      lineCount += 1;
      if (logEnabled) {
        LogFileWrite(logFilePath, logLine, true);
        logLine = "";
      }
      lineStart = true;
    } else if (code == 8 || code == 13) {
      // neither shown nor collected
    } else {
      char token[16];
      std::snprintf(token, sizeof token, " <0x%X>", static_cast<unsigned>(code));
      logLine += token;
    }
  }
  if (lineCount > 500) {
    SetText("");
    lineCount = 0;
  }
  if (logLine.size() > 500) {
    if (logEnabled)
      LogFileWrite(logFilePath, logLine, true);
    logLine = "";
  }
}

void ReferenceFormatter::AddStatusMessageToDisplay(const std::string &sData) {
  if (!ignorePinStatus)
    AddTextToDisplay(sData);
}

void ReferenceFormatter::LogFileWrite(const std::string &LogFileName, const std::string &sText,
                                      bool AddPrefixTime) {
  if (LogFileName.empty())
    return;
  std::FILE *file = std::fopen(LogFileName.c_str(), "ab");
  if (!file)
    return;
  std::string line = AddPrefixTime ? TimeText() + "\t" + sText : "\t\t" + sText;
  line += "\r\n";
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
}

} // namespace kestrel::test
