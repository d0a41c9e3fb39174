// Fakes of the platform's controls, for tests of the window and class logic.
// Each records what the logic did to it and lets the test act as the user.
#pragma once

#include "Controls.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace kestrel::test {

class FakeButton : public IButton {
public:
  explicit FakeButton(std::string caption = {}) : caption_(std::move(caption)) {}
  std::string Caption() const override { return caption_; }
  void Caption(const std::string &text) override { caption_ = text; }

private:
  std::string caption_;
};

class FakeCheckBox : public ICheckBox {
public:
  explicit FakeCheckBox(std::string caption = {}) : caption_(std::move(caption)) {}
  std::string Caption() const override { return caption_; }
  void Caption(const std::string &text) override { caption_ = text; }
  bool Value() const override { return value_; }
  void Value(bool ticked) override { value_ = ticked; }

private:
  std::string caption_;
  bool value_ = false;
};

class FakeTextBox : public ITextBox {
public:
  explicit FakeTextBox(std::string text = {}) : text_(std::move(text)) {}
  std::string Text() const override { return text_; }
  void Text(const std::string &text) override { text_ = text; }

private:
  std::string text_;
};

class FakeLabel : public ILabel {
public:
  explicit FakeLabel(std::string caption = {}) : caption_(std::move(caption)) {}
  std::string Caption() const override { return caption_; }
  void Caption(const std::string &text) override { caption_ = text; }

private:
  std::string caption_;
};

// A window that counts how often its logic unloaded it.
class FakeForm : public IForm {
public:
  void Unload() override { ++unloads; }
  int unloads = 0;
};

class FakeMenuItem : public IMenuItem {
public:
  explicit FakeMenuItem(bool checked = false) : checked_(checked) {}
  bool Checked() const override { return checked_; }
  void Checked(bool checked) override { checked_ = checked; }

private:
  bool checked_;
};

class FakeStatusBar : public IStatusBar {
public:
  std::string PanelText(int panel) const override;
  void PanelText(int panel, const std::string &text) override { panels_[panel].text = text; }
  bool PanelEnabled(int panel) const override;
  void PanelEnabled(int panel, bool enabled) override { panels_[panel].enabled = enabled; }
  void Refresh() override { ++refreshes; }
  int refreshes = 0;

private:
  struct Panel {
    std::string text;
    bool enabled = true;
  };
  std::map<int, Panel> panels_;
};

class FakeComboBox : public IComboBox {
public:
  void Clear() override {
    items.clear();
    index = -1;
  }
  void AddItem(const std::string &text) override { items.push_back(text); }
  int ListCount() const override { return static_cast<int>(items.size()); }
  std::string List(int i) const override;
  int ListIndex() const override { return index; }
  void ListIndex(int i) override { index = (i >= 0 && i < ListCount()) ? i : -1; }
  std::string Text() const override { return index >= 0 ? items[index] : std::string(); }
  void SetFocus() override { ++focused; }
  // Selects the entry with this text, as the user would; false when absent.
  bool Choose(const std::string &text);

  std::vector<std::string> items;
  int index = -1;
  int focused = 0;
};

// A timer driven by the test: Advance moves its own clock on.
class FakeTimer : public ITimer {
public:
  int Interval() const override { return interval_; }
  void Interval(int milliseconds) override {
    interval_ = milliseconds;
    elapsed_ = 0;
  }
  void OnTimer(std::function<void()> handler) override { handler_ = std::move(handler); }
  void Advance(int milliseconds);
  int fired = 0;

private:
  int interval_ = 0;
  int elapsed_ = 0;
  std::function<void()> handler_;
};

class FakeMessageBox : public IMessageBox {
public:
  struct Shown {
    std::string text, title;
    MessageIcon icon;
    std::string detail;
  };
  void Show(const std::string &text, const std::string &title, MessageIcon icon,
            const std::string &detail) override {
    shown.push_back({text, title, icon, detail});
    if (onShow)
      onShow();
  }
  std::vector<Shown> shown;
  std::function<void()> onShow; // runs while the box is "open"
};

// A file chooser that answers from a script: each Show takes the next answer.
class FakeFileChooser : public IFileChooser {
public:
  std::string DefaultExt() const override { return defaultExt; }
  void DefaultExt(const std::string &ext) override { defaultExt = ext; }
  std::string DialogTitle() const override { return title; }
  void DialogTitle(const std::string &t) override { title = t; }
  std::string Filter() const override { return filter; }
  void Filter(const std::string &f) override { filter = f; }
  std::string InitDir() const override { return initDir; }
  void InitDir(const std::string &d) override { initDir = d; }
  std::string FileName() const override { return fileName; }
  void FileName(const std::string &p) override { fileName = p; }
  ChooserResult Show() override;

  // Queues the user's next answer: a path to choose, or a cancel.
  void WillChoose(const std::string &path) { answers.push_back({ChooserResult::Chosen, path}); }
  void WillCancel() { answers.push_back({ChooserResult::Cancelled, {}}); }

  std::string defaultExt, title, filter, initDir, fileName;
  int shows = 0;
  std::deque<std::pair<ChooserResult, std::string>> answers;
};

class FakeClock : public IClock {
public:
  LocalTime Now() const override { return now; }
  std::string DefaultDateTimeText(const LocalTime &t) const override;
  std::string DayName(int weekday) const override;
  std::string MonthShortName(int month) const override;
  LocalTime now{2026, 12, 5, 3, 46, 54, 6};
};

class FakeAppInfo : public IAppInfo {
public:
  std::string ExeFolder() const override { return folder; }
  std::string ExeName() const override { return name; }
  std::string ExePath() const override { return folder + "/" + name; }
  int VersionMajor() const override { return 1; }
  int VersionMinor() const override { return 3; }
  int VersionRevision() const override { return 0; }
  std::string folder = "/tmp";
  std::string name = "kestrel-terminal";
};

class FakeShell : public IShell {
public:
  bool Open(const std::string &target) override {
    opened.push_back(target);
    return result;
  }
  std::vector<std::string> opened;
  bool result = true;
};

} // namespace kestrel::test
