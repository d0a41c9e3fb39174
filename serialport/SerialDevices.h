// Every serial device the system has, for Tools > Choose Device..., and how
// a device named on the command line or chosen there finds its port number.
//
// The list comes from the names in /dev and /dev/serial/by-id and from sysfs
// alone: no device is opened, so listing never disturbs a port or the board
// behind it. Listed: ttyS with a UART behind it, ttyUSB, ttyACM, ttyAMA,
// ttyTHS, ttymxc and rfcomm of any number, the serialN links some boards
// have, and every by-id link. Whether the user may open a device is read
// from its mode, owner and group against the user's own ids.
#pragma once

#include "DeviceMap.h"
#include "IniFile.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrel::serial {

struct SerialDevice {
  std::string path;   // as listed: /dev/ttyUSB0, /dev/serial/by-id/usb-...
  std::string target; // the tty a link leads to (ttyUSB0); empty for the node itself
  std::string driver; // the kernel driver serving it (ftdi_sio, cdc_acm, serial8250...)
  std::string maker, product, serial; // of a USB device; empty otherwise
  bool mayOpen = true;
  std::string reason; // why the user may not, with the way to get access
};

// Where the tree lies and whom it is read for; the system's own unless a test
// says otherwise.
struct DeviceTree {
  std::string dev = "/dev";
  std::string sys = "/sys";
  uid_t uid;
  std::vector<gid_t> groups;
  // This process's user and groups.
  DeviceTree();
};

// Nodes in name order (ttyS before ttyUSB, ttyUSB2 before ttyUSB10), then the
// by-id links.
std::vector<SerialDevice> ListSerialDevices(const DeviceTree &tree);
// One line for the list: "/dev/ttyUSB0 - ftdi_sio - FTDI FT232R USB UART
// (serial A50285BI)".
std::string DeviceLine(const SerialDevice &device);

// A device named on the command line as a path: "ttyUSB0" is looked for in
// dev, then in dev/serial/by-id; a text with a "/" is a path as it is.
std::string DevicePathFromName(const std::string &name, const std::string &dev = "/dev");

// The port number for a device path: the first of 1 to 20 that already leads
// to it (the same file, through any link; a name under /dev/serial/by-id only
// by that name), with known true; otherwise the
// highest of 20 down to 1 whose own device is missing, for a mapping of this
// run (known false), passing over the numbers section "Devices" names unless
// no other is left; 0 when every number has a device.
std::int16_t PortForDevice(const DeviceMap &map, const std::string &path, bool &known);

// The number a device chosen from the list is given: the stored port when
// one is stored (storedPort from 1), else as PortForDevice does.
std::int16_t PortForChosenDevice(const DeviceMap &map, std::int16_t storedPort,
                                 const std::string &device);

// Maps port to device for good: one entry "COMn=device" in section
// "Devices" of the settings file at iniPath (the rest of the file stays byte
// for byte; a failed save leaves it whole and says why), then in map. map is
// left as it was when the save fails.
IniResult MapChosenDevice(const std::string &iniPath, DeviceMap &map, std::int16_t port,
                          const std::string &device);

// The folders whose changes may add or remove a listed port: dev,
// dev/serial/by-id and the folder of every device the numbers 1 to 20 lead to.
std::vector<std::string> WatchedFolders(const DeviceMap &map, const std::string &dev = "/dev");

} // namespace kestrel::serial
