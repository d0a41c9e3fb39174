// A line cut short by the loss of the device ends there: shown and logged as its own line,
// never glued to what the device sends after it comes back or to "Device Disconnected".
#include "ToolsOnPty.h"
namespace kestrel::test {
namespace {
using Text = std::string;
class CutLineOnPty : public testing::Test {
protected:
  void SetUp() override {
    if (!p.Ok())
      GTEST_SKIP() << "no pseudo-terminal to be had here";
    ASSERT_TRUE(p.t->MSComm1.PortOpen());
    p.LogToBoardLog();
    p.x->menu.mnuToolsReconnect_Click();
  }
  std::function<bool()> LogLineEndsWith(const Text &tail) {
    return [this, tail] { return p.t->frm.LogLine().ends_with(tail); };
  }
  Text Display() const { return Text(p.t->rtfData.Text()); }
  TempDir dir;
  ToolsOnPty p{dir};
};
TEST_F(CutLineOnPty, WithPinStatusIgnoredTheCutLineIsNotGluedToTheNextAfterReconnecting) {
  ASSERT_TRUE(p.t->mnuOptionIgnorePinStatus.Checked());
  for (int cycle = 1; cycle <= 20; ++cycle) {
    SCOPED_TRACE(cycle);
    const Text n = std::to_string(cycle);
    ASSERT_TRUE(p.Send("PART" + n, LogLineEndsWith("PART" + n)));
    ASSERT_TRUE(p.Unplug());
    ASSERT_TRUE(p.PlugIn());
    ASSERT_TRUE(
        p.Send("MARK" + n + "\n", [&] { return Display().ends_with("MARK" + n + "\r\n"); }));
  }
  const std::vector<Text> texts = LogTexts(dir.File("board.log"));
  EXPECT_EQ(Glued(texts, "PART", "MARK"), 0);
  std::vector<Text> expected{"*** Logging Started ***"};
  for (int cycle = 1; cycle <= 20; ++cycle)
    expected.push_back("PART" + std::to_string(cycle)),
        expected.push_back("MARK" + std::to_string(cycle));
  EXPECT_EQ(texts, expected);
  EXPECT_TRUE(Display().ends_with("PART20\r\nMARK20\r\n")) << Display();
}
TEST_F(CutLineOnPty, ACutLineAfterThe500LineClearIsLoggedBeforeDeviceDisconnected) {
  p.t->mnuOptionIgnorePinStatus.Checked(false);
  Text lines;
  for (int i = 0; i < 501; ++i)
    lines += "line " + std::to_string(i) + "\n";
  for (int cycle = 1; cycle <= 20; ++cycle) {
    SCOPED_TRACE(cycle);
    ASSERT_TRUE(p.Send(lines + "abcdefghijklmn", LogLineEndsWith("abcdefghijklmn")));
    ASSERT_TRUE(p.Unplug());
    ASSERT_TRUE(p.PlugIn());
  }
  const std::vector<Text> texts = LogTexts(dir.File("board.log"));
  EXPECT_EQ(Glued(texts, "mn", "Device"), 0);
  std::size_t cut = 0;
  for (std::size_t i = 0; i + 1 < texts.size(); ++i)
    cut += texts[i] == "abcdefghijklmn" && texts[i + 1] == "Device Disconnected";
  EXPECT_EQ(cut, 20u);
}
} // namespace
} // namespace kestrel::test
