// Which device file stands behind each port number: COM1-4 /dev/ttyS0-3,
// COM5-12 /dev/ttyUSB0-7, COM13-20 /dev/ttyACM0-7, or what section "Devices"
// of the settings file says; and how a port is described to the user (the
// USB product name from sysfs where there is one).
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace kestrel {

class DeviceMap {
public:
  // The built-in table only.
  DeviceMap() = default;
  // The built-in table with the entries "COMn=/path" of section "Devices" of
  // the INI file at iniPath laid over it. The section is only ever read.
  static DeviceMap FromIni(const std::string &iniPath);

  void Map(std::int16_t port, const std::string &device);
  // The device file for a port number; empty when the number names none.
  std::string DevicePath(std::int16_t port) const;
  // Whether section "Devices" (or this run) names the number's device.
  bool Mapped(std::int16_t port) const { return mOverrides.count(port) != 0; }
  // "/dev/ttyUSB0 - FT232R USB UART" for a USB adapter whose product sysfs
  // knows, "/dev/ttyS0" otherwise; empty when the number names no device.
  std::string Describe(std::int16_t port) const;

  // Where sysfs is looked up ("/sys" unless a test says otherwise).
  const std::string &SysRoot() const { return mSysRoot; }
  void SysRoot(const std::string &root) { mSysRoot = root; }

private:
  std::map<std::int16_t, std::string> mOverrides;
  std::string mSysRoot = "/sys";
};

} // namespace kestrel
