// The Tools menu on fake timers and windows, around a terminal window whose
// controls the test gives (fake or real communications control).
#pragma once

#include "FakeControls.h"
#include "FakeToolsControls.h"
#include "ToolsMenu.h"

#include <cstdint>

namespace kestrel::test {

struct Tools {
  template <class Window>
  explicit Tools(Window &t)
      : menu(ToolsMenuControls{t.frm, t.rtfData, t.MSComm1, t.sbTop, t.cmdOpenPort,
                               mnuToolsReconnect, mnuToolsLineLevels, tmrReconnect, tmrBreak,
                               tmrSendFile, tmrLineLevels, chooser, progress, levels, question,
                               t.messageBox, t.appInfo, [this] { return now; }}) {}
  // Lets time pass on every timer of the menu.
  void Advance(int ms) {
    for (int step = 0; step < ms; ++step) {
      ++now;
      for (FakeTimer *timer : {&tmrReconnect, &tmrBreak, &tmrSendFile, &tmrLineLevels})
        timer->Advance(1);
    }
  }
  FakeMenuItem mnuToolsReconnect{false};
  FakeMenuItem mnuToolsLineLevels{false};
  FakeTimer tmrReconnect, tmrBreak, tmrSendFile, tmrLineLevels;
  FakeOpenFileChooser chooser;
  FakeSendProgress progress;
  FakeLineLevelsView levels;
  FakeQuestionBox question;
  std::int64_t now = 1000;
  ToolsMenu menu;
};

} // namespace kestrel::test
