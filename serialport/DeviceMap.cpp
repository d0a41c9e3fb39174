#include "DeviceMap.h"

#include "DeviceDiscovery.h"
#include "IniFile.h"
#include "PortSettingsText.h"
#include "PosixFile.h"

namespace kestrel {

using serial::FirstLineOf, serial::RealPath;

DeviceMap DeviceMap::FromIni(const std::string &iniPath) {
  DeviceMap map;
  // Read with the full-length reader: a /dev/serial/by-id path is far longer
  // than the settings store's values may be.
  for (const auto &[key, value] : IniReadSection(iniPath, "Devices")) {
    const std::int16_t port = PortNumberFromName(key);
    if (port != 0 && !value.empty())
      map.Map(port, value);
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
  std::string entry =
      RealPath(mSysRoot + "/class/tty/" + SplitPath(RealPath(device)).name + "/device");
  for (int up = 0; up < 4 && entry.size() > 1; ++up) {
    std::string product = FirstLineOf(entry + "/product");
    if (!product.empty())
      return device + " - " + product;
    entry = SplitPath(entry).folder;
  }
  return device;
}

} // namespace kestrel
