// The port button, the status panels, the control's events, typing and the
// output lines.
#include "TerminalFixture.h"

namespace kestrel::test {
namespace {

class PortTest : public TerminalTest {
protected:
  void LoadWithPort(FakeCommControl::PortState state) {
    t->MSComm1.Port(1, state);
    Load("1", "19200,N,8,1");
  }
};

TEST_F(PortTest, NothingStoredOpenFailsWithAMessageAndKeepsTheCaption) {
  Load();
  t->frm.cmdOpenPort_Click();
  ASSERT_EQ(t->messageBox.shown.size(), 1u);
  const auto &box = t->messageBox.shown[0];
  EXPECT_EQ(box.text, "Please Update Serial Port Information");
  EXPECT_EQ(box.title, "kestrel-terminal - Unable to Initialize Serial Port");
  EXPECT_EQ(box.icon, MessageIcon::Exclamation);
  // Not the words of the start-up scan's last try: nothing was attempted.
  EXPECT_EQ(box.detail, "No port was opened: no serial port is stored yet.");
  EXPECT_EQ(t->sbTop.PanelText(1), "Update Serial Port Configuration under Options");
  EXPECT_EQ(t->sbTop.PanelText(2), " ");
  EXPECT_EQ(t->cmdOpenPort.Caption(), "OpenPort");
  EXPECT_FALSE(t->MSComm1.PortOpen());
}

struct FailCase {
  const char *name;
  FakeCommControl::PortState state;
  const char *detail;
};

void PrintTo(const FailCase &c, std::ostream *os) {
  *os << c.name;
}

class PortWontOpen : public PortTest, public testing::WithParamInterface<FailCase> {};

TEST_P(PortWontOpen, SaysWhyInTheDetail) {
  LoadWithPort(GetParam().state);
  t->frm.cmdOpenPort_Click();
  ASSERT_EQ(t->messageBox.shown.size(), 1u);
  EXPECT_EQ(t->messageBox.shown[0].text, "Please Update Serial Port Information");
  EXPECT_EQ(t->messageBox.shown[0].detail, GetParam().detail);
  EXPECT_EQ(t->sbTop.PanelText(1), "Update Serial Port Configuration under Options");
  EXPECT_EQ(t->sbTop.PanelText(2), "Com1 - 19200,N,8,1");
  EXPECT_FALSE(t->sbTop.PanelEnabled(2));
  EXPECT_EQ(t->cmdOpenPort.Caption(), "OpenPort");
}

INSTANTIATE_TEST_SUITE_P(
    Port, PortWontOpen,
    testing::Values(FailCase{"Busy", FakeCommControl::PortState::Busy, "Device or resource busy"},
                    FailCase{"Denied", FakeCommControl::PortState::Denied, "Permission denied"},
                    FailCase{"Absent", FakeCommControl::PortState::Absent,
                             "/dev/fake1: no such device"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PortTest, OpenAndCloseUpdateThePanelsAndTheCaption) {
  LoadWithPort(FakeCommControl::PortState::Free);
  t->frm.cmdOpenPort_Click();
  EXPECT_TRUE(t->MSComm1.PortOpen());
  EXPECT_TRUE(t->messageBox.shown.empty());
  EXPECT_EQ(t->sbTop.PanelText(1), "Serial Port Active");
  EXPECT_EQ(t->sbTop.PanelText(2), "Com1 - 19200,N,8,1");
  EXPECT_TRUE(t->sbTop.PanelEnabled(2));
  EXPECT_EQ(t->cmdOpenPort.Caption(), "Close Port");
  EXPECT_EQ(t->MSComm1.Settings(), "19200,N,8,1");

  t->frm.cmdOpenPort_Click();
  EXPECT_FALSE(t->MSComm1.PortOpen());
  EXPECT_EQ(t->sbTop.PanelText(1), "Serial Port Closed");
  EXPECT_FALSE(t->sbTop.PanelEnabled(2));
  EXPECT_EQ(t->cmdOpenPort.Caption(), "Open Port");
}

TEST_F(PortTest, PortStatusUpdateReportsWhetherThePortReachedTheState) {
  LoadWithPort(FakeCommControl::PortState::Busy);
  EXPECT_TRUE(t->frm.PortStatusUpdate());
  EXPECT_FALSE(t->frm.PortStatusUpdate(true, true));
  EXPECT_TRUE(t->frm.PortStatusUpdate(true, false));
  t->MSComm1.Port(1, FakeCommControl::PortState::Free);
  EXPECT_TRUE(t->frm.PortStatusUpdate(true, true));
  EXPECT_TRUE(t->sbTop.PanelEnabled(2));
}

TEST_F(PortTest, VanishedDeviceShowsTheClosedPortAndCanBeOpenedAgain) {
  LoadWithPort(FakeCommControl::PortState::Free);
  t->frm.cmdOpenPort_Click();
  Receive("before\n");
  t->MSComm1.Vanish();
  t->frm.MSComm1_Closed();
  EXPECT_EQ(t->sbTop.PanelText(1), "Serial Port Closed");
  EXPECT_EQ(t->cmdOpenPort.Caption(), "Open Port");
  EXPECT_EQ(t->sbTop.PanelText(2), "Com1 - 19200,N,8,1");
  EXPECT_FALSE(t->sbTop.PanelEnabled(2));
  EXPECT_EQ(Shown(), "before\r\n");
  // Typing into a port that is gone sends nothing and says nothing.
  for (std::int16_t key : {std::int16_t{'a'}, std::int16_t{13}})
    t->frm.rtfData_KeyPress(key);
  EXPECT_EQ(t->MSComm1.sent, "");
  EXPECT_TRUE(t->messageBox.shown.empty());

  t->frm.cmdOpenPort_Click();
  ASSERT_EQ(t->messageBox.shown.size(), 1u);
  EXPECT_EQ(t->messageBox.shown[0].detail, "/dev/fake1: no such device");
  t->MSComm1.Port(1, FakeCommControl::PortState::Free);
  t->frm.cmdOpenPort_Click();
  EXPECT_EQ(t->cmdOpenPort.Caption(), "Close Port");
}

struct EventCase {
  const char *name;
  int kind;
  std::string line;
};

void PrintTo(const EventCase &c, std::ostream *os) {
  *os << c.name;
}

class CommEvents : public TerminalTest, public testing::WithParamInterface<EventCase> {};

TEST_P(CommEvents, ShowTheirStatusLineOrNothing) {
  Load();
  t->cdlgTop.WillChoose(dir.File("log.txt"));
  ClickLog(true);
  std::string logStart = ReadFile(dir.File("log.txt"));
  Receive("rx");
  t->MSComm1.Raise(GetParam().kind);
  EXPECT_EQ(Shown(), "rx");
  t->frm.mnuOptionIgnorePinStatus_Click();
  EXPECT_FALSE(t->mnuOptionIgnorePinStatus.Checked());
  t->MSComm1.Raise(GetParam().kind);
  const std::string &line = GetParam().line;
  EXPECT_EQ(Shown(), line.empty() ? "rx" : "rx" + line + "\r\n");
  EXPECT_EQ(ReadFile(dir.File("log.txt")),
            line.empty() ? logStart : logStart + "2026/12/05 03:46:54\trx" + line + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Events, CommEvents,
    testing::Values(
        EventCase{"Send", comEvSend, ""}, EventCase{"CTS", comEvCTS, "CTS Changed State"},
        EventCase{"DSR", comEvDSR, "DSR Changed State"},
        EventCase{"CD", comEvCD, "CD Changed State"},
        EventCase{"Ring", comEvRing, "Ring Changed State"}, EventCase{"EOF", comEvEOF, ""},
        EventCase{"Break", comEventBreak, ""}, EventCase{"CTSTO", comEventCTSTO, ""},
        EventCase{"DSRTO", comEventDSRTO, ""}, EventCase{"Frame", comEventFrame, "Error-Framing"},
        EventCase{"Overrun", comEventOverrun, "Error-Overrun"}, EventCase{"CDTO", comEventCDTO, ""},
        EventCase{"RxOver", comEventRxOver, "Error-Rx Overflow"},
        EventCase{"RxParity", comEventRxParity, "Error-Parity"},
        EventCase{"TxFull", comEventTxFull, ""}, EventCase{"DCB", comEventDCB, ""},
        EventCase{"Unknown", 999, ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PortTest, TypingSendsOneCharacterOnlyWhileOpen) {
  LoadWithPort(FakeCommControl::PortState::Free);
  std::int16_t key = 'a';
  t->frm.rtfData_KeyPress(key);
  EXPECT_EQ(t->MSComm1.sent, "");
  t->frm.cmdOpenPort_Click();
  for (int code : {int{'a'}, 13, 0, -1, 0xE9, 0xFF, 256, 300}) {
    key = static_cast<std::int16_t>(code);
    t->frm.rtfData_KeyPress(key);
    EXPECT_EQ(key, code);
  }
  EXPECT_EQ(t->MSComm1.sent, "a\r\xE9\xFF");
  EXPECT_TRUE(t->messageBox.shown.empty());
}

TEST_F(PortTest, RtsAndDtrFollowTheirMenuItems) {
  LoadWithPort(FakeCommControl::PortState::Free);
  t->frm.mnuRTSLevel_Click();
  EXPECT_TRUE(t->mnuRTSLevel.Checked());
  EXPECT_TRUE(t->MSComm1.RTSEnable());
  t->frm.mnuRTSLevel_Click();
  EXPECT_FALSE(t->mnuRTSLevel.Checked());
  EXPECT_FALSE(t->MSComm1.RTSEnable());

  // Every open starts with RTS low whatever the item shows.
  t->frm.mnuRTSLevel_Click();
  t->frm.cmdOpenPort_Click();
  EXPECT_TRUE(t->mnuRTSLevel.Checked());
  EXPECT_FALSE(t->MSComm1.RTSEnable());
  t->frm.mnuRTSLevel_Click();
  EXPECT_FALSE(t->MSComm1.RTSEnable());
  t->frm.mnuRTSLevel_Click();
  EXPECT_TRUE(t->MSComm1.RTSEnable());

  t->frm.mnuDTRLevel_Click();
  EXPECT_TRUE(t->mnuDTRLevel.Checked());
  EXPECT_TRUE(t->MSComm1.DTREnable());
  t->frm.mnuDTRLevel_Click();
  EXPECT_FALSE(t->MSComm1.DTREnable());
}

} // namespace
} // namespace kestrel::test
