// What the control decides before it touches a device: whether a port number names a serial port
// this program may use (from the device node and the kernel's lists alone: nothing is opened), and
// the words it gives when it refuses.
#pragma once

#include "DeviceMap.h"
#include "Termios2.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace kestrel::serial {

// Drivers round a rate they cannot make exactly to the nearest they can; more
// than 3 % off is a rate the device cannot keep to.
bool CloseEnough(std::uint32_t wanted, std::uint32_t got);

// why, with how a user who may not open serial devices gets the right to.
std::string WithAccessAdvice(const std::string &why);
// What the open says of a port another program holds, and the scan says in advance.
std::string BusyText(const std::string &device);

struct NodeCheck {
  // comNoError, or why the port cannot be used: comInvalidPortNumber when no
  // device belongs to it or it is no serial port, comAccessDenied,
  // comDeviceError; text says so in the system's words.
  int error = 0;
  std::string text;
  std::string device; // the device file the port number names
  struct stat node {};
  // The tty driver's type in the kernel's list ("serial", "pty:slave"); "?"
  // where the list cannot be read.
  std::string driver;
};
NodeCheck CheckNode(const DeviceMap &devices, std::int16_t port);

} // namespace kestrel::serial
