// The serial layer: error marks in the received stream and line events; the device behind each
// port number; the control on pseudo-terminals (the test plays the far end on the master). What
// is no usable port is refused with its exact reason; ports others hold are left as they were.
#include "Child.h"
#include "LineEvents.h"
#include "PosixCommControl.h"
#include "Pty.h"
#include "TempDir.h"
#include "Termios2.h"
#include "UiQueue.h"
#include "clsSerialPortConfigINI.h"
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
namespace kestrel {
namespace {
using test::AsNobody, test::InChild, test::TextFromChild;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace serial;
using Failure = std::pair<int, std::string>;
using Kinds = std::vector<int>;
using C = LineCounters;
const std::string kBusy = ": Device or resource busy (another program has the port open)";
const std::string kOwn = ": the terminal this program runs in, not a serial port";
const std::string kDenied = ": Permission denied. To use serial ports, add your user to the "
                            "dialout group (sudo adduser $USER dialout) and log in again.";
const char *const kNoPty = "no pseudo-terminal to be had here";
const auto kNoUi = [](std::function<void()>) {};
auto ToldBy = [](auto &comm, int error) { return Failure(error, comm.LastErrorText()); };
// "~" stands for 0xFF and "_" for 0x00.
std::string Bytes(std::string text) {
  for (char &ch : text)
    ch = ch == '~' ? '\377' : ch == '_' ? '\0' : ch;
  return text;
}
auto Decoded(const std::vector<std::string> &reads) {
  LineErrorDecoder decoder;
  LineErrorDecoder::Marks marks;
  std::string out;
  for (const auto &read : reads)
    decoder.Decode(Bytes(read), out, marks);
  return std::tuple(out, marks.errors, marks.breaks);
}
// As the driver hands it over, as it was sent, errors, breaks; 0xFF then A
// is no mark the driver makes and passes as it came.
TEST(MarkDecoding, StripsMarksAndCountsThemWhateverTheSplit) {
  const std::tuple<std::string, std::string, std::size_t, std::size_t> cases[] = {
      {"hello", "hello", 0, 0}, {"a~~b", "a~b", 0, 0}, {"~~~~", "~~", 0, 0},
      {"a~_Zb", "aZb", 1, 0},   {"~_~", "~", 1, 0},    {"x~__y", "xy", 0, 1},
      {"__", "__", 0, 0},       {"~A", "~A", 0, 0},    {"~__~~~_!", "~!", 1, 1}};
  for (const auto &[marked, data, errors, breaks] : cases)
    for (std::size_t cut = 0; cut <= marked.size(); ++cut)
      EXPECT_EQ(Decoded({marked.substr(0, cut), marked.substr(cut)}),
                std::tuple(Bytes(data), errors, breaks))
          << marked << " cut at " << cut;
}
// Where each mark fell in the data as sent: after the byte it marks, or where the break was.
TEST(MarkDecoding, NotesWhereEachMarkFell) {
  using Where = std::vector<std::pair<std::size_t, bool>>;
  const std::pair<std::string, Where> rows[] = {{"a~_Zb", {{2, false}}},
                                                {"x~__y", {{1, true}}},
                                                {"~__~_A~_B", {{0, true}, {1, false}, {2, false}}}};
  for (const auto &[marked, where] : rows) {
    LineErrorDecoder decoder;
    LineErrorDecoder::Marks marks;
    std::string out;
    decoder.Decode(Bytes(marked), out, marks);
    Where got;
    for (const auto &mark : marks.where)
      got.emplace_back(mark.at, mark.isBreak);
    EXPECT_EQ(got, where) << marked;
  }
}
const auto Events = [](auto function, const auto &before, const auto &after) {
  Kinds kinds;
  function(before, after, kinds);
  return kinds;
};
TEST(LineEvents, CountersLevelsAndMarksGiveTheirKindsInOrder) {
  int C::*const counters[] = {&C::cts,    &C::dsr,     &C::dcd,        &C::rng, &C::frame,
                              &C::parity, &C::overrun, &C::bufOverrun, &C::brk};
  const Kinds every = {comEvCTS,        comEvDSR,       comEvCD,
                       comEvRing,       comEventFrame,  comEventRxParity,
                       comEventOverrun, comEventRxOver, comEventBreak};
  C all;
  for (std::size_t i = 0; i < every.size(); ++i) {
    C one;
    one.*counters[i] = 2; // a pulse: up and down between two readings
    EXPECT_EQ(Events(CounterEvents, C{}, one), Kinds{every[i]});
    all.*counters[i] = 1;
  }
  EXPECT_EQ(Events(CounterEvents, C{}, all), every);
  EXPECT_EQ(Events(CounterEvents, all, all), Kinds{});
  EXPECT_EQ(Events(CounterEvents, C{.dsr = -1}, C{.dsr = 0}), Kinds{comEvDSR}); // wrapped
  // Levels, for drivers without counters: changes of the input lines only.
  EXPECT_EQ(Events(LevelEvents, TIOCM_CTS | TIOCM_RTS, TIOCM_DSR | TIOCM_RI),
            (Kinds{comEvCTS, comEvDSR, comEvRing}));
  EXPECT_EQ(Events(LevelEvents, TIOCM_DTR, TIOCM_CD | TIOCM_RTS), Kinds{comEvCD});
  EXPECT_EQ(Events(LevelEvents, TIOCM_CD | TIOCM_RI, TIOCM_CD | TIOCM_RI), Kinds{});
  // Without counters the parity setting tells a marked byte's kind.
  using M = LineErrorDecoder::Marks;
  EXPECT_EQ(Events(MarkEvents, M{2, 1, {}}, false), (Kinds{comEventFrame, comEventBreak}));
  EXPECT_EQ(Events(MarkEvents, M{1, 0, {}}, true), Kinds{comEventRxParity});
  EXPECT_EQ(Events(MarkEvents, M{0, 0, {}}, true), Kinds{});
  EXPECT_EQ(Events(MarkEvents, M{0, 3, {}}, true), Kinds{comEventBreak});
}
// What probing and then opening the port give, port 1 naming device (one when both agree).
Failure ProbeAndOpen(std::string device, std::string sys = "/sys", std::int16_t port = 1) {
  DeviceMap map;
  map.SysRoot(sys);
  map.Map(1, device);
  PosixCommControl comm(map, kNoUi);
  Failure probed = ToldBy(comm, comm.PortProbe(port));
  comm.CommPort(port);
  Failure opened = ToldBy(comm, comm.PortOpen(true));
  return probed == opened ? probed : Failure(-1, probed.second + " | " + opened.second);
}
TEST(DeviceMap, BuiltInTableDevicesSectionOverItAndUsbProductNames) {
  test::TempDir dir;
  const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XK2J4L-if00-port0";
  test::WriteFile(
      dir.File("Serial.ini"),
      "[Serial Port]\r\nPort=5\r\n[Devices]\r\nCOM5=" + byId +
          "\r\ncom20 = /dev/pts/7\r\nCOM0=/dev/null\r\nCOMX=/dev/null\r\n"
          "COM99999=/dev/null\r\nCOM7=\r\nPort=/dev/null\r\n[Other]\r\nCOM1=/dev/null\r\n");
  const DeviceMap ini = DeviceMap::FromIni(dir.File("Serial.ini"));
  const std::string nothing;
  const std::pair<std::int16_t, std::string> rows[] = {
      {1, "/dev/ttyS0"},    {4, "/dev/ttyS3"},    {5, "/dev/ttyUSB0"},  {7, "/dev/ttyUSB2"},
      {12, "/dev/ttyUSB7"}, {13, "/dev/ttyACM0"}, {20, "/dev/ttyACM7"}, {0, nothing},
      {21, nothing},        {-3, nothing}};
  for (const auto &[port, device] : rows) {
    for (const DeviceMap &map :
         {DeviceMap(), DeviceMap::FromIni(dir.File("none.ini")), DeviceMap::FromIni(dir.Path())})
      EXPECT_EQ(map.DevicePath(port), device) << port;
    EXPECT_EQ(ini.DevicePath(port), port == 5 ? byId : port == 20 ? "/dev/pts/7" : device) << port;
  }
  const std::string usb = dir.File("devices/pci0000:00/usb1/1-2");
  fs::create_directories(usb + "/1-2:1.0/ttyUSB0");
  fs::create_directories(dir.File("class/tty/ttyUSB0"));
  fs::create_symlink(usb + "/1-2:1.0/ttyUSB0", dir.File("class/tty/ttyUSB0/device"));
  test::WriteFile(usb + "/product", "FT232R USB UART\n");
  DeviceMap map;
  map.SysRoot(dir.Path());
  EXPECT_EQ(std::tuple(map.Describe(5), map.Describe(1), map.Describe(99)),
            std::tuple("/dev/ttyUSB0 - FT232R USB UART", "/dev/ttyS0", ""));
}
class PtyPort : public ::testing::Test {
protected:
  void SetUp() override {
    if (!pty.Ok())
      GTEST_SKIP() << kNoPty;
    devices.Map(1, pty.SlavePath());
    comm = std::make_unique<PosixCommControl>(devices, ui.Poster());
    comm->OnComm([this] { events.push_back(comm->CommEvent()); });
    comm->OnClosedByDevice([this] { ++closedByDevice; });
    ASSERT_EQ(comm->RThreshold(1), comNoError);
  }
  int Open() { return comm->PortOpen(true); }
  Failure Told(int error) { return ToldBy(*comm, error); }
  test::Pty pty;
  const std::string slave = pty.SlavePath();
  DeviceMap devices;
  test::UiQueue ui;
  std::unique_ptr<PosixCommControl> comm;
  std::vector<int> events;
  int closedByDevice = 0;
};
// Standard rates go by their own codes, so that stty reads them back; others by the custom-rate
// form. A pseudo-terminal keeps rate and stop bits.
TEST_F(PtyPort, SettingsReachTheDriverBeforeAndWhileOpenAndUnusableOnesAreRefused) {
  constexpr speed_t BOTHER = 0010000; // the kernel's custom-rate code
  const std::tuple<const char *, speed_t, int> rows[] = {
      {"250000,e,7,2", BOTHER, 2},  {"31250,M,8,1", BOTHER, 1},   {"1200,S,5,1.5", B1200, 2},
      {"50,N,8,1", B50, 1},         {"600,N,8,1", B600, 1},       {"9600,N,8,1", B9600, 1},
      {"115200,N,8,1", B115200, 1}, {"921600,N,8,1", B921600, 1}, {"4000000,N,8,1", B4000000, 1},
      {"250000,N,8,1", BOTHER, 1},  {"9600,N,08,1", B9600, 1},    {"19200,N,8,1", B19200, 1}};
  const auto driver = [&] {
    termios t{};
    serial::LineSettings s;
    EXPECT_EQ(::tcgetattr(pty.Master(), &t), 0);
    EXPECT_EQ(serial::ReadLineSettings(pty.Master(), s), 0);
    return std::tuple(comm->Settings(), t.c_cflag & (CBAUD | CBAUDEX), ::cfgetospeed(&t), s.baud,
                      s.stopBits);
  };
  ASSERT_EQ(comm->Settings(std::get<0>(rows[0])), comNoError); // applied at the open
  ASSERT_EQ(Open(), comNoError);
  for (const auto &[text, code, stopBits] : rows) {
    EXPECT_EQ(text == std::get<0>(rows[0]) ? 0 : comm->Settings(text), comNoError) << text;
    EXPECT_EQ(driver(), std::tuple(text, code, code, std::stoul(text), stopBits));
  }
  for (std::string text :
       {"", "9600", "9600,N,8", "9600,N,8,1,1", "9600,X,8,1", "9600,N,9,1", "9600,N,4,1",
        "9600,N,8,3", "9600,N,8,1.5", "9600,N,5,2", "0,N,8,1", "-9600,N,8,1", "abc,N,8,1",
        "99999999999,N,8,1", "9600,NN,8,1", "9600,N,58888888888,1"}) {
    EXPECT_EQ(Told(comm->Settings(text)),
              Failure(comInvalidSettings, "\"" + text + "\": not usable port settings"));
    EXPECT_EQ(driver(), std::tuple("19200,N,8,1", B19200, B19200, 19200u, 1));
  }
}
// Without a threshold no event is raised; InputLen limits each take; what waited before the open
// is discarded; lookalikes of the error marks arrive as sent, none taken for a line error.
TEST_F(PtyPort, WithoutAThresholdInputIsTakenInTakesOfInputLen) {
  const std::string sent = Bytes("a~~_b~__c");
  pty.Write("before the open");
  ASSERT_EQ(comm->RThreshold(0), comNoError);
  ASSERT_EQ(comm->InputLen(2), comNoError);
  ASSERT_EQ(Open(), comNoError);
  pty.Write(sent);
  ui.PumpFor(150ms);
  std::string got;
  ASSERT_TRUE(ui.PumpUntil([&] {
    std::string part = comm->Input();
    EXPECT_LE(part.size(), 2u);
    return (got += part).size() >= sent.size();
  }));
  EXPECT_EQ(std::pair(got, events.size()), std::pair(sent, 0ul));
}
// What arrives raises receive events; a sender outrunning the window is held back at 4 MB, not
// lost; output the far end does not take is counted, and OutBufferCount(0) discards it.
TEST_F(PtyPort, ReceivesHoldsBackAFloodAndCountsAndDiscardsQueuedOutput) {
  ASSERT_EQ(Open(), comNoError);
  pty.Write("hello");
  ASSERT_TRUE(ui.PumpUntil([&] { return !events.empty(); }));
  EXPECT_EQ(std::pair(comm->Input(), events[0]), std::pair(std::string("hello"), +comEvReceive));
  std::string sent, got;
  for (int i = 0; sent.size() < (6u << 20); ++i)
    sent += "line " + std::to_string(i) + "\r\n";
  ASSERT_EQ(comm->RThreshold(0), comNoError);
  std::thread writer([&] { pty.Write(sent); });
  std::this_thread::sleep_for(500ms); // the window is busy elsewhere
  EXPECT_LE((got = comm->Input()).size(), (4u << 20) + 65536u);
  for (auto until = std::chrono::steady_clock::now() + 20s;
       got.size() < sent.size() && std::chrono::steady_clock::now() < until;) {
    got += comm->Input();
    std::this_thread::sleep_for(1ms);
  }
  writer.join();
  EXPECT_TRUE(got == sent) << got.size() << " of " << sent.size();
  ASSERT_EQ(comm->Output(std::string(1 << 20, 'q')), comNoError); // nobody reads the far end
  ui.PumpFor(50ms);
  EXPECT_TRUE(comm->OutBufferCount() > 0 && comm->OutBufferCount() <= (1 << 20));
  EXPECT_EQ((std::pair<int, int>{comm->OutBufferCount(0), comm->OutBufferCount()}),
            std::pair(0, 0));
  EXPECT_LT(pty.Read(1 << 20, 300ms).size(), 1u << 20);
  ASSERT_EQ(comm->Output("end"), comNoError);
  EXPECT_EQ(pty.Read(3), "end");
}
// Handlers run one at a time; events of a closed session or a gone control are dropped.
TEST_F(PtyPort, HandlersAreNeverReenteredAndLateEventsAreDropped) {
  int depth = 0, maxDepth = 0, calls = 0;
  std::string received;
  comm->OnComm([&] {
    maxDepth = std::max(maxDepth, ++depth);
    received += comm->Input();
    if (++calls == 1) { // a message box: a nested event loop while more data comes
      pty.Write("second");
      ui.PumpFor(200ms);
    }
    --depth;
  });
  ASSERT_EQ(Open(), comNoError);
  pty.Write("first");
  ASSERT_TRUE(ui.PumpUntil([&] { return received == "firstsecond"; }));
  EXPECT_EQ(std::pair(maxDepth, calls >= 2), std::pair(1, true));
  for (bool destroy : {false, true}) {
    pty.Write("stale");
    std::this_thread::sleep_for(100ms); // read and posted, not yet delivered
    destroy ? comm.reset() : (void)comm->PortOpen(false);
    ui.PumpFor(100ms);
    EXPECT_EQ(received, "firstsecond");
    ASSERT_TRUE(destroy || Open() == comNoError);
  }
}
// The device going away loses nothing it sent: every byte read before the loss reaches the window,
// in order, and only then is the port closed and the loss told.
TEST_F(PtyPort, EverythingReadBeforeTheDeviceWentIsHandedOverBeforeTheLoss) {
  std::string received;
  std::size_t receivedWhenTold = 0;
  comm->OnComm([&] { received += comm->Input(); });
  comm->OnClosedByDevice([&] {
    ++closedByDevice;
    receivedWhenTold = received.size();
  });
  ASSERT_EQ(Open(), comNoError);
  std::string sent;
  for (int i = 0; sent.size() < (3u << 20); ++i)
    sent += "line " + std::to_string(i) + "\r\n";
  ASSERT_TRUE(pty.Write(sent));       // the window is busy: nothing is delivered meanwhile
  std::this_thread::sleep_for(300ms); // read by the port, not yet handed over
  pty.Close();
  ASSERT_TRUE(ui.PumpUntil([&] { return closedByDevice > 0; }, 10s));
  EXPECT_EQ(received.size(), sent.size());
  EXPECT_TRUE(received == sent);
  EXPECT_EQ(receivedWhenTold, sent.size());
  EXPECT_EQ(closedByDevice, 1);
  EXPECT_FALSE(comm->PortOpen());
}
// An open port is this program's alone (exclusive mode, gone at close). A pty has no modem lines:
// setting them keeps the open, the outputs told as set. A hang-up closes the port, told once.
TEST_F(PtyPort, OpensForItselfAloneAndReportsThroughErrorNumbers) {
  auto exclusive = [&] { // as any other opener finds the slave
    int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), on = -1;
    ::ioctl(fd, TIOCGEXCL, &on);
    ::close(fd);
    return on;
  };
  const Failure notOpen(comPortNotOpen, "the port is not open");
  EXPECT_EQ(Told(comm->Break(true)), notOpen);
  EXPECT_EQ(Told(comm->Output("abc")), notOpen);
  EXPECT_EQ(Told(comm->InputLen(-1)), Failure(comInvalidValue, "InputLen cannot be negative"));
  EXPECT_EQ(Told(comm->RThreshold(-1)), Failure(comInvalidValue, "RThreshold cannot be negative"));
  EXPECT_EQ(Told(comm->OutBufferCount(5)),
            Failure(comInvalidValue, "OutBufferCount can only be set to 0"));
  EXPECT_EQ(Told(comm->CommPort(0)), Failure(comInvalidPortNumber, "COM0: not a port number"));
  ModemLines levels{.cts = true};
  EXPECT_EQ(
      (std::tuple<int, ModemLines, int>{comm->LineLevels(levels), levels, comm->OutBufferCount()}),
      std::tuple(comPortNotOpen, ModemLines{}, 0));
  ASSERT_EQ(comm->RTSEnable(true), comNoError);
  ASSERT_EQ(comm->DTREnable(true), comNoError);
  ASSERT_EQ(Open(), comNoError);
  EXPECT_EQ(std::tuple(comm->PortOpen(), comm->LastErrorText(), exclusive(), comm->RTSEnable(),
                       comm->DTREnable()),
            std::tuple(true, "", 1, true, true));
  EXPECT_EQ(Told(comm->CommPort(2)),
            Failure(comPortOpenNoChange, "the port number cannot change while the port is open"));
  EXPECT_EQ(Told(Open()), Failure(comPortAlreadyOpen, slave + ": the port is already open"));
  ASSERT_EQ(comm->RTSEnable(false), comNoError);
  ui.PumpFor(60ms);
  EXPECT_EQ((std::pair<int, ModemLines>{comm->LineLevels(levels), levels}),
            std::pair(int(comDeviceError), ModemLines{.dtr = true}));
  EXPECT_EQ((std::pair<int, bool>{comm->Break(true), comm->Break()}), std::pair(0, true));
  EXPECT_EQ((std::pair<int, bool>{comm->Break(false), comm->Break()}), std::pair(0, false));
  EXPECT_EQ(comm->PortOpen(false), comNoError);
  EXPECT_EQ(comm->PortOpen(false), comNoError) << "closing a closed port";
  EXPECT_EQ(std::pair(comm->PortOpen(), exclusive()), std::pair(false, 0));
  ASSERT_EQ(Open(), comNoError);
  EXPECT_EQ(comm->Output("x"), comNoError);
  EXPECT_EQ(pty.Read(1), "x");
  pty.Close();
  ASSERT_TRUE(ui.PumpUntil([&] { return closedByDevice > 0; }));
  ui.PumpFor(200ms);
  EXPECT_EQ(std::tuple(comm->PortOpen(), closedByDevice, Told(comm->Output("x"))),
            std::tuple(false, 1, notOpen));
}
// With no descriptor left for the port's wake-up the open is refused with the system's reason,
// and nothing is left running that a close would wait for (the alarm ends a child that hangs).
TEST_F(PtyPort, WithNoDescriptorLeftTheOpenIsRefusedAndNothingKeepsRunning) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers test whether memory is readable through a pipe of their own,
  // which cannot be had here; without one they report every member call.
  GTEST_SKIP() << "the sanitizers need descriptors of their own";
#endif
  const std::string told = TextFromChild([&] {
    ::alarm(10);
    const rlimit few{256, 256};
    std::vector<int> taken;
    for (int fd; ::setrlimit(RLIMIT_NOFILE, &few) == 0 && (fd = ::dup(0)) >= 0;)
      taken.push_back(fd);
    if (taken.empty())
      return std::string("no descriptors taken");
    ::close(taken.back());
    const Failure failure = Told(Open());
    (void)comm->PortOpen(false);
    return std::to_string(failure.first) + " " + failure.second;
  });
  EXPECT_EQ(told, std::to_string(comDeviceError) + " " + slave + ": Too many open files");
}
// No usable serial port: refused with 8002 from the node alone, so that the
// nodes made here for consoles and for a UART placeholder are never opened.
TEST(RefusedDevice, GivesItsErrorNumberAndExactReason) {
  test::TempDir dir;
  fs::create_directories(dir.File("class/tty/ttyS3"));
  test::WriteFile(dir.File("class/tty/ttyS3/type"), "0\n"); // no hardware behind it
  const std::string missing = "/dev/kestrel-none", enoent = "No such file or directory",
                    console = "a system console, not a serial port", no = "not a serial device",
                    self = kOwn.substr(2), uart = "no serial hardware behind this port";
  const std::tuple<std::string, int, int, std::string> rows[] = {
      {missing, -1, 0, enoent}, {"/dev/null", -1, 0, no},   {"/", -1, 0, no},
      {"tty", 5, 0, self},      {"console", 5, 1, console}, {"ptmx", 5, 2, no},
      {"tty0", 4, 0, console},  {"tty1", 4, 1, console},    {"tty63", 4, 63, console},
      {"ttyS3", 4, 64, uart}};
  for (const auto &[name, major, minor, why] : rows) {
    const std::string path = major < 0 ? name : dir.File(name); // a node made for the row
    if (major >= 0 && ::mknod(path.c_str(), S_IFCHR | 0600, ::makedev(major, minor)) != 0)
      GTEST_SKIP() << "device nodes cannot be made here";
    EXPECT_EQ(ProbeAndOpen(path, dir.Path()), Failure(comInvalidPortNumber, path + ": " + why));
  }
  EXPECT_EQ(ProbeAndOpen(missing, "/sys", 300),
            Failure(comInvalidPortNumber, "COM300: no device belongs to this port number"));
  // A process's own terminal: the pty it has as controlling terminal, and /dev/tty. Another user
  // is denied a device it may not open, and told busy for one held in exclusive mode, by a
  // terminal program of ours (locked too) or by one that only sets the mode.
  test::Pty own, closed, held, exclusive;
  if (!own.Ok() || !closed.Ok() || !held.Ok() || !exclusive.Ok())
    GTEST_SKIP() << kNoPty;
  ASSERT_EQ(::chmod(closed.SlavePath().c_str(), 0600), 0);
  ASSERT_EQ(::chmod(held.SlavePath().c_str(), 0666), 0);
  ASSERT_EQ(::chmod(exclusive.SlavePath().c_str(), 0666), 0);
  DeviceMap map;
  map.Map(1, held.SlavePath());
  PosixCommControl holder(map, kNoUi);
  ASSERT_EQ(holder.PortOpen(true), comNoError);
  const int exclusiveHolder = ::open(exclusive.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(::ioctl(exclusiveHolder, TIOCEXCL), 0);
  const std::string failed = TextFromChild([&] {
    std::string failed;
    const auto check = [&failed](bool ok, const char *what) {
      if (!ok)
        failed += std::string(what) + "; ";
    };
    ::setsid();
    check(::open(own.SlavePath().c_str(), O_RDWR) >= 0, "no controlling terminal");
    for (const std::string &device : {own.SlavePath(), std::string("/dev/tty")})
      check(ProbeAndOpen(device) == Failure(comInvalidPortNumber, device + kOwn),
            "its own terminal not refused");
    if (::getuid() == 0 && !AsNobody())
      return failed + "no uid 65534";
    check(ProbeAndOpen(held.SlavePath()) == Failure(comPortAlreadyOpen, held.SlavePath() + kBusy),
          "a locked port not busy");
    DeviceMap exclusiveMap;
    exclusiveMap.Map(1, exclusive.SlavePath());
    PosixCommControl second(exclusiveMap, kNoUi);
    check(ToldBy(second, second.PortOpen(true)) ==
              Failure(comPortAlreadyOpen, exclusive.SlavePath() + kBusy),
          "a port in exclusive mode not busy");
    // Denied unless the test runs as the owner of the device: then nothing to see.
    if (::access(closed.SlavePath().c_str(), W_OK) != 0)
      check(ProbeAndOpen(closed.SlavePath()) ==
                Failure(comAccessDenied, closed.SlavePath() + kDenied),
            "a closed port not denied");
    return failed;
  });
  EXPECT_EQ(failed, "");
  ::close(exclusiveHolder);
}
// A lock another program takes after the open looked at the system's lock table is still met
// by the open's own lock: refused as busy. The child hides the table from itself to make that
// moment.
TEST(RefusedDevice, ALockTakenAfterTheLookAtTheLockTableIsStillBusy) {
  test::Pty pty;
  if (!pty.Ok())
    GTEST_SKIP() << kNoPty;
  const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  const int kNoNamespace = 2;
  const int result = InChild([&] {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("/dev/null", "/proc/locks", nullptr, MS_BIND, nullptr) != 0)
      return kNoNamespace;
    DeviceMap map;
    map.Map(1, pty.SlavePath());
    PosixCommControl comm(map, kNoUi);
    return int(ToldBy(comm, comm.PortOpen(true)) !=
               Failure(comPortAlreadyOpen, pty.SlavePath() + kBusy));
  });
  ::close(other);
  if (result == kNoNamespace)
    GTEST_SKIP() << "no mount namespace to be had here";
  EXPECT_EQ(result, 0);
}
// A device that runs another frame than asked, as ftdi_sio keeps 8 data bits when asked for 6: a
// pseudo-terminal, which runs 8 bits without parity, posing in the child as a UART's driver. The
// settings are refused, naming what it would not take, at the open and while open, and the device
// keeps what it had. As itself a pseudo-terminal takes any frame (SettingsReachTheDriver...).
TEST(RefusedDevice, AFrameTheDeviceDoesNotRunIsRefusedAndItKeepsWhatItHad) {
  struct Outcome {
    int error;
    bool kept; // the device's settings, and the port open or closed as it was
    char text[200];
  };
  const struct {
    const char *name, *settings;
    bool whileOpen;
    const char *notRun;
  } rows[] = {{"6 data bits at the open", "9600,N,6,1", false, "6 data bits"},
              {"even parity at the open", "9600,E,8,1", false, "even parity"},
              {"both while open", "19200,M,7,1", true, "7 data bits or mark parity"}};
  test::Pty pty;
  if (!pty.Ok())
    GTEST_SKIP() << kNoPty;
  struct stat node {};
  ASSERT_EQ(::stat(pty.SlavePath().c_str(), &node), 0);
  test::TempDir dir;
  test::WriteFile(dir.File("drivers"),
                  "uart /dev/pts " + std::to_string(::major(node.st_rdev)) + " 0-1048575 serial\n");
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    const auto outcome = test::ValueFromChild<Outcome>([&] {
      Outcome o{-1, false, {}};
      if (::unshare(CLONE_NEWNS) != 0 ||
          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          ::mount(dir.File("drivers").c_str(), "/proc/tty/drivers", nullptr, MS_BIND, nullptr) != 0)
        return o;
      DeviceMap map;
      map.Map(1, pty.SlavePath());
      PosixCommControl comm(map, kNoUi);
      if (row.whileOpen && comm.PortOpen(true) != comNoError)
        return o;
      termios before{}, after{};
      ::tcgetattr(pty.Master(), &before);
      o.error = comm.Settings(row.settings);
      if (!row.whileOpen && o.error == comNoError)
        o.error = comm.PortOpen(true);
      ::tcgetattr(pty.Master(), &after);
      o.kept = std::memcmp(&after, &before, sizeof after) == 0 &&
               comm.PortOpen() == row.whileOpen &&
               comm.Settings() == (row.whileOpen ? "9600,N,8,1" : row.settings);
      std::snprintf(o.text, sizeof o.text, "%s", comm.LastErrorText().c_str());
      return o;
    });
    ASSERT_TRUE(outcome);
    if (outcome->error < 0)
      GTEST_SKIP() << "no mount namespace to be had here";
    EXPECT_EQ(std::tuple(outcome->error, std::string(outcome->text), outcome->kept),
              std::tuple(comInvalidSettings,
                         pty.SlavePath() + ": the device does not take \"" + row.settings +
                             "\" (it cannot run " + row.notRun + ")",
                         true));
  }
}
// Where the kernel's list of drivers cannot be read, a pseudo-terminal is not told from a UART:
// its frame is then not checked, so an open at 7 data bits with even parity is still taken.
TEST(RefusedDevice, WithoutTheListOfDriversAPseudoTerminalStillTakesAnyFrame) {
  test::Pty pty;
  if (!pty.Ok())
    GTEST_SKIP() << kNoPty;
  const auto error = test::ValueFromChild<int>([&] {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("none", "/proc/tty", "tmpfs", 0, nullptr) != 0)
      return -1;
    DeviceMap map;
    map.Map(1, pty.SlavePath());
    PosixCommControl comm(map, kNoUi);
    comm.Settings("9600,E,7,1");
    return comm.PortOpen(true);
  });
  ASSERT_TRUE(error);
  if (*error < 0)
    GTEST_SKIP() << "no mount namespace to be had here";
  EXPECT_EQ(*error, comNoError);
}
// Ports others hold (a shell's, unlocked; a terminal program's, locked) and a free one.
TEST(PortScan, FindsPortsWithoutTouchingThemAndAHeldOneIsRefused) {
  test::Pty ptys[3];
  if (!ptys[0].Ok() || !ptys[1].Ok() || !ptys[2].Ok())
    GTEST_SKIP() << kNoPty;
  int fds[3] = {-1, -1, -1};
  termios before[3] = {}, after = {};
  DeviceMap map;
  for (std::int16_t n = 1; n <= 20; ++n)
    map.Map(n, n <= 3 ? ptys[n - 1].SlavePath() : "/dev/kestrel-no-such-tty");
  for (int i = 0; i < 3; ++i) { // each with input not read yet
    ASSERT_TRUE(ptys[i].Write("unread") && ::tcgetattr(ptys[i].Master(), &before[i]) == 0);
    fds[i] = i < 2 ? ::open(ptys[i].SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK) : -1;
  }
  ASSERT_EQ(::flock(fds[1], LOCK_EX | LOCK_NB), 0);
  const test::HolderProcess shell(ptys[0].SlavePath(), true); // the first port is its terminal
  ASSERT_TRUE(shell.Holding());
  PosixCommControl comm(map, kNoUi);
  for (std::int16_t n : {1, 2})
    EXPECT_EQ(ToldBy(comm, comm.PortProbe(n)),
              Failure(comPortAlreadyOpen, ptys[n - 1].SlavePath() + kBusy));
  clsSerialPortConfigINI store;
  store.ComControl(&comm);
  EXPECT_EQ(std::tuple(store.PortsFound(), store.Port(1), store.Port(2), store.Port(3),
                       comm.PortOpen(), comm.CommPort()),
            std::tuple(3, 1, 2, 3, false, 1));
  for (std::int16_t n : {1, 2}) {
    ASSERT_EQ(comm.CommPort(n), comNoError);
    EXPECT_EQ(ToldBy(comm, comm.PortOpen(true)),
              Failure(comPortAlreadyOpen, ptys[n - 1].SlavePath() + kBusy));
  }
  fds[2] = ::open(ptys[2].SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  for (int i = 0; i < 3; ++i) {
    char text[16] = {};
    ASSERT_EQ(::tcgetattr(ptys[i].Master(), &after), 0);
    EXPECT_EQ(std::memcmp(&after, &before[i], sizeof after), 0) << i; // every byte
    EXPECT_EQ(::read(fds[i], text, sizeof text), 6) << i;             // nothing was flushed
    EXPECT_EQ(::write(fds[i], "mine", 4), 4); // the holder's session still works
    EXPECT_EQ(ptys[i].Read(4), "mine");
    ::close(fds[i]);
  }
  EXPECT_EQ(comm.PortOpen(true), comNoError); // released
}
// Another process holds a pseudo-terminal without a lock, found by the name of its open file:
// as its terminal (a shell's) the port is busy and its settings untouched; as the far end that
// made it (socat, a board simulator) the port opens.
TEST(PortScan, AHeldPseudoTerminalIsBusyOnlyAsAProcesssTerminal) {
  const struct {
    const char *name;
    bool asTerminal;
    Failure probed, opened;
    bool settingsKept; // after the open
  } rows[] = {
      {"a shell's terminal", true, {comPortAlreadyOpen, kBusy}, {comPortAlreadyOpen, kBusy}, true},
      {"the end a simulator keeps", false, {comNoError, ""}, {comNoError, ""}, false},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    test::Pty pty;
    if (!pty.Ok())
      GTEST_SKIP() << kNoPty;
    termios before{}, after{};
    ASSERT_EQ(::tcgetattr(pty.Master(), &before), 0);
    const test::HolderProcess holder(pty.SlavePath(), row.asTerminal);
    ASSERT_TRUE(holder.Holding());
    DeviceMap map;
    map.Map(1, pty.SlavePath());
    PosixCommControl comm(map, kNoUi);
    const Failure probed = ToldBy(comm, comm.PortProbe(1));
    ASSERT_EQ(::tcgetattr(pty.Master(), &after), 0);
    const bool untouched = std::memcmp(&after, &before, sizeof after) == 0;
    const Failure opened = ToldBy(comm, comm.PortOpen(true));
    ASSERT_EQ(::tcgetattr(pty.Master(), &after), 0);
    const bool kept = std::memcmp(&after, &before, sizeof after) == 0;
    (void)comm.PortOpen(false);
    const auto named = [&](Failure f) {
      return f.second.empty() ? f : Failure(f.first, pty.SlavePath() + f.second);
    };
    EXPECT_EQ(probed, named(row.probed));
    EXPECT_EQ(opened, named(row.opened));
    EXPECT_TRUE(untouched) << "the scan changed the port's settings";
    EXPECT_EQ(kept, row.settingsKept);
  }
}
} // namespace
} // namespace kestrel
