// The display's history: a line count keeps that many whole lines instead of
// the display's own limits, and the History submenu sets and remembers it.
#include "HistoryMenu.h"
#include "TempDir.h"
#include "TerminalFixture.h"

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

std::string Lines(int from, int to, std::size_t width = 6) {
  std::string out;
  for (int n = from; n < to; ++n) {
    std::string line = "line " + std::to_string(n);
    line.resize(std::max(width, line.size()), '.');
    out += line + "\n";
  }
  return out;
}

struct LimitRow {
  const char *name;
  std::size_t history;
  std::string received; // one call per line
  std::size_t breaks;
  std::string first; // the display's first line
};

class History : public TerminalTest {
protected:
  History() { Load(); }
  void ReceiveByLine(const std::string &text) {
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t feed = text.find('\n', at);
      const std::size_t end = feed == std::string::npos ? text.size() : feed + 1;
      t->frm.AddTextToDisplay(text.substr(at, end - at));
      at = end;
    }
  }
  std::string FirstLine() const { return Display().substr(0, Display().find("\r\n")); }
};

TEST_F(History, ALineCountKeepsThatManyWholeLinesInsteadOfTheDisplaysLimits) {
  const LimitRow rows[] = {
      {"the oldest lines go past the count", 10, Lines(0, 25), 10, "line 15"},
      {"no clearing after 500 line feeds", 1000, Lines(0, 600), 601, "kestrel-terminal Started"},
      {"no trim near 10000 characters", 1000, Lines(0, 200, 100), 201, "kestrel-terminal Started"},
      {"the display's own limit clears after 500", 0, Lines(0, 505), 4, "line 501"},
  };
  for (const LimitRow &row : rows) {
    SCOPED_TRACE(row.name);
    t = std::make_unique<Terminal>();
    t->appInfo.folder = dir.Path();
    Load();
    t->frm.HistoryLines(row.history);
    ReceiveByLine(row.received);
    EXPECT_EQ(t->rtfData.Lines().Breaks(), row.breaks);
    EXPECT_EQ(FirstLine().substr(0, row.first.size()), row.first);
  }
}

// A board that never sends a line feed: the line is kept to 512 characters a line of the count.
TEST_F(History, ALineThatNeverEndsIsKeptTo512CharactersForEachLineOfTheCount) {
  t->frm.HistoryLines(10);
  ReceiveByLine("head\n" + std::string(4000, 'x') + std::string(4000, 'y'));
  EXPECT_EQ(Display(), std::string(1120, 'x') + std::string(4000, 'y'));
}

TEST_F(History, ASmallerCountDropsTheLinesPastItAtOnceAndAutomaticClearingStillApplies) {
  t->frm.HistoryLines(100);
  ReceiveByLine(Lines(0, 50));
  t->frm.HistoryLines(5);
  EXPECT_EQ(t->rtfData.Lines().Breaks(), 5u);
  EXPECT_EQ(FirstLine(), "line 45");
  t->chkAutoClear.Value(true);
  t->txtSize.Text("30");
  Receive("0123456789012345678901234567890123456789");
  // Character by character: the first clears the display, the 32nd again.
  EXPECT_EQ(Display(), "23456789");
}

struct SwitchBackRow {
  const char *name;
  std::string held;  // received with 100000 lines kept, one call per line
  std::string after; // received on the display's own limit again
  std::size_t breaks;
  std::string first;
  std::size_t length;
};

// Lines(n, m, 18) are 20 characters each on the display.
TEST_F(History, BackOnTheDisplaysOwnLimitItKeepsItsLastLinesAndCountsFromTheSwitch) {
  const SwitchBackRow rows[] = {
      {"the lines starting in the last 10000 characters stay", Lines(1000, 3000, 18), "", 500,
       "line 2500.........", 10000},
      {"the lines held before do not count towards the clearing", Lines(1000, 3000, 18),
       Lines(3000, 3010, 18), 498, "line 2512.........", 9960},
      {"500 line feeds after the switch clear it", Lines(1000, 3000, 18), Lines(3000, 3501, 18), 0,
       "", 0},
      {"one long line: its last 10000 characters stay", std::string(30000, 'x'), "", 0,
       std::string(10000, 'x'), 10000},
      {"one long line ended: its last 10000 characters stay", std::string(30000, 'x') + "\n", "", 1,
       std::string(9998, 'x'), 10000},
  };
  for (const SwitchBackRow &row : rows) {
    SCOPED_TRACE(row.name);
    t = std::make_unique<Terminal>();
    t->appInfo.folder = dir.Path();
    Load();
    t->frm.HistoryLines(100000);
    ReceiveByLine(row.held);
    t->frm.HistoryLines(0);
    ReceiveByLine(row.after);
    EXPECT_EQ(t->rtfData.Lines().Breaks(), row.breaks);
    EXPECT_EQ(FirstLine(), row.first);
    EXPECT_EQ(t->rtfData.Length(), row.length);
  }
}

class HistoryChoices : public TerminalTest {
protected:
  HistoryChoices() { Load(); }
  std::unique_ptr<HistoryMenu> Menu(ToolsChoices &choices) {
    return std::make_unique<HistoryMenu>(HistoryMenuControls{
        t->frm, {&items[0], &items[1], &items[2], &items[3]}, choices, t->messageBox, t->appInfo});
  }
  std::vector<bool> Checks() const {
    return {items[0].checked, items[1].checked, items[2].checked, items[3].checked};
  }
  FakeMenuItem items[4];
};

TEST_F(HistoryChoices, AFirstStartHasTheDisplaysOwnLimitAndAChoiceIsRemembered) {
  ToolsChoices first(dir.File("Serial.ini"));
  auto menu = Menu(first);
  EXPECT_EQ(Checks(), (std::vector<bool>{true, false, false, false}));
  EXPECT_EQ(t->frm.HistoryLines(), 0u);
  menu->mnuToolsHistory_Click(2);
  EXPECT_EQ(Checks(), (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(t->frm.HistoryLines(), 100000u);
  EXPECT_NE(ReadFile(dir.File("Serial.ini")).find("History=100000"), std::string::npos);
  ToolsChoices next(dir.File("Serial.ini"));
  menu = Menu(next);
  EXPECT_EQ(Checks(), (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(t->frm.HistoryLines(), 100000u);
}

TEST_F(HistoryChoices, AnUnknownValueIsTheDefaultAndAFailedSaveSaysSoButHolds) {
  WriteFile(dir.File("Serial.ini"), "[Tools]\r\nHistory=lots\r\n");
  ToolsChoices stored(dir.File("Serial.ini"));
  auto menu = Menu(stored);
  EXPECT_EQ(Checks(), (std::vector<bool>{true, false, false, false}));
  ToolsChoices unsaved(dir.File("missing-folder/Serial.ini"));
  menu = Menu(unsaved);
  menu->mnuToolsHistory_Click(3);
  EXPECT_EQ(t->frm.HistoryLines(), 1000000u);
  ASSERT_EQ(t->messageBox.shown.size(), 1u);
  EXPECT_EQ(t->messageBox.shown[0].title, "kestrel-terminal - Tools");
  EXPECT_EQ(t->messageBox.shown[0].text.rfind("The choice could not be remembered", 0), 0u);
}

} // namespace
} // namespace kestrel::test
