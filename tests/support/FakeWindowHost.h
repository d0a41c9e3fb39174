// Window loading: the configuration dialog "modal" while the test's hook runs; the About box.
#pragma once
#include "FakeControls.h"
#include "WindowHost.h"
#include "frmAbout.h"
#include "frmConfigSerial.h"
namespace kestrel::test {
struct FakeConfigSerialWindow : IConfigSerialWindow {
  frmConfigSerial &Form() override { return form; }
  void ShowModal() override { whileShown(*this); }
  std::array<FakeComboBox, 5> lists;
  FakeLabel lblDevice;
  FakeMessageBox messageBox;
  FakeForm window;
  frmConfigSerial form{frmConfigSerialControls{
      {&lists[0], &lists[1], &lists[2], &lists[3], &lists[4]}, lblDevice, messageBox, window, {}}};
  std::function<void(FakeConfigSerialWindow &)> whileShown;
};
struct FakeAboutWindow : IAboutWindow {
  FakeAboutWindow(IClock &clock, IAppInfo &appInfo)
      : form({tmrClose, lblVersion, clock, appInfo, shell, window}) {
    tmrClose.OnTimer([this] { form.tmrClose_Timer(); });
    form.Form_Load();
  }
  frmAbout &Form() override { return form; }
  void ShowModeless() override { ++shown; }
  FakeTimer tmrClose;
  FakeLabel lblVersion;
  FakeShell shell;
  FakeForm window;
  frmAbout form;
  int shown = 0;
};
struct FakeWindowHost : IWindowHost {
  FakeWindowHost(IClock &clock, IAppInfo &appInfo) : clock(clock), appInfo(appInfo) {}
  std::unique_ptr<IConfigSerialWindow> LoadConfigSerial() override {
    auto window = std::make_unique<FakeConfigSerialWindow>();
    window->whileShown = [this](auto &w) {
      ++configShown;
      configWhileShown(w);
    };
    return window;
  }
  IAboutWindow &LoadAbout() override {
    if (!about || about->window.unloads > 0)
      about = std::make_unique<FakeAboutWindow>(clock, appInfo);
    return *about;
  }
  void End() override { ++ends; }
  IClock &clock;
  IAppInfo &appInfo;
  std::function<void(FakeConfigSerialWindow &)> configWhileShown = [](auto &) {}; // while shown
  std::unique_ptr<FakeAboutWindow> about;
  int configShown = 0, ends = 0;
};
} // namespace kestrel::test
