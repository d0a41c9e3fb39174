// Fakes of the platform's controls: each records what the logic did to it and acts as the user.
#pragma once
#include "Controls.h"
#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <type_traits>
#include <vector>
namespace kestrel::test {
template <class T> using Arg = std::conditional_t<std::is_scalar_v<T>, T, const T &>;
// clang-format off
// A property of the interface kept in a plain field of that name.
#define KT_FAKE_PROPERTY(T, Name, field) T Name() const override { return field; } \
  void Name(Arg<T> to) override { field = to; } T field
// A control whose one property is given at construction, and any further members.
#define KT_FAKE_CONTROL(Fake, Base, T, Name, field, ...) struct Fake : Base { \
  explicit Fake(T initial = {}) : field(std::move(initial)) {} \
  KT_FAKE_PROPERTY(T, Name, field); __VA_ARGS__ }
// A property whose setter fails with the error its check gives, or else stores the value.
#define KT_COMM_PROPERTY(T, Name, field, check) T Name() const override { return field; } \
  int Name(Arg<T> value) override { \
    const int error = check; return error ? error : Set(field, value); }
// clang-format on
KT_FAKE_CONTROL(FakeButton, IButton, std::string, Caption, caption);
KT_FAKE_CONTROL(FakeLabel, ILabel, std::string, Caption, caption);
KT_FAKE_CONTROL(FakeTextBox, ITextBox, std::string, Text, text);
KT_FAKE_CONTROL(FakeMenuItem, IMenuItem, bool, Checked, checked);
KT_FAKE_CONTROL(FakeCheckBox, ICheckBox, std::string, Caption, caption,
                KT_FAKE_PROPERTY(bool, Value, value) = false;);
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
  void Clear() override { items.clear(), index = -1; }
  void AddItem(const std::string &text) override { items.push_back(text); }
  int ListCount() const override { return static_cast<int>(items.size()); }
  std::string List(int i) const override { return i >= 0 && i < ListCount() ? items[i] : ""; }
  int ListIndex() const override { return index; }
  void ListIndex(int i) override { index = i >= 0 && i < ListCount() ? i : -1; }
  std::string Text() const override { return List(index); }
  void SetFocus() override { ++focused; }
  bool Choose(const std::string &text) {
    const auto at = std::find(items.begin(), items.end(), text) - items.begin();
    return at < ListCount() && (index = static_cast<int>(at), true);
  }
  std::vector<std::string> items;
  int index = -1, focused = 0;
};
// A timer driven by the test: Advance moves its own clock on.
struct FakeTimer : ITimer {
  int Interval() const override { return interval; }
  void Interval(int milliseconds) override { interval = milliseconds, elapsed = 0; }
  void OnTimer(std::function<void()> handler) override { onTimer = std::move(handler); }
  void Advance(int milliseconds) {
    for (int step; milliseconds > 0 && interval > 0; milliseconds -= step) {
      step = std::min(milliseconds, interval - elapsed);
      if ((elapsed += step) >= interval && (elapsed = 0, ++fired, onTimer))
        onTimer();
    }
  }
  int interval = 0, elapsed = 0, fired = 0;
  std::function<void()> onTimer;
};
struct FakeMessageBox : IMessageBox {
  struct Shown {
    std::string text, title;
    MessageIcon icon;
    std::string detail;
  };
  void Show(const std::string &text, const std::string &title, MessageIcon icon,
            const std::string &detail) override {
    shown.push_back({text, title, icon, detail}), onShow ? onShow() : void();
  }
  std::vector<Shown> shown;
  std::function<void()> onShow; // runs while the box is "open"
};
// A file chooser that answers from a script: WillChoose or WillCancel queue what Show answers.
struct FakeFileChooser : IFileChooser {
  KT_FAKE_PROPERTY(std::string, DefaultExt, defaultExt);
  KT_FAKE_PROPERTY(std::string, DialogTitle, title);
  KT_FAKE_PROPERTY(std::string, Filter, filter);
  KT_FAKE_PROPERTY(std::string, InitDir, initDir);
  KT_FAKE_PROPERTY(std::string, FileName, fileName);
  ChooserResult Show() override {
    if (++shows, answers.empty())
      return ChooserResult::Cancelled;
    const auto [result, path] = answers.front();
    answers.pop_front();
    fileName = result == ChooserResult::Chosen ? path : fileName;
    return result;
  }
  void WillChoose(const std::string &path) { answers.push_back({ChooserResult::Chosen, path}); }
  void WillCancel() { answers.push_back({ChooserResult::Cancelled, {}}); }
  int shows = 0;
  std::deque<std::pair<ChooserResult, std::string>> answers;
};
struct FakeClock : IClock {
  LocalTime Now() const override { return now; }
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
  std::string folder = "/tmp", name = "kestrel-terminal";
};
struct FakeShell : IShell {
  bool Open(const std::string &target) override { return opened.push_back(target), result; }
  std::vector<std::string> opened;
  bool result = true;
};
} // namespace kestrel::test
