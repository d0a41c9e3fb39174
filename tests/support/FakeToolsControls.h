// Fakes of what the Tools menu asks of the platform, recording every call.
#pragma once

#include "ToolsControls.h"

#include <string>
#include <vector>

namespace kestrel::test {

class FakeQuestionBox : public IQuestionBox {
public:
  bool Ask(const std::string &text, const std::string &title) override {
    asked.push_back(title + ": " + text);
    return answer;
  }
  bool answer = false;
  std::vector<std::string> asked;
};

class FakeOpenFileChooser : public IOpenFileChooser {
public:
  bool Choose(const std::string &, std::string &chosen) override {
    ++shows;
    chosen = path;
    return !path.empty();
  }
  std::string path; // empty: the user cancels
  int shows = 0;
};

class FakeSendProgress : public ISendProgress {
public:
  void Show(const std::string &name) override {
    shown = true;
    fileName = name;
  }
  void Progress(int perMille, const std::string &line) override {
    permille = perMille;
    text = line;
  }
  void Close() override { shown = false; }
  bool shown = false;
  std::string fileName, text;
  int permille = -1;
};

class FakeLineLevelsView : public ILineLevelsView {
public:
  void Visible(bool on) override { visible = on; }
  void Levels(const ModemLines &l, bool on) override {
    levels = l;
    enabled = on;
    ++updates;
  }
  bool visible = false;
  ModemLines levels;
  bool enabled = false;
  int updates = 0;
};

} // namespace kestrel::test
