// Fakes of what the Tools menu asks of the platform, recording every call.
#pragma once
#include "ToolsControls.h"
#include <functional>
#include <vector>
namespace kestrel::test {
struct FakeQuestionBox : IQuestionBox {
  bool Ask(const std::string &text, const std::string &title) override {
    asked.push_back(title + ": " + text);
    if (meanwhile)
      meanwhile();
    return answer;
  }
  bool answer = false;
  std::vector<std::string> asked;
  std::function<void()> meanwhile; // what the box's event loop sees happen
};
struct FakeOpenFileChooser : IOpenFileChooser {
  bool Choose(const std::string &, std::string &chosen) override {
    ++shows;
    if (meanwhile)
      meanwhile();
    chosen = path;
    return !chosen.empty();
  }
  std::string path; // empty: the user cancels
  int shows = 0;
  std::function<void()> meanwhile;
};
struct FakeSendProgress : ISendProgress {
  void Show(const std::string &name) override {
    shown = true;
    fileName = name;
  }
  void Progress(int p, const std::string &line) override {
    permille = p;
    text = line;
  }
  void Close() override { shown = false; }
  bool shown = false;
  std::string fileName, text;
  int permille = -1;
};
struct FakeLineLevelsView : ILineLevelsView {
  void Visible(bool on) override { visible = on; }
  void Levels(const ModemLines &l, bool on) override {
    levels = l;
    enabled = on;
    ++updates;
  }
  bool visible = false, enabled = false;
  ModemLines levels;
  int updates = 0;
};
} // namespace kestrel::test
