// The terminal window on fake controls, its settings file in a fresh folder.
#pragma once
#include "FakeCommControl.h"
#include "FakeControls.h"
#include "FakeWindowHost.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "TextDisplay.h"
#include "frmTop.h"
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <vector>
namespace kestrel::test {
// The window's controls around the given communications control, which is
// built from the constructor's arguments (a fake, or the real serial layer).
template <class Comm> struct TerminalOn {
  template <class... CommArgs>
  explicit TerminalOn(CommArgs &&...commArgs)
      : MSComm1(std::forward<CommArgs>(commArgs)...),
        frm(frmTopControls{chkLogEnabled, cmdClearDisplay, rtfData, chkAutoClear, txtSize,
                           cmdOpenPort, sbTop, cdlgTop, MSComm1, mnuOptionAddTime,
                           mnuOptionIgnorePinStatus, mnuRTSLevel, mnuDTRLevel, messageBox, clock,
                           appInfo, host}) {
    MSComm1.OnComm([this] { frm.MSComm1_OnComm(); });
  }
  FakeCheckBox chkLogEnabled{"Log To: "}, chkAutoClear{"Automatically Clear Display"};
  FakeButton cmdClearDisplay{"Clear Display"}, cmdOpenPort{"OpenPort"};
  TextDisplay rtfData;
  FakeTextBox txtSize{"0"};
  FakeStatusBar sbTop;
  FakeFileChooser cdlgTop;
  Comm MSComm1;
  FakeMenuItem mnuOptionAddTime{false}, mnuOptionIgnorePinStatus{true};
  FakeMenuItem mnuRTSLevel{false}, mnuDTRLevel{false};
  FakeMessageBox messageBox;
  FakeClock clock;
  FakeAppInfo appInfo;
  FakeWindowHost host{clock, appInfo};
  frmTop frm;
};
using Terminal = TerminalOn<FakeCommControl>;
inline std::string Ini(const std::string &port, const std::string &settings = "9600,N,8,1") {
  return "[SerialPort]\r\nPort=" + port + "\r\nSettings=" + settings + "\r\n";
}
// What the status bar, the port button and the port show.
struct PortView {
  std::string panel1;
  std::string panel2;
  bool panel2Enabled = false;
  std::string button;
  bool portOpen = false;
  bool operator==(const PortView &) const = default;
};
inline std::ostream &operator<<(std::ostream &out, const PortView &v) {
  return out << "{panel 1 \"" << v.panel1 << "\", panel 2 \"" << v.panel2 << "\""
             << (v.panel2Enabled ? "" : " greyed") << ", button \"" << v.button << "\", port "
             << (v.portOpen ? "open" : "closed") << "}";
}
using Box = FakeMessageBox::Shown;
class TerminalTest : public testing::Test {
protected:
  TerminalTest() {
    ApplicationFolder(dir.Path());
    t = std::make_unique<Terminal>();
    t->appInfo.folder = dir.Path();
  }
  ~TerminalTest() override {
    t.reset();
    ApplicationFolder("");
  }
  // Form_Load, with Serial.ini written first when port is not empty.
  void Load(const std::string &port = {}, const std::string &settings = {}) {
    if (!port.empty())
      WriteFile(dir.File("Serial.ini"), Ini(port, settings));
    t->frm.Form_Load();
    startLine = Display();
  }
  // Ticks or clears the log box as the user does; the chooser is asked when no file is set.
  void ClickLog(bool ticked) {
    t->chkLogEnabled.Value(ticked);
    t->frm.chkLogEnabled_Click();
  }
  // Chooses that file in dir and ticks the box.
  std::string LogTo(const std::string &name) {
    t->cdlgTop.WillChoose(dir.File(name));
    ClickLog(true);
    return dir.File(name);
  }
  void Receive(const std::string &bytes) { t->MSComm1.Receive(bytes); }
  std::string Display() const { return std::string(t->rtfData.Text()); }
  std::string Shown() const { // the display without the start line
    return Display().rfind(startLine, 0) == 0 ? Display().substr(startLine.size()) : Display();
  }
  PortView Port() const {
    return {t->sbTop.PanelText(1), t->sbTop.PanelText(2), t->sbTop.PanelEnabled(2),
            t->cmdOpenPort.Caption(), t->MSComm1.PortOpen()};
  }
  const std::vector<Box> &Boxes() const { return t->messageBox.shown; }
  TempDir dir;
  std::unique_ptr<Terminal> t;
  std::string startLine;
};
} // namespace kestrel::test
