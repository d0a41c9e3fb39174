// The configuration dialog and the About box as the terminal window opens
// them.
#include "TerminalFixture.h"

#include "clsSerialPortConfigINI.h"

namespace kestrel::test {
namespace {

TEST_F(TerminalTest, ConfigurationIsSavedButPanelTwoWaitsForThePort) {
  t->MSComm1.Port(1, FakeCommControl::PortState::Free);
  t->MSComm1.Port(3, FakeCommControl::PortState::Free);
  Load("1", "19200,N,8,1");
  t->host.configWhileShown = [](FakeConfigSerialWindow &w) {
    EXPECT_EQ(w.lists[ListPort].items, (std::vector<std::string>{"COM1", "COM3"}));
    EXPECT_EQ(w.lists[ListPort].Text(), "COM1");
    ASSERT_TRUE(w.lists[ListPort].Choose("COM3"));
    ASSERT_TRUE(w.lists[ListBaud].Choose("115200"));
    ASSERT_TRUE(w.lists[ListParity].Choose("Even"));
    w.form.cmdOK_Click(0);
    EXPECT_EQ(w.window.unloads, 1);
  };
  t->frm.mnuOptionSerialPort_Click();
  EXPECT_EQ(t->host.configShown, 1);
  std::string port, settings;
  ASSERT_TRUE(t->frm.SerialConfig()->SettingsRetrieve(port, settings));
  EXPECT_EQ(port, "3");
  EXPECT_EQ(settings, "115200,E,8,1");
  EXPECT_EQ(t->sbTop.PanelText(2), "Com1 - 19200,N,8,1");

  t->frm.cmdOpenPort_Click();
  ASSERT_FALSE(t->MSComm1.opened.empty());
  EXPECT_EQ(t->MSComm1.opened.back(), 3);
  EXPECT_EQ(t->MSComm1.Settings(), "115200,E,8,1");
  EXPECT_EQ(t->sbTop.PanelText(2), "Com3 - 115200,E,8,1");
}

TEST_F(TerminalTest, AboutOpensModelessAndClosesItselfAfterFiveSeconds) {
  Load();
  t->frm.mnuHelpAbout_Click();
  ASSERT_TRUE(t->host.about);
  FakeAboutWindow &about = *t->host.about;
  EXPECT_EQ(about.shown, 1);
  EXPECT_EQ(about.tmrClose.Interval(), 5000);
  about.tmrClose.Advance(4999);
  EXPECT_EQ(about.window.unloads, 0);
  about.tmrClose.Advance(1);
  EXPECT_EQ(about.window.unloads, 1);
  EXPECT_EQ(about.tmrClose.Interval(), 0);

  // Unloaded, the box loads afresh at the next Help > About.
  t->frm.mnuHelpAbout_Click();
  EXPECT_NE(t->host.about.get(), &about);
  EXPECT_EQ(t->host.about->shown, 1);
}

} // namespace
} // namespace kestrel::test
