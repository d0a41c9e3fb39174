// Start-up and its settings, the port button and status panels, Exit and
// Terminate, the dialogs, the control's events, typing and the output lines.
#include "SystemRoutines.h"
#include "TerminalFixture.h"
#include "clsSerialPortConfigINI.h"
#include <filesystem>
#include <functional>
namespace kestrel::test {
using State = FakeCommControl::PortState;
const std::string kStartLine = "kestrel-terminal Started 12/05/2026 03:46:54\r\n";
const std::string kUnableTitle = "kestrel-terminal - Unable to Initialize Serial Port";
const std::string kUpdateAdvice = "Update Serial Port Configuration under Options";
const std::string kCom1 = "Com1 - 19200,N,8,1";
const PortView kActive{"Serial Port Active", kCom1, true, "Close Port", true};
const PortView kClosed{"Serial Port Closed", kCom1, false, "Open Port", false};
const PortView kStoredNotOpened{"", kCom1, false, "OpenPort", false};
// The program starts, the port does not open, the user is told, and the file
// (or a folder in its place) is left exactly as it was.
TEST_F(TerminalTest, UnusableSettingsFileIsReportedAndLeftAlone) {
  const std::string path = dir.File("Serial.ini");
  t->MSComm1.Port(1, State::Free);
  t->MSComm1.Port(3, State::Free);
  const struct {
    const char *name;
    std::string content; // empty: a folder stands in the file's place
  } rows[] = {
      {"broken section and binary key",
       std::string("[SerialPort\r\nPort=COM\x01\r\n\xff\xfe=\r\n")},
      {"10 MB of control codes", std::string(10u << 20, '\x01')},
      {"an executable", std::string("\177ELF\2\1\1\0\0\0[SerialPort]\0Port=1", 27)},
      {"over 16 MB", Ini("1") + std::string(17u << 20, ' ')},
      {"port out of range", Ini("99999")},
      {"negative port", Ini("-1")},
      {"port with its prefix", Ini("COM3")},
      {"unknown parity", Ini("1", "9600,X,8,1")},
      {"a folder", std::string()},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    if (row.content.empty()) {
      std::filesystem::remove(path);
      std::filesystem::create_directory(path);
    } else {
      WriteFile(path, row.content);
    }
    t->messageBox.shown.clear();
    Load();
    t->frm.cmdOpenPort_Click();
    EXPECT_EQ(Display(), kStartLine);
    EXPECT_FALSE(t->MSComm1.PortOpen());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Please Update Serial Port Information");
    if (row.content.empty())
      EXPECT_TRUE(std::filesystem::is_directory(path));
    else
      EXPECT_EQ(ReadFile(path), row.content);
  }
}
// The first start shows the start line only, and the store is bound to the
// control with the receive threshold at 1.
TEST_F(TerminalTest, FirstStartShowsTheStartLineOnly) {
  Load();
  EXPECT_EQ(Display(), kStartLine);
  EXPECT_EQ(Port(), (PortView{"", " ", true, "OpenPort", false}));
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(t->frm.LineStart());
  EXPECT_EQ(t->frm.LineCount(), 0);
  EXPECT_EQ(t->MSComm1.RThreshold(), 1);
  EXPECT_TRUE(FileExists(dir.File("Serial.ini")));
  EXPECT_EQ(t->frm.SerialConfig()->ComControl(), &t->MSComm1);
}
// A port given without line settings asks for them and shows no settings.
TEST_F(TerminalTest, APortWithoutLineSettingsAsksForThem) {
  Load("1", "19200,N,8,1");
  t->frm.SerialConfig()->RunChoice("3", "", "");
  t->frm.PortStatusUpdate();
  EXPECT_EQ(Port(),
            (PortView{"Please Update Your Serial Port Settings", " ", true, "OpenPort", false}));
}
// A failed open says why and leaves the button; with nothing stored nothing
// was tried (not the start-up's words).
TEST_F(TerminalTest, APortThatWillNotOpenSaysWhy) {
  Load();
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"Please Update Serial Port Information", kUnableTitle,
                                        MessageIcon::Exclamation,
                                        "No port was opened: no serial port is stored yet."}}));
  EXPECT_EQ(Port(), (PortView{kUpdateAdvice, " ", true, "OpenPort", false}));
  const struct {
    const char *name;
    State state;
    const char *detail;
  } rows[] = {
      {"busy", State::Busy, "Device or resource busy"},
      {"denied", State::Denied, "Permission denied"},
      {"absent", State::Absent, "/dev/fake1: no such device"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    t->messageBox.shown.clear();
    t->MSComm1.Port(1, row.state);
    Load("1", "19200,N,8,1");
    t->frm.cmdOpenPort_Click();
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"Please Update Serial Port Information", kUnableTitle,
                                          MessageIcon::Exclamation, row.detail}}));
    EXPECT_EQ(Port(), (PortView{kUpdateAdvice, kCom1, false, "OpenPort", false}));
  }
}
// Stored settings show greyed until the port opens; the button opens and
// closes it.
TEST_F(TerminalTest, OpenAndCloseShowInThePanels) {
  t->MSComm1.Port(1, State::Free);
  Load("1", "19200,N,8,1");
  EXPECT_EQ(Port(), kStoredNotOpened);
  EXPECT_GT(t->sbTop.refreshes, 0);
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(Port(), kActive);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(t->MSComm1.Settings(), "19200,N,8,1");
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(Port(), kClosed);
}
// The device goes: the port shows closed, what came before stays, keys go
// nowhere, and opening again says the device is missing.
TEST_F(TerminalTest, ADeviceThatGoesShowsThePortClosed) {
  t->MSComm1.Port(1, State::Free);
  Load("1", "19200,N,8,1");
  t->frm.cmdOpenPort_Click();
  Receive("before\n");
  t->MSComm1.Vanish();
  t->frm.MSComm1_Closed();
  EXPECT_EQ(Port(), kClosed);
  EXPECT_EQ(Shown(), "before\r\n");
  for (std::int16_t key : {std::int16_t{'a'}, std::int16_t{13}})
    t->frm.rtfData_KeyPress(key);
  EXPECT_EQ(t->MSComm1.sent, "");
  t->frm.cmdOpenPort_Click();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].detail, "/dev/fake1: no such device");
}
// Exit ends at once, the port left open; Terminate releases the settings.
TEST_F(TerminalTest, ExitLeavesThePortOpenAndTerminateReleasesTheSettings) {
  t->MSComm1.Port(1, State::Free);
  Load("1", "19200,N,8,1");
  t->frm.cmdOpenPort_Click();
  t->frm.mnuFileEnd_Click();
  EXPECT_EQ(Port(), kActive);
  EXPECT_EQ(t->host.ends, 1);
  EXPECT_NE(t->frm.SerialConfig(), nullptr);
  t->frm.Form_Terminate();
  EXPECT_EQ(t->frm.SerialConfig(), nullptr);
  EXPECT_TRUE(t->frm.PortStatusUpdate(true, true));
  EXPECT_EQ(Port(), (PortView{"Serial Port Active", " ", true, "Close Port", true}));
}
// New settings are saved at once but shown when the port next opens.
TEST_F(TerminalTest, ConfigurationIsSavedButPanelTwoWaitsForThePort) {
  t->MSComm1.Port(1, State::Free);
  t->MSComm1.Port(3, State::Free);
  Load("1", "19200,N,8,1");
  t->host.configWhileShown = [](FakeConfigSerialWindow &w) {
    EXPECT_EQ(w.lists[ListPort].Text(), "COM1");
    EXPECT_TRUE(w.lists[ListPort].Choose("COM3"));
    EXPECT_TRUE(w.lists[ListBaud].Choose("115200"));
    EXPECT_TRUE(w.lists[ListParity].Choose("Even"));
    w.form.cmdOK_Click(0);
  };
  t->frm.mnuOptionSerialPort_Click();
  EXPECT_EQ(ReadFile(dir.File("Serial.ini")), Ini("3", "115200,E,8,1"));
  EXPECT_EQ(Port(), kStoredNotOpened);
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(t->MSComm1.opened, std::vector<int>{3});
  EXPECT_EQ(Port(),
            (PortView{"Serial Port Active", "Com3 - 115200,E,8,1", true, "Close Port", true}));
}
TEST_F(TerminalTest, AboutOpensModelessAndClosesItselfAfterFiveSeconds) {
  Load();
  t->frm.mnuHelpAbout_Click();
  t->host.about->tmrClose.Advance(4999);
  EXPECT_EQ(t->host.about->shown, 1);
  EXPECT_EQ(t->host.about->window.unloads, 0);
  t->host.about->tmrClose.Advance(1);
  EXPECT_EQ(t->host.about->window.unloads, 1);
}
// Of every event code only the status changes and line errors show a line,
// and only while pin status is not ignored.
TEST_F(TerminalTest, CommEventsShowTheirStatusLineOrNothing) {
  Load();
  const std::string shown = "rxCTS Changed State\r\nDSR Changed State\r\nCD Changed State\r\n"
                            "Ring Changed State\r\nError-Framing\r\nError-Overrun\r\n"
                            "Error-Rx Overflow\r\nError-Parity\r\n";
  Receive("rx");
  for (bool ignored : {true, false}) {
    SCOPED_TRACE(ignored ? "pin status ignored" : "pin status shown");
    EXPECT_EQ(t->mnuOptionIgnorePinStatus.Checked(), ignored);
    for (int kind = 0; kind <= 1012; ++kind)
      t->MSComm1.Raise(kind);
    EXPECT_EQ(Shown(), ignored ? "rx" : shown);
    t->frm.mnuOptionIgnorePinStatus_Click();
  }
}
// Typing sends one character, only while open and only for codes of one
// byte; RTS and DTR follow their items, every open starting with RTS low
// whatever its item shows.
TEST_F(TerminalTest, TypingAndTheOutputLines) {
  t->MSComm1.Port(1, State::Free);
  Load("1", "19200,N,8,1");
  const std::function<void()> type = [this] {
    for (int code : {int{'a'}, 13, 0, -1, 0xE9, 0xFF, 256, 300}) {
      std::int16_t key = static_cast<std::int16_t>(code);
      t->frm.rtfData_KeyPress(key);
    }
  };
  const std::function<void()> rts = [this] { t->frm.mnuRTSLevel_Click(); };
  const std::function<void()> dtr = [this] { t->frm.mnuDTRLevel_Click(); };
  const std::function<void()> open = [this] { t->frm.cmdOpenPort_Click(); };
  const struct {
    const char *name;
    std::function<void()> action;
    bool rtsItem, rtsLine, dtrItem, dtrLine;
  } steps[] = {
      {"typing into a closed port", type, false, false, false, false},
      {"RTS on", rts, true, true, false, false},
      {"RTS off", rts, false, false, false, false},
      {"RTS on again", rts, true, true, false, false},
      {"open, RTS low", open, true, false, false, false},
      {"typing into the open port", type, true, false, false, false},
      {"RTS off", rts, false, false, false, false},
      {"RTS on", rts, true, true, false, false},
      {"DTR on", dtr, true, true, true, true},
      {"DTR off", dtr, true, true, false, false},
  };
  for (const auto &step : steps) {
    SCOPED_TRACE(step.name);
    step.action();
    EXPECT_EQ(t->mnuRTSLevel.Checked(), step.rtsItem);
    EXPECT_EQ(t->MSComm1.RTSEnable(), step.rtsLine);
    EXPECT_EQ(t->mnuDTRLevel.Checked(), step.dtrItem);
    EXPECT_EQ(t->MSComm1.DTREnable(), step.dtrLine);
  }
  EXPECT_EQ(t->MSComm1.sent, "a\r\xE9\xFF");
  EXPECT_TRUE(Boxes().empty());
}
} // namespace kestrel::test
