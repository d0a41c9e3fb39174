#include "FakeCommControl.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "clsSerialPortConfigINI.h"

#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>

namespace kestrel {
namespace {

using test::FakeCommControl;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using State = FakeCommControl::PortState;

class SettingsStore : public ::testing::Test {
protected:
  void SetUp() override {
    ApplicationFolder(dir.Path());
    store.FileNameINI("Serial.ini");
  }
  std::string Ini() const { return dir.File("Serial.ini"); }

  TempDir dir;
  FakeCommControl comm;
  clsSerialPortConfigINI store;
};

TEST_F(SettingsStore, FindsFreeAndBusyPortsAndLeavesThemClosed) {
  comm.Port(1, State::Free);
  comm.Port(4, State::Busy);
  comm.Port(6, State::Denied);
  comm.Port(20, State::Free);
  comm.Port(21, State::Free);
  store.ComControl(&comm);
  ASSERT_EQ(store.PortsFound(), 3);
  EXPECT_EQ(store.Port(1), 1);
  EXPECT_EQ(store.Port(2), 4);
  EXPECT_EQ(store.Port(3), 20);
  EXPECT_EQ(store.Port(0), 0);
  EXPECT_EQ(store.Port(4), 0);
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_TRUE(comm.opened.empty()); // found without opening anything
  EXPECT_EQ(comm.probed.size(), 20u);
  EXPECT_EQ(comm.CommPort(), 1);
  EXPECT_EQ(store.PortsDenied(), std::vector<std::int16_t>{6});
}

// The reason shown when an open fails is that attempt's own, or says that
// nothing was attempted; an unusable stored port opens nothing, whichever
// port the control was left on.
TEST_F(SettingsStore, AFailedOpenTellsItsOwnReasonAndAnUnusablePortOpensNothing) {
  const struct {
    const char *ini, *reason;
  } cases[] = {
      {"", "no serial port is stored"},
      {"Port=0.4\nSettings=9600,N,8,1\n", "\"0.4\" does not name a port"},
      {"Port=0.5\nSettings=9600,N,8,1\n", "\"0.5\" does not name a port"},
      {"Port=-0.2\nSettings=9600,N,8,1\n", "\"-0.2\" is not a port number"},
      {"Port=COM3\nSettings=9600,N,8,1\n", "\"COM3\" is not a port number"},
      {"Port=3\n", "no line settings"},
      {"Port=3\nSettings=9600,N,8,1\n", "/dev/fake3: no such device"},
  };
  comm.Port(20, State::Free);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.ini);
    WriteFile(Ini(), std::string("[SerialPort]\n") + c.ini);
    comm.CommPort(20); // where the control was left
    comm.Port(7, State::Absent);
    comm.CommPort(7);
    comm.PortOpen(true); // an earlier failure with its own words
    store.ComControl(&comm);
    comm.CommPort(20);
    store.ComPortOpen(true);
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_TRUE(comm.opened.empty());
    EXPECT_NE(store.LastOpenError().find(c.reason), std::string::npos) << store.LastOpenError();
  }
}

TEST_F(SettingsStore, AScanFromAboveTheLastNumberFindsNothing) {
  comm.Port(3, State::Free);
  store.ComControl(&comm);
  EXPECT_EQ(store.PortsFindAll(5, 2), 0);
  EXPECT_EQ(store.PortsFound(), 0);
  EXPECT_EQ(store.PortsFindAll(3, 3), 1);
}

TEST_F(SettingsStore, SavesAndReadsBackTrimmed) {
  ASSERT_TRUE(store.SettingsUpdate(" 3 ", "115200,E,7,2 "));
  std::string port, settings;
  ASSERT_TRUE(store.SettingsRetrieve(port, settings));
  EXPECT_EQ(port, "3");
  EXPECT_EQ(settings, "115200,E,7,2");
  EXPECT_NE(ReadFile(Ini()).find("[SerialPort]"), std::string::npos);
}

TEST_F(SettingsStore, ABlankEntryIsSkippedNotFailed) {
  ASSERT_TRUE(store.SettingsUpdate("2", "9600,N,8,1"));
  EXPECT_TRUE(store.SettingsUpdate("   ", "19200,N,8,1"));
  std::string port, settings;
  ASSERT_TRUE(store.SettingsRetrieve(port, settings));
  EXPECT_EQ(port, "2");
  EXPECT_EQ(settings, "19200,N,8,1");
  EXPECT_FALSE(store.SettingsUpdate("", "9600,N,8,1"));
  EXPECT_FALSE(store.SettingsUpdate("2", ""));
}

struct StoredCase {
  const char *label;
  std::string file;
};

// Shown in test names and failures.
void PrintTo(const StoredCase &c, std::ostream *os) {
  *os << c.label;
}

class UnusableStore : public SettingsStore, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(UnusableStore, RetrieveSaysNoAndAFreshSaveWorks) {
  WriteFile(Ini(), GetParam().file);
  std::string port = "keep", settings = "keep";
  EXPECT_FALSE(store.SettingsRetrieve(port, settings));
  ASSERT_TRUE(store.SettingsUpdate("5", "9600,N,8,1"));
  ASSERT_TRUE(store.SettingsRetrieve(port, settings));
  EXPECT_EQ(port, "5");
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableStore,
    ::testing::Values(StoredCase{"empty", ""},
                      StoredCase{"no_section", "Port=3\nSettings=9600,N,8,1\n"},
                      StoredCase{"port_zero", "[SerialPort]\nPort=0\nSettings=9600,N,8,1\n"},
                      StoredCase{"port_text", "[SerialPort]\nPort=abc\nSettings=9600,N,8,1\n"},
                      StoredCase{"no_settings", "[SerialPort]\nPort=3\n"},
                      StoredCase{"binary", std::string("\x00\xFF[Serial\x01Port]\n\xFE=\x00", 16)}),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(SettingsStore, ASaveThatCannotReachTheFileFailsWithTheReason) {
  std::filesystem::create_directory(Ini()); // a folder where the file should be
  EXPECT_FALSE(store.SettingsUpdate("3", "9600,N,8,1"));
  EXPECT_NE(store.LastSaveError(), "");
  EXPECT_EQ(store.SettingsFilePath(), Ini());
  EXPECT_TRUE(std::filesystem::is_directory(Ini()));
}

TEST_F(SettingsStore, OpeningAppliesWhatIsStoredWithRtsLow) {
  comm.Port(3, State::Free);
  store.ComControl(&comm);
  ASSERT_TRUE(store.SettingsUpdate("3", "57600,O,7,1"));
  comm.RTSEnable(true);
  store.ComPortOpen(true);
  ASSERT_TRUE(store.ComPortOpen());
  EXPECT_EQ(comm.CommPort(), 3);
  EXPECT_EQ(comm.Settings(), "57600,O,7,1");
  EXPECT_EQ(comm.InputLen(), 0);
  EXPECT_FALSE(comm.RTSEnable());
  const auto opens = comm.opened.size();
  store.ComPortOpen(true); // already open: nothing happens
  EXPECT_EQ(comm.opened.size(), opens);
  store.ComPortOpen(false);
  EXPECT_FALSE(comm.PortOpen());
}

TEST_F(SettingsStore, APortNumberTheControlCannotHoldIsNeverOpened) {
  comm.Port(1, State::Free);
  store.ComControl(&comm);
  comm.opened.clear();
  ASSERT_TRUE(store.SettingsUpdate("70000", "9600,N,8,1"));
  store.ComPortOpen(true);
  EXPECT_FALSE(store.ComPortOpen());
  EXPECT_TRUE(comm.opened.empty());
}

TEST_F(SettingsStore, SettingsTheControlRefusesAreNeverOpenedWith) {
  comm.Port(1, State::Free);
  store.ComControl(&comm);
  comm.opened.clear();
  ASSERT_TRUE(store.SettingsUpdate("1", "9600,X,8,1"));
  store.ComPortOpen(true);
  EXPECT_FALSE(store.ComPortOpen());
  EXPECT_TRUE(comm.opened.empty());
  EXPECT_NE(comm.LastErrorText(), "");
}

TEST_F(SettingsStore, WithoutAFileNameNothingIsReadOrWritten) {
  clsSerialPortConfigINI unnamed;
  std::string port, settings;
  EXPECT_FALSE(unnamed.SettingsRetrieve(port, settings));
  EXPECT_FALSE(unnamed.SettingsUpdate("1", "9600,N,8,1"));
  EXPECT_FALSE(std::filesystem::exists(Ini()));
}

TEST_F(SettingsStore, AlreadyOpenedTellsABusyPort) {
  comm.Port(2, State::Busy);
  comm.Port(3, State::Free);
  EXPECT_TRUE(store.ComPortAlreadyOpened(comm, 2));
  EXPECT_FALSE(store.ComPortAlreadyOpened(comm, 3));
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_FALSE(store.ComPortAlreadyOpened(comm, 9));
}

} // namespace
} // namespace kestrel
