// The Tools menu on fake controls: reconnecting, pasting, sending a file,
// the break and the line-levels window.
#include "TerminalFixture.h"
#include "ToolsFixture.h"
#include "ToolsText.h"

#include <memory>

namespace kestrel::test {
namespace {

TEST(PasteToBytes, SendsWhatTypedKeysWouldAndCountsWhatItCannot) {
  struct Case {
    std::u32string text;
    std::string bytes;
    std::size_t leftOut;
  } cases[] = {
      {U"one\r\ntwo\nthree\rfour", "one\rtwo\rthree\rfour", 0},
      {U"\r\r\n\n", "\r\r\r", 0},
      {U"caf\u00e9 \u00ff", "caf\xe9 \xff", 0},
      {U"5 \u20ac, \U0001F600!", "5 , !", 2},
      {std::u32string(U"a\0b", 3), "ab", 1},
      {U"\t\x1b[0m", "\t\x1b[0m", 0},
      {U"", "", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.bytes);
    PastedBytes got = PasteToBytes(c.text);
    EXPECT_EQ(got.bytes, c.bytes);
    EXPECT_EQ(got.leftOut, c.leftOut);
  }
}

TEST(FindInText, FindsForwardsAndBackwardsIgnoringCaseByDefault) {
  const std::string text = "Boot OK\r\nboot failed\r\nBOOT ok";
  constexpr auto npos = std::string::npos;
  struct Case {
    const char *needle;
    std::size_t from;
    bool forward, matchCase;
    std::size_t at;
  } cases[] = {
      {"boot", 0, true, false, 0},       {"boot", 1, true, false, 9},
      {"boot", 1, true, true, 9},        {"BOOT", 0, true, true, 22},
      {"boot", 30, false, false, 22},    {"boot", 22, false, false, 9},
      {"boot", 9, false, false, 0},      {"boot", 3, false, false, npos},
      {"ok", 8, true, false, 27},        {"missing", 0, true, false, npos},
      {"", 0, true, false, npos},        {"boot", 99, true, false, npos},
      {"ok\r\nboot", 0, true, false, 5}, {"Ok", 999, false, false, 27},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.needle) + " from " + std::to_string(c.from));
    EXPECT_EQ(FindInText(text, c.needle, c.from, c.forward, c.matchCase), c.at);
  }
}

TEST(SendProgressText, SaysAmountRateAndTimeLeft) {
  struct Case {
    std::uint64_t sent, size;
    std::int64_t ms;
    const char *text;
  } cases[] = {
      {0, 10 << 20, 0, "0 bytes of 10.0 MB sent"},
      {512 << 10, 1 << 20, 1000, "512.0 KB of 1.0 MB sent, 512.0 KB/s, 1 s left"},
      {1 << 20, 1 << 20, 2000, "1.0 MB of 1.0 MB sent, 512.0 KB/s"},
      {1152, 1ull << 30, 1000, "1.1 KB of 1.00 GB sent, 1.1 KB/s, 258 h 54 min left"},
      {960, 96000, 1000, "960 bytes of 93.8 KB sent, 960 bytes/s, 1 min 39 s left"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(SendProgressText(c.sent, c.size, c.ms), c.text);
}

class ToolsTest : public TerminalTest {
protected:
  ToolsTest() {
    t->MSComm1.Port(3, FakeCommControl::PortState::Free);
    Load("3", "115200,N,8,1");
    tools = std::make_unique<Tools>(*t);
  }
  void Open() {
    tools->menu.cmdOpenPort_Click();
    ASSERT_TRUE(t->MSComm1.PortOpen());
  }
  void DeviceGoes() {
    t->MSComm1.Vanish();
    tools->menu.MSComm1_Closed();
  }
  std::unique_ptr<Tools> tools;
};

TEST_F(ToolsTest, WithoutReconnectTheLossIsReportedAsBefore) {
  Open();
  DeviceGoes();
  EXPECT_EQ(t->sbTop.PanelText(1), "Serial Port Closed");
  EXPECT_EQ(t->cmdOpenPort.Caption(), "Open Port");
  EXPECT_EQ(tools->tmrReconnect.Interval(), 0);
  EXPECT_EQ(Shown(), "");
}

TEST_F(ToolsTest, ReconnectWaitsForTheDeviceAndReopensIt) {
  t->mnuOptionIgnorePinStatus.Checked(false);
  tools->menu.mnuToolsReconnect_Click();
  Open();
  const std::size_t opens = t->MSComm1.opened.size();
  Receive("partial");
  DeviceGoes();
  EXPECT_TRUE(tools->menu.Waiting());
  EXPECT_EQ(t->sbTop.PanelText(1), "Waiting for Device");
  EXPECT_EQ(t->cmdOpenPort.Caption(), "Close Port");
  EXPECT_FALSE(t->sbTop.PanelEnabled(2));
  EXPECT_EQ(Shown(), "partial\r\nDevice Disconnected\r\n");

  tools->Advance(1000);
  EXPECT_EQ(tools->tmrReconnect.fired, 4) << "a check every 250 ms";
  EXPECT_TRUE(tools->menu.Waiting());
  EXPECT_EQ(t->MSComm1.opened.size(), opens);

  t->MSComm1.Port(3, FakeCommControl::PortState::Free);
  tools->Advance(250);
  EXPECT_FALSE(tools->menu.Waiting());
  EXPECT_TRUE(t->MSComm1.PortOpen());
  EXPECT_EQ(t->MSComm1.Settings(), "115200,N,8,1");
  EXPECT_EQ(t->sbTop.PanelText(1), "Serial Port Active");
  EXPECT_TRUE(t->sbTop.PanelEnabled(2));
  EXPECT_EQ(tools->tmrReconnect.Interval(), 0);
  Receive("more\n");
  EXPECT_EQ(Shown(), "partial\r\nDevice Disconnected\r\nDevice Reconnected\r\nmore\r\n");
}

TEST_F(ToolsTest, IgnoredPinStatusHidesTheReconnectLines) {
  tools->menu.mnuToolsReconnect_Click();
  Open();
  DeviceGoes();
  t->MSComm1.Port(3, FakeCommControl::PortState::Free);
  tools->Advance(250);
  EXPECT_TRUE(t->MSComm1.PortOpen());
  EXPECT_EQ(Shown(), "");
}

TEST_F(ToolsTest, TheButtonOrClearingTheOptionStopsTheWaiting) {
  for (bool byButton : {true, false}) {
    SCOPED_TRACE(byButton ? "button" : "menu");
    if (!tools->mnuToolsReconnect.Checked())
      tools->menu.mnuToolsReconnect_Click();
    t->MSComm1.Port(3, FakeCommControl::PortState::Free);
    Open();
    DeviceGoes();
    if (byButton)
      tools->menu.cmdOpenPort_Click();
    else
      tools->menu.mnuToolsReconnect_Click();
    EXPECT_FALSE(tools->menu.Waiting());
    EXPECT_EQ(t->sbTop.PanelText(1), "Serial Port Closed");
    EXPECT_EQ(t->cmdOpenPort.Caption(), "Open Port");
    t->MSComm1.Port(3, FakeCommControl::PortState::Free);
    tools->Advance(1000);
    EXPECT_FALSE(t->MSComm1.PortOpen());
  }
}

TEST_F(ToolsTest, PasteSendsLinesEndedByCrAndOnlyWhileOpen) {
  tools->menu.mnuToolsPaste_Click(U"closed\n");
  EXPECT_EQ(t->MSComm1.sent, "");
  Open();
  tools->menu.mnuToolsPaste_Click(U"one\ntwo\r\nthree\r");
  EXPECT_EQ(t->MSComm1.sent, "one\rtwo\rthree\r");
  EXPECT_EQ(t->sbTop.PanelText(1), "Serial Port Active");
  tools->menu.mnuToolsPaste_Click(U"\u20ac5\u2014");
  EXPECT_EQ(t->MSComm1.sent, "one\rtwo\rthree\r5");
  EXPECT_EQ(t->sbTop.PanelText(1), "Paste to Port: 2 characters left out (not in Latin-1)");
}

TEST_F(ToolsTest, LargePasteAsksFirst) {
  Open();
  const std::u32string big(ToolsMenu::kPasteAskBytes + 1, U'x');
  tools->menu.mnuToolsPaste_Click(std::u32string(ToolsMenu::kPasteAskBytes, U'y'));
  EXPECT_TRUE(tools->question.asked.empty());
  t->MSComm1.sent.clear();
  tools->menu.mnuToolsPaste_Click(big);
  ASSERT_EQ(tools->question.asked.size(), 1u);
  EXPECT_EQ(tools->question.asked[0], "kestrel-terminal - Paste to Port: The text to paste is "
                                      "65537 characters long. Send all of it to the port?");
  EXPECT_EQ(t->MSComm1.sent, "");
  tools->question.answer = true;
  tools->menu.mnuToolsPaste_Click(big);
  EXPECT_EQ(t->MSComm1.sent.size(), big.size());
}

TEST_F(ToolsTest, SendFileIsPacedByTheQueueAndArrivesWhole) {
  std::string bytes;
  for (int i = 0; i < 1000000; ++i)
    bytes += static_cast<char>(i * 7 % 256);
  WriteFile(dir.File("image.bin"), bytes);
  tools->chooser.path = dir.File("image.bin");
  Open();
  tools->menu.mnuToolsSendFile_Click();
  ASSERT_TRUE(tools->progress.shown);
  EXPECT_EQ(tools->progress.fileName, "image.bin");
  for (int tick = 0; tick < 1000 && tools->progress.shown; ++tick) {
    EXPECT_LE(t->MSComm1.pending, FileSender::kHighWater + FileSender::kChunk);
    t->MSComm1.Drain(30000);
    tools->Advance(ToolsMenu::kSendTickMs);
  }
  EXPECT_FALSE(tools->progress.shown);
  EXPECT_EQ(tools->tmrSendFile.Interval(), 0);
  EXPECT_EQ(t->MSComm1.sent, bytes);
  EXPECT_EQ(tools->menu.Sender().Status(), FileSender::State::Done);
  EXPECT_TRUE(t->messageBox.shown.empty());
}

TEST_F(ToolsTest, CancelDiscardsWhatIsHeldAndStops) {
  WriteFile(dir.File("big.bin"), std::string(2 << 20, 'z'));
  tools->chooser.path = dir.File("big.bin");
  Open();
  tools->menu.mnuToolsSendFile_Click();
  t->MSComm1.Drain(100000);
  tools->Advance(200);
  EXPECT_NE(tools->progress.text.find(" of 2.0 MB sent"), std::string::npos);
  EXPECT_GT(tools->progress.permille, 0);
  tools->menu.cmdSendCancel_Click();
  EXPECT_FALSE(tools->progress.shown);
  EXPECT_EQ(t->MSComm1.OutBufferCount(), 0);
  EXPECT_EQ(t->MSComm1.sent, std::string(100000, 'z'));
  EXPECT_GT(t->MSComm1.discarded, 0u);
  tools->Advance(100);
  EXPECT_EQ(t->MSComm1.sent.size(), 100000u);
}

TEST_F(ToolsTest, SendFileRefusalsSayWhy) {
  struct Case {
    const char *name;
    bool open;
    std::string path;
    std::string text;
  } cases[] = {
      {"closed port", false, dir.File("x"), "Open the port before sending a file."},
      {"missing file", true, dir.File("none"), "Unable to read the file " + dir.File("none") + "."},
      {"a folder", true, dir.Path(), "Unable to read the file " + dir.Path() + "."},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    if (c.open != t->MSComm1.PortOpen())
      tools->menu.cmdOpenPort_Click();
    t->messageBox.shown.clear();
    tools->chooser.path = c.path;
    tools->menu.mnuToolsSendFile_Click();
    ASSERT_EQ(t->messageBox.shown.size(), 1u);
    EXPECT_EQ(t->messageBox.shown[0].text, c.text);
    EXPECT_EQ(t->messageBox.shown[0].title, "kestrel-terminal - Send File");
    EXPECT_FALSE(tools->progress.shown);
  }
}

TEST_F(ToolsTest, PortLostWhileSendingEndsTheSendWithAMessage) {
  WriteFile(dir.File("big.bin"), std::string(2 << 20, 'z'));
  tools->chooser.path = dir.File("big.bin");
  Open();
  tools->menu.mnuToolsSendFile_Click();
  DeviceGoes();
  tools->Advance(ToolsMenu::kSendTickMs);
  EXPECT_FALSE(tools->progress.shown);
  ASSERT_EQ(t->messageBox.shown.size(), 1u);
  EXPECT_EQ(t->messageBox.shown[0].text, "The port closed before all of big.bin was sent.");
}

TEST_F(ToolsTest, BreakLastsAQuarterSecondAndNeedsAnOpenPort) {
  tools->menu.mnuToolsSendBreak_Click();
  EXPECT_TRUE(t->MSComm1.breakHistory.empty());
  Open();
  tools->menu.mnuToolsSendBreak_Click();
  tools->menu.mnuToolsSendBreak_Click();
  EXPECT_EQ(t->MSComm1.breakHistory, std::vector<bool>{true});
  tools->Advance(249);
  EXPECT_TRUE(t->MSComm1.Break());
  tools->Advance(1);
  EXPECT_EQ(t->MSComm1.breakHistory, (std::vector<bool>{true, false}));
}

TEST_F(ToolsTest, LineLevelsFollowTheLinesAndGreyWhileClosed) {
  FakeLineLevelsView &view = tools->levels;
  tools->menu.mnuToolsLineLevels_Click();
  EXPECT_TRUE(view.visible);
  EXPECT_TRUE(tools->mnuToolsLineLevels.Checked());
  EXPECT_FALSE(view.enabled);
  Open();
  t->MSComm1.inputs.cts = true;
  t->MSComm1.inputs.ri = true;
  tools->Advance(ToolsMenu::kLevelsTickMs);
  EXPECT_TRUE(view.enabled);
  EXPECT_TRUE(view.levels.cts && view.levels.ri && !view.levels.dsr && !view.levels.cd);
  t->frm.mnuDTRLevel_Click();
  tools->Advance(ToolsMenu::kLevelsTickMs);
  EXPECT_TRUE(view.levels.dtr);
  EXPECT_FALSE(view.levels.rts);
  int updates = view.updates;
  tools->Advance(1000);
  EXPECT_EQ(view.updates, updates) << "no change, no redraw";
  tools->menu.LineLevels_Closed();
  EXPECT_FALSE(tools->mnuToolsLineLevels.Checked());
  EXPECT_EQ(tools->tmrLineLevels.Interval(), 0);
}

} // namespace
} // namespace kestrel::test
