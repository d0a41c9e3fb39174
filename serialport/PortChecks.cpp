#include "PortChecks.h"

#include "CommControl.h"
#include "DeviceDiscovery.h"
#include "PortSettingsText.h"
#include "PosixFile.h"
#include "SystemRoutines.h"

#include <cctype>
#include <cerrno>

namespace kestrel::serial {

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

bool CloseEnough(std::uint32_t wanted, std::uint32_t got) {
  double ratio = static_cast<double>(got) / static_cast<double>(wanted);
  return ratio > 0.97 && ratio < 1.03;
}

std::string WithAccessAdvice(const std::string &why) {
  return why + ". To use serial ports, add your user to " + kDialoutAdvice;
}

std::string BusyText(const std::string &device) {
  return device + ": " + SystemErrorText(EBUSY) + " (another program has the port open)";
}

NodeCheck CheckNode(const DeviceMap &devices, std::int16_t port) {
  NodeCheck c;
  std::string &device = c.device;
  struct stat &node = c.node;
  auto Fail = [&c](int error, std::string text) {
    c.error = error;
    c.text = std::move(text);
    return c;
  };
  device = devices.DevicePath(port);
  if (device.empty())
    return Fail(comInvalidPortNumber,
                PortNameFromNumber(port) + ": no device belongs to this port number");
  if (::stat(device.c_str(), &node) != 0) {
    int err = errno;
    std::string why = device + ": " + SystemErrorText(err);
    if (err == EACCES)
      return Fail(comAccessDenied, WithAccessAdvice(why));
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
  const std::string base = SplitPath(RealPath(device)).name;
  if (base.rfind("ttyS", 0) == 0) {
    std::string uart = FirstLineOf(devices.SysRoot() + "/class/tty/" + base + "/type");
    if (uart == "0")
      return Fail(comInvalidPortNumber, device + ": no serial hardware behind this port");
  }
  return c;
}

} // namespace kestrel::serial
