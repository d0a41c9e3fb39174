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

} // namespace

// ---------------------------------------------------------------------------
// The control

struct PosixCommControl::Impl {
  DeviceMap devices;
  Poster post;

  // Properties, kept while the port is closed and applied at the next open.
  std::int16_t commPort = 1;
  std::string settingsText = "9600,N,8,1";
  serial::LineSettings settings;
  std::int16_t inputLen = 0;
  bool rts = false;
  bool dtr = false;
  std::int16_t rThreshold = 0;
  std::string lastError;

  // The open port; null while closed. Its events carry its token, so those
  // that arrive after it is gone are dropped.
  std::unique_ptr<serial::PortSession> port;
  std::shared_ptr<int> portToken;

  // The user-interface side.
  std::function<void()> handler;
  std::function<void()> closedHandler;
  std::int16_t commEvent = 0;
  std::deque<std::pair<std::weak_ptr<int>, int>> pending;
  bool delivering = false;
  std::weak_ptr<int> goneAfterDelivering; // a device lost while a handler ran
  // Posted tasks hold the token, so that those run after the control is gone
  // do nothing. The I/O thread only copies token; alive is reset on the
  // user-interface thread.
  std::shared_ptr<Impl *> alive = std::make_shared<Impl *>(this);
  const std::weak_ptr<Impl *> token = alive;

  // What DevicesHeldOpen found, kept for a moment: a scan of twenty numbers
  // looks through /proc once, not once per device, however long the walk took.
  std::vector<std::string> heldOpen;
  std::chrono::steady_clock::time_point heldOpenAt;

  int Fail(int error, const std::string &text) {
    lastError = text;
    return error;
  }
  bool IsOpen() const { return port && port->Open(); }
  // Whether session is the port still held: also after its device went, until
  // what it received before is handed over and the port closed.
  bool Current(const std::weak_ptr<int> &session) const {
    return port && !session.expired() && session.lock() == portToken;
  }

  int Check(std::int16_t port, std::string &device, struct stat &node) {
    serial::NodeCheck found = serial::CheckNode(devices, port);
    device = found.device;
    node = found.node;
    return found.error == comNoError ? comNoError : Fail(found.error, found.text);
  }
  bool HeldOpen(const std::string &device);
  int Open();
  void Close();
  void SetLine(int bit, bool high);
  void PostEvent(const std::weak_ptr<int> &session, int kind);
  void PostReceive();
  void Deliver(const std::weak_ptr<int> &session, int kind);
  void DeviceGone(const std::weak_ptr<int> &session);
  void PostDeviceGone(const std::weak_ptr<int> &session);
};

bool PosixCommControl::Impl::HeldOpen(const std::string &device) {
  if (heldOpenAt == std::chrono::steady_clock::time_point() ||
      std::chrono::steady_clock::now() - heldOpenAt > std::chrono::milliseconds(500)) {
    heldOpen = serial::DevicesHeldOpen(kHolderWalk);
    heldOpenAt = std::chrono::steady_clock::now();
  }
  return serial::AmongHeld(heldOpen, device);
}

int PosixCommControl::Impl::Open() {
  std::string device;
  struct stat node {};
  if (int error = Check(commPort, device, node))
    return error;
  // Looked at before the open: root passes the holder's exclusive mode, and
  // the kernel raises DTR and RTS at every open, which resets a board wired
  // to them.
  if (serial::LockedByAProcess(node))
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
  if (int err = serial::ApplyLineSettings(f, settings)) {
    (void)serial::Ioctl(f, TIOCNXCL, nullptr);
    return giveUp(comDeviceError, device + ": " + SystemErrorText(err));
  }
  (void)serial::FlushInput(f);
  Fail(comNoError, "");
  portToken = std::make_shared<int>(0);
  const std::weak_ptr<int> session = portToken;
  serial::PortSession::Hooks hooks;
  hooks.post = [this, session](int kind) { PostEvent(session, kind); };
  hooks.gone = [this, session] { PostDeviceGone(session); };
  port = std::make_unique<serial::PortSession>(f, device, settings, std::move(hooks));
  // A pseudo-terminal has no modem lines; the calls fail and that is all.
  SetLine(TIOCM_RTS, rts);
  SetLine(TIOCM_DTR, dtr);
  return comNoError;
}

void PosixCommControl::Impl::Close() {
  port.reset();
  portToken.reset();
  pending.clear();
}

void PosixCommControl::Impl::SetLine(int bit, bool high) {
  if (port)
    port->WithFd(
        [&](int fd) { return fd >= 0 ? ::ioctl(fd, high ? TIOCMBIS : TIOCMBIC, &bit) : 0; });
}

void PosixCommControl::Impl::PostEvent(const std::weak_ptr<int> &session, int kind) {
  post([token = token, session, kind] {
    if (auto self = token.lock())
      (*self)->Deliver(session, kind);
  });
}

void PosixCommControl::Impl::PostReceive() {
  if (port && rThreshold > 0 && port->ClaimReceivePost())
    PostEvent(portToken, comEvReceive);
}

// Events run one at a time: one posted while a handler runs (its message box
// runs a nested event loop) joins the queue and runs after the handler returns.
void PosixCommControl::Impl::Deliver(const std::weak_ptr<int> &session, int kind) {
  if (!Current(session))
    return;
  pending.emplace_back(session, kind);
  if (delivering)
    return;
  delivering = true;
  while (!pending.empty()) {
    auto [itsSession, next] = pending.front();
    pending.pop_front();
    if (!Current(itsSession))
      continue;
    if (next == comEvReceive) {
      port->ReceiveDelivered();
      // Already taken by an earlier handler, or not asked for.
      if (port->Ready() == 0 || rThreshold <= 0)
        continue;
    } else {
      // The bytes received before this event go first, even when the receive
      // event that tells of them was posted behind it (the window was busy
      // while the line changed twice among the bytes).
      for (std::size_t ready; rThreshold > 0 && (ready = port->Ready()) > 0;) {
        commEvent = comEvReceive;
        if (handler)
          handler();
        if (!Current(itsSession) || port->Ready() >= ready)
          break; // closed by the handler, or it took nothing
      }
      if (!Current(itsSession))
        continue;
      if (port->EventDelivered())
        PostReceive(); // the bytes that came after it
    }
    commEvent = static_cast<std::int16_t>(next);
    if (handler)
      handler();
  }
  delivering = false;
  if (const auto gone = std::exchange(goneAfterDelivering, {}); !gone.expired())
    DeviceGone(gone);
}

void PosixCommControl::Impl::PostDeviceGone(const std::weak_ptr<int> &session) {
  post([token = token, session] {
    if (auto self = token.lock())
      (*self)->DeviceGone(session);
  });
}

// Everything the device sent before it went is handed over before the window
// learns of the loss: a slice per turn of the window's event loop, so that a
// backlog of megabytes keeps the window responsive. The I/O thread has ended
// and closed the descriptor already; this releases the rest.
void PosixCommControl::Impl::DeviceGone(const std::weak_ptr<int> &session) {
  if (!Current(session))
    return;
  if (delivering) {
    goneAfterDelivering = session;
    return;
  }
  if (const std::size_t ready = rThreshold > 0 ? port->Ready() : 0; ready > 0) {
    Deliver(session, comEvReceive);
    if (!Current(session))
      return;
    if (port->Ready() < ready) {
      PostDeviceGone(session);
      return;
    }
  }
  Close();
  if (closedHandler)
    closedHandler();
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
  if (d->IsOpen())
    return d->Fail(comPortOpenNoChange, "the port number cannot change while the port is open");
  if (port < 1)
    return d->Fail(comInvalidPortNumber, PortNameFromNumber(port) + ": not a port number");
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
  if (d->IsOpen()) {
    const int err = d->port->WithFd([&](int fd) {
      if (fd < 0)
        return 0;
      int failed = serial::ApplyLineSettings(fd, wanted);
      serial::LineSettings got;
      if (failed == 0)
        failed = serial::ReadLineSettings(fd, got);
      // Only the rate is checked: a pseudo-terminal keeps its frame at 8 bits
      // without parity whatever it is told, and that is not a failure.
      if (failed == 0 && !serial::CloseEnough(wanted.baud, got.baud))
        failed = -1;
      if (failed != 0)
        (void)serial::ApplyLineSettings(fd, d->settings);
      return failed;
    });
    if (err != 0)
      return d->Fail(comInvalidSettings,
                     d->port->Device() + ": the device does not take \"" + text + "\"" +
                         (err > 0 ? " (" + SystemErrorText(err) + ")" : std::string()));
    d->port->SettingsChanged(wanted);
  }
  d->settings = wanted;
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
  return d->IsOpen();
}

int PosixCommControl::PortOpen(bool open) {
  if (!open) {
    d->Close();
    return comNoError;
  }
  if (d->IsOpen())
    return d->Fail(comPortAlreadyOpen, d->port->Device() + ": the port is already open");
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
      return d->Fail(comAccessDenied, WithAccessAdvice(why));
    return d->Fail(comDeviceError, why);
  }
  if (serial::LockedByAProcess(node) || d->HeldOpen(device))
    return d->Fail(comPortAlreadyOpen, BusyText(device));
  return comNoError;
}

int PosixCommControl::Output(const std::string &text) {
  if (!d->IsOpen() || d->port->Output(text) != comNoError)
    return d->Fail(comPortNotOpen, "the port is not open");
  return comNoError;
}

std::string PosixCommControl::Input() {
  if (!d->port)
    return {};
  bool more = false;
  std::string out =
      d->port->Input(d->inputLen == 0 ? kInputSlice : static_cast<std::size_t>(d->inputLen), more);
  if (more && d->inputLen == 0)
    d->PostReceive();
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
  return d->port && d->port->BreakOn();
}

int PosixCommControl::Break(bool on) {
  int err = 0;
  const int error = d->IsOpen() ? d->port->Break(on, err) : comPortNotOpen;
  if (error == comPortNotOpen)
    return d->Fail(comPortNotOpen, "the port is not open");
  if (error != comNoError)
    return d->Fail(error, d->port->Device() + ": " + SystemErrorText(err));
  return comNoError;
}

std::int32_t PosixCommControl::OutBufferCount() const {
  if (!d->port)
    return 0;
  const std::size_t held = d->port->OutputHeld();
  int queued = 0;
  if (d->port->WithFd([&](int fd) { return fd < 0 || serial::Ioctl(fd, TIOCOUTQ, &queued) != 0; }))
    queued = 0;
  std::size_t total = held + static_cast<std::size_t>(std::max(queued, 0));
  return static_cast<std::int32_t>(
      std::min<std::size_t>(total, std::numeric_limits<std::int32_t>::max()));
}

int PosixCommControl::OutBufferCount(std::int32_t count) {
  if (count != 0)
    return d->Fail(comInvalidValue, "OutBufferCount can only be set to 0");
  if (d->port)
    d->port->DiscardOutput();
  return comNoError;
}

int PosixCommControl::LineLevels(ModemLines &levels) const {
  levels = ModemLines{};
  if (!d->IsOpen())
    return comPortNotOpen;
  levels.rts = d->rts;
  levels.dtr = d->dtr;
  const int bits = d->port->Levels();
  if (bits < 0)
    return comDeviceError;
  levels.cts = bits & TIOCM_CTS;
  levels.dsr = bits & TIOCM_DSR;
  levels.cd = bits & TIOCM_CD;
  levels.ri = bits & TIOCM_RI;
  return comNoError;
}

const DeviceMap &PosixCommControl::Devices() const {
  return d->devices;
}

void PosixCommControl::Devices(DeviceMap devices) {
  d->devices = std::move(devices);
}

} // namespace kestrel
