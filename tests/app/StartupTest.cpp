// Start-up, shut-down, the option toggles and the two dialogs.
#include "TerminalFixture.h"

#include "SystemRoutines.h"
#include "clsSerialPortConfigINI.h"

#include <filesystem>
#include <ostream>

namespace kestrel::test {
namespace {

TEST_F(TerminalTest, FirstStartWithoutSettingsShowsTheStartLineOnly) {
  Load();
  EXPECT_EQ(Display(), "kestrel-terminal Started 12/05/2026 03:46:54\r\n");
  EXPECT_TRUE(t->frm.LineStart());
  EXPECT_EQ(t->frm.LineCount(), 0);
  EXPECT_EQ(t->sbTop.PanelText(1), "");
  EXPECT_EQ(t->sbTop.PanelText(2), " ");
  EXPECT_TRUE(t->sbTop.PanelEnabled(2));
  EXPECT_EQ(t->cmdOpenPort.Caption(), "OpenPort");
  EXPECT_TRUE(t->mnuOptionIgnorePinStatus.Checked());
  EXPECT_EQ(t->MSComm1.RThreshold(), 1);
  EXPECT_FALSE(t->MSComm1.PortOpen());
  EXPECT_TRUE(FileExists(dir.File("Serial.ini")));
  EXPECT_TRUE(t->messageBox.shown.empty());
  ASSERT_NE(t->frm.SerialConfig(), nullptr);
  EXPECT_EQ(t->frm.SerialConfig()->ComControl(), &t->MSComm1);
}

TEST_F(TerminalTest, StoredSettingsShowGreyedUntilThePortOpens) {
  Load("1", "19200,N,8,1");
  EXPECT_EQ(t->sbTop.PanelText(2), "Com1 - 19200,N,8,1");
  EXPECT_FALSE(t->sbTop.PanelEnabled(2));
  EXPECT_GT(t->sbTop.refreshes, 0);
  EXPECT_FALSE(t->MSComm1.PortOpen());
}

struct BadSettingsFile {
  const char *name;
  std::string content;
};

void PrintTo(const BadSettingsFile &c, std::ostream *os) {
  *os << c.name;
}

class UnusableSettingsFile : public TerminalTest,
                             public testing::WithParamInterface<BadSettingsFile> {};

// The program starts, the port does not open, the user is told, and the file
// is left exactly as it was.
TEST_P(UnusableSettingsFile, StartsSaysSoAndLeavesTheFileAlone) {
  const std::string path = dir.File("Serial.ini");
  WriteFile(path, GetParam().content);
  t->MSComm1.Port(1, FakeCommControl::PortState::Free);
  t->MSComm1.Port(3, FakeCommControl::PortState::Free);
  Load();
  EXPECT_EQ(Display(), "kestrel-terminal Started 12/05/2026 03:46:54\r\n");
  t->frm.cmdOpenPort_Click();
  EXPECT_FALSE(t->MSComm1.PortOpen());
  ASSERT_EQ(t->messageBox.shown.size(), 1u);
  EXPECT_EQ(t->messageBox.shown[0].text, "Please Update Serial Port Information");
  EXPECT_TRUE(ReadFile(path) == GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableSettingsFile,
    testing::Values(
        BadSettingsFile{"Corrupt", "[SerialPort\r\nPort=COM\x01\r\n\xff\xfe=\r\n"},
        BadSettingsFile{"Binary", std::string("\x7f"
                                              "ELF\x02\x01\x01\0\0\0[SerialPort]\0Port=1",
                                              27)},
        BadSettingsFile{"TenMegabytesOfJunk", std::string(10u << 20, '\x01')},
        BadSettingsFile{"OversizedFile", "[SerialPort]\r\nPort=1\r\nSettings=9600,N,8,1\r\n" +
                                             std::string(17u << 20, ' ')},
        BadSettingsFile{"PortTooLarge", "[SerialPort]\r\nPort=99999\r\nSettings=9600,N,8,1\r\n"},
        BadSettingsFile{"PortNegative", "[SerialPort]\r\nPort=-1\r\nSettings=9600,N,8,1\r\n"},
        BadSettingsFile{"PortAsName", "[SerialPort]\r\nPort=COM3\r\nSettings=9600,N,8,1\r\n"},
        BadSettingsFile{"SettingsRefused", "[SerialPort]\r\nPort=1\r\nSettings=9600,X,8,1\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TerminalTest, AFolderWhereTheSettingsFileBelongsIsLeftStanding) {
  std::filesystem::create_directory(dir.File("Serial.ini"));
  Load();
  EXPECT_EQ(Display(), "kestrel-terminal Started 12/05/2026 03:46:54\r\n");
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(t->messageBox.shown.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("Serial.ini")));
}

TEST_F(TerminalTest, OptionTogglesFlipTheirCheckMarks) {
  Load();
  t->frm.mnuOptionAddTime_Click();
  t->frm.mnuOptionIgnorePinStatus_Click();
  EXPECT_TRUE(t->mnuOptionAddTime.Checked());
  EXPECT_FALSE(t->mnuOptionIgnorePinStatus.Checked());
  t->frm.mnuOptionAddTime_Click();
  t->frm.mnuOptionIgnorePinStatus_Click();
  EXPECT_FALSE(t->mnuOptionAddTime.Checked());
  EXPECT_TRUE(t->mnuOptionIgnorePinStatus.Checked());
}

TEST_F(TerminalTest, ExitEndsAtOnceWithoutTeardown) {
  t->MSComm1.Port(1, FakeCommControl::PortState::Free);
  Load("1", "9600,N,8,1");
  t->frm.cmdOpenPort_Click();
  t->frm.mnuFileEnd_Click();
  EXPECT_EQ(t->host.ends, 1);
  EXPECT_NE(t->frm.SerialConfig(), nullptr);
  EXPECT_TRUE(t->MSComm1.PortOpen());
}

TEST_F(TerminalTest, TerminateReleasesTheStore) {
  Load();
  t->frm.Form_Terminate();
  EXPECT_EQ(t->frm.SerialConfig(), nullptr);
  EXPECT_TRUE(t->frm.PortStatusUpdate());
  EXPECT_EQ(t->sbTop.PanelText(2), " ");
}

} // namespace
} // namespace kestrel::test
