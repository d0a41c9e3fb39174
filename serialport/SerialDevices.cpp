#include "SerialDevices.h"

#include "DeviceDiscovery.h"
#include "PortSettingsText.h"
#include "PosixFile.h"

#include <algorithm>
#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::serial {

namespace {

constexpr const char *kKinds[] = {"ttyS",   "ttyUSB", "ttyACM", "ttyAMA",
                                  "ttyTHS", "ttymxc", "rfcomm", "serial"};

// The kind's index and the number of a node name such as ttyUSB3; -1 when
// the name is no serial device's.
int KindOf(const std::string &name, long &number) {
  int best = -1;
  std::size_t bestLength = 0;
  for (int i = 0; i < static_cast<int>(std::size(kKinds)); ++i) {
    const std::string kind = kKinds[i];
    if (name.size() > kind.size() && name.compare(0, kind.size(), kind) == 0 &&
        DigitsOnly(name.substr(kind.size())) && kind.size() > bestLength) {
      best = i;
      bestLength = kind.size();
    }
  }
  if (best >= 0) {
    const std::string digits = name.substr(bestLength);
    number = digits.size() > 9 ? LONG_MAX : std::stol(digits);
  }
  return best;
}

std::vector<std::string> Names(const std::string &folder) {
  std::vector<std::string> names;
  if (DIR *d = ::opendir(folder.c_str())) {
    while (dirent *e = ::readdir(d))
      if (e->d_name[0] != '.')
        names.emplace_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

std::string LinkTarget(const std::string &path) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool MayOpen(const struct stat &node, const DeviceTree &tree) {
  if (tree.uid == 0)
    return true;
  if (node.st_uid == tree.uid)
    return (node.st_mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR);
  if (std::find(tree.groups.begin(), tree.groups.end(), node.st_gid) != tree.groups.end())
    return (node.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  return (node.st_mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH);
}

// What sysfs tells of the tty named base: its driver and, for USB, the
// maker, product and serial number of the USB device above it.
void Describe(const DeviceTree &tree, const std::string &base, SerialDevice &device) {
  const std::string entry = RealPath(tree.sys + "/class/tty/" + base + "/device");
  // Newer kernels put a UART's tty under the generic "port" and "ctrl" of
  // the serial-base bus; the driver that names the hardware sits above them.
  std::string up = entry;
  for (int level = 0; level < 4 && up.size() > tree.sys.size() && device.driver.empty(); ++level) {
    const std::string driver = LinkTarget(up + "/driver");
    if (!driver.empty() && driver.find("/serial-base/") == std::string::npos)
      device.driver = SplitPath(driver).name;
    up = up.substr(0, up.rfind('/'));
  }
  up = entry;
  for (int level = 0; level < 4 && up.size() > tree.sys.size(); ++level) {
    struct stat s {};
    if (::stat((up + "/idVendor").c_str(), &s) == 0) {
      device.maker = FirstLineOf(up + "/manufacturer");
      device.product = FirstLineOf(up + "/product");
      device.serial = FirstLineOf(up + "/serial");
      return;
    }
    up = up.substr(0, up.rfind('/'));
  }
}

// Whether a node is listed: a character device, and for ttyS one with a UART
// behind it (sysfs type 0 is a place kept for one that is not there).
bool Listed(const DeviceTree &tree, const std::string &path, const std::string &base,
            struct stat &node) {
  if (::stat(path.c_str(), &node) != 0 || !S_ISCHR(node.st_mode))
    return false;
  return !(base.rfind("ttyS", 0) == 0 &&
           FirstLineOf(tree.sys + "/class/tty/" + base + "/type") == "0");
}

SerialDevice Entry(const DeviceTree &tree, const std::string &path, const std::string &target,
                   const struct stat &node) {
  SerialDevice device;
  device.path = path;
  device.target = target;
  Describe(tree, target.empty() ? SplitPath(path).name : target, device);
  device.mayOpen = MayOpen(node, tree);
  if (!device.mayOpen)
    device.reason = std::string("you may not open it: add yourself to ") + kDialoutAdvice;
  return device;
}

} // namespace

DeviceTree::DeviceTree() : uid(::geteuid()) {
  const int n = ::getgroups(0, nullptr);
  groups.resize(static_cast<std::size_t>(std::max(n, 0)));
  if (n > 0 && ::getgroups(n, groups.data()) != n)
    groups.clear();
  groups.push_back(::getegid());
}

std::vector<SerialDevice> ListSerialDevices(const DeviceTree &tree) {
  struct Named {
    int kind;
    long number;
    std::string name;
  };
  std::vector<Named> nodes;
  for (const std::string &name : Names(tree.dev)) {
    long number = 0;
    if (const int kind = KindOf(name, number); kind >= 0)
      nodes.push_back({kind, number, name});
  }
  std::sort(nodes.begin(), nodes.end(), [](const Named &a, const Named &b) {
    return a.kind != b.kind       ? a.kind < b.kind
           : a.number != b.number ? a.number < b.number
                                  : a.name < b.name;
  });
  std::vector<SerialDevice> devices;
  for (const Named &n : nodes) {
    const std::string path = tree.dev + "/" + n.name;
    // serialN is a link a board's setup makes to its console UART.
    const std::string target =
        n.name.rfind("serial", 0) == 0 ? SplitPath(LinkTarget(path)).name : "";
    struct stat node {};
    if (Listed(tree, path, target.empty() ? n.name : target, node))
      devices.push_back(Entry(tree, path, target, node));
  }
  const std::string byId = tree.dev + "/serial/by-id";
  std::vector<std::string> links = Names(byId);
  std::sort(links.begin(), links.end());
  for (const std::string &name : links) {
    const std::string path = byId + "/" + name;
    const std::string target = SplitPath(LinkTarget(path)).name;
    struct stat node {};
    if (!target.empty() && Listed(tree, path, target, node))
      devices.push_back(Entry(tree, path, target, node));
  }
  return devices;
}

std::string DeviceLine(const SerialDevice &device) {
  std::string line = device.path;
  if (!device.target.empty())
    line += " (" + device.target + ")";
  if (!device.driver.empty())
    line += " - " + device.driver;
  std::string usb = device.maker;
  if (!device.product.empty())
    usb += (usb.empty() ? "" : " ") + device.product;
  if (!device.serial.empty())
    usb += (usb.empty() ? "" : " ") + std::string("(serial ") + device.serial + ")";
  if (!usb.empty())
    line += " - " + usb;
  if (!device.mayOpen)
    line += " - " + device.reason;
  return line;
}

std::string DevicePathFromName(const std::string &name, const std::string &dev) {
  if (name.find('/') != std::string::npos)
    return name;
  struct stat s {};
  if (::stat((dev + "/" + name).c_str(), &s) == 0)
    return dev + "/" + name;
  if (::stat((dev + "/serial/by-id/" + name).c_str(), &s) == 0)
    return dev + "/serial/by-id/" + name;
  return dev + "/" + name;
}

std::int16_t PortForDevice(const DeviceMap &map, const std::string &path, bool &known) {
  const std::string real = RealPath(path);
  // A name under /dev/serial/by-id stays with its adapter in any socket: it
  // takes a number leading to that name, not one leading to the node it
  // points to now, which a replug may give another adapter.
  const bool byId = path.find("/serial/by-id/") != std::string::npos;
  known = true;
  for (std::int16_t n = 1; n <= 20; ++n) {
    const std::string mapped = map.DevicePath(n);
    if (!mapped.empty() && (mapped == path || (!byId && RealPath(mapped) == real)))
      return n;
  }
  known = false;
  // A number the user mapped to an adapter not plugged in now is still
  // theirs: saving another device under it would lose their entry. It is
  // taken only when no other is free.
  for (bool evenMapped : {false, true})
    for (std::int16_t n = 20; n >= 1; --n) {
      struct stat s {};
      const std::string mapped = map.DevicePath(n);
      if ((evenMapped || !map.Mapped(n)) && (mapped.empty() || ::stat(mapped.c_str(), &s) != 0))
        return n;
    }
  return 0;
}

std::int16_t PortForChosenDevice(const DeviceMap &map, std::int16_t storedPort,
                                 const std::string &device) {
  if (storedPort >= 1)
    return storedPort;
  bool known = false;
  return PortForDevice(map, device, known);
}

IniResult MapChosenDevice(const std::string &iniPath, DeviceMap &map, std::int16_t port,
                          const std::string &device) {
  if (port < 1 || device.empty())
    return {false, "no port number or no device was given"};
  IniResult saved = IniWriteValue(iniPath, "Devices", "COM" + std::to_string(port), device);
  if (saved.ok)
    map.Map(port, device);
  return saved;
}

std::vector<std::string> WatchedFolders(const DeviceMap &map, const std::string &dev) {
  std::vector<std::string> folders = {dev, dev + "/serial/by-id"};
  for (std::int16_t n = 1; n <= 20; ++n) {
    const std::string path = map.DevicePath(n);
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
      folders.push_back(path.substr(0, slash));
  }
  std::sort(folders.begin() + 2, folders.end());
  folders.erase(std::unique(folders.begin() + 2, folders.end()), folders.end());
  folders.erase(
      std::remove_if(folders.begin() + 2, folders.end(),
                     [&](const std::string &f) { return f == dev || f == dev + "/serial/by-id"; }),
      folders.end());
  return folders;
}

} // namespace kestrel::serial
