// The Tools menu: the find and progress texts; reconnecting, pasting, sending
// a file, the break and the line levels around the window on fake controls;
// and end to end on pseudo-terminals, the far end played by the test or socat.
#include "ToolsMenu.h"
#include "FakeToolsControls.h"
#include "PosixCommControl.h"
#include "Pty.h"
#include "SystemRoutines.h"
#include "TerminalFixture.h"
#include "ToolsText.h"
#include "UiQueue.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace kestrel::test {
namespace {

using namespace std::chrono_literals;
using PortState = FakeCommControl::PortState;
using Text = std::string;
constexpr auto npos = std::string::npos;

TEST(ToolsText, FindGoesForwardsAndBackwardsIgnoringCaseByDefault) {
  const std::string text = "Boot OK\r\nboot failed\r\nBOOT ok";
  const std::tuple<const char *, std::size_t, bool, bool, std::size_t> cases[] = {
      {"boot", 0, true, false, 0},       {"boot", 1, true, false, 9},
      {"boot", 1, true, true, 9},        {"BOOT", 0, true, true, 22},
      {"boot", 30, false, false, 22},    {"boot", 22, false, false, 9},
      {"boot", 9, false, false, 0},      {"boot", 3, false, false, npos},
      {"ok", 8, true, false, 27},        {"", 0, true, false, npos},
      {"boot", 99, true, false, npos},   {"Ok", 999, false, false, 27},
      {"missing", 0, true, false, npos}, {"ok\r\nboot", 0, true, false, 5}};
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
      : menu(ToolsMenuControls{t.frm, t.rtfData, t.MSComm1, t.sbTop, t.cmdOpenPort,
                               mnuToolsReconnect, mnuToolsLineLevels, tmrReconnect, tmrBreak,
                               tmrSendFile, tmrLineLevels, chooser, progress, levels, question,
                               t.messageBox, t.appInfo, [this] { return now; }}) {}
  void Advance(int ms) {
    for (int step = 0; step < ms; ++step) {
      ++now;
      for (FakeTimer *timer : {&tmrReconnect, &tmrBreak, &tmrSendFile, &tmrLineLevels})
        timer->Advance(1);
    }
  }
  FakeMenuItem mnuToolsReconnect{false}, mnuToolsLineLevels{false};
  FakeTimer tmrReconnect, tmrBreak, tmrSendFile, tmrLineLevels;
  FakeOpenFileChooser chooser;
  FakeSendProgress progress;
  FakeLineLevelsView levels;
  FakeQuestionBox question;
  std::int64_t now = 1000;
  ToolsMenu menu;
};

class ToolsTest : public TerminalTest {
protected:
  ToolsTest() {
    c.Port(3, PortState::Free);
    Load("3", "115200,N,8,1");
  }
  void Open() {
    m.cmdOpenPort_Click();
    ASSERT_TRUE(c.PortOpen());
  }
  void DeviceGoes() {
    c.Vanish();
    m.MSComm1_Closed();
  }
  void SendFile(const std::string &bytes) {
    WriteFile(dir.File("image.bin"), bytes);
    x.chooser.path = dir.File("image.bin");
    Open();
    m.mnuToolsSendFile_Click();
  }
  // Status panel 1 and whether panel 2 is greyed, the port button, the port,
  // a wait for the device (and the reconnect timer), the display; nothing sent while closed.
  std::string Seen() const {
    return t->sbTop.PanelText(1) + (t->sbTop.PanelEnabled(2) ? "|" : "|grey|") +
           t->cmdOpenPort.Caption() + (c.PortOpen() ? "|open" : "|closed") +
           (m.Waiting() ? "|waiting " : "|") + std::to_string(x.tmrReconnect.Interval()) + "|" +
           Shown();
  }
  std::string Boxes() const {
    std::string all;
    for (const auto &box : t->messageBox.shown)
      all += box.title + ": " + box.text + "\n";
    return all;
  }
  FakeCommControl &c = t->MSComm1;
  Tools x{*t};
  ToolsMenu &m = x.menu;
};

TEST_F(ToolsTest, ReconnectWaitsForTheDeviceReopensItAndStopsOnTheButtonOrTheOption) {
  Open();
  DeviceGoes();
  EXPECT_EQ(Seen(), "Serial Port Closed|grey|Open Port|closed|0|");
  t->mnuOptionIgnorePinStatus.Checked(false);
  m.mnuToolsReconnect_Click();
  c.Port(3, PortState::Free);
  Open();
  const std::size_t opens = c.opened.size();
  Receive("partial");
  DeviceGoes();
  const std::string lost = "partial\r\nDevice Disconnected\r\n";
  EXPECT_EQ(Seen(), "Waiting for Device|grey|Close Port|closed|waiting 250|" + lost);
  x.Advance(1000);
  EXPECT_EQ(x.tmrReconnect.fired, 4);
  EXPECT_EQ(Seen(), "Waiting for Device|grey|Close Port|closed|waiting 250|" + lost);
  EXPECT_EQ(c.opened.size(), opens);
  c.Port(3, PortState::Free);
  x.Advance(250);
  Receive("more\n");
  const std::string back = lost + "Device Reconnected\r\nmore\r\n";
  EXPECT_EQ(Seen(), "Serial Port Active|Close Port|open|0|" + back);
  EXPECT_EQ(c.Settings(), "115200,N,8,1");
  // With pin status messages ignored the same happens without the lines.
  t->mnuOptionIgnorePinStatus.Checked(true);
  DeviceGoes();
  c.Port(3, PortState::Free);
  x.Advance(250);
  EXPECT_EQ(Seen(), "Serial Port Active|Close Port|open|0|" + back);
  for (bool byButton : {true, false}) {
    DeviceGoes();
    byButton ? m.cmdOpenPort_Click() : m.mnuToolsReconnect_Click();
    c.Port(3, PortState::Free);
    x.Advance(1000);
    EXPECT_EQ(Seen(), "Serial Port Closed|grey|Open Port|closed|0|" + back) << byButton;
    Open();
  }
}

// Lines end in CR as typed keys do; what is not Latin-1 is left out and told.
TEST_F(ToolsTest, PasteSendsWhatTypedKeysWouldWhileOpenAndAsksWhenLarge) {
  m.mnuToolsPaste_Click(U"closed\n");
  EXPECT_EQ(c.sent, "");
  Open();
  const std::string active = "Serial Port Active", left = "Paste to Port: 2 characters left out";
  for (const auto &[text, sent, panel] : std::vector<std::tuple<std::u32string, Text, Text>>{
           {U"one\r\ntwo\nthree\rfour", "one\rtwo\rthree\rfour", active},
           {U"\r\r\n\n", "\r\r\r", active},
           {U"caf\u00e9 \u00ff", "caf\xe9 \xff", active},
           {U"\t\x1b[0m", "\t\x1b[0m", active},
           {U"", "", active},
           {U"5 \u20ac, \U0001F600!", "5 , !", left + " (not in Latin-1)"},
           {std::u32string(U"a\0b", 3), "ab",
            "Paste to Port: 1 character left out (not in Latin-1)"},
           {std::u32string(ToolsMenu::kPasteAskBytes, U'y'), Text(65536, 'y'), ""},
           {std::u32string(ToolsMenu::kPasteAskBytes + 1, U'x'), "", ""}}) {
    c.sent.clear();
    m.mnuToolsPaste_Click(text);
    EXPECT_TRUE(c.sent == sent) << c.sent.size();
    EXPECT_TRUE(panel.empty() || t->sbTop.PanelText(1) == panel) << t->sbTop.PanelText(1);
  }
  EXPECT_EQ(x.question.asked, std::vector<Text>{"kestrel-terminal - Paste to Port: The text to "
                                                "paste is 65537 characters long. Send all of it "
                                                "to the port?"});
  x.question.answer = true;
  m.mnuToolsPaste_Click(std::u32string(ToolsMenu::kPasteAskBytes + 1, U'x'));
  EXPECT_EQ(c.sent.size(), ToolsMenu::kPasteAskBytes + 1);
}

TEST_F(ToolsTest, SendFileIsPacedByTheQueueAndArrivesWhole) {
  std::string bytes;
  for (int i = 0; i < 1000000; ++i)
    bytes += static_cast<char>(i * 7 % 256);
  SendFile(bytes);
  EXPECT_EQ(x.progress.fileName, "image.bin");
  for (int tick = 0; tick < 1000 && x.progress.shown; ++tick, x.Advance(ToolsMenu::kSendTickMs)) {
    EXPECT_LE(c.pending, FileSender::kHighWater + FileSender::kChunk);
    c.Drain(30000);
  }
  EXPECT_FALSE(x.progress.shown || x.tmrSendFile.Interval() || !t->messageBox.shown.empty());
  EXPECT_TRUE(c.sent == bytes);
  EXPECT_EQ(m.Sender().Status(), FileSender::State::Done);
}

TEST_F(ToolsTest, CancelDiscardsWhatIsHeldAndStops) {
  SendFile(std::string(2 << 20, 'z'));
  c.Drain(100000);
  x.Advance(200);
  EXPECT_NE(x.progress.text.find(" of 2.0 MB sent"), npos);
  EXPECT_GT(x.progress.permille, 0);
  m.cmdSendCancel_Click();
  EXPECT_FALSE(x.progress.shown);
  EXPECT_EQ(c.OutBufferCount(), 0);
  EXPECT_GT(c.discarded, 0u);
  x.Advance(100);
  EXPECT_TRUE(c.sent == std::string(100000, 'z'));
}

TEST_F(ToolsTest, SendFileRefusalsAndALostPortSayWhy) {
  for (const auto &[open, path, text] : std::vector<std::tuple<bool, Text, Text>>{
           {false, dir.File("x"), "Open the port before sending a file."},
           {true, dir.File("none"), "Unable to read the file " + dir.File("none") + "."},
           {true, dir.Path(), "Unable to read the file " + dir.Path() + "."},
           {true, "", ""}}) {
    if (open != c.PortOpen())
      m.cmdOpenPort_Click();
    t->messageBox.shown.clear();
    x.chooser.path = path;
    m.mnuToolsSendFile_Click();
    EXPECT_EQ(Boxes(), text.empty() ? "" : "kestrel-terminal - Send File: " + text + "\n");
    EXPECT_FALSE(x.progress.shown);
  }
  m.cmdOpenPort_Click();
  SendFile(std::string(2 << 20, 'z'));
  DeviceGoes();
  x.Advance(ToolsMenu::kSendTickMs);
  EXPECT_FALSE(x.progress.shown);
  EXPECT_EQ(Boxes(), "kestrel-terminal - Send File: The port closed before all of image.bin was "
                     "sent.\n");
}

TEST_F(ToolsTest, BreakLastsAQuarterSecondAndNeedsAnOpenPort) {
  m.mnuToolsSendBreak_Click();
  Open();
  m.mnuToolsSendBreak_Click();
  m.mnuToolsSendBreak_Click();
  x.Advance(249);
  EXPECT_EQ(c.breakHistory, std::vector<bool>{true});
  x.Advance(1);
  EXPECT_EQ(c.breakHistory, (std::vector<bool>{true, false}));
}

TEST_F(ToolsTest, LineLevelsFollowTheLinesAndGreyWhileClosed) {
  const FakeLineLevelsView &v = x.levels;
  auto shown = [&] {
    const ModemLines &l = v.levels;
    return std::vector<int>{v.visible, v.enabled, l.cts, l.dsr, l.cd, l.ri, l.rts, l.dtr};
  };
  m.mnuToolsLineLevels_Click();
  EXPECT_TRUE(x.mnuToolsLineLevels.Checked());
  EXPECT_EQ(shown(), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0}));
  Open();
  c.inputs.cts = c.inputs.ri = true;
  x.Advance(ToolsMenu::kLevelsTickMs);
  EXPECT_EQ(shown(), (std::vector<int>{1, 1, 1, 0, 0, 1, 0, 0}));
  t->frm.mnuDTRLevel_Click();
  x.Advance(ToolsMenu::kLevelsTickMs);
  EXPECT_EQ(shown(), (std::vector<int>{1, 1, 1, 0, 0, 1, 0, 1}));
  const int updates = v.updates;
  x.Advance(1000);
  EXPECT_EQ(v.updates, updates) << "no change, no redraw";
  m.LineLevels_Closed();
  EXPECT_FALSE(x.mnuToolsLineLevels.Checked() || x.tmrLineLevels.Interval());
}

// The window on the real serial layer: port 1 is the device at the path the
// test gives, every other number names nothing.
class ToolsOnPty : public testing::Test {
protected:
  void SetUp() override {
    if (!pty.Ok())
      GTEST_SKIP() << "no pseudo-terminal to be had here";
    ApplicationFolder(dir.Path());
  }
  void TearDown() override {
    x.reset();
    t.reset();
    ApplicationFolder("");
  }
  void Start(const std::string &path) {
    DeviceMap map;
    for (std::int16_t port = 1; port <= 20; ++port)
      map.Map(port, port == 1 ? path : dir.File("none"));
    t = std::make_unique<TerminalOn<PosixCommControl>>(map, ui.Poster());
    x = std::make_unique<Tools>(*t);
    t->appInfo.folder = dir.Path();
    WriteFile(dir.File("Serial.ini"), "[SerialPort]\r\nPort=1\r\nSettings=115200,N,8,1\r\n");
    t->mnuOptionIgnorePinStatus.Checked(false);
    t->MSComm1.OnClosedByDevice([this] { x->menu.MSComm1_Closed(); });
    t->frm.Form_Load();
    x->menu.cmdOpenPort_Click();
    ASSERT_TRUE(t->MSComm1.PortOpen());
  }
  // Runs the window's events and timers until done holds or the time is up.
  bool Run(std::chrono::milliseconds within, const std::function<bool()> &done = nullptr) {
    for (auto end = std::chrono::steady_clock::now() + within; !done || !done(); x->Advance(5)) {
      if (std::chrono::steady_clock::now() > end)
        return !done;
      ui.PumpFor(5ms);
    }
    return true;
  }
  TempDir dir;
  Pty pty;
  UiQueue ui;
  std::unique_ptr<TerminalOn<PosixCommControl>> t;
  std::unique_ptr<Tools> x;
};

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (char &byte : bytes)
    byte = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  return bytes;
}

TEST_F(ToolsOnPty, APasteArrivesAsCrEndedLinesAndTenMegabytesGoOutWhileTenComeIn) {
  ASSERT_NO_FATAL_FAILURE(Start(pty.SlavePath()));
  x->menu.mnuToolsPaste_Click(U"first line\nsecond line\r\nthird line\n");
  EXPECT_EQ(pty.Read(34), "first line\rsecond line\rthird line\r");
  constexpr std::size_t kSize = 10u << 20;
  const std::string file = Pattern(kSize, 1), incoming = Pattern(kSize, 2);
  WriteFile(dir.File("upload.bin"), file);
  std::string got, arrived;
  t->MSComm1.OnComm([&] {
    if (t->MSComm1.CommEvent() == comEvReceive)
      got += t->MSComm1.Input();
  });
  std::thread reader([&] { arrived = pty.Read(kSize, 120s); });
  std::thread writer([&] { pty.Write(incoming); });
  x->chooser.path = dir.File("upload.bin");
  x->menu.mnuToolsSendFile_Click();
  EXPECT_TRUE(x->progress.shown);
  EXPECT_TRUE(Run(120s, [&] { return !x->progress.shown && got.size() >= kSize; }));
  writer.join();
  reader.join();
  EXPECT_EQ(x->menu.Sender().Status(), FileSender::State::Done);
  EXPECT_TRUE(arrived == file) << "sent " << arrived.size() << " of " << kSize;
  EXPECT_TRUE(got == incoming) << "received " << got.size() << " of " << kSize;
}

// socat plays an adapter: its pty link is the device path; stopping it
// removes the device, starting it again brings it back at the same path.
struct Socat {
  Socat(const std::string &device, const std::string &far) {
    const std::string a = "pty,raw,echo=0,link=" + device, b = "pty,raw,echo=0,link=" + far;
    const char *argv[] = {"socat", a.c_str(), b.c_str(), nullptr};
    if (::posix_spawnp(&pid, "socat", nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
      pid = -1;
    for (int i = 0;
         i < 200 && pid > 0 && !(std::filesystem::exists(device) && std::filesystem::exists(far));
         ++i)
      std::this_thread::sleep_for(10ms);
  }
  ~Socat() { Stop(); }
  void Stop() {
    if (pid > 0 && ::kill(pid, SIGTERM) == 0)
      ::waitpid(pid, nullptr, 0);
    pid = -1;
  }
  pid_t pid = -1;
};

TEST_F(ToolsOnPty, ADeviceRemovedAndRecreatedAtTheSamePathIsReopened) {
  if (std::system("command -v socat >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "socat is not installed";
  const std::string device = dir.File("ttyBOARD"), far = dir.File("far");
  auto socat = std::make_unique<Socat>(device, far);
  ASSERT_GT(socat->pid, 0);
  ASSERT_NO_FATAL_FAILURE(Start(device));
  x->menu.mnuToolsReconnect_Click();
  socat->Stop();
  ASSERT_TRUE(Run(10s, [&] { return x->menu.Waiting(); }));
  Run(1s);
  EXPECT_TRUE(x->menu.Waiting());
  EXPECT_EQ(t->sbTop.PanelText(1) + "|" + t->cmdOpenPort.Caption(),
            "Waiting for Device|Close Port");
  socat = std::make_unique<Socat>(device, far);
  ASSERT_TRUE(Run(10s, [&] { return t->MSComm1.PortOpen(); }));
  EXPECT_EQ(t->sbTop.PanelText(1), "Serial Port Active");
  const int fd = ::open(far.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  EXPECT_EQ(::write(fd, "back\n", 5), 5);
  EXPECT_TRUE(Run(10s, [&] { return t->rtfData.Text().ends_with("back\r\n"); }));
  EXPECT_TRUE(
      t->rtfData.Text().ends_with("\r\nDevice Disconnected\r\nDevice Reconnected\r\nback\r\n"));
  ::close(fd);
}

} // namespace
} // namespace kestrel::test
