// The communications control on Linux: serial devices through POSIX termios.
//
// Principles:
// - Port numbers name devices through DeviceMap (COM1-4 /dev/ttyS0-3, COM5-12
//   /dev/ttyUSB0-7, COM13-20 /dev/ttyACM0-7, or what section "Devices" of the
//   settings file says).
// - Opening never blocks (O_NONBLOCK), takes the device for this process alone
//   (flock, then TIOCEXCL) and sets raw mode. A missing device, a UART
//   placeholder without hardware or a device that is no serial port (this
//   program's own terminal, /dev/tty, the consoles, anything no tty driver
//   serves) is 8002, a held one 8005, no permission 8010, anything else 8020;
//   LastErrorText keeps the system's words.
// - Line settings are read back once applied, at the open and while open: a
//   rate, data bits, parity or stop bits the device does not run is refused
//   (8015, naming what it would not take) instead of reported as set, and the
//   device keeps what it had. A pseudo-terminal, which runs 8 bits without
//   parity whatever it is told, has only its rate checked.
// - PortProbe answers the same question from the device node, the kernel's
//   list of tty drivers, the file locks and the names of the open files of the
//   processes it may look at (DeviceDiscovery): the device itself is never
//   opened, nor any other process's files.
// - Reading never waits for the user-interface thread: each open port is a
//   session (PortSession) whose I/O thread drains the device into a buffer
//   that Input empties, sends what Output queued, and watches the line
//   counters and levels. Events are posted to the user-interface thread
//   through the poster given at construction and reach the OnComm handler one
//   at a time: one that arrives while a handler runs (a message box's nested
//   event loop) waits until it returns. Those of a closed session are dropped.
// - Bytes, line errors and modem-line events arrive in the order they
//   happened; Input stops at an event until it has been delivered.
// - The first bytes after a quiet spell, and all that comes while the user
//   types, are handed over at once; only a sustained stream is gathered into
//   larger takes (ReadPacing). Nothing is lost or reordered either way.
// - What is received is held up to 4 MB; past that the thread stops reading
//   until the window takes some, so memory stays bounded. With InputLen 0,
//   Input hands over at most 256 KB and what is left raises the next receive
//   event at once, so one event never holds the user-interface thread long.
// - A device that goes away while open (an adapter unplugged) is closed at
//   once; PortOpen reads false, no further event is raised, and the handler
//   given to OnClosedByDevice is told on the user-interface thread.
// - Modem-line changes are seen on every driver: a helper thread waits for
//   them in the driver (TIOCMIWAIT), which also turns on the modem-status
//   interrupts that some UART drivers leave off; counters catch pulses.
//   LineLevels keeps the levels read at every line tick while it is being
//   asked; a pseudo-terminal, which has no modem lines, reports comDeviceError.
#pragma once

#include "CommControl.h"
#include "DeviceMap.h"
#include "PortSettingsText.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct stat;

namespace kestrel {

namespace serial {
class PortSession;
}

class PosixCommControl final : public ICommControl {
public:
  // Runs a task on the user-interface thread, later, in order.
  using Poster = std::function<void(std::function<void()>)>;

  PosixCommControl(DeviceMap devices, Poster postToUi);
  ~PosixCommControl() override;
  PosixCommControl(const PosixCommControl &) = delete;
  PosixCommControl &operator=(const PosixCommControl &) = delete;

  std::int16_t CommPort() const override;
  int CommPort(std::int16_t port) override;
  std::string Settings() const override;
  int Settings(const std::string &settings) override;
  std::int16_t InputLen() const override;
  int InputLen(std::int16_t length) override;
  bool RTSEnable() const override;
  int RTSEnable(bool high) override;
  bool DTREnable() const override;
  int DTREnable(bool high) override;
  std::int16_t RThreshold() const override;
  int RThreshold(std::int16_t threshold) override;
  bool PortOpen() const override;
  int PortOpen(bool open) override;
  int PortProbe(std::int16_t port) override;
  int Output(const std::string &text) override;
  std::string Input() override;
  std::int16_t CommEvent() const override;
  void OnComm(std::function<void()> handler) override;
  std::string LastErrorText() const override;
  bool Break() const override;
  int Break(bool on) override;
  std::int32_t OutBufferCount() const override;
  int OutBufferCount(std::int32_t count) override;
  int LineLevels(ModemLines &levels) const override;

  // Told, on the user-interface thread, when the device went away while open.
  void OnClosedByDevice(std::function<void()> handler);
  // Which device each number leads to; a new map holds from the next open
  // or probe on (a mapping made while the program runs).
  const DeviceMap &Devices() const;
  void Devices(DeviceMap devices);

private:
  int Fail(int error, const std::string &text);
  bool IsOpen() const;
  bool Current(const std::weak_ptr<int> &session) const;
  // driver: the tty driver's type (serial::NodeCheck).
  int Check(std::int16_t number, std::string &device, struct stat &node, std::string &driver);
  // Whether another program has the device open: any holder of a real port;
  // of a pseudo-terminal (pty), only one that has it as its terminal.
  bool HeldOpen(const std::string &device, const struct stat &node, bool pty);
  int Open();
  void Close();
  void SetLine(int bit, bool high);
  void PostEvent(const std::weak_ptr<int> &session, int kind);
  void PostReceive();
  void Deliver(const std::weak_ptr<int> &session, int kind);
  void DeviceGone(const std::weak_ptr<int> &session);
  void PostDeviceGone(const std::weak_ptr<int> &session);

  DeviceMap mDevices;
  Poster mPost;

  // Properties, kept while the port is closed and applied at the next open.
  std::int16_t mCommPort = 1;
  std::string mSettingsText = "9600,N,8,1";
  LineSettings mSettings;
  std::int16_t mInputLen = 0;
  bool mRts = false;
  bool mDtr = false;
  std::int16_t mRThreshold = 0;
  std::string mLastError;
  // Whether the open port's data bits, parity and stop bits are read back
  // (all but a pseudo-terminal's).
  bool mFrameChecked = true;

  // The open port; null while closed. Its events carry its token, so those
  // that arrive after it is gone are dropped.
  std::unique_ptr<serial::PortSession> mPort;
  std::shared_ptr<int> mPortToken;

  // The user-interface side.
  std::function<void()> mHandler;
  std::function<void()> mClosedHandler;
  std::int16_t mCommEvent = 0;
  std::deque<std::pair<std::weak_ptr<int>, int>> mPending;
  bool mDelivering = false;
  std::weak_ptr<int> mGoneAfterDelivering; // a device lost while a handler ran
  // Posted tasks hold the token, so that those run after the control is gone
  // do nothing. The I/O thread only copies the token; mAlive is reset on the
  // user-interface thread.
  std::shared_ptr<PosixCommControl *> mAlive = std::make_shared<PosixCommControl *>(this);
  const std::weak_ptr<PosixCommControl *> mToken = mAlive;

  // What DevicesHeldOpen found, kept for a moment: a scan of twenty numbers
  // looks through /proc once, not once per device, however long the walk took.
  std::vector<std::string> mHeldOpen;
  std::chrono::steady_clock::time_point mHeldOpenAt;
};

} // namespace kestrel
