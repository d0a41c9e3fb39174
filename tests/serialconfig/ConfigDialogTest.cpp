#include "FakeCommControl.h"
#include "FakeControls.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "clsSerialPortConfigINI.h"
#include "frmConfigSerial.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kestrel {
namespace {

using namespace test;
using State = FakeCommControl::PortState;

class ConfigDialog : public ::testing::Test {
protected:
  void SetUp() override {
    ApplicationFolder(dir.Path());
    store.FileNameINI("Serial.ini");
  }
  void Open(std::initializer_list<int> ports) {
    for (int p : ports)
      comm.Port(p, State::Free);
    store.ComControl(&comm);
    form.clsSerialPortConfig = &store;
    form.InitForm();
  }
  FakeComboBox &L(int i) { return lists[static_cast<std::size_t>(i)]; }

  TempDir dir;
  FakeCommControl comm;
  clsSerialPortConfigINI store;
  std::array<FakeComboBox, 5> lists;
  FakeLabel lblDevice;
  FakeMessageBox messageBox;
  FakeForm window;
  std::vector<int> described;
  frmConfigSerial form{
      frmConfigSerialControls{{&lists[0], &lists[1], &lists[2], &lists[3], &lists[4]},
                              lblDevice,
                              messageBox,
                              window,
                              [this](std::int16_t port) {
                                described.push_back(port);
                                return "/dev/ttyUSB" + std::to_string(port - 5);
                              }}};
};

TEST_F(ConfigDialog, FillsTheListsInTheirFixedOrder) {
  Open({5, 2});
  EXPECT_EQ(L(ListPort).items, (std::vector<std::string>{"COM2", "COM5"}));
  EXPECT_EQ(L(ListParity).items, (std::vector<std::string>{"None", "Even", "Odd"}));
  EXPECT_EQ(L(ListDataBits).items, (std::vector<std::string>{"8", "7"}));
  EXPECT_EQ(L(ListStopBits).items, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(L(ListBaud).items, (std::vector<std::string>{"115200", "57600", "38400", "19200",
                                                         "9600", "4800", "2400", "1200", "600"}));
}

TEST_F(ConfigDialog, NothingStoredSelectsTheDefaultsAndNoPort) {
  Open({1});
  EXPECT_EQ(L(ListPort).index, -1);
  EXPECT_EQ(L(ListParity).Text(), "None");
  EXPECT_EQ(L(ListDataBits).Text(), "8");
  EXPECT_EQ(L(ListStopBits).Text(), "1");
  EXPECT_EQ(L(ListBaud).Text(), "19200");
  EXPECT_EQ(lblDevice.Caption(), "");
}

TEST_F(ConfigDialog, PreselectsWhatIsStoredAndNamesTheDevice) {
  ASSERT_TRUE(store.SettingsUpdate("7", "57600,o,7,2"));
  Open({1, 7});
  EXPECT_EQ(L(ListPort).Text(), "COM7");
  EXPECT_EQ(L(ListParity).Text(), "Odd");
  EXPECT_EQ(L(ListDataBits).Text(), "7");
  EXPECT_EQ(L(ListStopBits).Text(), "2");
  EXPECT_EQ(L(ListBaud).Text(), "57600");
  EXPECT_EQ(lblDevice.Caption(), "/dev/ttyUSB2");
  ASSERT_TRUE(L(ListPort).Choose("COM1"));
  form.cmbPort_Click(ListPort);
  EXPECT_EQ(described.back(), 1);
}

TEST_F(ConfigDialog, AStoredValueNotInAListLeavesItUnselected) {
  ASSERT_TRUE(store.SettingsUpdate("9", "250000,M,8,1"));
  Open({1});
  EXPECT_EQ(L(ListPort).index, -1);
  EXPECT_EQ(L(ListBaud).index, -1);
  EXPECT_EQ(L(ListParity).index, -1);
  form.cmdOK_Click(0);
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_EQ(messageBox.shown[0].text, "Please select valid Port Data");
  EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Stop);
  EXPECT_EQ(window.unloads, 0);
  EXPECT_EQ(L(ListPort).focused, 1);
}

TEST_F(ConfigDialog, OkSavesAndCloses_CancelClosesOnly_DefaultsKeepThePort) {
  Open({1, 3});
  ASSERT_TRUE(L(ListPort).Choose("COM3"));
  ASSERT_TRUE(L(ListBaud).Choose("600"));
  form.cmdDefaults_Click();
  EXPECT_EQ(L(ListPort).Text(), "COM3");
  EXPECT_EQ(L(ListBaud).Text(), "19200");
  ASSERT_TRUE(L(ListParity).Choose("Even"));
  form.cmdOK_Click(1);
  EXPECT_EQ(window.unloads, 1);
  std::string port, settings;
  EXPECT_FALSE(store.SettingsRetrieve(port, settings));
  form.cmdOK_Click(0);
  EXPECT_EQ(window.unloads, 2);
  ASSERT_TRUE(store.SettingsRetrieve(port, settings));
  EXPECT_EQ(port, "3");
  EXPECT_EQ(settings, "19200,E,8,1");
  form.cmdOK_Click(2);
  EXPECT_EQ(window.unloads, 2);
}

TEST_F(ConfigDialog, NoPortFoundOffersNoneWhichCannotBeSaved) {
  Open({});
  ASSERT_EQ(L(ListPort).items, std::vector<std::string>{"NONE"});
  ASSERT_TRUE(L(ListPort).Choose("NONE"));
  form.cmdOK_Click(0);
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_EQ(window.unloads, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Serial.ini")) &&
               test::ReadFile(dir.File("Serial.ini")).find("Port=") != std::string::npos);
}

// Devices the user may not open are no ports to offer, but an empty list
// says why and what to do, in one line under it.
TEST_F(ConfigDialog, NoPortListedButDevicesDeniedSaysWhichAndHowToGetAccess) {
  const struct {
    std::vector<std::pair<int, State>> ports;
    const char *line;
  } cases[] = {
      {{{6, State::Denied}},
       "Found COM6 (/dev/ttyUSB1), but you may not open it: add yourself "
       "to the dialout group (sudo adduser $USER dialout) and log in again."},
      {{{6, State::Denied}, {13, State::Denied}},
       "Found COM6 (/dev/ttyUSB1), COM13 (/dev/ttyUSB8), but you may not open them: add "
       "yourself to the dialout group (sudo adduser $USER dialout) and log in again."},
      {{}, ""},
      {{{6, State::Denied}, {7, State::Free}}, "/dev/ttyUSB2"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.line);
    FakeCommControl probe;
    for (auto [port, state] : c.ports)
      probe.Port(port, state);
    store.ComControl(&probe);
    form.clsSerialPortConfig = &store;
    form.InitForm();
    if (store.PortsFound() > 0) {
      EXPECT_TRUE(L(ListPort).Choose("COM7"));
      form.cmbPort_Click(ListPort);
    } else
      EXPECT_EQ(L(ListPort).items, std::vector<std::string>{"NONE"});
    EXPECT_EQ(lblDevice.Caption(), c.line);
  }
}

TEST_F(ConfigDialog, ASaveFailureIsShownOnceAndTheDialogStays) {
  Open({1});
  std::filesystem::remove(dir.File("Serial.ini"));
  std::filesystem::create_directory(dir.File("Serial.ini"));
  ASSERT_TRUE(L(ListPort).Choose("COM1"));
  form.cmdOK_Click(0);
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_EQ(messageBox.shown[0].text,
            "The settings could not be saved to " + dir.File("Serial.ini") + ".");
  EXPECT_EQ(messageBox.shown[0].title, "QuillonD - Port Configuration");
  EXPECT_NE(messageBox.shown[0].detail, "");
  EXPECT_EQ(window.unloads, 0);
}

} // namespace
} // namespace kestrel
