// The Tools menu's display choices around the window on fake controls: colours on the
// display's text with the log unchanged, hex rows, milliseconds in the time stamps, Send
// Hex, each remembered; and with none chosen, the window's own formatter untouched.
#include "DisplayChoices.h"
#include "IniFile.h"
#include "Styles.h"
#include "ToolsFixture.h"
#include <deque>
namespace kestrel::test {
namespace {
constexpr auto kFree = FakeCommControl::PortState::Free;
struct FakeTextInput : ITextInput {
  bool Ask(const std::string &title, const std::string &, std::u32string &text) override {
    offered.push_back(text);
    lastTitle = title;
    if (whileAsking)
      whileAsking();
    if (answers.empty())
      return false; // the user cancels
    text = answers.front();
    answers.pop_front();
    return true;
  }
  std::deque<std::u32string> answers;
  std::vector<std::u32string> offered;
  std::string lastTitle;
  std::function<void()> whileAsking;
};
// The choices on fake menu items, remembered in the test folder's Serial.ini.
struct Choices {
  template <class Window>
  explicit Choices(Window &t)
      : logic(DisplayChoicesControls{t.frm, t.rtfData, t.MSComm1, mnuToolsColours, mnuToolsHex,
                                     mnuToolsMilliseconds, input, t.messageBox, t.appInfo,
                                     choices}) {}
  FakeMenuItem mnuToolsColours, mnuToolsHex, mnuToolsMilliseconds;
  FakeTextInput input;
  ToolsChoices choices{ApplicationFolder() + "/Serial.ini"};
  DisplayChoices logic;
};
const std::string kEspLog = "\x1b[0;32mI (31) boot: ESP-IDF v5.1\x1b[0m\r\n"
                            "plain line\r\n"
                            "\x1b[0;33mW (45) wifi: weak\x1b[0m\r\n"
                            "\x1b[0;31mE (52) app: failed\x1b[0m\r\n";
const std::string kEspShown = "I (31) boot: ESP-IDF v5.1\r\nplain line\r\nW (45) wifi: weak\r\n"
                              "E (52) app: failed\r\n";
class DisplayChoicesTest : public TerminalTest {
protected:
  DisplayChoicesTest() { Load(); }
  // The style of the shown text's character at index.
  std::uint32_t StyleOfShown(std::size_t index) const {
    return t->rtfData.StyleAt(t->rtfData.Origin() + startLine.size() + index);
  }
  // Reads one by one, as a slow line delivers them.
  void ReceiveEach(const std::string &bytes) {
    for (char ch : bytes)
      Receive(std::string(1, ch));
  }
};
TEST_F(DisplayChoicesTest, AFirstStartChoosesNothingAndTheWindowFormatsAsItsOwn) {
  Choices c(*t);
  EXPECT_FALSE(c.mnuToolsColours.checked);
  EXPECT_FALSE(c.mnuToolsHex.checked);
  EXPECT_FALSE(c.mnuToolsMilliseconds.checked);
  EXPECT_TRUE(IniReadSection(dir.File("Serial.ini"), "Tools").empty());
  Receive(kEspLog);
  EXPECT_EQ(Shown(), "[0;32mI (31) boot: ESP-IDF v5.1[0m\r\nplain line\r\n[0;33mW (45) wifi: "
                     "weak[0m\r\n[0;31mE (52) app: failed[0m\r\n");
  EXPECT_TRUE(t->rtfData.StyleRuns().empty());
}
TEST_F(DisplayChoicesTest, ColoursTakeTheSequencesOutAndColourTheTextAfterThem) {
  Choices c(*t);
  c.logic.mnuToolsColours_Click();
  ReceiveEach(kEspLog.substr(0, 40)); // sequences split across reads
  Receive(kEspLog.substr(40));
  EXPECT_EQ(Shown(), kEspShown);
  EXPECT_EQ(StyleOfShown(0), Fg(2));
  EXPECT_EQ(StyleOfShown(24), Fg(2));
  EXPECT_EQ(StyleOfShown(kEspShown.find("plain")), 0u);
  EXPECT_EQ(StyleOfShown(kEspShown.find("W (45)")), Fg(3));
  EXPECT_EQ(StyleOfShown(kEspShown.find("E (52)")), Fg(1));
  EXPECT_EQ(t->rtfData.Style(), 0u);
}
// A sequence the board had begun when Hex was switched on takes none of the text after Hex.
TEST_F(DisplayChoicesTest, ColoursStartAfreshAfterHexRows) {
  Choices c(*t);
  c.logic.mnuToolsColours_Click();
  Receive("ok\n\x1b]0;ti"); // a title sequence, cut off
  c.logic.mnuToolsHex_Click();
  Receive("AB");
  c.logic.mnuToolsHex_Click();
  Receive("reset done\nnext\n");
  EXPECT_TRUE(Shown().ends_with("\r\nreset done\r\nnext\r\n")) << Shown();
}
TEST_F(DisplayChoicesTest, ColoursLeaveTheTimePrefixAndStatusLinesPlain) {
  Choices c(*t);
  c.logic.mnuToolsColours_Click();
  t->frm.mnuOptionAddTime_Click();
  t->frm.mnuOptionIgnorePinStatus_Click();
  Receive("\x1b[34mblue ");
  t->MSComm1.Raise(comEvCTS);
  Receive("still blue\n");
  const std::string prefix = "2026/12/05 03:46:54 - ";
  EXPECT_EQ(Shown(), prefix + "blue CTS Changed State\r\n" + prefix + "still blue\r\n");
  EXPECT_EQ(StyleOfShown(0), 0u);
  EXPECT_EQ(StyleOfShown(prefix.size()), Fg(4));
  EXPECT_EQ(StyleOfShown(prefix.size() + 5), 0u); // the status line
  EXPECT_EQ(StyleOfShown(Shown().rfind(prefix)), 0u);
  EXPECT_EQ(StyleOfShown(Shown().find("still")), Fg(4));
}
TEST_F(DisplayChoicesTest, TheLogIsTheSameWithColoursHexOrNeither) {
  const std::string stream = kEspLog + "\x1b]0;title\x07tail\x01\x1b[2K\n" + std::string(600, 'x');
  auto logged = [&](const std::string &name, void (DisplayChoices::*choose)()) {
    Terminal other;
    other.frm.Form_Load();
    Choices c(other);
    if (choose)
      (c.logic.*choose)();
    other.cdlgTop.WillChoose(dir.File(name));
    other.chkLogEnabled.Value(true);
    other.frm.chkLogEnabled_Click();
    for (std::size_t at = 0; at < stream.size(); at += 7)
      other.MSComm1.Receive(stream.substr(at, 7));
    return ReadFile(dir.File(name));
  };
  const std::string plain = logged("plain.txt", nullptr);
  EXPECT_NE(plain.find("\t <0x1B>[0;32mI (31) boot: ESP-IDF v5.1 <0x1B>[0m\r\n"),
            std::string::npos);
  EXPECT_EQ(logged("colours.txt", &DisplayChoices::mnuToolsColours_Click), plain);
  EXPECT_EQ(logged("hex.txt", &DisplayChoices::mnuToolsHex_Click), plain);
}
TEST_F(DisplayChoicesTest, ALineCutByALostDeviceIsEndedOnceWithColoursHexOrNeither) {
  using Lines = std::vector<std::string>;
  const auto colours = &DisplayChoices::mnuToolsColours_Click;
  const struct {
    const char *name;
    void (DisplayChoices::*choose)();
    const char *before, *after, *shown;
    Lines logged;
  } rows[] = {
      {"plain", nullptr, "half", "next\n", "half\r\nnext\r\n",
       Lines{"*** Logging Started ***", "half", "next"}},
      {"plain, the line already ended", nullptr, "whole\n", "next\n", "whole\r\nnext\r\n",
       Lines{"*** Logging Started ***", "whole", "next"}},
      {"colours", colours, "\x1b[32mhalf", "next\n", "half\r\nnext\r\n",
       Lines{"*** Logging Started ***", " <0x1B>[32mhalf", "next"}},
      {"colours, a sequence alone after the line", colours, "ok\n\x1b[0m", "next\n",
       "ok\r\nnext\r\n", Lines{"*** Logging Started ***", "ok", " <0x1B>[0m", "next"}},
      {"hex", &DisplayChoices::mnuToolsHex_Click, "AB", "C\n",
       "00000000  41 42                                             AB\r\n"
       "00000002        43 0A                                         C.\r\n",
       Lines{"*** Logging Started ***", "AB", "C"}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(dir.File("Serial.ini"), "");
    t = std::make_unique<Terminal>();
    Load();
    Choices c(*t);
    if (row.choose)
      (c.logic.*row.choose)();
    const std::string path = LogTo(std::string(row.name) + ".txt");
    Receive(row.before);
    t->frm.MSComm1_Closed();
    Receive(row.after);
    EXPECT_EQ(Shown(), row.shown);
    EXPECT_EQ(LogTexts(path), row.logged);
  }
}
TEST_F(DisplayChoicesTest, HexShowsRowsFromTheMomentItIsChosenEachWithTheTimePrefix) {
  Choices c(*t);
  Receive("text before");
  c.logic.mnuToolsHex_Click();
  t->frm.mnuOptionAddTime_Click();
  Receive("ABCDEFGHIJKLMNOPQR\r\n");
  Receive("S");
  const std::string prefix = "2026/12/05 03:46:54 - ";
  EXPECT_EQ(Shown(),
            "text before\r\n" + prefix +
                "00000000  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP\r\n" +
                prefix + "00000010  51 52 0D 0A                                       QR..\r\n" +
                prefix + "00000014              53                                        S\r\n");
  EXPECT_EQ(c.logic.HexOffset(), 21u);
}
TEST_F(DisplayChoicesTest, HexKeepsStatusLinesAsTextAndStopsWhenCleared) {
  Choices c(*t);
  c.logic.mnuToolsHex_Click();
  t->frm.mnuOptionIgnorePinStatus_Click();
  Receive("AB");
  t->MSComm1.Raise(comEvCTS);
  c.logic.mnuToolsHex_Click();
  Receive("ok\n");
  EXPECT_EQ(Shown(), "00000000  41 42                                             AB\r\n"
                     "CTS Changed State\r\nok\r\n");
}
TEST_F(DisplayChoicesTest, MillisecondsGoIntoTheDisplayPrefixAndTheLogStamp) {
  Choices c(*t);
  c.logic.mnuToolsMilliseconds_Click();
  t->clock.now.millisecond = 42;
  t->frm.mnuOptionAddTime_Click();
  const std::string path = LogTo("ms.txt");
  Receive("line\n");
  t->clock.now.millisecond = 7;
  c.logic.mnuToolsMilliseconds_Click();
  Receive("after\n");
  EXPECT_EQ(Shown(), "2026/12/05 03:46:54.042 - line\r\n2026/12/05 03:46:54 - after\r\n");
  EXPECT_EQ(ReadFile(path), "2026/12/05 03:46:54.042\t*** Logging Started ***\r\n"
                            "2026/12/05 03:46:54.042\tline\r\n"
                            "2026/12/05 03:46:54\tafter\r\n");
}
TEST_F(DisplayChoicesTest, ChoicesAreRememberedForTheNextStart) {
  {
    Choices c(*t);
    c.logic.mnuToolsColours_Click();
    c.logic.mnuToolsMilliseconds_Click();
  }
  EXPECT_EQ(
      IniReadSection(dir.File("Serial.ini"), "Tools"),
      (std::vector<std::pair<std::string, std::string>>{{"Colours", "1"}, {"Milliseconds", "1"}}));
  Choices next(*t);
  EXPECT_TRUE(next.mnuToolsColours.checked);
  EXPECT_FALSE(next.mnuToolsHex.checked);
  EXPECT_TRUE(next.mnuToolsMilliseconds.checked);
  EXPECT_TRUE(t->frm.Milliseconds());
  Receive("\x1b[31mred\n");
  EXPECT_EQ(Shown(), "red\r\n");
}
TEST_F(DisplayChoicesTest, SendHexSendsPairsAndRefusesAnythingElseSendingNothing) {
  t->MSComm1.Port(1, kFree);
  Choices c(*t);
  const Box closed{"Open the port before sending hex.", "kestrel-terminal - Send Hex",
                   MessageIcon::Exclamation, ""};
  c.logic.mnuToolsSendHex_Click();
  ASSERT_EQ(Boxes(), std::vector<Box>{closed});
  EXPECT_TRUE(c.input.offered.empty());

  WriteFile(dir.File("Serial.ini"), Ini("1"));
  t->frm.cmdOpenPort_Click();
  ASSERT_TRUE(t->MSComm1.PortOpen());
  c.input.answers = {U"01 A0 fg", U"01 A0 ff"};
  c.logic.mnuToolsSendHex_Click();
  EXPECT_EQ(t->MSComm1.sent, std::string("\x01\xA0\xFF", 3));
  EXPECT_EQ(c.input.offered, (std::vector<std::u32string>{U"", U"01 A0 fg"}));
  EXPECT_EQ(Boxes().back(),
            (Box{"\"g\" at character 8 is not a hex digit. Type bytes as hex pairs, such as 01 A0 "
                 "ff. Nothing was sent.",
                 "kestrel-terminal - Send Hex", MessageIcon::Exclamation, ""}));
  c.input.answers = {U"0"};
  c.logic.mnuToolsSendHex_Click(); // refused, then cancelled
  EXPECT_EQ(t->MSComm1.sent, std::string("\x01\xA0\xFF", 3));
  EXPECT_EQ(c.input.offered.back(), U"0");
  EXPECT_EQ(c.input.offered[2], U"01 A0 ff"); // the last text sent is offered again
}
TEST_F(DisplayChoicesTest, SendHexSendsNothingWhileAFileSendsAndOffersTheTextAgain) {
  t->MSComm1.Port(1, kFree);
  WriteFile(dir.File("Serial.ini"), Ini("1"));
  t->frm.cmdOpenPort_Click();
  Choices c(*t);
  ToolsOn tools(*t);
  WriteFile(tools.chooser.path = dir.File("image.bin"), std::string(1u << 20, 'f'));
  std::size_t went = 0;
  auto sendFile = [&] {
    tools.menu.mnuToolsSendFile_Click();
    went = t->MSComm1.sent.size();
  };
  const struct {
    const char *name;
    bool startsWhileAsking;
  } rows[] = {{"a file sending", false}, {"a file started while asking", true}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    c.input.answers = {U"41 42"};
    c.input.whileAsking = row.startsWhileAsking ? std::function<void()>(sendFile) : nullptr;
    if (!row.startsWhileAsking)
      sendFile();
    c.logic.mnuToolsSendHex_Click();
    EXPECT_EQ(t->MSComm1.sent.substr(went), "");
    EXPECT_EQ(t->sbTop.PanelText(1), "Send Hex: nothing sent while a file is sending");
    tools.menu.cmdSendCancel_Click();
  }
  EXPECT_TRUE(Boxes().empty());
  c.input.whileAsking = nullptr;
  c.logic.mnuToolsSendHex_Click(); // cancelled
  EXPECT_EQ(c.input.offered, (std::vector<std::u32string>{U"", U"41 42"}));
}
} // namespace
} // namespace kestrel::test
