// The Tools menu: find and progress texts; reconnect, paste, send file, break and line
// levels around the window on fake controls; a file sent whole to a pseudo-terminal.
#include "ToolsMenu.h"
#include "FakeToolsControls.h"
#include "IniFile.h"
#include "PosixCommControl.h"
#include "Pty.h"
#include "SystemRoutines.h"
#include "TerminalFixture.h"
#include "ToolsText.h"
#include "UiQueue.h"
#include <thread>
namespace kestrel::test {
namespace {
using namespace std::chrono_literals;
using Text = std::string;
constexpr auto kFree = FakeCommControl::PortState::Free;
TEST(ToolsText, FindGoesForwardsAndBackwardsIgnoringCaseByDefault) {
  const Text text = "Boot OK\r\nboot failed\r\nBOOT ok";
  const bool fw = true, bw = false, match = true, any = false;
  const std::tuple<const char *, std::size_t, bool, bool, std::size_t> cases[] = {
      {"boot", 0, fw, any, 0},         {"boot", 1, fw, any, 9},           {"boot", 1, fw, match, 9},
      {"BOOT", 0, fw, match, 22},      {"boot", 30, bw, any, 22},         {"boot", 22, bw, any, 9},
      {"boot", 9, bw, any, 0},         {"boot", 3, bw, any, Text::npos},  {"ok", 8, fw, any, 27},
      {"", 0, fw, any, Text::npos},    {"boot", 99, fw, any, Text::npos}, {"Ok", 999, bw, any, 27},
      {"nix", 0, fw, any, Text::npos}, {"ok\r\nboot", 0, fw, any, 5}};
  for (const auto &[needle, from, forward, matchCase, at] : cases)
    EXPECT_EQ(FindInText(text, needle, from, forward, matchCase), at) << needle << " @" << from;
}
TEST(ToolsText, SendProgressSaysAmountRateAndTimeLeft) {
  const std::tuple<std::uint64_t, std::uint64_t, std::int64_t, const char *> cases[] = {
      {0, 10 << 20, 0, "0 bytes of 10.0 MB sent"},
      {512 << 10, 1 << 20, 1000, "512.0 KB of 1.0 MB sent, 512.0 KB/s, 1 s left"},
      {1 << 20, 1 << 20, 2000, "1.0 MB of 1.0 MB sent, 512.0 KB/s"},
      {1152, 1ull << 30, 1000, "1.1 KB of 1.00 GB sent, 1.1 KB/s, 258 h 54 min left"},
      {960, 96000, 1000, "960 bytes of 93.8 KB sent, 960 bytes/s, 1 min 39 s left"}};
  for (const auto &[sent, size, ms, text] : cases)
    EXPECT_EQ(SendProgressText(sent, size, ms), text);
}
// The Tools menu on fake timers and windows, around a terminal window.
struct Tools {
  template <class Window>
  explicit Tools(Window &t)
      : menu(ToolsMenuControls{t.frm, t.rtfData, t.MSComm1, mnuToolsReconnect, mnuToolsLineLevels,
                               tmrReconnect, tmrBreak, tmrSendFile, tmrLineLevels, chooser,
                               progress, levels, question, t.messageBox, t.appInfo, choices,
                               [this] { return now; }}) {}
  void Advance(int ms) {
    for (; ms > 0; --ms, ++now)
      for (FakeTimer *timer : {&tmrReconnect, &tmrBreak, &tmrSendFile, &tmrLineLevels})
        timer->Advance(1);
  }
  FakeMenuItem mnuToolsReconnect{false}, mnuToolsLineLevels{false};
  FakeTimer tmrReconnect, tmrBreak, tmrSendFile, tmrLineLevels;
  FakeOpenFileChooser chooser;
  FakeSendProgress progress;
  FakeLineLevelsView levels;
  FakeQuestionBox question;
  std::int64_t now = 1000;
  ToolsChoices choices{ApplicationFolder() + "/Serial.ini"};
  ToolsMenu menu;
};
class ToolsTest : public TerminalTest {
protected:
  ToolsTest() { c.Port(3, kFree), Load("3", "115200,N,8,1"); }
  void Open() { ASSERT_TRUE((m.cmdOpenPort_Click(), c.PortOpen())); }
  void DeviceGoes() { c.Vanish(), m.MSComm1_Closed(); }
  void SendFile(const Text &bytes) {
    WriteFile(dir.File("image.bin"), bytes);
    x.chooser.path = dir.File("image.bin");
    m.mnuToolsSendFile_Click();
  }
  // Status panels 1 and 2, the port button, the port, a wait for the device, the display.
  Text Seen() const {
    return t->sbTop.PanelText(1) + (t->sbTop.PanelEnabled(2) ? "|" : "|grey|") +
           t->cmdOpenPort.Caption() + (c.PortOpen() ? "|open" : "|closed") +
           (m.Waiting() ? "|waiting " : "|") + std::to_string(x.tmrReconnect.Interval()) + "|" +
           Shown();
  }
  FakeCommControl &c = t->MSComm1;
  Tools x{*t};
  ToolsMenu &m = x.menu;
};
TEST_F(ToolsTest, ReconnectWaitsForTheDeviceReopensItAndStopsOnTheButtonOrTheOption) {
  Open();
  DeviceGoes();
  EXPECT_EQ(Seen(), "Serial Port Closed|grey|Open Port|closed|0|");
  t->mnuOptionIgnorePinStatus.Checked(false), m.mnuToolsReconnect_Click();
  c.Port(3, kFree);
  Open();
  Receive("partial");
  DeviceGoes();
  const Text lost = "partial\r\nDevice Disconnected\r\n";
  EXPECT_EQ(Seen(), "Waiting for Device|grey|Close Port|closed|waiting 250|" + lost);
  x.Advance(1000);
  EXPECT_EQ(x.tmrReconnect.fired, 4);
  EXPECT_EQ(Seen(), "Waiting for Device|grey|Close Port|closed|waiting 250|" + lost);
  c.Port(3, kFree), x.Advance(250), Receive("more\n");
  const Text back = lost + "Device Reconnected\r\nmore\r\n";
  EXPECT_EQ(Seen(), "Serial Port Active|Close Port|open|0|" + back);
  EXPECT_EQ(c.Settings(), "115200,N,8,1");
  // With pin status messages ignored the same happens without the lines.
  t->mnuOptionIgnorePinStatus.Checked(true), DeviceGoes();
  c.Port(3, kFree);
  x.Advance(250);
  EXPECT_EQ(Seen(), "Serial Port Active|Close Port|open|0|" + back);
  for (bool byButton : {true, false}) {
    DeviceGoes();
    byButton ? m.cmdOpenPort_Click() : m.mnuToolsReconnect_Click();
    c.Port(3, kFree);
    x.Advance(1000);
    EXPECT_EQ(Seen(), "Serial Port Closed|grey|Open Port|closed|0|" + back) << byButton;
    Open();
  }
}
TEST_F(ToolsTest, ReconnectAutomaticallyStartsAsTheUserLastLeftIt) {
  EXPECT_FALSE(x.mnuToolsReconnect.Checked());
  m.mnuToolsReconnect_Click();
  EXPECT_EQ(IniReadValue(dir.File("Serial.ini"), "Tools", "Reconnect"), "1");
  EXPECT_EQ(IniReadValue(dir.File("Serial.ini"), "SerialPort", "Port"), "3");
  Tools nextRun{*t};
  EXPECT_TRUE(nextRun.mnuToolsReconnect.Checked());
  nextRun.menu.mnuToolsReconnect_Click();
  EXPECT_FALSE(Tools{*t}.mnuToolsReconnect.Checked());
  EXPECT_EQ(t->messageBox.shown.size(), 0u);
}
// Lines end in CR as typed keys do; what is not Latin-1 is left out and told.
TEST_F(ToolsTest, PasteSendsWhatTypedKeysWouldWhileOpenAndAsksWhenLarge) {
  m.mnuToolsPaste_Click(U"closed\n");
  EXPECT_EQ(c.sent, "");
  Open();
  const Text active = "Serial Port Active", left = " left out (not in Latin-1)";
  const std::u32string big(ToolsMenu::kPasteAskBytes + 1, U'x');
  for (const auto &[text, sent, panel] : std::vector<std::tuple<std::u32string, Text, Text>>{
           {U"one\r\ntwo\nthree\rfour", "one\rtwo\rthree\rfour", active},
           {U"\r\r\n\n", "\r\r\r", ""},
           {U"caf\u00e9 \u00ff", "caf\xe9 \xff", ""},
           {U"\t\x1b[0m", "\t\x1b[0m", ""},
           {U"", "", active},
           {U"5 \u20ac, \U0001F600!", "5 , !", "Paste to Port: 2 characters" + left},
           {std::u32string(U"a\0b", 3), Text("a\0b", 3), ""},
           {std::u32string(ToolsMenu::kPasteAskBytes, U'y'), Text(65536, 'y'), ""},
           {big, "", ""}}) {
    c.sent.clear();
    m.mnuToolsPaste_Click(text);
    EXPECT_TRUE(c.sent == sent) << c.sent.size();
    EXPECT_TRUE(panel.empty() || t->sbTop.PanelText(1) == panel) << t->sbTop.PanelText(1);
  }
  EXPECT_EQ(x.question.asked, std::vector<Text>{"kestrel-terminal - Paste to Port: The text to "
                                                "paste is 65537 characters long. Send all of it "
                                                "to the port?"});
  x.question.answer = true;
  m.mnuToolsPaste_Click(big);
  EXPECT_EQ(c.sent.size(), big.size());
}
const Text kSendTitle = "kestrel-terminal - Send File";
TEST_F(ToolsTest, SendFileIsPacedAndArrivesWhole) {
  Open();
  SendFile(Text(1 << 20, 'p'));
  EXPECT_EQ(x.progress.fileName, "image.bin");
  for (int tick = 0; tick < 1000 && x.progress.shown; ++tick) {
    EXPECT_LE(c.pending, FileSender::kHighWater + FileSender::kChunk);
    c.Drain(30000);
    x.Advance(ToolsMenu::kSendTickMs);
  }
  EXPECT_FALSE(x.progress.shown);
  EXPECT_EQ(x.tmrSendFile.Interval(), 0);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(c.sent, Text(1 << 20, 'p'));
  EXPECT_EQ(m.Sender().Status(), FileSender::State::Done);
}
// Cancel throws away what is queued: nothing more reaches the line.
TEST_F(ToolsTest, SendFileCancelledStopsAtOnce) {
  Open();
  SendFile(Text(2 << 20, 'z'));
  c.Drain(100000);
  x.Advance(200);
  EXPECT_NE(x.progress.text.find(" of 2.0 MB sent"), Text::npos) << x.progress.text;
  EXPECT_GT(x.progress.permille, 0);
  m.cmdSendCancel_Click();
  EXPECT_FALSE(x.progress.shown);
  EXPECT_EQ(c.OutBufferCount(), 0);
  EXPECT_GT(c.discarded, 0u);
  x.Advance(100);
  EXPECT_EQ(c.sent, Text(100000, 'z'));
}
TEST_F(ToolsTest, SendFileSaysWhyNot) {
  const Text unable = "Unable to read the file ";
  const struct {
    const char *name;
    bool open;
    Text path;
    std::vector<Box> boxes;
  } rows[] = {
      {"port closed",
       false,
       dir.File("x"),
       {{"Open the port before sending a file.", kSendTitle, MessageIcon::Exclamation, ""}}},
      {"no such file",
       true,
       dir.File("none"),
       {{unable + dir.File("none") + ".", kSendTitle, MessageIcon::Exclamation,
         "No such file or directory"}}},
      {"a folder",
       true,
       dir.Path(),
       {{dir.Path() + " is a folder, not a file. Choose a file to send.", kSendTitle,
         MessageIcon::Exclamation, ""}}},
      {"chooser cancelled", true, "", {}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    if (row.open != c.PortOpen())
      m.cmdOpenPort_Click();
    t->messageBox.shown.clear();
    x.chooser.path = row.path;
    m.mnuToolsSendFile_Click();
    EXPECT_EQ(Boxes(), row.boxes);
    EXPECT_FALSE(x.progress.shown);
  }
}
TEST_F(ToolsTest, SendFileSaysSoWhenThePortCloses) {
  Open();
  SendFile(Text(2 << 20, 'z'));
  DeviceGoes();
  x.Advance(ToolsMenu::kSendTickMs);
  EXPECT_FALSE(x.progress.shown);
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"The port closed before all of image.bin was sent.",
                                        kSendTitle, MessageIcon::Exclamation, ""}}));
}
// What each lamp reads is pinned by the Qt window's test; here, the timers.
TEST_F(ToolsTest, ABreakLastsAQuarterSecondAndTheLampsAreRedrawnOnlyWhenTheyChange) {
  m.mnuToolsSendBreak_Click(), Open(), m.mnuToolsSendBreak_Click(), m.mnuToolsSendBreak_Click();
  x.Advance(249);
  EXPECT_EQ(c.breakHistory, std::vector<bool>{true});
  x.Advance(1);
  EXPECT_EQ(c.breakHistory, (std::vector<bool>{true, false}));
  const FakeLineLevelsView &v = x.levels;
  m.mnuToolsLineLevels_Click();
  c.inputs.ri = true;
  t->frm.mnuDTRLevel_Click();
  x.Advance(ToolsMenu::kLevelsTickMs);
  EXPECT_TRUE(v.visible && v.enabled && v.levels.ri && v.levels.dtr && !v.levels.cts);
  const int updates = v.updates;
  x.Advance(1000);
  EXPECT_EQ(v.updates, updates) << "no change, no redraw";
  m.LineLevels_Closed();
  EXPECT_FALSE(x.mnuToolsLineLevels.Checked() || x.tmrLineLevels.Interval());
}
TEST(ToolsOnPty, TenMegabytesOfFileArriveByteExactAtTheDevice) {
  Pty pty;
  if (!pty.Ok())
    GTEST_SKIP() << "no pseudo-terminal to be had here";
  TempDir dir;
  ApplicationFolder(dir.Path());
  WriteFile(dir.File("Serial.ini"), "[SerialPort]\r\nPort=1\r\nSettings=115200,N,8,1\r\n");
  DeviceMap map; // port 1 is the pty, every other number names nothing
  for (std::int16_t port = 1; port <= 20; ++port)
    map.Map(port, port == 1 ? pty.SlavePath() : dir.File("none"));
  UiQueue ui;
  TerminalOn<PosixCommControl> t(map, ui.Poster());
  Tools x(t);
  t.frm.Form_Load();
  x.menu.cmdOpenPort_Click();
  ASSERT_TRUE(t.MSComm1.PortOpen());
  Text file(10u << 20, '\0'), arrived;
  for (std::size_t i = 0, seed = 1; i < file.size(); ++i)
    file[i] = char((seed = seed * 1103515245u + 12345u) >> 16);
  WriteFile(x.chooser.path = dir.File("upload.bin"), file);
  std::thread reader([&] { arrived = pty.Read(file.size(), 120s); });
  x.menu.mnuToolsSendFile_Click();
  for (auto end = std::chrono::steady_clock::now() + 120s;
       x.progress.shown && std::chrono::steady_clock::now() < end; x.Advance(5))
    ui.PumpFor(5ms);
  reader.join();
  EXPECT_EQ(x.menu.Sender().Status(), FileSender::State::Done);
  EXPECT_TRUE(arrived == file) << arrived.size();
  ApplicationFolder("");
}
} // namespace
} // namespace kestrel::test
