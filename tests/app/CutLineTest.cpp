// A line cut short by the loss of the device ends there: shown and logged as its own line,
// never glued to what the device sends after it comes back or to "Device Disconnected".
#include "PosixCommControl.h"
#include "Pty.h"
#include "ToolsFixture.h"
#include "UiQueue.h"
#include <memory>
namespace kestrel::test {
namespace {
using namespace std::chrono_literals;
using Text = std::string;
// The terminal on the serial layer, port 1 a link to the pty of the moment, so that a device
// unplugged and plugged in again (a new pty) comes back under the same name.
class CutLineOnPty : public testing::Test {
protected:
  void SetUp() override {
    pty = std::make_unique<Pty>();
    if (!pty->Ok())
      GTEST_SKIP() << "no pseudo-terminal to be had here";
    ApplicationFolder(dir.Path());
    WriteFile(dir.File("Serial.ini"), "[SerialPort]\r\nPort=1\r\nSettings=115200,N,8,1\r\n");
    Relink();
    DeviceMap map;
    for (std::int16_t port = 1; port <= 20; ++port)
      map.Map(port, port == 1 ? dir.File("dev1") : dir.File("none"));
    t = std::make_unique<TerminalOn<PosixCommControl>>(map, ui.Poster());
    t->MSComm1.OnClosedByDevice([this] { x->menu.MSComm1_Closed(); });
    x = std::make_unique<ToolsOn>(*t);
    t->frm.Form_Load();
    t->cdlgTop.WillChoose(dir.File("board.log"));
    t->chkLogEnabled.Value(true), t->frm.chkLogEnabled_Click();
    x->menu.mnuToolsReconnect_Click();
    x->menu.cmdOpenPort_Click();
    ASSERT_TRUE(t->MSComm1.PortOpen());
  }
  void TearDown() override {
    x.reset(), t.reset();
    ApplicationFolder("");
  }
  void Relink() {
    (void)::unlink(dir.File("dev1").c_str());
    ASSERT_EQ(::symlink(pty->SlavePath().c_str(), dir.File("dev1").c_str()), 0);
  }
  // The far end sends bytes; the window has them all once arrived() holds.
  void Send(const Text &bytes, const std::function<bool()> &arrived) {
    ASSERT_TRUE(pty->Write(bytes));
    ASSERT_TRUE(ui.PumpUntil(arrived, 5s)) << bytes.substr(bytes.size() - 10);
  }
  std::function<bool()> LogLineEndsWith(const Text &tail) {
    return [this, tail] { return t->frm.LogLine().ends_with(tail); };
  }
  Text Display() const { return Text(t->rtfData.Text()); }
  void Unplug() {
    pty->Close();
    ASSERT_TRUE(ui.PumpUntil([&] { return x->menu.Waiting(); }, 5s));
  }
  void PlugIn() {
    pty = std::make_unique<Pty>();
    ASSERT_TRUE(pty->Ok());
    Relink();
    x->Advance(ToolsMenu::kReconnectMs);
    ASSERT_TRUE(ui.PumpUntil([&] { return !x->menu.Waiting(); }, 5s));
  }
  int Glued(const std::vector<Text> &texts, const Text &a, const Text &b) {
    int glued = 0;
    for (const Text &line : texts)
      glued += line.find(a) != Text::npos && line.find(b) != Text::npos;
    return glued;
  }
  TempDir dir;
  UiQueue ui;
  std::unique_ptr<Pty> pty;
  std::unique_ptr<TerminalOn<PosixCommControl>> t;
  std::unique_ptr<ToolsOn> x;
};
TEST_F(CutLineOnPty, WithPinStatusIgnoredTheCutLineIsNotGluedToTheNextAfterReconnecting) {
  ASSERT_TRUE(t->mnuOptionIgnorePinStatus.Checked());
  for (int cycle = 1; cycle <= 20; ++cycle) {
    SCOPED_TRACE(cycle);
    const Text n = std::to_string(cycle);
    Send("PART" + n, LogLineEndsWith("PART" + n));
    Unplug();
    PlugIn();
    Send("MARK" + n + "\n", [&] { return Display().ends_with("MARK" + n + "\r\n"); });
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
  t->mnuOptionIgnorePinStatus.Checked(false);
  Text lines;
  for (int i = 0; i < 501; ++i)
    lines += "line " + std::to_string(i) + "\n";
  for (int cycle = 1; cycle <= 20; ++cycle) {
    SCOPED_TRACE(cycle);
    Send(lines + "abcdefghijklmn", LogLineEndsWith("abcdefghijklmn"));
    Unplug();
    PlugIn();
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
