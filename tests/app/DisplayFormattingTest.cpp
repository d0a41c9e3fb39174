// What received bytes do to the display and to the log line.
#include "TerminalFixture.h"

#include <string>

namespace kestrel::test {
namespace {

const std::string kPrefix = "2026/12/05 03:46:54 - ";

struct ShownCase {
  const char *name;
  std::string received;
  bool addTime;
  std::string shown;
};

void PrintTo(const ShownCase &c, std::ostream *os) {
  *os << c.name;
}

class ReceivedBytes : public TerminalTest, public testing::WithParamInterface<ShownCase> {};

TEST_P(ReceivedBytes, ShowAsTheyShould) {
  Load();
  t->mnuOptionAddTime.Checked(GetParam().addTime);
  Receive(GetParam().received);
  EXPECT_EQ(Shown(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Display, ReceivedBytes,
    testing::Values(ShownCase{"ABLFZ", "AB\nZ", false, "AB\r\nZ"},
                    ShownCase{"ABLFZStamped", "AB\nZ", true, kPrefix + "AB\r\n" + kPrefix + "Z"},
                    ShownCase{"CRLFIsOneBreak", "a\r\nb\r\n", false, "a\r\nb\r\n"},
                    ShownCase{"LoneCRShowsNothing", "a\rb\r", false, "ab"},
                    ShownCase{"EmptyLineHasNoStamp", "a\n\nb", true,
                              kPrefix + "a\r\n\r\n" + kPrefix + "b"},
                    ShownCase{"BackspaceAndCodesShowNothing",
                              std::string("a\b\x07\t\x1b\0\xc8\x7f", 8), false, "a"},
                    ShownCase{"StampOnlyBeforePrintable", "\x01\x02", true, ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TerminalTest, CodesBecomeTokensOfTheLogLineWhetherOrNotLogging) {
  Load();
  Receive(std::string("X\x07\t\x1bY\0\xc8", 7));
  EXPECT_EQ(t->frm.LogLine(), " <0x7> <0x9> <0x1B> <0x0> <0xC8>");
  t->cdlgTop.WillChoose(dir.File("log.txt"));
  ClickLog(true);
  Receive(std::string("A\x07\x09\x1b"
                      "B\n"));
  EXPECT_EQ(Shown(), "XYAB\r\n");
  EXPECT_EQ(ReadFile(dir.File("log.txt")),
            "2026/12/05 03:46:54\t*** Logging Started ***\r\n"
            "2026/12/05 03:46:54\t <0x7> <0x9> <0x1B> <0x0> <0xC8>A <0x7> <0x9> <0x1B>B\r\n");
  EXPECT_EQ(t->frm.LogLine(), "");
}

TEST_F(TerminalTest, StatusLineContinuesTheReceivedLineAndEndsIt) {
  Load();
  t->mnuOptionIgnorePinStatus.Checked(false);
  Receive("abc");
  t->MSComm1.Raise(comEvCTS);
  Receive("d");
  EXPECT_EQ(Shown(), "abcCTS Changed State\r\nd");
}

TEST_F(TerminalTest, The501stLineFeedEmptiesTheDisplayAtTheEndOfThatCall) {
  Load();
  for (int i = 0; i < 500; ++i)
    Receive("x\n");
  EXPECT_EQ(t->frm.LineCount(), 500);
  EXPECT_EQ(t->rtfData.Length(), startLine.size() + 500 * 3);
  Receive("y\nafter");
  EXPECT_EQ(Display(), "");
  EXPECT_EQ(t->frm.LineCount(), 0);
  Receive("z\n");
  EXPECT_EQ(Display(), "z\r\n");
  EXPECT_EQ(t->frm.LineCount(), 1);
}

TEST_F(TerminalTest, FullDisplayWithoutLineBreakDropsOneCharacterPerCharacter) {
  Load();
  t->frm.cmdClearDisplay_Click();
  Receive(std::string(10000, 'a'));
  ASSERT_EQ(t->rtfData.Length(), 10000u);
  Receive("bc");
  EXPECT_EQ(Display(), std::string(9998, 'a') + "bc");
  // A line break closer to the front than 100 characters does not count.
  t->rtfData.Text("x\r\n" + std::string(9997, 'a'));
  Receive("b");
  EXPECT_EQ(Display(), "\r\n" + std::string(9997, 'a') + "b");
}

TEST_F(TerminalTest, FullDisplayDropsItsOldestLinesUpToABreakFarEnoughIn) {
  Load();
  std::string head = std::string(50, 'h') + "\r\n" + std::string(150, 'i') + "\r\n";
  t->rtfData.Text(head + std::string(10000 - head.size(), 'j'));
  Receive("k");
  EXPECT_EQ(Display(), std::string(10000 - head.size(), 'j') + "k");
  // A break 100 characters in counts for a character but not for a line
  // break, which looks one character further.
  std::string edge = std::string(100, 'e') + "\r\n";
  std::string rest(10000 - edge.size(), 'f');
  t->rtfData.Text(edge + rest);
  Receive("k");
  EXPECT_EQ(Display(), rest + "k");
  t->rtfData.Text(edge + rest);
  Receive("\n");
  EXPECT_EQ(Display(), edge.substr(1) + rest + "\r\n");
}

TEST_F(TerminalTest, TimePrefixMayTakeTheDisplayPastItsLimit) {
  Load();
  t->mnuOptionAddTime.Checked(true);
  t->rtfData.Text(std::string(9990, 'a'));
  Receive("b");
  EXPECT_EQ(Display(), std::string(9989, 'a') + kPrefix + "b");
  t->rtfData.Text(std::string(9995, 'a') + "\r\n");
  Receive("\nc");
  EXPECT_EQ(Display(), "\r\n" + kPrefix + "c");
}

struct ClearCase {
  const char *name;
  const char *size;
  bool clears;
};

void PrintTo(const ClearCase &c, std::ostream *os) {
  *os << c.name;
}

class AutomaticClearing : public TerminalTest, public testing::WithParamInterface<ClearCase> {};

TEST_P(AutomaticClearing, EmptiesTheDisplayOnlyPastAPositiveLimit) {
  Load();
  t->frm.cmdClearDisplay_Click();
  t->chkAutoClear.Value(true);
  t->txtSize.Text(GetParam().size);
  Receive(std::string(100, 'a'));
  EXPECT_EQ(t->rtfData.Length(), 100u);
  Receive("b");
  EXPECT_EQ(t->rtfData.Length(), GetParam().clears ? 0u : 101u);
  // The clearing happens inside the call; what follows lands on the empty display.
  Receive(std::string(101, 'c') + "de");
  EXPECT_EQ(Display(),
            GetParam().clears ? "de" : std::string(100, 'a') + "b" + std::string(101, 'c') + "de");
}

INSTANTIATE_TEST_SUITE_P(Display, AutomaticClearing,
                         testing::Values(ClearCase{"Zero", "0", false},
                                         ClearCase{"Empty", "", false},
                                         ClearCase{"Negative", "-5", false},
                                         ClearCase{"Hundred", "100", true},
                                         ClearCase{"HundredAbc", "100abc", true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(TerminalTest, AutomaticClearingLeavesLineStateAlone) {
  Load();
  t->chkAutoClear.Value(true);
  t->txtSize.Text("10");
  t->mnuOptionAddTime.Checked(true);
  // Each time prefix passes the limit by itself and empties the display.
  Receive("a\nbc");
  EXPECT_EQ(Display(), "bc");
  EXPECT_FALSE(t->frm.LineStart());
  EXPECT_EQ(t->frm.LineCount(), 1);
  t->chkAutoClear.Value(false);
  Receive("d");
  EXPECT_EQ(Display(), "bcd");
}

TEST_F(TerminalTest, ClearDisplayKeepsTheLineGoing) {
  Load();
  t->mnuOptionAddTime.Checked(true);
  Receive("ab");
  t->frm.cmdClearDisplay_Click();
  Receive("c\nd");
  EXPECT_EQ(Display(), "c\r\n" + kPrefix + "d");
}

TEST_F(TerminalTest, StampSwitchedOnMidLineStampsTheNextCharacter) {
  Load();
  Receive("ab");
  t->frm.mnuOptionAddTime_Click();
  EXPECT_TRUE(t->mnuOptionAddTime.Checked());
  Receive("c");
  EXPECT_EQ(Shown(), "ab" + kPrefix + "c");
}

TEST_F(TerminalTest, LongLogLineGoesOutInPiecesOrIsDropped) {
  Load();
  Receive(std::string(300, '\x01'));
  EXPECT_EQ(t->frm.LogLine(), "");
  t->cdlgTop.WillChoose(dir.File("log.txt"));
  ClickLog(true);
  Receive(std::string(600, 'p'));
  Receive(std::string(20, 'q'));
  EXPECT_EQ(ReadFile(dir.File("log.txt")), "2026/12/05 03:46:54\t*** Logging Started ***\r\n"
                                           "2026/12/05 03:46:54\t" +
                                               std::string(600, 'p') + "\r\n");
  EXPECT_EQ(t->frm.LogLine(), std::string(20, 'q'));
}

TEST_F(TerminalTest, SecondFormatterShowsCodesAndHonoursBackspace) {
  Load();
  t->frm.cmdClearDisplay_Click();
  t->frm.AddTextToDisplayA(std::string("ab\bc\x1b\r\n", 7));
  EXPECT_EQ(Display(), "ac <0x1B>\r\n");
  EXPECT_EQ(t->frm.LogLine(), " <0x1B>");
  t->frm.AddTextToDisplayA(std::string(10050, 'z'));
  EXPECT_EQ(t->rtfData.Length(), 11u + 10050u);
}

} // namespace
} // namespace kestrel::test
