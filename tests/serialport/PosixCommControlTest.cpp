// The serial layer on real pseudo-terminals: the program's side opens the
// slave as a serial device, the test plays the far end on the master.
#include "PosixCommControl.h"
#include "Pty.h"
#include "TempDir.h"
#include "Termios2.h"
#include "UiQueue.h"
#include "clsSerialPortConfigINI.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pty.h>
#include <random>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace kestrel {
namespace {

using namespace std::chrono_literals;
using test::Pty;
using test::UiQueue;

// Newer kernels keep a pseudo-terminal's frame at 8 bits without parity
// whatever it is told; the rate and the stop bits it keeps.
void ExpectFrame(const serial::LineSettings &got, char parity, int dataBits, int stopBits) {
  if (!(got.parity == 'N' && got.dataBits == 8)) {
    EXPECT_EQ(got.parity, parity);
    EXPECT_EQ(got.dataBits, dataBits);
  }
  EXPECT_EQ(got.stopBits, stopBits);
}

class PtyPort : public ::testing::Test {
protected:
  void SetUp() override {
    if (!pty.Ok())
      GTEST_SKIP() << "no pseudo-terminal to be had here";
    devices.Map(1, pty.SlavePath());
    comm = std::make_unique<PosixCommControl>(devices, ui.Poster());
    comm->OnComm([this] {
      events.push_back(comm->CommEvent());
      if (comm->CommEvent() == comEvReceive)
        received += comm->Input();
    });
    comm->OnClosedByDevice([this] { ++closedByDevice; });
    ASSERT_EQ(comm->RThreshold(1), comNoError);
  }

  int Open() { return comm->PortOpen(true); }

  Pty pty;
  DeviceMap devices;
  UiQueue ui;
  std::unique_ptr<PosixCommControl> comm;
  std::vector<int> events;
  std::string received;
  int closedByDevice = 0;
};

TEST_F(PtyPort, OpensAndClosesAndOpensAgain) {
  EXPECT_FALSE(comm->PortOpen());
  ASSERT_EQ(Open(), comNoError);
  EXPECT_TRUE(comm->PortOpen());
  EXPECT_EQ(comm->LastErrorText(), "");
  EXPECT_EQ(comm->CommPort(2), comPortOpenNoChange);
  EXPECT_EQ(Open(), comPortAlreadyOpen);
  EXPECT_EQ(comm->PortOpen(false), comNoError);
  EXPECT_FALSE(comm->PortOpen());
  EXPECT_EQ(comm->PortOpen(false), comNoError);
  ASSERT_EQ(Open(), comNoError);
  EXPECT_EQ(comm->Output("x"), comNoError);
  EXPECT_EQ(pty.Read(1), "x");
}

TEST_F(PtyPort, SettingsReachTheDriverBeforeAndWhileOpen) {
  ASSERT_EQ(comm->Settings("250000,e,7,2"), comNoError); // not a standard rate
  ASSERT_EQ(Open(), comNoError);
  serial::LineSettings got;
  ASSERT_EQ(serial::ReadLineSettings(pty.Master(), got), 0);
  EXPECT_EQ(got.baud, 250000u);
  ExpectFrame(got, 'E', 7, 2);

  ASSERT_EQ(comm->Settings("31250,M,8,1"), comNoError);
  ASSERT_EQ(serial::ReadLineSettings(pty.Master(), got), 0);
  EXPECT_EQ(got.baud, 31250u);
  ExpectFrame(got, 'M', 8, 1);
  EXPECT_EQ(comm->Settings(), "31250,M,8,1");

  ASSERT_EQ(comm->Settings("1200,S,5,1.5"), comNoError);
  ASSERT_EQ(serial::ReadLineSettings(pty.Master(), got), 0);
  EXPECT_EQ(got.baud, 1200u);
  ExpectFrame(got, 'S', 5, 2);
}

class UnusableSettings : public PtyPort, public ::testing::WithParamInterface<const char *> {};

TEST_P(UnusableSettings, AreRefusedAndThePreviousStay) {
  ASSERT_EQ(comm->Settings("19200,N,8,1"), comNoError);
  ASSERT_EQ(Open(), comNoError);
  EXPECT_EQ(comm->Settings(GetParam()), comInvalidSettings);
  EXPECT_NE(comm->LastErrorText(), "");
  EXPECT_EQ(comm->Settings(), "19200,N,8,1");
  serial::LineSettings got;
  ASSERT_EQ(serial::ReadLineSettings(pty.Master(), got), 0);
  EXPECT_EQ(got.baud, 19200u);
  ExpectFrame(got, 'N', 8, 1);
}

INSTANTIATE_TEST_SUITE_P(Texts, UnusableSettings,
                         ::testing::Values("", "9600", "9600,N,8", "9600,N,8,1,1", "9600,X,8,1",
                                           "9600,N,9,1", "9600,N,4,1", "9600,N,8,3", "9600,N,8,1.5",
                                           "9600,N,5,2", "0,N,8,1", "-9600,N,8,1", "abc,N,8,1",
                                           "99999999999,N,8,1", "9600,NN,8,1"));

TEST_F(PtyPort, EveryByteArrivesInOrderIncludingMarkLookalikes) {
  ASSERT_EQ(Open(), comNoError);
  std::string sent;
  std::mt19937 rng(3);
  for (int i = 0; i < 300000; ++i)
    sent += static_cast<char>(rng() % 256); // 0xFF and 0xFF 0x00 sequences among them
  std::thread writer([&] { pty.Write(sent); });
  bool all = ui.PumpUntil([&] { return received.size() >= sent.size(); }, 20s);
  writer.join();
  ASSERT_TRUE(all) << received.size() << " of " << sent.size();
  EXPECT_TRUE(received == sent);
  for (int kind : events)
    EXPECT_EQ(kind, comEvReceive);
}

TEST_F(PtyPort, ASenderOutrunningTheWindowIsHeldBackNotLost) {
  ASSERT_EQ(comm->RThreshold(0), comNoError);
  ASSERT_EQ(Open(), comNoError);
  std::string sent;
  for (int i = 0; sent.size() < (6u << 20); ++i)
    sent += "line " + std::to_string(i) + "\r\n";
  std::thread writer([&] { pty.Write(sent); });
  std::this_thread::sleep_for(500ms); // the window is busy elsewhere
  std::string got = comm->Input();
  EXPECT_LE(got.size(), (4u << 20) + 65536u); // held back at the bound
  auto until = std::chrono::steady_clock::now() + 20s;
  while (got.size() < sent.size() && std::chrono::steady_clock::now() < until) {
    got += comm->Input();
    std::this_thread::sleep_for(1ms);
  }
  writer.join();
  EXPECT_TRUE(got == sent) << got.size() << " of " << sent.size();
}

// A sender dribbling small pieces is handed over in fewer, larger takes,
// every byte in order; whatever the pace, nothing is lost.
struct Dribble {
  std::size_t piece;
  int pieces;
  std::chrono::milliseconds gap;
};

class Dribbles : public PtyPort, public ::testing::WithParamInterface<Dribble> {};

TEST_P(Dribbles, AreHandedOverInFewerTakesWithEveryByteInOrder) {
  const Dribble d = GetParam();
  ASSERT_EQ(Open(), comNoError);
  std::string sent;
  for (int i = 0; sent.size() < d.piece * static_cast<std::size_t>(d.pieces); ++i)
    sent += "piece " + std::to_string(i) + "\r\n";
  sent.resize(d.piece * static_cast<std::size_t>(d.pieces));
  std::thread writer([&] {
    for (std::size_t at = 0; at < sent.size(); at += d.piece) {
      pty.Write(sent.substr(at, d.piece));
      std::this_thread::sleep_for(d.gap);
    }
  });
  bool all = ui.PumpUntil([&] { return received.size() >= sent.size(); }, 20s);
  writer.join();
  ASSERT_TRUE(all) << received.size() << " of " << sent.size();
  EXPECT_TRUE(received == sent);
  EXPECT_LT(events.size(), static_cast<std::size_t>(d.pieces) / 2);
}

INSTANTIATE_TEST_SUITE_P(PtyPort, Dribbles,
                         ::testing::Values(Dribble{1, 300, 1ms}, Dribble{60, 150, 2ms},
                                           Dribble{300, 100, 4ms}));

TEST_F(PtyPort, NoReceiveEventsWithoutAThreshold) {
  ASSERT_EQ(comm->RThreshold(0), comNoError);
  ASSERT_EQ(Open(), comNoError);
  pty.Write("abc");
  ui.PumpFor(150ms);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(comm->Input(), "abc");
}

TEST_F(PtyPort, InputLenLimitsEachTake) {
  ASSERT_EQ(comm->RThreshold(0), comNoError);
  ASSERT_EQ(comm->InputLen(2), comNoError);
  ASSERT_EQ(Open(), comNoError);
  pty.Write("abcde");
  std::string got;
  ASSERT_TRUE(ui.PumpUntil([&] {
    std::string part = comm->Input();
    EXPECT_LE(part.size(), 2u);
    got += part;
    return got.size() == 5;
  }));
  EXPECT_EQ(got, "abcde");
}

TEST_F(PtyPort, OutputReachesTheFarEndWholeEvenWhenTheDriverIsFull) {
  ASSERT_EQ(comm->Output("abc\r"), comPortNotOpen);
  ASSERT_EQ(Open(), comNoError);
  EXPECT_EQ(comm->Output("abc\r"), comNoError);
  EXPECT_EQ(pty.Read(4), "abc\r");
  // Far more than the pty's buffer holds, sent before the far end reads any.
  std::string big;
  for (int i = 0; i < 200000; ++i)
    big += static_cast<char>('a' + i % 26);
  for (std::size_t pos = 0; pos < big.size(); pos += 1000)
    ASSERT_EQ(comm->Output(big.substr(pos, 1000)), comNoError);
  EXPECT_TRUE(pty.Read(big.size(), 20s) == big);
}

TEST_F(PtyPort, HandlersAreNeverReentered) {
  int depth = 0, maxDepth = 0, calls = 0;
  comm->OnComm([&] {
    ++depth;
    ++calls;
    maxDepth = std::max(maxDepth, depth);
    received += comm->Input();
    if (calls == 1) {
      // A message box: a nested event loop while more data comes.
      pty.Write("second");
      ui.PumpFor(200ms);
    }
    --depth;
  });
  ASSERT_EQ(Open(), comNoError);
  pty.Write("first");
  ASSERT_TRUE(ui.PumpUntil([&] { return received == "firstsecond"; }));
  EXPECT_EQ(maxDepth, 1);
  EXPECT_GE(calls, 2);
}

TEST_F(PtyPort, FarEndHangingUpClosesThePortOnce) {
  // The port names a link, as /dev/serial/by-id names an adapter, so that the
  // device can come back under the same name.
  test::TempDir dir;
  const std::string link = dir.File("adapter");
  std::filesystem::create_symlink(pty.SlavePath(), link);
  DeviceMap map;
  map.Map(1, link);
  comm = std::make_unique<PosixCommControl>(map, ui.Poster());
  comm->OnComm([this] { received += comm->Input(); });
  comm->OnClosedByDevice([this] { ++closedByDevice; });
  ASSERT_EQ(comm->RThreshold(1), comNoError);

  ASSERT_EQ(Open(), comNoError);
  pty.Write("last words");
  ASSERT_TRUE(ui.PumpUntil([&] { return received == "last words"; }));
  pty.Close();
  ASSERT_TRUE(ui.PumpUntil([&] { return closedByDevice > 0; }));
  EXPECT_FALSE(comm->PortOpen());
  ui.PumpFor(200ms);
  EXPECT_EQ(closedByDevice, 1);
  EXPECT_EQ(comm->Output("x"), comPortNotOpen);

  std::filesystem::remove(link); // unplugged: the name is gone
  EXPECT_EQ(Open(), comInvalidPortNumber);
  Pty again; // plugged in again
  ASSERT_TRUE(again.Ok());
  std::filesystem::create_symlink(again.SlavePath(), link);
  ASSERT_EQ(Open(), comNoError);
  again.Write("back");
  EXPECT_TRUE(ui.PumpUntil([&] { return received == "last wordsback"; }));
}

TEST_F(PtyPort, ToolsMembersNeedAnOpenPortAndReportThroughErrorNumbers) {
  ModemLines levels;
  levels.cts = true;
  EXPECT_EQ(comm->Break(true), comPortNotOpen);
  EXPECT_EQ(comm->OutBufferCount(), 0);
  EXPECT_EQ(comm->LineLevels(levels), comPortNotOpen);
  EXPECT_EQ(levels, ModemLines{});
  ASSERT_EQ(Open(), comNoError);
  EXPECT_EQ(comm->Break(true), comNoError);
  EXPECT_TRUE(comm->Break());
  EXPECT_EQ(comm->Break(false), comNoError);
  EXPECT_FALSE(comm->Break());
  ASSERT_EQ(comm->DTREnable(true), comNoError);
  ui.PumpFor(60ms);
  // A pseudo-terminal has no modem lines: the outputs are still told as set.
  EXPECT_EQ(comm->LineLevels(levels), comDeviceError);
  EXPECT_TRUE(levels.dtr);
  EXPECT_FALSE(levels.rts || levels.cts || levels.dsr || levels.cd || levels.ri);
  EXPECT_EQ(comm->OutBufferCount(5), comInvalidValue);
}

TEST_F(PtyPort, OutBufferCountTellsWhatIsQueuedAndZeroDiscardsIt) {
  ASSERT_EQ(Open(), comNoError);
  // Nobody reads the master: the driver fills and the rest stays queued.
  const std::string block(1 << 20, 'q');
  ASSERT_EQ(comm->Output(block), comNoError);
  ui.PumpFor(50ms);
  const std::int32_t queued = comm->OutBufferCount();
  EXPECT_GT(queued, 0);
  EXPECT_LE(queued, static_cast<std::int32_t>(block.size()));
  EXPECT_EQ(comm->OutBufferCount(0), comNoError);
  EXPECT_EQ(comm->OutBufferCount(), 0);
  const std::string drained = pty.Read(block.size(), 300ms);
  EXPECT_LT(drained.size(), block.size());
  ASSERT_EQ(comm->Output("end"), comNoError);
  EXPECT_EQ(pty.Read(3), "end");
}

TEST_F(PtyPort, ASecondHolderInThisProcessIsRefused) {
  ASSERT_EQ(Open(), comNoError);
  PosixCommControl second(devices, ui.Poster());
  EXPECT_EQ(second.PortOpen(true), comPortAlreadyOpen);
  EXPECT_NE(second.LastErrorText().find(pty.SlavePath()), std::string::npos);
  comm->PortOpen(false);
  EXPECT_EQ(second.PortOpen(true), comNoError);
}

TEST_F(PtyPort, APortHeldByAnotherProcessIsListedRefusedAndLeftAlone) {
  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    char ok = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? '1' : '0';
    (void)!::write(ready[1], &ok, 1);
    char c;
    (void)!::read(go[0], &c, 1);
    // Its session still works after the others' attempts.
    (void)!::write(fd, "mine", 4);
    (void)!::read(go[0], &c, 1);
    ::_exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, '1');
  EXPECT_EQ(Open(), comPortAlreadyOpen);
  EXPECT_NE(comm->LastErrorText().find("busy"), std::string::npos);
  clsSerialPortConfigINI store;
  store.ComControl(comm.get());
  EXPECT_EQ(store.PortsFound(), 1);
  EXPECT_EQ(store.Port(1), 1);
  (void)!::write(go[1], "x", 1);
  EXPECT_EQ(pty.Read(4), "mine");
  (void)!::write(go[1], "x", 1);
  ::waitpid(child, nullptr, 0);
  for (int fd : {ready[0], ready[1], go[0], go[1]})
    ::close(fd);
  ASSERT_EQ(comm->CommPort(1), comNoError); // the scan left it on its last number
  EXPECT_EQ(Open(), comNoError);
}

TEST_F(PtyPort, RtsAndDtrHoldTheirValueWhileClosed) {
  ASSERT_EQ(comm->RTSEnable(true), comNoError);
  ASSERT_EQ(comm->DTREnable(true), comNoError);
  ASSERT_EQ(Open(), comNoError); // a pty has no lines: applying them must not fail the open
  EXPECT_TRUE(comm->RTSEnable());
  EXPECT_TRUE(comm->DTREnable());
  ASSERT_EQ(comm->RTSEnable(false), comNoError);
  comm->PortOpen(false);
  EXPECT_FALSE(comm->RTSEnable());
  EXPECT_TRUE(comm->DTREnable());
}

TEST_F(PtyPort, EventsOfAClosedSessionAreDropped) {
  ASSERT_EQ(Open(), comNoError);
  pty.Write("stale");
  std::this_thread::sleep_for(100ms); // read and posted, not yet delivered
  comm->PortOpen(false);
  ui.PumpFor(100ms);
  EXPECT_TRUE(events.empty());
}

TEST_F(PtyPort, DestroyedWhileEventsArePendingIsSafe) {
  ASSERT_EQ(Open(), comNoError);
  pty.Write("pending");
  std::this_thread::sleep_for(100ms);
  comm.reset();
  ui.PumpFor(50ms);
  EXPECT_TRUE(events.empty());
}

struct OpenFailure {
  const char *label;
  std::string device;
  int error;
};

// Shown in test names and failures.
void PrintTo(const OpenFailure &c, std::ostream *os) {
  *os << c.label;
}

class FailedOpen : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(FailedOpen, GivesItsErrorNumberAndTheReason) {
  UiQueue ui;
  DeviceMap map;
  map.Map(1, GetParam().device);
  PosixCommControl comm(map, ui.Poster());
  EXPECT_EQ(comm.PortProbe(1), GetParam().error);
  EXPECT_EQ(comm.PortOpen(true), GetParam().error);
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_NE(comm.LastErrorText(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Devices, FailedOpen,
    ::testing::Values(OpenFailure{"missing", "/dev/kestrel-no-such-tty", comInvalidPortNumber},
                      OpenFailure{"not_a_tty", "/dev/null", comInvalidPortNumber},
                      OpenFailure{"a_folder", "/", comInvalidPortNumber}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(FailedOpenUnmapped, NumbersNamingNoDeviceAreInvalid) {
  UiQueue ui;
  PosixCommControl comm(DeviceMap(), ui.Poster());
  EXPECT_EQ(comm.CommPort(0), comInvalidPortNumber);
  ASSERT_EQ(comm.CommPort(300), comNoError);
  EXPECT_EQ(comm.PortOpen(true), comInvalidPortNumber);
  EXPECT_NE(comm.LastErrorText().find("COM300"), std::string::npos);
}

TEST(FailedOpenPlaceholder, AUartWithoutHardwareIsNotOpened) {
  test::TempDir sys;
  std::filesystem::create_directories(sys.File("class/tty/ttyS3"));
  test::WriteFile(sys.File("class/tty/ttyS3/type"), "0\n");
  DeviceMap map;
  map.SysRoot(sys.Path());
  UiQueue ui;
  PosixCommControl comm(map, ui.Poster());
  ASSERT_EQ(comm.CommPort(4), comNoError);
  EXPECT_EQ(comm.PortOpen(true), comInvalidPortNumber);
  EXPECT_NE(comm.LastErrorText().find("/dev/ttyS3"), std::string::npos);
}

// The terminal a program runs in, the consoles and the pseudo-terminal
// multiplexer are no serial ports: refused from the device number alone, so
// nodes made here for the real devices are never opened.
TEST(NotASerialPort, ConsolesAndTheProgramsOwnTerminalAreRefused) {
  test::TempDir dir;
  const struct {
    const char *name;
    unsigned major, minor;
    const char *reason;
  } nodes[] = {{"tty", 5, 0, "the terminal this program runs in"},
               {"console", 5, 1, "a system console"},
               {"ptmx", 5, 2, "not a serial device"},
               {"tty0", 4, 0, "a system console"},
               {"tty1", 4, 1, "a system console"},
               {"tty63", 4, 63, "a system console"}};
  UiQueue ui;
  DeviceMap map;
  for (std::size_t i = 0; i < std::size(nodes); ++i) {
    const std::string path = dir.File(nodes[i].name);
    if (::mknod(path.c_str(), S_IFCHR | 0600, ::makedev(nodes[i].major, nodes[i].minor)) != 0)
      GTEST_SKIP() << "device nodes cannot be made here";
    map.Map(static_cast<std::int16_t>(i + 1), path);
  }
  PosixCommControl comm(map, ui.Poster());
  for (std::size_t i = 0; i < std::size(nodes); ++i) {
    SCOPED_TRACE(nodes[i].name);
    const auto port = static_cast<std::int16_t>(i + 1);
    EXPECT_EQ(comm.PortProbe(port), comInvalidPortNumber);
    ASSERT_EQ(comm.CommPort(port), comNoError);
    EXPECT_EQ(comm.PortOpen(true), comInvalidPortNumber);
    EXPECT_NE(comm.LastErrorText().find(nodes[i].reason), std::string::npos)
        << comm.LastErrorText();
  }

  // A process whose controlling terminal is a pseudo-terminal: that one, and
  // /dev/tty, are its own terminal.
  Pty pty;
  if (!pty.Ok())
    GTEST_SKIP() << "no pseudo-terminal to be had here";
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setsid();
    int fd = ::open(pty.SlavePath().c_str(), O_RDWR); // becomes the controlling terminal
    DeviceMap own;
    own.Map(1, pty.SlavePath());
    own.Map(2, "/dev/tty");
    PosixCommControl c(own, [](std::function<void()>) {});
    int bad = fd < 0;
    for (std::int16_t port : {1, 2}) {
      bad |= c.PortProbe(port) != comInvalidPortNumber;
      bad |= c.CommPort(port) != comNoError || c.PortOpen(true) != comInvalidPortNumber;
      bad |= c.LastErrorText().find("the terminal this program runs in") == std::string::npos;
    }
    ::_exit(bad);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// A pseudo-terminal held by another program, the way a shell or a script
// holds one: in cooked mode, with a line of input it has not read yet.
class HeldPty {
public:
  HeldPty() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
      return;
    path_ = name;
    if (::pipe(go_) != 0 || ::pipe(report_) != 0)
      return;
    (void)!::write(master_, kWaiting, sizeof kWaiting - 1);
    holder_ = ::fork();
    if (holder_ == 0) {
      ::close(master_);
      char c;
      (void)!::read(go_[0], &c, 1);
      // What is waiting, as the holder finds it when it reads at last.
      int waiting = 0;
      ::ioctl(slave_, FIONREAD, &waiting);
      std::string text(static_cast<std::size_t>(std::max(waiting, 0)), '\0');
      ::fcntl(slave_, F_SETFL, O_NONBLOCK);
      ssize_t n = ::read(slave_, text.data(), text.size());
      text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
      (void)!::write(report_[1], text.data(), text.size());
      ::_exit(0);
    }
    ::close(slave_);
    slave_ = -1;
  }
  ~HeldPty() {
    Release();
    for (int fd : {master_, go_[0], go_[1], report_[0], report_[1]})
      if (fd >= 0)
        ::close(fd);
  }
  bool Ok() const { return holder_ > 0; }
  const std::string &Path() const { return path_; }
  // The line discipline's state of the slave, every byte of it.
  std::string Termios() const {
    struct termios t {};
    ::tcgetattr(master_, &t);
    return std::string(reinterpret_cast<const char *>(&t), sizeof t);
  }
  // The holder reads what waits for it and ends; returns what it read.
  std::string Release() {
    if (holder_ <= 0)
      return {};
    (void)!::write(go_[1], "x", 1);
    ::close(report_[1]);
    report_[1] = -1;
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(report_[0], buffer, sizeof buffer)) > 0;)
      text.append(buffer, static_cast<std::size_t>(n));
    ::waitpid(holder_, nullptr, 0);
    holder_ = 0;
    return text;
  }
  static constexpr char kWaiting[] = "hello board\n";

private:
  int master_ = -1, slave_ = -1;
  int go_[2] = {-1, -1}, report_[2] = {-1, -1};
  pid_t holder_ = 0;
  std::string path_;
};

TEST(PortScan, FindsPortsWithoutTouchingThem) {
  HeldPty held;
  Pty free;
  if (!held.Ok() || !free.Ok())
    GTEST_SKIP() << "no pseudo-terminal to be had here";
  const std::string heldBefore = held.Termios();
  struct termios freeBefore {};
  ASSERT_EQ(::tcgetattr(free.Master(), &freeBefore), 0);
  ASSERT_EQ(::write(free.Master(), "unread", 6), 6);

  UiQueue ui;
  DeviceMap map;
  map.Map(2, held.Path());
  map.Map(3, free.SlavePath());
  map.Map(4, "/dev/kestrel-no-such-tty");
  for (std::int16_t n : {1, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20})
    map.Map(n, "/dev/kestrel-no-such-tty");
  PosixCommControl comm(map, ui.Poster());
  EXPECT_EQ(comm.PortProbe(2), comPortAlreadyOpen);
  EXPECT_EQ(comm.PortProbe(3), comNoError);
  EXPECT_EQ(comm.PortProbe(4), comInvalidPortNumber);
  clsSerialPortConfigINI store;
  store.ComControl(&comm);
  ASSERT_EQ(store.PortsFound(), 2);
  EXPECT_EQ(store.Port(1), 2);
  EXPECT_EQ(store.Port(2), 3);
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_EQ(comm.CommPort(), 1);

  EXPECT_EQ(held.Termios(), heldBefore);
  EXPECT_EQ(held.Release(), HeldPty::kWaiting);
  struct termios freeAfter {};
  ASSERT_EQ(::tcgetattr(free.Master(), &freeAfter), 0);
  EXPECT_EQ(std::memcmp(&freeBefore, &freeAfter, sizeof freeAfter), 0);
  int slave = ::open(free.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(slave, 0);
  int waiting = 0;
  EXPECT_EQ(::ioctl(slave, FIONREAD, &waiting), 0);
  EXPECT_EQ(waiting, 6); // nothing was flushed
  ::close(slave);
}

TEST(PortScan, ADeviceTheUserMayNotOpenIsDeniedNotListed) {
  Pty pty;
  if (!pty.Ok())
    GTEST_SKIP() << "no pseudo-terminal to be had here";
  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0600), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::getuid() == 0 && ::setuid(65534) != 0)
      ::_exit(2);
    if (::access(pty.SlavePath().c_str(), W_OK) == 0)
      ::_exit(3); // the test runs as the owner of the device: nothing to see
    DeviceMap map;
    map.Map(1, pty.SlavePath());
    PosixCommControl c(map, [](std::function<void()>) {});
    bool ok = c.PortProbe(1) == comAccessDenied &&
              c.LastErrorText().find("dialout") != std::string::npos &&
              c.PortOpen(true) == comAccessDenied;
    ::_exit(ok ? 0 : 1);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 3)
    GTEST_SKIP() << "the device belongs to this user";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Standard rates go by their own codes, so that the system's speed functions
// (and stty) read back what was set; other rates by the custom-rate form.
TEST_F(PtyPort, StandardRatesReadBackThroughTheSystemsSpeedCodes) {
  constexpr speed_t BOTHER = 0010000; // the kernel's custom-rate code
  const struct {
    const char *settings;
    speed_t code;
    std::uint32_t baud;
  } rates[] = {{"50,N,8,1", B50, 50},
               {"600,N,8,1", B600, 600},
               {"9600,N,8,1", B9600, 9600},
               {"19200,N,8,1", B19200, 19200},
               {"115200,N,8,1", B115200, 115200},
               {"921600,N,8,1", B921600, 921600},
               {"4000000,N,8,1", B4000000, 4000000},
               {"250000,N,8,1", BOTHER, 250000}};
  ASSERT_EQ(Open(), comNoError);
  for (const auto &r : rates) {
    SCOPED_TRACE(r.settings);
    ASSERT_EQ(comm->Settings(r.settings), comNoError);
    struct termios t {};
    ASSERT_EQ(::tcgetattr(pty.Master(), &t), 0);
    EXPECT_EQ(t.c_cflag & (CBAUD | CBAUDEX), r.code);
    if (r.code != BOTHER) {
      EXPECT_EQ(::cfgetospeed(&t), r.code);
    }
    serial::LineSettings got;
    ASSERT_EQ(serial::ReadLineSettings(pty.Master(), got), 0);
    EXPECT_EQ(got.baud, r.baud);
  }
}

} // namespace
} // namespace kestrel
