#include "FakeControls.h"

#include <cstdio>

namespace kestrel::test {

std::string FakeStatusBar::PanelText(int panel) const {
  auto it = panels_.find(panel);
  return it == panels_.end() ? std::string() : it->second.text;
}

bool FakeStatusBar::PanelEnabled(int panel) const {
  auto it = panels_.find(panel);
  return it == panels_.end() ? true : it->second.enabled;
}

std::string FakeComboBox::List(int i) const {
  return (i >= 0 && i < ListCount()) ? items[i] : std::string();
}

bool FakeComboBox::Choose(const std::string &text) {
  for (int i = 0; i < ListCount(); ++i)
    if (items[i] == text) {
      index = i;
      return true;
    }
  return false;
}

void FakeTimer::Advance(int milliseconds) {
  while (milliseconds > 0 && interval_ > 0) {
    int step = std::min(milliseconds, interval_ - elapsed_);
    elapsed_ += step;
    milliseconds -= step;
    if (elapsed_ >= interval_) {
      elapsed_ = 0;
      ++fired;
      if (handler_)
        handler_();
    }
  }
}

ChooserResult FakeFileChooser::Show() {
  ++shows;
  if (answers.empty())
    return ChooserResult::Cancelled;
  auto [result, path] = answers.front();
  answers.pop_front();
  if (result == ChooserResult::Chosen)
    fileName = path;
  return result;
}

std::string FakeClock::DefaultDateTimeText(const LocalTime &t) const {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d", t.month, t.day, t.year,
                t.hour, t.minute, t.second);
  return buffer;
}

std::string FakeClock::DayName(int weekday) const {
  static const char *names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                "Thursday", "Friday", "Saturday"};
  return (weekday >= 0 && weekday < 7) ? names[weekday] : "";
}

std::string FakeClock::MonthShortName(int month) const {
  static const char *names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return (month >= 1 && month <= 12) ? names[month - 1] : "";
}

} // namespace kestrel::test
