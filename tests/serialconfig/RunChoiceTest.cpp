// A port and settings for one run (the command line) in the store, kept out of the file until the
// dialog saves; and the dialog's port list following devices that come and go while it is open.
#include "FakeCommControl.h"
#include "FakeControls.h"
#include "IniFile.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "clsSerialPortConfigINI.h"
#include "frmConfigSerial.h"
#include <gtest/gtest.h>
namespace kestrel::test {
namespace {
using enum FakeCommControl::PortState;

class RunChoice : public testing::Test {
protected:
  void SetUp() override {
    ApplicationFolder(dir.Path());
    WriteFile(ini, kStored);
    store.FileNameINI("Serial.ini");
    for (int n : {1, 3, 20})
      comm.Port(n, Free);
    store.ComControl(&comm);
    form.clsSerialPortConfig = &store;
  }
  void TearDown() override { ApplicationFolder(""); }
  std::string Items(const FakeComboBox &list) const {
    std::string s;
    for (const std::string &item : list.items)
      s += item + " ";
    return s + "[" + list.Text() + "]";
  }
  static constexpr const char *kStored = "[SerialPort]\r\nPort=1\r\nSettings=9600,N,8,1\r\n";
  TempDir dir;
  const std::string ini = dir.File("Serial.ini");
  FakeCommControl comm;
  clsSerialPortConfigINI store;
  std::string port, settings;
  std::array<FakeComboBox, 5> lists;
  FakeLabel device;
  FakeMessageBox box;
  FakeForm window;
  frmConfigSerial form{
      {{&lists[0], &lists[1], &lists[2], &lists[3], &lists[4]}, device, box, window, nullptr}};
};

TEST_F(RunChoice, OpensTheRunsPortAndShowsItWhileTheFileStaysAsItWas) {
  store.RunChoice("20", "115200,E,7,1", "/dev/pts/9");
  ASSERT_TRUE(store.SettingsRetrieve(port, settings));
  EXPECT_EQ(port, "20");
  EXPECT_EQ(settings, "115200,E,7,1");
  store.ComPortOpen(true);
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_EQ(comm.CommPort(), 20);
  EXPECT_EQ(comm.Settings(), "115200,E,7,1");
  form.InitForm();
  EXPECT_EQ(lists[ListPort].Text(), "COM20");
  EXPECT_EQ(lists[ListBaud].Text(), "115200");
  EXPECT_EQ(lists[ListParity].Text(), "Even");
  store.ComPortOpen(false);
  EXPECT_EQ(ReadFile(ini), kStored);
}

TEST_F(RunChoice, SavingTheRunsPortKeepsItsDeviceAndEndsTheRunChoice) {
  store.RunChoice("20", "115200,N,8,1", "/dev/pts/9");
  form.InitForm();
  form.cmdOK_Click(0);
  EXPECT_EQ(window.unloads, 1);
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\r\nPort=20\r\nSettings=115200,N,8,1\r\n"
                           "[Devices]\r\nCOM20=/dev/pts/9\r\n");
  WriteFile(ini, kStored);
  ASSERT_TRUE(store.SettingsRetrieve(port, settings));
  EXPECT_EQ(port + " " + settings, "1 9600,N,8,1") << "the file speaks again";
}

TEST_F(RunChoice, SavingAnotherPortLeavesTheRunsDeviceUnwrittenUntilItsPortIsSaved) {
  store.RunChoice("20", "115200,N,8,1", "/dev/pts/9");
  ASSERT_TRUE(store.SettingsUpdate("3", "19200,N,8,1"));
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\r\nPort=3\r\nSettings=19200,N,8,1\r\n");
  ASSERT_TRUE(store.SettingsUpdate("20", "19200,N,8,1"));
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\r\nPort=20\r\nSettings=19200,N,8,1\r\n"
                           "[Devices]\r\nCOM20=/dev/pts/9\r\n");
}

// A device chosen for the run's port number (Choose Device saves it) is not saved over by the
// run's.
TEST_F(RunChoice, ADeviceChosenForTheRunsPortIsNotSavedOverByTheRunsDevice) {
  store.RunChoice("20", "115200,N,8,1", "/dev/pts/9");
  store.DeviceChosen(20);
  ASSERT_TRUE(store.SettingsUpdate("20", "115200,N,8,1"));
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\r\nPort=20\r\nSettings=115200,N,8,1\r\n");
}

// The device goes in the same save as the port and settings: a refused save leaves it out too.
TEST_F(RunChoice, ASaveRefusedAsAWholeLeavesTheRunsDeviceUnwrittenToo) {
  // Room for the device's 29 bytes alone, not for those and the port's and settings' 3 more.
  const std::string stored = kStored;
  const std::string full =
      stored + ";" + std::string(kIniMaxFileSize - 29 - stored.size() - 3, 'x') + "\r\n";
  WriteFile(ini, full);
  store.RunChoice("20", "115200,N,8,1", "/dev/pts/9");
  EXPECT_FALSE(store.SettingsUpdate("20", "115200,N,8,1"));
  EXPECT_TRUE(ReadFile(ini) == full);
  EXPECT_EQ(store.LastSaveError(), ini + ": the settings would be too large for a settings file");
}

TEST_F(RunChoice, ARunOnAMappedPortWritesNoDevice) {
  store.RunChoice("3", "115200,N,8,1");
  ASSERT_TRUE(store.SettingsUpdate("3", "115200,N,8,1"));
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\r\nPort=3\r\nSettings=115200,N,8,1\r\n");
}

TEST_F(RunChoice, TheDialogsPortListFollowsDevicesAndKeepsTheUsersChoices) {
  form.InitForm();
  ASSERT_TRUE(lists[ListPort].Choose("COM3") && lists[ListParity].Choose("Odd"));
  struct Row {
    const char *name;
    std::vector<int> present;
    const char *ports;
  } rows[] = {
      {"a device appears", {1, 3, 5, 20}, "COM1 COM3 COM5 COM20 [COM3]"},
      {"another goes", {3, 5}, "COM3 COM5 [COM3]"},
      {"the chosen one goes", {5}, "COM5 []"},
      {"it comes back, unchosen", {3, 5}, "COM3 COM5 []"},
      {"all go", {}, "NONE []"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    comm.ports.clear();
    for (int n : row.present)
      comm.Port(n, Free);
    form.PortsChanged();
    EXPECT_EQ(Items(lists[ListPort]), row.ports);
    EXPECT_EQ(lists[ListParity].Text(), "Odd");
    EXPECT_EQ(lists[ListBaud].Text(), "9600");
  }
  EXPECT_EQ(ReadFile(ini), kStored);
  EXPECT_FALSE(comm.PortOpen());
}

} // namespace
} // namespace kestrel::test
