#include "FakeWindowHost.h"

namespace kestrel::test {

FakeConfigSerialWindow::FakeConfigSerialWindow()
    : form({{&lists[0], &lists[1], &lists[2], &lists[3], &lists[4]},
            lblDevice,
            messageBox,
            window,
            {}}) {}

void FakeConfigSerialWindow::ShowModal() {
  if (whileShown)
    whileShown(*this);
}

FakeAboutWindow::FakeAboutWindow(IClock &clock, IAppInfo &appInfo)
    : form({tmrClose, lblVersion, clock, appInfo, shell, window}) {
  tmrClose.OnTimer([this] { form.tmrClose_Timer(); });
  form.Form_Load();
}

std::unique_ptr<IConfigSerialWindow> FakeWindowHost::LoadConfigSerial() {
  auto window = std::make_unique<FakeConfigSerialWindow>();
  window->whileShown = [this](FakeConfigSerialWindow &w) {
    ++configShown;
    if (configWhileShown)
      configWhileShown(w);
  };
  return window;
}

IAboutWindow &FakeWindowHost::LoadAbout() {
  if (!about || about->window.unloads > 0)
    about = std::make_unique<FakeAboutWindow>(clock_, appInfo_);
  return *about;
}

} // namespace kestrel::test
