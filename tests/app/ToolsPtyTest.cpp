// The Tools menu end to end on pseudo-terminals: the window's logic on the
// real serial layer, the far end played by the test or by socat.
#include "PosixCommControl.h"
#include "Pty.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "TerminalFixture.h"
#include "ToolsFixture.h"
#include "UiQueue.h"
#include "frmTop.h"

#include <gtest/gtest.h>

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

// The terminal window on the real serial layer; port 1 is the device at
// path, every other number names nothing.
struct PtyTerminal : TerminalOn<PosixCommControl> {
  PtyTerminal(const TempDir &dir, const std::string &path, UiQueue &ui)
      : TerminalOn(Devices(dir, path), ui.Poster()), tools(*this) {
    appInfo.folder = dir.Path();
    WriteFile(dir.File("Serial.ini"), "[SerialPort]\r\nPort=1\r\nSettings=115200,N,8,1\r\n");
    mnuOptionIgnorePinStatus.Checked(false);
    MSComm1.OnClosedByDevice([this] { tools.menu.MSComm1_Closed(); });
    frm.Form_Load();
  }
  static DeviceMap Devices(const TempDir &dir, const std::string &path) {
    DeviceMap map;
    map.Map(1, path);
    for (std::int16_t port = 2; port <= 20; ++port)
      map.Map(port, dir.File("none"));
    return map;
  }
  // Runs the window's events and timers until done holds.
  bool RunUntil(UiQueue &ui, const std::function<bool()> &done, std::chrono::seconds within) {
    auto until = std::chrono::steady_clock::now() + within;
    while (!done()) {
      if (std::chrono::steady_clock::now() > until)
        return false;
      ui.PumpFor(5ms);
      tools.Advance(5);
    }
    return true;
  }

  void RunFor(UiQueue &ui, std::chrono::milliseconds span) {
    auto until = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < until) {
      ui.PumpFor(5ms);
      tools.Advance(5);
    }
  }

  Tools tools;
};

class ToolsOnPty : public testing::Test {
protected:
  void SetUp() override {
    if (!pty.Ok())
      GTEST_SKIP() << "no pseudo-terminal to be had here";
    ApplicationFolder(dir.Path());
    t = std::make_unique<PtyTerminal>(dir, pty.SlavePath(), ui);
    t->tools.menu.cmdOpenPort_Click();
    ASSERT_TRUE(t->MSComm1.PortOpen());
  }
  void TearDown() override {
    t.reset();
    ApplicationFolder("");
  }
  Pty pty;
  TempDir dir;
  UiQueue ui;
  std::unique_ptr<PtyTerminal> t;
};

TEST_F(ToolsOnPty, APasteOfThreeLinesArrivesAsThreeCrEndedLines) {
  t->tools.menu.mnuToolsPaste_Click(U"first line\nsecond line\r\nthird line\n");
  EXPECT_EQ(pty.Read(34), "first line\rsecond line\rthird line\r");
}

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(seed >> 16);
  }
  return bytes;
}

TEST_F(ToolsOnPty, TenMegabytesGoOutWhileTenComeInByteExactBothWays) {
  constexpr std::size_t kSize = 10u << 20;
  const std::string file = Pattern(kSize, 1);
  const std::string incoming = Pattern(kSize, 2);
  WriteFile(dir.File("upload.bin"), file);
  std::string got;
  t->MSComm1.OnComm([&] {
    if (t->MSComm1.CommEvent() == comEvReceive)
      got += t->MSComm1.Input();
  });

  std::string arrived;
  std::thread reader([&] { arrived = pty.Read(kSize, 120s); });
  std::thread writer([&] { pty.Write(incoming); });
  t->tools.chooser.path = dir.File("upload.bin");
  t->tools.menu.mnuToolsSendFile_Click();
  ASSERT_TRUE(t->tools.progress.shown);
  EXPECT_TRUE(t->RunUntil(
      ui, [&] { return !t->tools.progress.shown && got.size() >= kSize; }, 120s));
  writer.join();
  reader.join();
  EXPECT_EQ(t->tools.menu.Sender().Status(), FileSender::State::Done);
  EXPECT_TRUE(arrived == file) << "sent " << arrived.size() << " of " << kSize;
  EXPECT_TRUE(got == incoming) << "received " << got.size() << " of " << kSize;
}

TEST_F(ToolsOnPty, CancelStopsTheLineAtOnce) {
  WriteFile(dir.File("big.bin"), std::string(8u << 20, 'c'));
  t->tools.chooser.path = dir.File("big.bin");
  t->tools.menu.mnuToolsSendFile_Click();
  std::string first = pty.Read(64u << 10, 5s);
  ASSERT_EQ(first.size(), 64u << 10);
  // The far end pauses while the window goes on feeding the queue.
  t->RunFor(ui, 500ms);
  t->tools.menu.cmdSendCancel_Click();
  EXPECT_EQ(t->MSComm1.OutBufferCount(), 0);
  // What the pty's own buffer held may still come; then nothing more.
  std::string after = pty.Read(8u << 20, 300ms);
  EXPECT_LT(first.size() + after.size(), 8u << 20);
  EXPECT_EQ(pty.Read(1, 200ms), "");
}

// socat plays an adapter: its pty link is the device path; stopping it
// removes the device, starting it again brings it back at the same path.
class Socat {
public:
  Socat(const std::string &device, const std::string &far) {
    std::string a = "pty,raw,echo=0,link=" + device;
    std::string b = "pty,raw,echo=0,link=" + far;
    const char *argv[] = {"socat", a.c_str(), b.c_str(), nullptr};
    if (::posix_spawnp(&pid_, "socat", nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
      pid_ = -1;
    for (int i = 0; i < 200 && pid_ > 0; ++i) {
      if (std::filesystem::exists(device) && std::filesystem::exists(far))
        return;
      std::this_thread::sleep_for(10ms);
    }
  }
  ~Socat() { Stop(); }
  bool Ok() const { return pid_ > 0; }
  void Stop() {
    if (pid_ <= 0)
      return;
    ::kill(pid_, SIGTERM);
    int status;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

private:
  pid_t pid_ = -1;
};

bool HaveSocat() {
  return std::system("command -v socat >/dev/null 2>&1") == 0;
}

TEST(ToolsOnSocat, ADeviceRemovedAndRecreatedAtTheSamePathIsReopened) {
  if (!HaveSocat())
    GTEST_SKIP() << "socat is not installed";
  TempDir dir;
  ApplicationFolder(dir.Path());
  const std::string device = dir.File("ttyBOARD"), far = dir.File("far");
  auto socat = std::make_unique<Socat>(device, far);
  ASSERT_TRUE(socat->Ok());
  UiQueue ui;
  {
    PtyTerminal t(dir, device, ui);
    t.tools.menu.mnuToolsReconnect_Click();
    t.tools.menu.cmdOpenPort_Click();
    ASSERT_TRUE(t.MSComm1.PortOpen());
    socat->Stop();
    ASSERT_TRUE(t.RunUntil(
        ui, [&] { return t.tools.menu.Waiting(); }, 10s));
    EXPECT_EQ(t.sbTop.PanelText(1), "Waiting for Device");
    EXPECT_EQ(t.cmdOpenPort.Caption(), "Close Port");
    t.RunFor(ui, 1s);
    EXPECT_TRUE(t.tools.menu.Waiting());

    socat = std::make_unique<Socat>(device, far);
    ASSERT_TRUE(socat->Ok());
    ASSERT_TRUE(t.RunUntil(
        ui, [&] { return t.MSComm1.PortOpen(); }, 10s));
    EXPECT_EQ(t.sbTop.PanelText(1), "Serial Port Active");
    int fd = ::open(far.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "back\n", 5), 5);
    EXPECT_TRUE(t.RunUntil(
        ui, [&] { return t.rtfData.Text().ends_with("back\r\n"); }, 10s));
    const std::string shown(t.rtfData.Text());
    EXPECT_NE(shown.find("\r\nDevice Disconnected\r\nDevice Reconnected\r\nback\r\n"),
              std::string::npos)
        << shown;
    ::close(fd);
  }
  ApplicationFolder("");
}

} // namespace
} // namespace kestrel::test
