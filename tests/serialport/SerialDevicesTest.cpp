// The serial devices of a fake /dev and /sys tree, listed without opening any; the port number a
// device named or chosen gets; the chosen device written to [Devices] and nothing else.
#include "SerialDevices.h"
#include "TempDir.h"
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
namespace kestrel::test {
namespace {
namespace fs = std::filesystem;
using serial::DeviceTree;

class FakeTree : public testing::Test {
protected:
  void SetUp() override {
    tree.dev = dir.File("dev");
    tree.sys = dir.File("sys");
    tree.uid = 1000;
    tree.groups = {1000};
    fs::create_directories(tree.dev + "/serial/by-id");
    // Character devices with the numbers of /dev/null: harmless whatever opens them.
    if (!Node("ttyS0", 0666))
      GTEST_SKIP() << "character devices cannot be made here";
    for (const char *name : {"ttyS1", "ttyUSB0", "ttyUSB2", "ttyUSB10", "ttyAMA0", "ttyTHS1",
                             "ttymxc0", "rfcomm0", "tty0", "console", "ttyprintk"})
      Node(name, 0666);
    Node("ttyACM10", 0660);
    WriteFile(tree.dev + "/ttyUSB9", "a file, not a device");
    fs::create_symlink("ttyAMA0", tree.dev + "/serial0");
    fs::create_symlink("../../ttyUSB0",
                       tree.dev + "/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
    // A UART under the serial-base bus's generic port and controller.
    Tty("ttyS0", "devices/platform/serial8250/serial8250:0/serial8250:0.0", "port");
    fs::remove(tree.sys + "/devices/platform/serial8250/serial8250:0/serial8250:0.0/driver");
    for (const auto &[folder, driver] :
         {std::pair{"serial8250:0/serial8250:0.0", "serial-base/drivers/port"},
          std::pair{"serial8250:0", "serial-base/drivers/ctrl"},
          std::pair{"", "platform/drivers/serial8250"}}) {
      fs::create_directories(tree.sys + "/bus/" + driver);
      fs::create_symlink(tree.sys + "/bus/" + driver,
                         tree.sys + "/devices/platform/serial8250/" + folder + "/driver");
    }
    WriteFile(tree.sys + "/class/tty/ttyS0/type", "4\n");
    Tty("ttyS1", "devices/platform/serial8250/tty/ttyS1", "serial8250");
    WriteFile(tree.sys + "/class/tty/ttyS1/type", "0\n");
    Tty("ttyUSB0", "devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0", "ftdi_sio");
    Usb("devices/pci0/usb1/1-1", "FTDI", "FT232R USB UART", "A50285BI");
    Tty("ttyACM10", "devices/pci0/usb1/1-2/1-2:1.0", "cdc_acm");
    Usb("devices/pci0/usb1/1-2", "Arduino (www.arduino.cc)", "<b>Uno</b>", "");
    Tty("ttyAMA0", "devices/platform/fe201000.serial", "uart-pl011");
  }
  bool Node(const std::string &name, mode_t mode) {
    const std::string path = tree.dev + "/" + name;
    if (::mknod(path.c_str(), S_IFCHR | mode, ::makedev(1, 3)) != 0)
      return false;
    return ::chmod(path.c_str(), mode) == 0 && ::chown(path.c_str(), 0, 20) == 0;
  }
  // The tty's class entry, its device folder and the driver serving it.
  void Tty(const std::string &name, const std::string &device, const std::string &driver) {
    fs::create_directories(tree.sys + "/" + device);
    fs::create_directories(tree.sys + "/bus/drivers/" + driver);
    fs::create_directories(tree.sys + "/class/tty/" + name);
    fs::create_symlink(tree.sys + "/" + device, tree.sys + "/class/tty/" + name + "/device");
    fs::create_symlink(tree.sys + "/bus/drivers/" + driver, tree.sys + "/" + device + "/driver");
  }
  void Usb(const std::string &device, const std::string &maker, const std::string &product,
           const std::string &serial) {
    WriteFile(tree.sys + "/" + device + "/idVendor", "0403\n");
    WriteFile(tree.sys + "/" + device + "/manufacturer", maker + "\n");
    WriteFile(tree.sys + "/" + device + "/product", product + "\n");
    if (!serial.empty())
      WriteFile(tree.sys + "/" + device + "/serial", serial + "\n");
  }
  TempDir dir;
  DeviceTree tree;
};

TEST_F(FakeTree, EverySerialDeviceIsListedWithItsDriverAndUsbNamesInOrder) {
  const std::string d = tree.dev + "/";
  const std::string denied =
      " - you may not open it: add yourself to the dialout group (sudo adduser $USER dialout) "
      "and log in again.";
  const std::vector<std::string> expected = {
      d + "ttyS0 - serial8250",
      d + "ttyUSB0 - ftdi_sio - FTDI FT232R USB UART (serial A50285BI)",
      d + "ttyUSB2",
      d + "ttyUSB10",
      d + "ttyACM10 - cdc_acm - Arduino (www.arduino.cc) <b>Uno</b>" + denied,
      d + "ttyAMA0 - uart-pl011",
      d + "ttyTHS1",
      d + "ttymxc0",
      d + "rfcomm0",
      d + "serial0 (ttyAMA0) - uart-pl011",
      d + "serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0 (ttyUSB0) - ftdi_sio - FTDI FT232R "
          "USB UART (serial A50285BI)",
  };
  const auto devices = serial::ListSerialDevices(tree);
  std::vector<std::string> lines;
  for (const auto &device : devices)
    lines.push_back(serial::DeviceLine(device));
  EXPECT_EQ(lines, expected);
}

TEST_F(FakeTree, WhoMayOpenADeviceFollowsItsModeOwnerAndGroup) {
  struct Row {
    const char *name;
    uid_t uid;
    std::vector<gid_t> groups;
    bool mayOpen;
  } rows[] = {{"another user", 1000, {1000}, false},
              {"in its group", 1000, {1000, 20}, true},
              {"root", 0, {0}, true}};
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    tree.uid = row.uid;
    tree.groups = row.groups;
    for (const auto &device : serial::ListSerialDevices(tree))
      if (device.path.ends_with("ttyACM10")) {
        EXPECT_EQ(device.mayOpen, row.mayOpen);
        EXPECT_EQ(device.reason.empty(), row.mayOpen);
      }
  }
}

TEST_F(FakeTree, ANameFindsItsPathUnderDevThenByIdAndAPathStaysAsGiven) {
  const std::pair<const char *, std::string> rows[] = {
      {"ttyUSB0", tree.dev + "/ttyUSB0"},
      {"usb-FTDI_FT232R_A50285BI-if00-port0",
       tree.dev + "/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"},
      {"ttyUSB7", tree.dev + "/ttyUSB7"},
      {"./local/pty", "./local/pty"},
  };
  for (const auto &[name, path] : rows) {
    SCOPED_TRACE(name);
    EXPECT_EQ(serial::DevicePathFromName(name, tree.dev), path);
  }
}

TEST(DevicePorts, ADeviceGetsTheNumberLeadingToItOrTheHighestFreeOne) {
  TempDir dir;
  WriteFile(dir.File("ttyA"), "");
  WriteFile(dir.File("ttyB"), "");
  fs::create_symlink(dir.File("ttyB"), dir.File("link-to-B"));
  fs::create_directories(dir.File("serial/by-id"));
  const std::string byId = dir.File("serial/by-id/usb-FTDI_A50285BI-if00-port0");
  fs::create_symlink(dir.File("ttyB"), byId);
  DeviceMap map;
  for (std::int16_t n = 1; n <= 20; ++n)
    map.Map(n, dir.File(n == 3    ? "ttyA"
                        : n == 7  ? "ttyB"
                        : n == 20 ? "ttyA"
                                  : "none" + std::to_string(n)));
  struct Row {
    const char *name;
    std::string path;
    std::int16_t port;
    bool known;
  } rows[] = {{"the same path", dir.File("ttyA"), 3, true},
              {"a link to a mapped device", dir.File("link-to-B"), 7, true},
              {"a by-id name, not by the node it points to now", byId, 19, false},
              {"unknown: the highest number without its device", "/dev/pts/77", 19, false}};
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    bool known = !row.known;
    EXPECT_EQ(serial::PortForDevice(map, row.path, known), row.port);
    EXPECT_EQ(known, row.known);
  }
  for (std::int16_t n = 1; n <= 20; ++n)
    map.Map(n, dir.File("ttyA"));
  bool known = true;
  EXPECT_EQ(serial::PortForDevice(map, "/dev/pts/77", known), 0) << "every number has a device";
  EXPECT_EQ(serial::PortForChosenDevice(map, 4, "/dev/pts/77"), 4) << "the stored number wins";
  DeviceMap mine; // the user's adapter for COM20, not plugged in now, keeps its number
  mine.Map(20, dir.File("usb-FTDI_A50285BI-if00-port0"));
  EXPECT_EQ(serial::PortForDevice(mine, "/dev/pts/77", known), 19);
}

TEST(DevicePorts, AChosenDeviceIsWrittenAsOneEntryAndTheRestOfTheFileStays) {
  TempDir dir;
  const std::string ini = dir.File("Serial.ini");
  const std::string before = "; mine\r\n[SerialPort]\r\nPort=5\r\nSettings=9600,N,8,1\r\n"
                             "[Devices]\r\nCOM2=/dev/ttyX\r\n[Tools]\r\nLocalEcho=1\r\n";
  WriteFile(ini, before);
  DeviceMap map;
  ASSERT_TRUE(serial::MapChosenDevice(ini, map, 5, "/dev/ttyAMA0").ok);
  EXPECT_EQ(map.DevicePath(5), "/dev/ttyAMA0");
  EXPECT_EQ(ReadFile(ini),
            "; mine\r\n[SerialPort]\r\nPort=5\r\nSettings=9600,N,8,1\r\n"
            "[Devices]\r\nCOM2=/dev/ttyX\r\nCOM5=/dev/ttyAMA0\r\n[Tools]\r\nLocalEcho=1\r\n");
  EXPECT_EQ(DeviceMap::FromIni(ini).DevicePath(5), "/dev/ttyAMA0");

  const IniResult failed =
      serial::MapChosenDevice(dir.File("gone/Serial.ini"), map, 6, "/dev/ttyS9");
  EXPECT_FALSE(failed.ok);
  EXPECT_FALSE(failed.error.empty());
  EXPECT_EQ(map.DevicePath(6), "/dev/ttyUSB1") << "the map stays as it was";
  EXPECT_FALSE(serial::MapChosenDevice(ini, map, 0, "/dev/ttyS9").ok);
}

TEST(DevicePorts, TheWatchedFoldersAreDevByIdAndTheFoldersOfMappedDevices) {
  DeviceMap map;
  map.Map(5, "/tmp/lab/by-id/adapter");
  map.Map(6, "/tmp/lab/by-id/other");
  map.Map(7, "/dev/serial/by-id/usb-x");
  const std::vector<std::string> expected = {"/dev", "/dev/serial/by-id", "/tmp/lab/by-id"};
  EXPECT_EQ(serial::WatchedFolders(map), expected);
}

} // namespace
} // namespace kestrel::test
