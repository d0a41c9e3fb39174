// Fakes of the platform's controls: each records what the logic did to it and acts as the user.
#pragma once
#include "Controls.h"
#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <ostream>
#include <vector>
namespace kestrel::test {
struct FakeButton : IButton {
  explicit FakeButton(std::string initial = {}) : caption(std::move(initial)) {}
  std::string Caption() const override { return caption; }
  void Caption(const std::string &text) override { caption = text; }
  std::string caption;
};
struct FakeLabel : ILabel {
  explicit FakeLabel(std::string initial = {}) : caption(std::move(initial)) {}
  std::string Caption() const override { return caption; }
  void Caption(const std::string &text) override { caption = text; }
  std::string caption;
};
struct FakeTextBox : ITextBox {
  explicit FakeTextBox(std::string initial = {}) : text(std::move(initial)) {}
  std::string Text() const override { return text; }
  void Text(const std::string &to) override { text = to; }
  std::string text;
};
struct FakeMenuItem : IMenuItem {
  explicit FakeMenuItem(bool initial = false) : checked(initial) {}
  bool Checked() const override { return checked; }
  void Checked(bool to) override { checked = to; }
  bool checked;
};
struct FakeCheckBox : ICheckBox {
  explicit FakeCheckBox(std::string initial = {}) : caption(std::move(initial)) {}
  std::string Caption() const override { return caption; }
  void Caption(const std::string &text) override { caption = text; }
  bool Value() const override { return value; }
  void Value(bool ticked) override { value = ticked; }
  std::string caption;
  bool value = false;
};
struct FakeForm : IForm {
  void Unload() override { ++unloads; }
  int unloads = 0;
};
struct FakeStatusBar : IStatusBar {
  std::string PanelText(int p) const override { return texts.count(p) ? texts.at(p) : ""; }
  void PanelText(int p, const std::string &text) override { texts[p] = text; }
  bool PanelEnabled(int p) const override { return !enabled.count(p) || enabled.at(p); }
  void PanelEnabled(int p, bool on) override { enabled[p] = on; }
  void Refresh() override { ++refreshes; }
  std::map<int, std::string> texts;
  std::map<int, bool> enabled;
  int refreshes = 0;
};
struct FakeComboBox : IComboBox {
  void Clear() override {
    items.clear();
    index = -1;
  }
  // The first item added to an empty list is selected, as a window system's list does.
  void AddItem(const std::string &text) override {
    if (items.empty())
      index = 0;
    items.push_back(text);
  }
  int ListCount() const override { return static_cast<int>(items.size()); }
  std::string List(int i) const override { return i >= 0 && i < ListCount() ? items[i] : ""; }
  int ListIndex() const override { return index; }
  void ListIndex(int i) override { index = i >= 0 && i < ListCount() ? i : -1; }
  std::string Text() const override { return List(index); }
  void SetFocus() override { ++focused; }
  // Selects the item as the user does; false when there is none of that text.
  bool Choose(const std::string &text) {
    const auto at = std::find(items.begin(), items.end(), text);
    if (at == items.end())
      return false;
    index = static_cast<int>(at - items.begin());
    return true;
  }
  std::vector<std::string> items;
  int index = -1;
  int focused = 0;
};
// A timer driven by the test: Advance moves its own clock on.
struct FakeTimer : ITimer {
  int Interval() const override { return interval; }
  void Interval(int milliseconds) override {
    interval = milliseconds;
    elapsed = 0;
  }
  void OnTimer(std::function<void()> handler) override { onTimer = std::move(handler); }
  void Advance(int milliseconds) {
    while (milliseconds > 0 && interval > 0) {
      const int step = std::min(milliseconds, interval - elapsed);
      milliseconds -= step;
      elapsed += step;
      if (elapsed < interval)
        continue;
      elapsed = 0;
      ++fired;
      if (onTimer)
        onTimer();
    }
  }
  int interval = 0;
  int elapsed = 0;
  int fired = 0;
  std::function<void()> onTimer;
};
struct FakeMessageBox : IMessageBox {
  struct Shown {
    std::string text;
    std::string title;
    MessageIcon icon;
    std::string detail;
    bool operator==(const Shown &) const = default;
    friend std::ostream &operator<<(std::ostream &out, const Shown &b) {
      return out << "{\"" << b.text << "\", title \"" << b.title << "\", icon "
                 << static_cast<int>(b.icon) << ", detail \"" << b.detail << "\"}";
    }
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
// A file chooser that answers from a script: WillChoose or WillCancel queue what Show answers.
struct FakeFileChooser : IFileChooser {
  std::string DefaultExt() const override { return defaultExt; }
  void DefaultExt(const std::string &to) override { defaultExt = to; }
  std::string DialogTitle() const override { return title; }
  void DialogTitle(const std::string &to) override { title = to; }
  std::string Filter() const override { return filter; }
  void Filter(const std::string &to) override { filter = to; }
  std::string InitDir() const override { return initDir; }
  void InitDir(const std::string &to) override { initDir = to; }
  std::string FileName() const override { return fileName; }
  void FileName(const std::string &to) override { fileName = to; }
  ChooserResult Show() override {
    ++shows;
    if (answers.empty())
      return ChooserResult::Cancelled;
    const auto [result, path] = answers.front();
    answers.pop_front();
    if (result == ChooserResult::Chosen)
      fileName = path;
    return result;
  }
  std::string defaultExt;
  std::string title;
  std::string filter;
  std::string initDir;
  std::string fileName;
  void WillChoose(const std::string &path) { answers.push_back({ChooserResult::Chosen, path}); }
  void WillCancel() { answers.push_back({ChooserResult::Cancelled, {}}); }
  int shows = 0;
  std::deque<std::pair<ChooserResult, std::string>> answers;
};
struct FakeClock : IClock {
  LocalTime Now() const override {
    LocalTime whole = now;
    whole.millisecond = 0;
    return whole;
  }
  LocalTime NowWithMilliseconds() const override { return now; }
  std::string DefaultDateTimeText(const LocalTime &t) const override {
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.month, t.day, t.year,
                  t.hour, t.minute, t.second);
    return text;
  }
  std::string DayName(int d) const override { return d >= 0 && d < 7 ? kDays[d] : ""; }
  static constexpr const char *kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  std::string MonthShortName(int m) const override {
    return m >= 1 && m <= 12 ? std::string("JanFebMarAprMayJunJulAugSepOctNovDec", 3 * m - 3, 3)
                             : "";
  }
  LocalTime now{2026, 12, 5, 3, 46, 54, 6};
};
struct FakeAppInfo : IAppInfo {
  std::string ExeFolder() const override { return folder; }
  std::string ExeName() const override { return name; }
  std::string ExePath() const override { return folder + "/" + name; }
  int VersionMajor() const override { return 1; }
  int VersionMinor() const override { return 3; }
  int VersionRevision() const override { return 0; }
  std::string folder = "/tmp";
  std::string name = "kestrel-terminal";
};
struct FakeShell : IShell {
  bool Open(const std::string &target) override {
    opened.push_back(target);
    return result;
  }
  std::vector<std::string> opened;
  bool result = true;
};
} // namespace kestrel::test
