#include "PosixCommControl.h"

#include "DeviceDiscovery.h"
#include "PortChecks.h"
#include "PortSession.h"
#include "PortSettingsText.h"
#include "SystemRoutines.h"
#include "Termios2.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kestrel {

namespace {

// What one Input hands over at most, so that one receive event keeps the
// user-interface thread for tens of milliseconds, not seconds: keys and
// repaints get their turn between slices. The rest follows at once in a new
// receive event.
constexpr std::size_t kInputSlice = 256u << 10;
using serial::BusyText, serial::WithAccessAdvice;

// The longest the search for processes holding a port may take in one scan.
constexpr auto kHolderWalk = std::chrono::milliseconds(40);

// The words for what of wanted the device runs otherwise ("7 data bits or even parity"); empty
// when it runs all of it.
std::string NotRun(const serial::LineSettings &wanted, const serial::LineSettings &got) {
  std::string what;
  const auto add = [&what](const std::string &part) {
    what += (what.empty() ? "" : " or ") + part;
  };
  if (got.dataBits != wanted.dataBits)
    add(std::to_string(wanted.dataBits) + " data bits");
  if (got.parity != wanted.parity) {
    static constexpr std::pair<char, const char *> kNames[] = {{'N', "no parity"},
                                                               {'E', "even parity"},
                                                               {'O', "odd parity"},
                                                               {'M', "mark parity"},
                                                               {'S', "space parity"}};
    for (const auto &[letter, name] : kNames)
      if (letter == wanted.parity)
        add(name);
  }
  if (got.stopBits != wanted.stopBits)
    add(wanted.stopBits == 1   ? "1 stop bit"
        : wanted.dataBits == 5 ? "1.5 stop bits"
                               : "2 stop bits");
  return what;
}

// 0 once the device runs settings, the system's error number where it
// refused them, -1 where it took them but runs others; then notRun names the
// frame it does not run, or is empty for the rate. A UART asked for more than
// its clock allows keeps its old rate, and some USB adapters keep their old
// frame (ftdi_sio for 6 data bits), and say so only when read back. A
// pseudo-terminal runs 8 bits without parity whatever it is told, and that is
// no failure: withFrame is false for one.
int ApplyAndCheck(int fd, const serial::LineSettings &settings, bool withFrame,
                  std::string &notRun) {
  notRun.clear();
  int failed = serial::ApplyLineSettings(fd, settings);
  serial::LineSettings got;
  if (failed == 0)
    failed = serial::ReadLineSettings(fd, got);
  if (failed == 0 && !serial::CloseEnough(settings.baud, got.baud))
    failed = -1;
  if (failed == 0 && withFrame && !(notRun = NotRun(settings, got)).empty())
    failed = -1;
  return failed;
}

std::string RefusedSettingsText(const std::string &device, const std::string &settings, int err,
                                const std::string &notRun) {
  return device + ": the device does not take \"" + settings + "\"" +
         (err > 0 ? " (" + SystemErrorText(err) + ")" : std::string()) +
         (notRun.empty() ? std::string() : " (it cannot run " + notRun + ")");
}

} // namespace

// ---------------------------------------------------------------------------
// The control

int PosixCommControl::Fail(int error, const std::string &text) {
  mLastError = text;
  return error;
}

bool PosixCommControl::IsOpen() const {
  return mPort && mPort->Open();
}

// Whether session is the port still held: also after its device went, until
// what it received before is handed over and the port closed.
bool PosixCommControl::Current(const std::weak_ptr<int> &session) const {
  return mPort && !session.expired() && session.lock() == mPortToken;
}

int PosixCommControl::Check(std::int16_t number, std::string &device, struct stat &node,
                            std::string &driver) {
  serial::NodeCheck found = serial::CheckNode(mDevices, number);
  device = found.device;
  node = found.node;
  driver = found.driver;
  return found.error == comNoError ? comNoError : Fail(found.error, found.text);
}

bool PosixCommControl::HeldOpen(const std::string &device, const struct stat &node, bool pty) {
  if (mHeldOpenAt == std::chrono::steady_clock::time_point() ||
      std::chrono::steady_clock::now() - mHeldOpenAt > std::chrono::milliseconds(500)) {
    mHeldOpen = serial::DevicesHeldOpen(kHolderWalk);
    mHeldOpenAt = std::chrono::steady_clock::now();
  }
  if (!serial::AmongHeld(mHeldOpen, device))
    return false;
  // The far end of a pseudo-terminal (socat, a board simulator) keeps its
  // slave open as a matter of course: such a port is free unless it is a
  // shell's or a login's terminal.
  return !pty || serial::SomeProcessesTerminal(node.st_rdev, kHolderWalk);
}

int PosixCommControl::Open() {
  std::string device, driver;
  struct stat node {};
  if (int error = Check(mCommPort, device, node, driver))
    return error;
  // Looked at before the open: root passes the holder's exclusive mode, and
  // the kernel raises DTR and RTS at every open, which resets a board wired
  // to them. A port another program holds without a lock (a getty, a
  // terminal program, a shell's terminal) is refused as the scan shows it:
  // taking it over would put the holder's line into raw mode and throw away
  // what it has not read.
  mHeldOpenAt = {};
  if (serial::LockedByAProcess(node) || HeldOpen(device, node, driver == "pty:slave"))
    return Fail(comPortAlreadyOpen, BusyText(device));

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
      return Fail(comAccessDenied, WithAccessAdvice(why));
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
  (void)serial::Ioctl(f, TIOCEXCL, nullptr);
  // Where the kernel's list of drivers cannot be read, a pseudo-terminal is
  // not told from a UART, and the frame is not checked rather than refused.
  mFrameChecked = driver != "pty:slave" && driver != "?";
  serial::SavedTermios found;
  const bool saved = serial::SaveTermios(f, found) == 0;
  std::string notRun;
  if (int err = ApplyAndCheck(f, mSettings, mFrameChecked, notRun)) {
    // A refused open leaves the device as it found it.
    if (saved)
      (void)serial::RestoreTermios(f, found);
    (void)serial::Ioctl(f, TIOCNXCL, nullptr);
    if (err < 0)
      return giveUp(comInvalidSettings, RefusedSettingsText(device, mSettingsText, err, notRun));
    return giveUp(comDeviceError, device + ": " + SystemErrorText(err));
  }
  (void)serial::FlushInput(f);
  Fail(comNoError, "");
  mPortToken = std::make_shared<int>(0);
  const std::weak_ptr<int> session = mPortToken;
  serial::PortSession::Hooks hooks;
  hooks.post = [this, session](int kind) { PostEvent(session, kind); };
  hooks.gone = [this, session] { PostDeviceGone(session); };
  mPort = std::make_unique<serial::PortSession>(f, device, mSettings, std::move(hooks));
  if (int err = mPort->StartError()) {
    Close();
    return Fail(comDeviceError, device + ": " + SystemErrorText(err));
  }
  // A pseudo-terminal has no modem lines; the calls fail and that is all.
  SetLine(TIOCM_RTS, mRts);
  SetLine(TIOCM_DTR, mDtr);
  return comNoError;
}

void PosixCommControl::Close() {
  mPort.reset();
  mPortToken.reset();
  mPending.clear();
}

void PosixCommControl::SetLine(int bit, bool high) {
  if (mPort)
    mPort->WithFd(
        [&](int fd) { return fd >= 0 ? ::ioctl(fd, high ? TIOCMBIS : TIOCMBIC, &bit) : 0; });
}

void PosixCommControl::PostEvent(const std::weak_ptr<int> &session, int kind) {
  mPost([token = mToken, session, kind] {
    if (auto self = token.lock())
      (*self)->Deliver(session, kind);
  });
}

void PosixCommControl::PostReceive() {
  if (mPort && mRThreshold > 0 && mPort->ClaimReceivePost())
    PostEvent(mPortToken, comEvReceive);
}

// Events run one at a time: one posted while a handler runs (its message box
// runs a nested event loop) joins the queue and runs after the handler returns.
void PosixCommControl::Deliver(const std::weak_ptr<int> &session, int kind) {
  if (!Current(session))
    return;
  mPending.emplace_back(session, kind);
  if (mDelivering)
    return;
  mDelivering = true;
  while (!mPending.empty()) {
    auto [itsSession, next] = mPending.front();
    mPending.pop_front();
    if (!Current(itsSession))
      continue;
    if (next == comEvReceive) {
      mPort->ReceiveDelivered();
      // Already taken by an earlier handler, or not asked for.
      if (mPort->Ready() == 0 || mRThreshold <= 0)
        continue;
    } else {
      // The bytes received before this event go first, even when the receive
      // event that tells of them was posted behind it (the window was busy
      // while the line changed twice among the bytes).
      for (std::size_t ready; mRThreshold > 0 && (ready = mPort->Ready()) > 0;) {
        mCommEvent = comEvReceive;
        if (mHandler)
          mHandler();
        if (!Current(itsSession) || mPort->Ready() >= ready)
          break; // closed by the handler, or it took nothing
      }
      if (!Current(itsSession))
        continue;
      if (mPort->EventDelivered())
        PostReceive(); // the bytes that came after it
    }
    mCommEvent = static_cast<std::int16_t>(next);
    if (mHandler)
      mHandler();
  }
  mDelivering = false;
  if (const auto gone = std::exchange(mGoneAfterDelivering, {}); !gone.expired())
    DeviceGone(gone);
}

void PosixCommControl::PostDeviceGone(const std::weak_ptr<int> &session) {
  mPost([token = mToken, session] {
    if (auto self = token.lock())
      (*self)->DeviceGone(session);
  });
}

// Everything the device sent before it went is handed over before the window
// learns of the loss: a slice per turn of the window's event loop, so that a
// backlog of megabytes keeps the window responsive. The I/O thread has ended
// and closed the descriptor already; this releases the rest.
void PosixCommControl::DeviceGone(const std::weak_ptr<int> &session) {
  if (!Current(session))
    return;
  if (mDelivering) {
    mGoneAfterDelivering = session;
    return;
  }
  if (const std::size_t ready = mRThreshold > 0 ? mPort->Ready() : 0; ready > 0) {
    Deliver(session, comEvReceive);
    if (!Current(session))
      return;
    if (mPort->Ready() < ready) {
      PostDeviceGone(session);
      return;
    }
  }
  Close();
  if (mClosedHandler)
    mClosedHandler();
}

PosixCommControl::PosixCommControl(DeviceMap devices, Poster postToUi)
    : mDevices(std::move(devices)), mPost(std::move(postToUi)) {}

PosixCommControl::~PosixCommControl() {
  mAlive.reset();
  Close();
}

std::int16_t PosixCommControl::CommPort() const {
  return mCommPort;
}

int PosixCommControl::CommPort(std::int16_t port) {
  if (IsOpen())
    return Fail(comPortOpenNoChange, "the port number cannot change while the port is open");
  if (port < 1)
    return Fail(comInvalidPortNumber, PortNameFromNumber(port) + ": not a port number");
  mCommPort = port;
  return comNoError;
}

std::string PosixCommControl::Settings() const {
  return mSettingsText;
}

int PosixCommControl::Settings(const std::string &text) {
  serial::LineSettings wanted;
  if (!ParseSettings(text, wanted))
    return Fail(comInvalidSettings, "\"" + text + "\": not usable port settings");
  if (IsOpen()) {
    std::string notRun;
    const int err = mPort->WithFd([&](int fd) {
      if (fd < 0)
        return 0;
      const int failed = ApplyAndCheck(fd, wanted, mFrameChecked, notRun);
      if (failed != 0)
        (void)serial::ApplyLineSettings(fd, mSettings);
      return failed;
    });
    if (err != 0) {
      // The settings put back are new settings to the driver all the same.
      mPort->SettingsChanged(mSettings);
      return Fail(comInvalidSettings, RefusedSettingsText(mPort->Device(), text, err, notRun));
    }
    mPort->SettingsChanged(wanted);
  }
  mSettings = wanted;
  mSettingsText = text;
  return comNoError;
}

std::int16_t PosixCommControl::InputLen() const {
  return mInputLen;
}

int PosixCommControl::InputLen(std::int16_t length) {
  if (length < 0)
    return Fail(comInvalidValue, "InputLen cannot be negative");
  mInputLen = length;
  return comNoError;
}

bool PosixCommControl::RTSEnable() const {
  return mRts;
}

int PosixCommControl::RTSEnable(bool high) {
  mRts = high;
  SetLine(TIOCM_RTS, high);
  return comNoError;
}

bool PosixCommControl::DTREnable() const {
  return mDtr;
}

int PosixCommControl::DTREnable(bool high) {
  mDtr = high;
  SetLine(TIOCM_DTR, high);
  return comNoError;
}

std::int16_t PosixCommControl::RThreshold() const {
  return mRThreshold;
}

int PosixCommControl::RThreshold(std::int16_t threshold) {
  if (threshold < 0)
    return Fail(comInvalidValue, "RThreshold cannot be negative");
  mRThreshold = threshold;
  return comNoError;
}

bool PosixCommControl::PortOpen() const {
  return IsOpen();
}

int PosixCommControl::PortOpen(bool open) {
  if (!open) {
    Close();
    return comNoError;
  }
  if (IsOpen())
    return Fail(comPortAlreadyOpen, mPort->Device() + ": the port is already open");
  Close(); // what a vanished device left behind
  return Open();
}

int PosixCommControl::PortProbe(std::int16_t port) {
  std::string device, driver;
  struct stat node {};
  if (int error = Check(port, device, node, driver))
    return error;
  if (::access(device.c_str(), R_OK | W_OK) != 0) {
    int err = errno;
    std::string why = device + ": " + SystemErrorText(err);
    if (err == EACCES || err == EPERM || err == EROFS)
      return Fail(comAccessDenied, WithAccessAdvice(why));
    return Fail(comDeviceError, why);
  }
  if (serial::LockedByAProcess(node) || HeldOpen(device, node, driver == "pty:slave"))
    return Fail(comPortAlreadyOpen, BusyText(device));
  return comNoError;
}

int PosixCommControl::Output(const std::string &text) {
  if (!IsOpen() || mPort->Output(text) != comNoError)
    return Fail(comPortNotOpen, "the port is not open");
  return comNoError;
}

std::string PosixCommControl::Input() {
  if (!mPort)
    return {};
  bool more = false;
  std::string out =
      mPort->Input(mInputLen == 0 ? kInputSlice : static_cast<std::size_t>(mInputLen), more);
  if (more && mInputLen == 0)
    PostReceive();
  return out;
}

std::int16_t PosixCommControl::CommEvent() const {
  return mCommEvent;
}

void PosixCommControl::OnComm(std::function<void()> handler) {
  mHandler = std::move(handler);
}

std::string PosixCommControl::LastErrorText() const {
  return mLastError;
}

void PosixCommControl::OnClosedByDevice(std::function<void()> handler) {
  mClosedHandler = std::move(handler);
}

bool PosixCommControl::Break() const {
  return mPort && mPort->BreakOn();
}

int PosixCommControl::Break(bool on) {
  int err = 0;
  const int error = IsOpen() ? mPort->Break(on, err) : comPortNotOpen;
  if (error == comPortNotOpen)
    return Fail(comPortNotOpen, "the port is not open");
  if (error != comNoError)
    return Fail(error, mPort->Device() + ": " + SystemErrorText(err));
  return comNoError;
}

std::int32_t PosixCommControl::OutBufferCount() const {
  if (!mPort)
    return 0;
  const std::size_t held = mPort->OutputHeld();
  int queued = 0;
  if (mPort->WithFd([&](int fd) { return fd < 0 || serial::Ioctl(fd, TIOCOUTQ, &queued) != 0; }))
    queued = 0;
  std::size_t total = held + static_cast<std::size_t>(std::max(queued, 0));
  return static_cast<std::int32_t>(
      std::min<std::size_t>(total, std::numeric_limits<std::int32_t>::max()));
}

int PosixCommControl::OutBufferCount(std::int32_t count) {
  if (count != 0)
    return Fail(comInvalidValue, "OutBufferCount can only be set to 0");
  if (mPort)
    mPort->DiscardOutput();
  return comNoError;
}

int PosixCommControl::LineLevels(ModemLines &levels) const {
  levels = ModemLines{};
  if (!IsOpen())
    return comPortNotOpen;
  levels.rts = mRts;
  levels.dtr = mDtr;
  const int bits = mPort->Levels();
  if (bits < 0)
    return comDeviceError;
  levels.cts = bits & TIOCM_CTS;
  levels.dsr = bits & TIOCM_DSR;
  levels.cd = bits & TIOCM_CD;
  levels.ri = bits & TIOCM_RI;
  return comNoError;
}

const DeviceMap &PosixCommControl::Devices() const {
  return mDevices;
}

void PosixCommControl::Devices(DeviceMap devices) {
  mDevices = std::move(devices);
}

} // namespace kestrel
