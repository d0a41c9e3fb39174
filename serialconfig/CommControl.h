// The communications control: the one serial port of the terminal window.
//
// The window, the settings store and the port scan reach the serial port only
// through this interface. Its members are those of a classic communications
// control: CommPort selects the port, Settings carries "baud,parity,data,stop",
// PortOpen opens and closes it and reads back the open state, Input returns and
// removes everything received, Output sends, RTSEnable and DTREnable drive the
// output lines, and OnComm is raised once per event with CommEvent telling its
// kind.
//
// Contract:
// - Every setter returns 0 on success or one of the error numbers below; no
//   member throws. A failed setter changes nothing (a rejected Settings text
//   leaves the previous settings in force).
// - OnComm handlers run on the user-interface thread, one event at a time:
//   an event that arrives while a handler runs waits until it has returned,
//   even when the handler runs a nested event loop (a message box).
// - LastErrorText() keeps the system's own words for the last failure, so the
//   window can say why a port would not open ("Permission denied").
// - PortProbe finds out whether a port could be opened without opening it:
//   the device is not opened, configured, flushed or signalled, so a port
//   another program uses, or a board that resets on DTR, is left alone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kestrel {

// Error numbers, as values.
enum CommError : int {
  comNoError = 0,
  comInvalidPortNumber = 8002, // no such port
  comPortAlreadyOpen = 8005,   // the port is held, by us or by another program
  comAccessDenied = 8010,      // the user may not open the device
  comPortNotOpen = 8012,       // the operation needs an open port
  comPortOpenNoChange = 8013,  // CommPort may not change while the port is open
  comInvalidSettings = 8015,   // the settings text cannot be used
  comDeviceError = 8020,       // any other failure of the device
  comInvalidValue = 380,       // a property value out of its range
};

// Event kinds in CommEvent.
enum CommEventKind : int {
  comEvSend = 1,
  comEvReceive = 2,
  comEvCTS = 3,
  comEvDSR = 4,
  comEvCD = 5,
  comEvRing = 6,
  comEvEOF = 7,
  comEventBreak = 1001,
  comEventCTSTO = 1002,
  comEventDSRTO = 1003,
  comEventFrame = 1004,
  comEventOverrun = 1006,
  comEventCDTO = 1007,
  comEventRxOver = 1008,
  comEventRxParity = 1009,
  comEventTxFull = 1010,
  comEventDCB = 1011,
};

// The levels of the modem lines: inputs as the device reports them, outputs
// as the control drives them.
struct ModemLines {
  bool cts = false;
  bool dsr = false;
  bool cd = false;
  bool ri = false;
  bool rts = false;
  bool dtr = false;
  friend bool operator==(const ModemLines &, const ModemLines &) = default;
};

class ICommControl {
public:
  virtual ~ICommControl() = default;

  virtual std::int16_t CommPort() const = 0;
  virtual int CommPort(std::int16_t port) = 0;

  virtual std::string Settings() const = 0;
  virtual int Settings(const std::string &settings) = 0;

  virtual std::int16_t InputLen() const = 0;
  virtual int InputLen(std::int16_t length) = 0;

  virtual bool RTSEnable() const = 0;
  virtual int RTSEnable(bool high) = 0;

  virtual bool DTREnable() const = 0;
  virtual int DTREnable(bool high) = 0;

  virtual std::int16_t RThreshold() const = 0;
  virtual int RThreshold(std::int16_t threshold) = 0;

  virtual bool PortOpen() const = 0;
  virtual int PortOpen(bool open) = 0;

  // 0 when the port could be opened now, otherwise the error number an open
  // would give: comInvalidPortNumber (no device, or not a serial device),
  // comPortAlreadyOpen (a program holds it), comAccessDenied (no permission).
  // CommPort and the open state do not change.
  virtual int PortProbe(std::int16_t port) = 0;

  // Sends the text; comPortNotOpen while closed.
  virtual int Output(const std::string &text) = 0;
  // Returns and removes what has been received (all of it with InputLen 0).
  virtual std::string Input() = 0;

  // The kind of the event being reported, read inside an OnComm handler.
  virtual std::int16_t CommEvent() const = 0;
  virtual void OnComm(std::function<void()> handler) = 0;

  // The system's words for the last failure, empty when there was none.
  virtual std::string LastErrorText() const = 0;

  // Members the Tools menu uses; the window's own handlers never call them.

  // Holds the line in the break condition while true. comPortNotOpen while
  // closed; closing the port ends a break.
  virtual bool Break() const = 0;
  virtual int Break(bool on) = 0;

  // Bytes given to Output that have not left yet: those the control still
  // holds plus those in the driver's output queue; 0 while closed. Setting it
  // to 0 discards both; any other value is comInvalidValue.
  virtual std::int32_t OutBufferCount() const = 0;
  virtual int OutBufferCount(std::int32_t count) = 0;

  // The modem lines as last read (at most 25 ms old) and the output lines as
  // set. comPortNotOpen while closed, comDeviceError where the device has no
  // modem lines (a pseudo-terminal); levels is all low then.
  virtual int LineLevels(ModemLines &levels) const = 0;
};

} // namespace kestrel
