#include "PortChecks.h"

#include "CommControl.h"
#include "DeviceDiscovery.h"
#include "PortSettingsText.h"
#include "PosixFile.h"
#include "SystemRoutines.h"

#include <cctype>
#include <cerrno>

namespace kestrel::serial {

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
  c.driver = TtyDriverType(node.st_rdev);
  const std::string &type = c.driver;
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
