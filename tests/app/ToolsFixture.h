// The Tools menu on fake timers and windows around a terminal window, for the Tools suites.
#pragma once
#include "FakeToolsControls.h"
#include "SystemRoutines.h"
#include "TerminalFixture.h"
#include "ToolsMenu.h"
#include <fstream>
#include <sstream>
namespace kestrel::test {
struct ToolsOn {
  template <class Window>
  explicit ToolsOn(Window &t)
      : menu(ToolsMenuControls{t.frm, t.rtfData, t.MSComm1, mnuToolsReconnect, mnuToolsLineLevels,
                               tmrReconnect, tmrBreak, tmrSendFile, tmrLineLevels, chooser,
                               progress, levels, question, t.messageBox, t.appInfo, choices,
                               [this] { return now; }}) {}
  void Advance(int ms) {
    for (int i = 0; i < ms; ++i) {
      for (FakeTimer *timer : {&tmrReconnect, &tmrBreak, &tmrSendFile, &tmrLineLevels})
        timer->Advance(1);
      ++now;
    }
  }
  FakeMenuItem mnuToolsReconnect{false}, mnuToolsLineLevels{false};
  FakeTimer tmrReconnect, tmrBreak, tmrSendFile, tmrLineLevels;
  FakeOpenFileChooser chooser;
  FakeSendProgress progress;
  FakeLineLevelsView levels;
  FakeQuestionBox question;
  std::int64_t now = 1000;
  ToolsChoices choices{ApplicationFolder() + "/Serial.ini"};
  ToolsMenu menu;
};
// The texts of a log file's lines, without their time stamps.
inline std::vector<std::string> LogTexts(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> texts;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    const std::size_t tab = line.find('\t');
    texts.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
  }
  return texts;
}
} // namespace kestrel::test
