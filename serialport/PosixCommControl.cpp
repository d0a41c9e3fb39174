#include "PosixCommControl.h"

#include "IniFile.h"
#include "LineEvents.h"
#include "SystemRoutines.h"
#include "Termios2.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrel {

namespace {

// How often the line counters and levels are read while the port is open.
constexpr int kLineTickMs = 25;
// Bytes read from the device per system call.
constexpr std::size_t kReadChunk = 65536;
// Received bytes held for the window at most. Past this the I/O thread stops
// reading until the window has taken some: memory stays bounded when a sender
// outruns the window (a pseudo-terminal can), and on a real line the window
// would have to stall for seconds before the driver's own buffer fills.
constexpr std::size_t kInputHeld = 4u << 20;
// What one Input hands over at most, so that one receive event keeps the
// user-interface thread for tens of milliseconds, not seconds: keys and
// repaints get their turn between slices. The rest follows at once in a new
// receive event.
constexpr std::size_t kInputSlice = 256u << 10;
// While a steady trickle keeps arriving, the I/O thread lets the driver
// gather it for a while between reads and hands it over in takes of about
// kRestGathers bytes, at most kRestMost apart: a log at 115200 baud comes in
// pieces of a line or less, and each piece would otherwise wake both threads.
// The first bytes after a quiet spell are handed over at once, so an echo of
// a typed key is not held back. The driver holds far more than a rest gathers.
constexpr double kRestGathers = 2048;
constexpr auto kRestMost = std::chrono::milliseconds(50);
// A stream that brings kTrickle bytes in one read, or would need a rest
// shorter than kRestLeast, is a flood: the line discipline holds only 4 KB,
// so a flood is read again at once, as it comes.
constexpr std::size_t kTrickle = 3072;
constexpr auto kRestLeast = std::chrono::milliseconds(5);

std::string BaseName(const std::string &path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RealPath(const std::string &path) {
  std::string real = path;
  if (char *r = ::realpath(path.c_str(), nullptr)) {
    real = r;
    std::free(r);
  }
  return real;
}

std::string FirstLineOf(const std::string &file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

bool DigitsOnly(const std::string &s) {
  if (s.empty())
    return false;
  for (char ch : s)
    if (ch < '0' || ch > '9')
      return false;
  return true;
}

// "19200,N,8,1" to its values; false when the text cannot be used. Stop bits
// 1.5 exist only with 5 data bits, where the line takes them for 2.
bool ParseSettings(const std::string &text, serial::LineSettings &s) {
  std::string f[4];
  int n = 0;
  for (char ch : text) {
    if (ch == ',') {
      if (++n > 3)
        return false;
    } else if (ch != ' ') {
      f[n] += ch;
    }
  }
  if (n != 3 || !DigitsOnly(f[0]) || f[0].size() > 9 || f[1].size() != 1 || !DigitsOnly(f[2]))
    return false;
  unsigned long baud = std::stoul(f[0]);
  if (baud == 0)
    return false;
  char parity = static_cast<char>(std::toupper(static_cast<unsigned char>(f[1][0])));
  if (std::string("NEOMS").find(parity) == std::string::npos)
    return false;
  int data = std::stoi(f[2]);
  if (data < 5 || data > 8)
    return false;
  int stop;
  if (f[3] == "1")
    stop = 1;
  else if (f[3] == "2" && data != 5)
    stop = 2;
  else if (f[3] == "1.5" && data == 5)
    stop = 2;
  else
    return false;
  s.baud = static_cast<std::uint32_t>(baud);
  s.parity = parity;
  s.dataBits = data;
  s.stopBits = stop;
  return true;
}

// Drivers round a rate they cannot make exactly to the nearest they can; more
// than 3 % off is a rate the device cannot keep to.
bool CloseEnough(std::uint32_t wanted, std::uint32_t got) {
  double ratio = static_cast<double>(got) / static_cast<double>(wanted);
  return ratio > 0.97 && ratio < 1.03;
}

// The type the kernel's tty drivers give a character device number
// ("serial", "pty:slave", "console", "system:/dev/tty", ...): empty when no
// tty driver serves the number, "?" when the list cannot be read.
std::string TtyDriverType(dev_t device) {
  std::ifstream in("/proc/tty/drivers");
  if (!in)
    return "?";
  std::string line;
  while (std::getline(in, line)) {
    char name[128], node[128], range[64], type[64];
    unsigned major = 0;
    if (std::sscanf(line.c_str(), "%127s %127s %u %63s %63s", name, node, &major, range, type) !=
            5 ||
        major != ::major(device))
      continue;
    unsigned first = 0, last = 0;
    int n = std::sscanf(range, "%u-%u", &first, &last);
    if (n < 1)
      continue;
    if (n == 1)
      last = first;
    if (::minor(device) >= first && ::minor(device) <= last)
      return type;
  }
  return {};
}

// The device number of this process's controlling terminal; 0 without one.
dev_t ControllingTerminal() {
  std::string stat = FirstLineOf("/proc/self/stat");
  // pid (name) state ppid pgrp session tty_nr ...; the name may hold blanks.
  auto end = stat.rfind(')');
  if (end == std::string::npos)
    return 0;
  char state = 0;
  int ppid = 0, pgrp = 0, session = 0;
  unsigned tty = 0;
  if (std::sscanf(stat.c_str() + end + 1, " %c %d %d %d %u", &state, &ppid, &pgrp, &session,
                  &tty) != 5)
    return 0;
  return ::makedev((tty >> 8) & 0xfff, (tty & 0xff) | ((tty >> 12) & 0xfff00));
}

// Whether a process holds a flock on the device node: the kernel's list of
// file locks shows every process's, whoever runs it.
bool LockedByAProcess(const struct stat &node) {
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:6 0 EOF"; a blocked waiter has
    // "->" before its type and holds nothing.
    if (line.find("->") != std::string::npos)
      continue;
    char a[32], b[32], c[32], d[32];
    unsigned long pid = 0, ino = 0;
    unsigned maj = 0, min = 0;
    if (std::sscanf(line.c_str(), "%31s %31s %31s %31s %lu %x:%x:%lu", a, b, c, d, &pid, &maj, &min,
                    &ino) == 8 &&
        maj == ::major(node.st_dev) && min == ::minor(node.st_dev) && ino == node.st_ino)
      return true;
  }
  return false;
}

// The character devices that the processes this user may look at have open,
// from their open files in /proc: stat follows each link to the open file
// without opening it. A holder this user may not see is found by the open,
// which is refused with busy.
std::vector<dev_t> DevicesHeldOpen() {
  std::vector<dev_t> held;
  DIR *proc = ::opendir("/proc");
  if (!proc)
    return held;
  while (dirent *p = ::readdir(proc)) {
    if (!DigitsOnly(p->d_name))
      continue;
    const std::string folder = std::string("/proc/") + p->d_name + "/fd/";
    DIR *fds = ::opendir(folder.c_str());
    if (!fds)
      continue;
    while (dirent *f = ::readdir(fds)) {
      struct stat st {};
      if (f->d_name[0] != '.' && ::stat((folder + f->d_name).c_str(), &st) == 0 &&
          S_ISCHR(st.st_mode))
        held.push_back(st.st_rdev);
    }
    ::closedir(fds);
  }
  ::closedir(proc);
  return held;
}

const char *const kDialoutAdvice = ". To use serial ports, add your user to the dialout group "
                                   "(sudo adduser $USER dialout) and log in again.";

// What the open says of a port another program holds, and the scan says in advance.
std::string BusyText(const std::string &device) {
  return device + ": " + SystemErrorText(EBUSY) + " (another program has the port open)";
}

int Ioctl(int fd, unsigned long request, void *arg) {
  int r;
  do
    r = ::ioctl(fd, request, arg);
  while (r < 0 && errno == EINTR);
  return r < 0 ? errno : 0;
}

serial::LineCounters Counters(const serial_icounter_struct &c) {
  serial::LineCounters l;
  l.cts = c.cts;
  l.dsr = c.dsr;
  l.dcd = c.dcd;
  l.rng = c.rng;
  l.frame = c.frame;
  l.parity = c.parity;
  l.overrun = c.overrun;
  l.bufOverrun = c.buf_overrun;
  l.brk = c.brk;
  return l;
}

} // namespace

// ---------------------------------------------------------------------------
// DeviceMap

DeviceMap DeviceMap::FromIni(const std::string &iniPath) {
  DeviceMap map;
  // Read with the full-length reader: a /dev/serial/by-id path is far longer
  // than the settings store's values may be.
  for (const auto &[key, value] : IniReadSection(iniPath, "Devices")) {
    if (key.size() < 4 || (key[0] != 'C' && key[0] != 'c') || (key[1] != 'O' && key[1] != 'o') ||
        (key[2] != 'M' && key[2] != 'm'))
      continue;
    std::string number = key.substr(3);
    if (!DigitsOnly(number) || number.size() > 5)
      continue;
    long port = std::stol(number);
    if (port < 1 || port > 32767 || value.empty())
      continue;
    map.Map(static_cast<std::int16_t>(port), value);
  }
  return map;
}

void DeviceMap::Map(std::int16_t port, const std::string &device) {
  mOverrides[port] = device;
}

std::string DeviceMap::DevicePath(std::int16_t port) const {
  if (auto it = mOverrides.find(port); it != mOverrides.end())
    return it->second;
  if (port >= 1 && port <= 4)
    return "/dev/ttyS" + std::to_string(port - 1);
  if (port >= 5 && port <= 12)
    return "/dev/ttyUSB" + std::to_string(port - 5);
  if (port >= 13 && port <= 20)
    return "/dev/ttyACM" + std::to_string(port - 13);
  return {};
}

std::string DeviceMap::Describe(std::int16_t port) const {
  std::string device = DevicePath(port);
  if (device.empty())
    return {};
  // The product name sits on the USB device, two or three levels above the
  // tty's own entry (interface, then device).
  std::string entry = RealPath(mSysRoot + "/class/tty/" + BaseName(RealPath(device)) + "/device");
  for (int up = 0; up < 4 && entry.size() > 1; ++up) {
    std::string product = FirstLineOf(entry + "/product");
    if (!product.empty())
      return device + " - " + product;
    entry = entry.substr(0, entry.rfind('/'));
  }
  return device;
}

// ---------------------------------------------------------------------------
// The control

struct PosixCommControl::Impl {
  DeviceMap devices;
  Poster post;

  // Properties, kept while the port is closed and applied at the next open.
  std::int16_t commPort = 1;
  std::string settingsText = "9600,N,8,1";
  serial::LineSettings settings;
  std::atomic<bool> parityOn{false}; // for the I/O thread
  std::int16_t inputLen = 0;
  bool rts = false;
  bool dtr = false;
  std::int16_t rThreshold = 0;
  std::string lastError;

  // The open port. fd is written only with ioMutex held; the I/O thread reads
  // it without, since only the thread itself or a joined thread's owner closes.
  std::mutex ioMutex;
  int fd = -1;
  int wake = -1; // eventfd: output waiting, or stop
  std::string openedDevice;
  std::thread io;
  std::atomic<bool> stop{false};
  std::atomic<bool> open{false};
  // Which open the posted events belong to: those of an earlier one are dropped.
  std::atomic<unsigned> session{0};

  std::mutex bufMutex;
  std::string input; // received; taken by Input from inputFrom on
  std::size_t inputFrom = 0;
  std::size_t Held() const { return input.size() - inputFrom; }
  std::string output; // given to Output, not yet taken by the driver
  std::atomic<bool> receivePosted{false};
  // TIOCM_* bits as the I/O thread last read them; -1 when they cannot be read.
  std::atomic<int> modemLevels{-1};
  bool breakOn = false;
  std::atomic<bool> inputFull{false}; // the I/O thread waits for Input

  // The user-interface side.
  std::function<void()> handler;
  std::function<void()> closedHandler;
  std::int16_t commEvent = 0;
  std::deque<std::pair<unsigned, int>> pending;
  bool delivering = false;
  // Posted tasks hold the token, so that those run after the control is gone
  // do nothing. The I/O thread only copies token; alive is reset on the
  // user-interface thread.
  std::shared_ptr<Impl *> alive = std::make_shared<Impl *>(this);
  const std::weak_ptr<Impl *> token = alive;

  int Fail(int error, const std::string &text) {
    lastError = text;
    return error;
  }

  int Check(std::int16_t port, std::string &device, struct stat &node);
  bool HeldOpen(dev_t device);

  // What DevicesHeldOpen found, kept for a moment: a scan of twenty numbers
  // looks through /proc once, not once per device.
  std::vector<dev_t> heldOpen;
  std::chrono::steady_clock::time_point heldOpenAt;
  int Open();
  void Close();
  void CloseDescriptor();
  void ApplyLines();
  void SetLine(int bit, bool high);
  void Run(unsigned mySession);
  void PostEvent(unsigned mySession, int kind);
  void PostClosed(unsigned mySession);
  void Deliver(unsigned mySession, int kind);
};

// Whether the port's device node is a serial port this program may use, from
// the node alone: 8002 when there is none or it is no serial port.
int PosixCommControl::Impl::Check(std::int16_t port, std::string &device, struct stat &node) {
  device = devices.DevicePath(port);
  if (device.empty())
    return Fail(comInvalidPortNumber,
                "COM" + std::to_string(port) + ": no device belongs to this port number");
  if (::stat(device.c_str(), &node) != 0) {
    int err = errno;
    std::string why = device + ": " + SystemErrorText(err);
    if (err == EACCES)
      return Fail(comAccessDenied, why + kDialoutAdvice);
    return Fail(err == ENOENT || err == ENOTDIR ? comInvalidPortNumber : comDeviceError, why);
  }
  if (!S_ISCHR(node.st_mode))
    return Fail(comInvalidPortNumber, device + ": not a serial device");
  const std::string type = TtyDriverType(node.st_rdev);
  const dev_t own = ControllingTerminal();
  if (type == "system:/dev/tty" || (own != 0 && node.st_rdev == own))
    return Fail(comInvalidPortNumber,
                device + ": the terminal this program runs in, not a serial port");
  if (type == "console" || type.rfind("system:", 0) == 0)
    return Fail(comInvalidPortNumber, device + ": a system console, not a serial port");
  if (type != "?" && type != "serial" && type != "pty:slave")
    return Fail(comInvalidPortNumber, device + ": not a serial device");
  // A ttyS entry exists for every UART the kernel reserved room for; type 0
  // means there is no hardware behind it. Opening it to find out would block
  // or fail in confusing ways on some machines.
  std::string base = BaseName(RealPath(device));
  if (base.rfind("ttyS", 0) == 0) {
    std::string uart = FirstLineOf(devices.SysRoot() + "/class/tty/" + base + "/type");
    if (uart == "0")
      return Fail(comInvalidPortNumber, device + ": no serial hardware behind this port");
  }
  return comNoError;
}

bool PosixCommControl::Impl::HeldOpen(dev_t device) {
  const auto now = std::chrono::steady_clock::now();
  if (heldOpenAt == std::chrono::steady_clock::time_point() ||
      now - heldOpenAt > std::chrono::milliseconds(500)) {
    heldOpen = DevicesHeldOpen();
    heldOpenAt = now;
  }
  return std::find(heldOpen.begin(), heldOpen.end(), device) != heldOpen.end();
}

int PosixCommControl::Impl::Open() {
  std::string device;
  struct stat node {};
  if (int error = Check(commPort, device, node))
    return error;

  int f = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (f < 0) {
    int err = errno;
    std::string why = device + ": " + SystemErrorText(err);
    switch (err) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return Fail(comInvalidPortNumber, why);
    case EBUSY:
      return Fail(comPortAlreadyOpen, BusyText(device));
    case EACCES:
    case EPERM:
      return Fail(comAccessDenied, why + kDialoutAdvice);
    default:
      return Fail(comDeviceError, why);
    }
  }
  auto giveUp = [&](int error, const std::string &why) {
    ::close(f);
    return Fail(error, why);
  };
  if (!::isatty(f))
    return giveUp(comDeviceError, device + ": not a serial device");
  // The lock also keeps out root and a second open in this process, which the
  // exclusive mode below does not.
  if (::flock(f, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    if (err == EWOULDBLOCK)
      return giveUp(comPortAlreadyOpen, BusyText(device));
    return giveUp(comDeviceError, device + ": " + SystemErrorText(err));
  }
  (void)Ioctl(f, TIOCEXCL, nullptr);
  if (int err = serial::ApplyLineSettings(f, settings)) {
    (void)Ioctl(f, TIOCNXCL, nullptr);
    return giveUp(comDeviceError, device + ": " + SystemErrorText(err));
  }
  (void)serial::FlushInput(f);
  int w = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (w < 0) {
    int err = errno;
    (void)Ioctl(f, TIOCNXCL, nullptr);
    return giveUp(comDeviceError, device + ": " + SystemErrorText(err));
  }

  {
    std::lock_guard lock(ioMutex);
    fd = f;
    wake = w;
  }
  openedDevice = device;
  {
    std::lock_guard lock(bufMutex);
    input.clear();
    inputFrom = 0;
    output.clear();
  }
  receivePosted = false;
  modemLevels = -1;
  ApplyLines();
  stop = false;
  open = true;
  unsigned mySession = ++session;
  io = std::thread([this, mySession] { Run(mySession); });
  lastError.clear();
  return comNoError;
}

void PosixCommControl::Impl::CloseDescriptor() {
  std::lock_guard lock(ioMutex);
  if (fd >= 0) {
    if (breakOn)
      (void)Ioctl(fd, TIOCCBRK, nullptr);
    breakOn = false;
    // Exclusive mode left set would outlive us and keep others out.
    (void)Ioctl(fd, TIOCNXCL, nullptr);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    fd = -1;
  }
}

void PosixCommControl::Impl::Close() {
  open = false;
  ++session;
  stop = true;
  if (wake >= 0) {
    std::uint64_t one = 1;
    (void)!::write(wake, &one, sizeof one);
  }
  if (io.joinable())
    io.join();
  CloseDescriptor();
  if (wake >= 0) {
    ::close(wake);
    wake = -1;
  }
  std::lock_guard lock(bufMutex);
  output.clear();
}

void PosixCommControl::Impl::SetLine(int bit, bool high) {
  std::lock_guard lock(ioMutex);
  if (fd >= 0)
    (void)Ioctl(fd, high ? TIOCMBIS : TIOCMBIC, &bit);
}

void PosixCommControl::Impl::ApplyLines() {
  // A pseudo-terminal has no modem lines; the calls fail and that is all.
  SetLine(TIOCM_RTS, rts);
  SetLine(TIOCM_DTR, dtr);
}

void PosixCommControl::Impl::PostEvent(unsigned mySession, int kind) {
  post([token = token, mySession, kind] {
    if (auto self = token.lock())
      (*self)->Deliver(mySession, kind);
  });
}

void PosixCommControl::Impl::PostClosed(unsigned mySession) {
  post([token = token, mySession] {
    auto self = token.lock();
    if (!self)
      return;
    Impl *d = *self;
    if (d->session != mySession)
      return;
    d->Close(); // the thread has ended; this joins it and releases the rest
    if (d->closedHandler)
      d->closedHandler();
  });
}

// Events run one at a time: one posted while a handler runs (its message box
// runs a nested event loop) joins the queue and runs after the handler returns.
void PosixCommControl::Impl::Deliver(unsigned mySession, int kind) {
  if (mySession != session || !open)
    return;
  pending.emplace_back(mySession, kind);
  if (delivering)
    return;
  delivering = true;
  while (!pending.empty()) {
    auto [itsSession, next] = pending.front();
    pending.pop_front();
    if (itsSession != session || !open)
      continue;
    if (next == comEvReceive) {
      receivePosted = false;
      std::lock_guard lock(bufMutex);
      // Already taken by an earlier handler, or not asked for.
      if (Held() == 0 || rThreshold <= 0)
        continue;
    }
    commEvent = static_cast<std::int16_t>(next);
    if (handler)
      handler();
  }
  delivering = false;
}

// The I/O thread of one open port.
void PosixCommControl::Impl::Run(unsigned mySession) {
  const int f = fd;
  const int w = wake;
  serial::LineErrorDecoder decoder;

  serial_icounter_struct last{};
  bool haveCounters = Ioctl(f, TIOCGICOUNT, &last) == 0;
  int lastLevels = 0;
  bool haveLevels = !haveCounters && Ioctl(f, TIOCMGET, &lastLevels) == 0;

  std::string chunk(kReadChunk, '\0');
  std::string decoded;
  bool gone = false;
  // Input is not watched before this time; see kRestGathers.
  auto restUntil = std::chrono::steady_clock::time_point();
  auto lastRead = std::chrono::steady_clock::time_point();
  bool trickled = false;

  while (!stop && !gone) {
    bool wantWrite, wantRead;
    {
      std::lock_guard lock(bufMutex);
      wantWrite = !output.empty();
      wantRead = Held() < kInputHeld;
      inputFull = !wantRead;
    }
    int timeout = (haveCounters || haveLevels) ? kLineTickMs : -1;
    const auto now = std::chrono::steady_clock::now();
    const bool resting = wantRead && now < restUntil;
    if (resting) {
      const int left =
          static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(restUntil - now).count());
      timeout = timeout < 0 ? left : std::min(timeout, left);
    }
    // Hang-ups are reported whatever is asked for, so a full buffer still
    // notices a device that goes away.
    pollfd fds[2] = {
        {f, static_cast<short>((wantRead && !resting ? POLLIN : 0) | (wantWrite ? POLLOUT : 0)), 0},
        {w, POLLIN, 0}};
    int r = ::poll(fds, 2, timeout);
    if (r < 0) {
      if (errno == EINTR)
        continue;
      gone = true;
      break;
    }
    if (fds[1].revents & POLLIN) {
      std::uint64_t n;
      (void)!::read(w, &n, sizeof n);
      if (stop)
        break;
    }

    serial::LineErrorDecoder::Marks marks;
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) ||
        (wantRead && (fds[0].revents & POLLIN))) {
      decoded.clear();
      std::size_t got = 0;
      for (;;) {
        ssize_t n = ::read(f, chunk.data(), chunk.size());
        if (n > 0) {
          got += static_cast<std::size_t>(n);
          decoder.Decode(std::string_view(chunk.data(), static_cast<std::size_t>(n)), decoded,
                         marks);
          if (static_cast<std::size_t>(n) < chunk.size())
            break;
          continue;
        }
        if (n < 0 && errno == EINTR)
          continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
          break;
        // With VMIN 1 a read of nothing means the device is gone, as does EIO.
        gone = true;
        break;
      }
      if (!decoded.empty()) {
        {
          std::lock_guard lock(bufMutex);
          input += decoded;
        }
        if (!receivePosted.exchange(true))
          PostEvent(mySession, comEvReceive);
      }
      const auto readAt = std::chrono::steady_clock::now();
      // The rest that gathers about kRestGathers at the pace since the last read.
      const std::chrono::duration<double, std::milli> rest =
          std::min<std::chrono::duration<double, std::milli>>(
              kRestMost, (readAt - lastRead) *
                             (kRestGathers / static_cast<double>(std::max<std::size_t>(got, 1))));
      const bool trickle = got > 0 && got < kTrickle && rest >= kRestLeast;
      // A flooding sender that pauses once looks like a trickle for one read.
      restUntil =
          trickle && trickled
              ? readAt + std::chrono::duration_cast<std::chrono::steady_clock::duration>(rest)
              : std::chrono::steady_clock::time_point();
      trickled = trickle;
      lastRead = readAt;
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        gone = true;
    }
    std::vector<int> kinds;
    if (!haveCounters)
      serial::MarkEvents(marks, parityOn, kinds);

    if (!gone && wantWrite && (fds[0].revents & POLLOUT)) {
      std::lock_guard lock(bufMutex);
      while (!output.empty()) {
        ssize_t n = ::write(f, output.data(), output.size());
        if (n > 0) {
          output.erase(0, static_cast<std::size_t>(n));
          continue;
        }
        if (n < 0 && errno == EINTR)
          continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
          gone = true;
        break;
      }
    }

    if (!gone && (haveCounters || haveLevels)) {
      int levels = 0;
      modemLevels = Ioctl(f, TIOCMGET, &levels) == 0 ? levels : -1;
    }
    if (!gone && haveCounters) {
      serial_icounter_struct now{};
      if (Ioctl(f, TIOCGICOUNT, &now) == 0) {
        serial::CounterEvents(Counters(last), Counters(now), kinds);
        last = now;
      } else if (errno == EIO || errno == ENODEV) {
        gone = true;
      }
    } else if (!gone && haveLevels) {
      int levels = 0;
      if (Ioctl(f, TIOCMGET, &levels) == 0) {
        serial::LevelEvents(lastLevels, levels, kinds);
        lastLevels = levels;
      } else if (errno == EIO || errno == ENODEV) {
        gone = true;
      }
    }
    for (int kind : kinds)
      PostEvent(mySession, kind);
  }

  if (gone && !stop) {
    // Closed at once: a descriptor held on an unplugged adapter makes it come
    // back under another name.
    open = false;
    CloseDescriptor();
    PostClosed(mySession);
  }
}

PosixCommControl::PosixCommControl(DeviceMap devices, Poster postToUi)
    : d(std::make_unique<Impl>()) {
  d->devices = std::move(devices);
  d->post = std::move(postToUi);
}

PosixCommControl::~PosixCommControl() {
  d->alive.reset();
  d->Close();
}

std::int16_t PosixCommControl::CommPort() const {
  return d->commPort;
}

int PosixCommControl::CommPort(std::int16_t port) {
  if (d->open)
    return d->Fail(comPortOpenNoChange, "the port number cannot change while the port is open");
  if (port < 1)
    return d->Fail(comInvalidPortNumber, "COM" + std::to_string(port) + ": not a port number");
  d->commPort = port;
  return comNoError;
}

std::string PosixCommControl::Settings() const {
  return d->settingsText;
}

int PosixCommControl::Settings(const std::string &text) {
  serial::LineSettings wanted;
  if (!ParseSettings(text, wanted))
    return d->Fail(comInvalidSettings, "\"" + text + "\": not usable port settings");
  if (d->open) {
    std::lock_guard lock(d->ioMutex);
    if (d->fd >= 0) {
      int err = serial::ApplyLineSettings(d->fd, wanted);
      serial::LineSettings got;
      if (err == 0)
        err = serial::ReadLineSettings(d->fd, got);
      // Only the rate is checked: a pseudo-terminal keeps its frame at 8 bits
      // without parity whatever it is told, and that is not a failure.
      if (err != 0 || !CloseEnough(wanted.baud, got.baud)) {
        (void)serial::ApplyLineSettings(d->fd, d->settings);
        return d->Fail(comInvalidSettings,
                       d->openedDevice + ": the device does not take \"" + text + "\"" +
                           (err ? " (" + SystemErrorText(err) + ")" : std::string()));
      }
    }
  }
  d->settings = wanted;
  d->parityOn = wanted.parity != 'N';
  d->settingsText = text;
  return comNoError;
}

std::int16_t PosixCommControl::InputLen() const {
  return d->inputLen;
}

int PosixCommControl::InputLen(std::int16_t length) {
  if (length < 0)
    return d->Fail(comInvalidValue, "InputLen cannot be negative");
  d->inputLen = length;
  return comNoError;
}

bool PosixCommControl::RTSEnable() const {
  return d->rts;
}

int PosixCommControl::RTSEnable(bool high) {
  d->rts = high;
  d->SetLine(TIOCM_RTS, high);
  return comNoError;
}

bool PosixCommControl::DTREnable() const {
  return d->dtr;
}

int PosixCommControl::DTREnable(bool high) {
  d->dtr = high;
  d->SetLine(TIOCM_DTR, high);
  return comNoError;
}

std::int16_t PosixCommControl::RThreshold() const {
  return d->rThreshold;
}

int PosixCommControl::RThreshold(std::int16_t threshold) {
  if (threshold < 0)
    return d->Fail(comInvalidValue, "RThreshold cannot be negative");
  d->rThreshold = threshold;
  return comNoError;
}

bool PosixCommControl::PortOpen() const {
  return d->open;
}

int PosixCommControl::PortOpen(bool open) {
  if (!open) {
    d->Close();
    return comNoError;
  }
  if (d->open)
    return d->Fail(comPortAlreadyOpen, d->openedDevice + ": the port is already open");
  d->Close(); // what a vanished device left behind
  return d->Open();
}

int PosixCommControl::PortProbe(std::int16_t port) {
  std::string device;
  struct stat node {};
  if (int error = d->Check(port, device, node))
    return error;
  if (::access(device.c_str(), R_OK | W_OK) != 0) {
    int err = errno;
    std::string why = device + ": " + SystemErrorText(err);
    if (err == EACCES || err == EPERM || err == EROFS)
      return d->Fail(comAccessDenied, why + kDialoutAdvice);
    return d->Fail(comDeviceError, why);
  }
  if (LockedByAProcess(node) || d->HeldOpen(node.st_rdev))
    return d->Fail(comPortAlreadyOpen, BusyText(device));
  return comNoError;
}

int PosixCommControl::Output(const std::string &text) {
  if (!d->open)
    return d->Fail(comPortNotOpen, "the port is not open");
  if (text.empty())
    return comNoError;
  bool queued;
  {
    // In this order only: the I/O thread closes the descriptor under ioMutex.
    std::lock_guard ioLock(d->ioMutex);
    if (d->fd < 0)
      return d->Fail(comPortNotOpen, "the port is not open");
    std::lock_guard lock(d->bufMutex);
    if (d->output.empty()) {
      // Most of the time the driver takes it all at once.
      std::size_t done = 0;
      while (done < text.size()) {
        ssize_t n = ::write(d->fd, text.data() + done, text.size() - done);
        if (n > 0)
          done += static_cast<std::size_t>(n);
        else if (!(n < 0 && errno == EINTR))
          break;
      }
      d->output.append(text, done, std::string::npos);
    } else {
      d->output += text;
    }
    queued = !d->output.empty();
  }
  if (queued) {
    std::uint64_t one = 1;
    (void)!::write(d->wake, &one, sizeof one);
  }
  return comNoError;
}

std::string PosixCommControl::Input() {
  std::string out;
  bool more;
  {
    std::lock_guard lock(d->bufMutex);
    const std::size_t limit =
        d->inputLen == 0 ? kInputSlice : static_cast<std::size_t>(d->inputLen);
    const std::size_t n = std::min(limit, d->Held());
    if (d->inputFrom == 0 && n == d->input.size()) {
      out.swap(d->input);
    } else {
      out.assign(d->input, d->inputFrom, n);
      d->inputFrom += n;
    }
    if (d->inputFrom == d->input.size()) {
      d->input.clear();
      d->inputFrom = 0;
    } else if (d->inputFrom >= kInputSlice * 4) {
      d->input.erase(0, d->inputFrom);
      d->inputFrom = 0;
    }
    more = d->inputLen == 0 && d->Held() > 0;
  }
  if (more && d->open && d->rThreshold > 0 && !d->receivePosted.exchange(true))
    d->PostEvent(d->session, comEvReceive);
  if (d->inputFull && d->wake >= 0) {
    std::uint64_t one = 1;
    (void)!::write(d->wake, &one, sizeof one);
  }
  return out;
}

std::int16_t PosixCommControl::CommEvent() const {
  return d->commEvent;
}

void PosixCommControl::OnComm(std::function<void()> handler) {
  d->handler = std::move(handler);
}

std::string PosixCommControl::LastErrorText() const {
  return d->lastError;
}

void PosixCommControl::OnClosedByDevice(std::function<void()> handler) {
  d->closedHandler = std::move(handler);
}

bool PosixCommControl::Break() const {
  return d->breakOn;
}

int PosixCommControl::Break(bool on) {
  std::lock_guard lock(d->ioMutex);
  if (!d->open || d->fd < 0)
    return d->Fail(comPortNotOpen, "the port is not open");
  if (int err = Ioctl(d->fd, on ? TIOCSBRK : TIOCCBRK, nullptr))
    return d->Fail(comDeviceError, d->openedDevice + ": " + SystemErrorText(err));
  d->breakOn = on;
  return comNoError;
}

std::int32_t PosixCommControl::OutBufferCount() const {
  std::size_t held;
  {
    std::lock_guard lock(d->bufMutex);
    held = d->output.size();
  }
  int queued = 0;
  {
    std::lock_guard lock(d->ioMutex);
    if (!d->open || d->fd < 0 || Ioctl(d->fd, TIOCOUTQ, &queued) != 0)
      queued = 0;
  }
  std::size_t total = held + static_cast<std::size_t>(std::max(queued, 0));
  return static_cast<std::int32_t>(
      std::min<std::size_t>(total, std::numeric_limits<std::int32_t>::max()));
}

int PosixCommControl::OutBufferCount(std::int32_t count) {
  if (count != 0)
    return d->Fail(comInvalidValue, "OutBufferCount can only be set to 0");
  std::lock_guard ioLock(d->ioMutex);
  {
    std::lock_guard lock(d->bufMutex);
    d->output.clear();
  }
  if (d->fd >= 0)
    (void)serial::FlushOutput(d->fd);
  return comNoError;
}

int PosixCommControl::LineLevels(ModemLines &levels) const {
  levels = ModemLines{};
  if (!d->open)
    return comPortNotOpen;
  levels.rts = d->rts;
  levels.dtr = d->dtr;
  int bits = d->modemLevels;
  if (bits < 0)
    return comDeviceError;
  levels.cts = bits & TIOCM_CTS;
  levels.dsr = bits & TIOCM_DSR;
  levels.cd = bits & TIOCM_CD;
  levels.ri = bits & TIOCM_RI;
  return comNoError;
}

std::string PosixCommControl::DevicePath() const {
  return d->devices.DevicePath(d->commPort);
}

} // namespace kestrel
