// Start-up and its settings, the port button and status panels, Exit and
// Terminate, the dialogs, the control's events, typing and the output lines.
#include "SystemRoutines.h"
#include "TerminalFixture.h"
#include "clsSerialPortConfigINI.h"
#include <filesystem>
namespace kestrel::test {
using State = FakeCommControl::PortState;
const std::string kStartLine = "kestrel-terminal Started 12/05/2026 03:46:54\r\n",
                  kActive = "Serial Port Active|Com1 - 19200,N,8,1|1|Close Port|1";
// The program starts, the port does not open, the user is told, and the file
// (or a folder in its place) is left exactly as it was.
TEST_F(TerminalTest, UnusableSettingsFileIsReportedAndLeftAlone) {
  const std::string path = dir.File("Serial.ini");
  t->MSComm1.Port(1, State::Free);
  t->MSComm1.Port(3, State::Free);
  for (const std::string &content :
       {std::string("[SerialPort\r\nPort=COM\x01\r\n\xff\xfe=\r\n"), std::string(10u << 20, '\x01'),
        std::string("\177ELF\2\1\1\0\0\0[SerialPort]\0Port=1", 27),
        Ini("1") + std::string(17u << 20, ' '), Ini("99999"), Ini("-1"), Ini("COM3"),
        Ini("1", "9600,X,8,1"), std::string()}) {
    if (content.empty())
      std::filesystem::remove(path), std::filesystem::create_directory(path);
    else
      WriteFile(path, content);
    t->messageBox.shown.clear(), Load();
    t->frm.cmdOpenPort_Click();
    EXPECT_EQ(Display() + Panels().back() + t->messageBox.shown.at(0).text,
              kStartLine + "0Please Update Serial Port Information")
        << content.substr(0, 40);
    EXPECT_EQ(t->messageBox.shown.size(), 1u);
    EXPECT_TRUE(content.empty() ? std::filesystem::is_directory(path) : ReadFile(path) == content);
  }
}
// The first start shows the start line only. A failed open says why and leaves
// the button; with nothing stored nothing was tried (not the start-up's words).
TEST_F(TerminalTest, FirstStartAndAPortThatWillNotOpen) {
  const std::string box = "Please Update Serial Port Information|kestrel-terminal - Unable to "
                          "Initialize Serial Port|0|",
                    panel = "Update Serial Port Configuration under Options|";
  Load();
  EXPECT_EQ(Display() + Panels() + Boxes(), kStartLine + "| |1|OpenPort|0");
  EXPECT_TRUE(t->frm.LineStart() && t->frm.LineCount() == 0 && t->MSComm1.RThreshold() == 1 &&
              FileExists(dir.File("Serial.ini")));
  EXPECT_EQ(t->frm.SerialConfig()->ComControl(), &t->MSComm1);
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(Boxes() + Panels(),
            box + "No port was opened: no serial port is stored yet.\n" + panel + " |1|OpenPort|0");
  for (auto [state, detail] : {std::pair{State::Busy, "Device or resource busy"},
                               {State::Denied, "Permission denied"},
                               {State::Absent, "/dev/fake1: no such device"}}) {
    t->messageBox.shown.clear(), t->MSComm1.Port(1, state);
    Load("1", "19200,N,8,1");
    t->frm.cmdOpenPort_Click();
    EXPECT_EQ(Boxes() + Panels(), box + detail + "\n" + panel + "Com1 - 19200,N,8,1|0|OpenPort|0");
  }
}
// Stored settings show greyed until the port opens. Exit ends at once, the
// port left open; Terminate releases the settings.
TEST_F(TerminalTest, OpenCloseVanishExitAndTerminateShowInThePanels) {
  t->MSComm1.Port(1, State::Free), Load("1", "19200,N,8,1");
  EXPECT_EQ(Panels() + std::to_string(t->sbTop.refreshes > 0), "|Com1 - 19200,N,8,1|0|OpenPort|01");
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(Panels() + Boxes() + t->MSComm1.Settings(), kActive + "19200,N,8,1");
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(Panels(), "Serial Port Closed|Com1 - 19200,N,8,1|0|Open Port|0");
  t->frm.cmdOpenPort_Click();
  Receive("before\n");
  t->MSComm1.Vanish(), t->frm.MSComm1_Closed();
  EXPECT_EQ(Panels() + Shown(), "Serial Port Closed|Com1 - 19200,N,8,1|0|Open Port|0before\r\n");
  for (std::int16_t key : {std::int16_t{'a'}, std::int16_t{13}})
    t->frm.rtfData_KeyPress(key); // into a port that is gone: nothing sent, nothing said
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(t->MSComm1.sent + t->messageBox.shown.at(0).detail, "/dev/fake1: no such device");
  t->MSComm1.Port(1, State::Free), t->frm.cmdOpenPort_Click(), t->frm.mnuFileEnd_Click();
  EXPECT_EQ(Panels() + std::to_string(t->host.ends), kActive + "1");
  EXPECT_NE(t->frm.SerialConfig(), nullptr);
  t->frm.Form_Terminate();
  EXPECT_TRUE(t->frm.SerialConfig() == nullptr && t->frm.PortStatusUpdate(true, true));
  EXPECT_EQ(Panels(), "Serial Port Active| |1|Close Port|1");
}
// New settings are saved at once but shown when the port next opens.
TEST_F(TerminalTest, ConfigurationIsSavedButPanelTwoWaitsForThePort) {
  t->MSComm1.Port(1, State::Free), t->MSComm1.Port(3, State::Free), Load("1", "19200,N,8,1");
  t->host.configWhileShown = [](FakeConfigSerialWindow &w) {
    EXPECT_TRUE(w.lists[ListPort].Text() == "COM1" && w.lists[ListPort].Choose("COM3") &&
                w.lists[ListBaud].Choose("115200") && w.lists[ListParity].Choose("Even"));
    w.form.cmdOK_Click(0);
  };
  t->frm.mnuOptionSerialPort_Click();
  EXPECT_EQ(ReadFile(dir.File("Serial.ini")) + Panels(),
            Ini("3", "115200,E,8,1") + "|Com1 - 19200,N,8,1|0|OpenPort|0");
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(t->MSComm1.opened, std::vector<int>{3});
  EXPECT_EQ(Panels(), "Serial Port Active|Com3 - 115200,E,8,1|1|Close Port|1");
}
TEST_F(TerminalTest, AboutOpensModelessAndClosesItselfAfterFiveSeconds) {
  Load(), t->frm.mnuHelpAbout_Click(), t->host.about->tmrClose.Advance(4999);
  EXPECT_EQ(t->host.about->shown * 10 + t->host.about->window.unloads, 10);
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
    EXPECT_EQ(t->mnuOptionIgnorePinStatus.Checked(), ignored);
    for (int kind = 0; kind <= 1012; ++kind)
      t->MSComm1.Raise(kind);
    EXPECT_EQ(Shown(), ignored ? "rx" : shown);
    t->frm.mnuOptionIgnorePinStatus_Click();
  }
}
// Typing (k) sends one character, only while open; RTS (R) and DTR (D) follow
// their items, every open (O) starting with RTS low whatever its item shows.
// Each step shows RTS's tick and line, then DTR's.
TEST_F(TerminalTest, TypingAndTheOutputLines) {
  t->MSComm1.Port(1, State::Free);
  Load("1", "19200,N,8,1");
  std::string seen;
  std::int16_t key = 0;
  for (char step : std::string("kRRROkRRDD")) {
    if (step == 'k')
      for (int code : {int{'a'}, 13, 0, -1, 0xE9, 0xFF, 256, 300})
        t->frm.rtfData_KeyPress(key = static_cast<std::int16_t>(code));
    else
      (t->frm.*(step == 'R'   ? &frmTop::mnuRTSLevel_Click
                : step == 'D' ? &frmTop::mnuDTRLevel_Click
                              : &frmTop::cmdOpenPort_Click))();
    for (bool on : {t->mnuRTSLevel.Checked(), t->MSComm1.RTSEnable(), t->mnuDTRLevel.Checked(),
                    t->MSComm1.DTREnable()})
      seen += on ? '1' : '0';
    seen += ' ';
  }
  EXPECT_EQ(seen, "0000 1100 0000 1100 1000 1000 0000 1100 1111 1100 ");
  EXPECT_EQ(t->MSComm1.sent + Boxes(), "a\r\xE9\xFF");
}
} // namespace kestrel::test
