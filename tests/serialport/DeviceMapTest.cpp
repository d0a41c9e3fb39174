#include "PosixCommControl.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>

namespace kestrel {
namespace {

using test::TempDir;
using test::WriteFile;

struct TableCase {
  std::int16_t port;
  const char *device;
};

void PrintTo(const TableCase &c, std::ostream *os) {
  *os << "COM" << c.port;
}

class BuiltInTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(BuiltInTable, NamesTheLinuxDevice) {
  EXPECT_EQ(DeviceMap().DevicePath(GetParam().port), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(Ports, BuiltInTable,
                         ::testing::Values(TableCase{1, "/dev/ttyS0"}, TableCase{4, "/dev/ttyS3"},
                                           TableCase{5, "/dev/ttyUSB0"},
                                           TableCase{12, "/dev/ttyUSB7"},
                                           TableCase{13, "/dev/ttyACM0"},
                                           TableCase{20, "/dev/ttyACM7"}, TableCase{0, ""},
                                           TableCase{21, ""}, TableCase{-3, ""}));

TEST(DevicesSection, LaysEntriesOverTheTableAndIgnoresTheRest) {
  TempDir dir;
  const std::string byId =
      "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XK2J4L-if00-port0"; // over 49 characters
  WriteFile(dir.File("Serial.ini"),
            "[Serial Port]\r\nPort=5\r\n[Devices]\r\nCOM5=" + byId +
                "\r\ncom20 = /dev/pts/7\r\nCOM0=/dev/null\r\nCOMX=/dev/null\r\n"
                "COM99999=/dev/null\r\nCOM7=\r\nPort=/dev/null\r\n[Other]\r\n"
                "COM1=/dev/null\r\n");
  DeviceMap map = DeviceMap::FromIni(dir.File("Serial.ini"));
  EXPECT_EQ(map.DevicePath(5), byId);
  EXPECT_EQ(map.DevicePath(20), "/dev/pts/7");
  EXPECT_EQ(map.DevicePath(7), "/dev/ttyUSB2");
  EXPECT_EQ(map.DevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(map.DevicePath(0), "");
}

TEST(DevicesSection, MissingOrUnreadableFileGivesTheTable) {
  TempDir dir;
  EXPECT_EQ(DeviceMap::FromIni(dir.File("none.ini")).DevicePath(5), "/dev/ttyUSB0");
  EXPECT_EQ(DeviceMap::FromIni(dir.Path()).DevicePath(5), "/dev/ttyUSB0");
}

TEST(DeviceDescription, NamesTheUsbProductWhereSysfsKnowsIt) {
  TempDir dir;
  namespace fs = std::filesystem;
  std::string usb = dir.File("devices/pci0000:00/usb1/1-2");
  fs::create_directories(usb + "/1-2:1.0/ttyUSB0");
  WriteFile(usb + "/product", "FT232R USB UART\n");
  fs::create_directories(dir.File("class/tty/ttyUSB0"));
  fs::create_symlink(usb + "/1-2:1.0/ttyUSB0", dir.File("class/tty/ttyUSB0/device"));
  fs::create_directories(dir.File("class/tty/ttyS0"));

  DeviceMap map;
  map.SysRoot(dir.Path());
  EXPECT_EQ(map.Describe(5), "/dev/ttyUSB0 - FT232R USB UART");
  EXPECT_EQ(map.Describe(1), "/dev/ttyS0");
  EXPECT_EQ(map.Describe(99), "");
}

} // namespace
} // namespace kestrel
