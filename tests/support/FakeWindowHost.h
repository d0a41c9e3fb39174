// The platform's window loading, for tests of the terminal window: the
// configuration dialog on fake lists, shown "modally" by a hook the test
// sets, and the About box on a fake timer.
#pragma once

#include "FakeControls.h"
#include "WindowHost.h"
#include "frmAbout.h"
#include "frmConfigSerial.h"

#include <functional>
#include <memory>

namespace kestrel::test {

class FakeConfigSerialWindow : public IConfigSerialWindow {
public:
  FakeConfigSerialWindow();
  frmConfigSerial &Form() override { return form; }
  // Runs the test's hook as the user's time with the dialog open.
  void ShowModal() override;

  std::array<FakeComboBox, 5> lists;
  FakeLabel lblDevice;
  FakeMessageBox messageBox;
  FakeForm window;
  frmConfigSerial form;
  std::function<void(FakeConfigSerialWindow &)> whileShown;
};

class FakeAboutWindow : public IAboutWindow {
public:
  FakeAboutWindow(IClock &clock, IAppInfo &appInfo);
  frmAbout &Form() override { return form; }
  void ShowModeless() override { ++shown; }

  FakeTimer tmrClose;
  FakeLabel lblVersion;
  FakeShell shell;
  FakeForm window;
  frmAbout form;
  int shown = 0;
};

class FakeWindowHost : public IWindowHost {
public:
  FakeWindowHost(IClock &clock, IAppInfo &appInfo) : clock_(clock), appInfo_(appInfo) {}
  std::unique_ptr<IConfigSerialWindow> LoadConfigSerial() override;
  IAboutWindow &LoadAbout() override;
  void End() override { ++ends; }

  // Called with each configuration dialog while it is shown.
  std::function<void(FakeConfigSerialWindow &)> configWhileShown;
  std::unique_ptr<FakeAboutWindow> about;
  int configShown = 0;
  int ends = 0;

private:
  IClock &clock_;
  IAppInfo &appInfo_;
};

} // namespace kestrel::test
