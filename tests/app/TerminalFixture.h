// The terminal window on fake controls, with its settings file in a fresh
// temporary folder, for the window's tests.
#pragma once

#include "FakeCommControl.h"
#include "FakeControls.h"
#include "FakeWindowHost.h"
#include "TempDir.h"
#include "TextDisplay.h"
#include "frmTop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

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

  FakeCheckBox chkLogEnabled{"Log To: "};
  FakeButton cmdClearDisplay{"Clear Display"};
  TextDisplay rtfData;
  FakeCheckBox chkAutoClear{"Automatically Clear Display"};
  FakeTextBox txtSize{"0"};
  FakeButton cmdOpenPort{"OpenPort"};
  FakeStatusBar sbTop;
  FakeFileChooser cdlgTop;
  Comm MSComm1;
  FakeMenuItem mnuOptionAddTime{false};
  FakeMenuItem mnuOptionIgnorePinStatus{true};
  FakeMenuItem mnuRTSLevel{false};
  FakeMenuItem mnuDTRLevel{false};
  FakeMessageBox messageBox;
  FakeClock clock;
  FakeAppInfo appInfo;
  FakeWindowHost host{clock, appInfo};
  frmTop frm;
};

using Terminal = TerminalOn<FakeCommControl>;

class TerminalTest : public testing::Test {
protected:
  TerminalTest();
  ~TerminalTest() override;

  // Form_Load, with Serial.ini written first when port is not empty.
  void Load(const std::string &port = {}, const std::string &settings = {});
  // Ticks or clears the log box as the user does, choosing path first when
  // the chooser will be asked.
  void ClickLog(bool ticked);
  void Receive(const std::string &bytes) { t->MSComm1.Receive(bytes); }
  std::string Display() const { return std::string(t->rtfData.Text()); }
  // The display without the start line.
  std::string Shown() const;

  TempDir dir;
  std::unique_ptr<Terminal> t;
  std::string startLine;
};

} // namespace kestrel::test
