// Loading the terminal's dialogs with Qt, and ending the program.
#pragma once

#include "CommControl.h"
#include "QtControls.h"
#include "QtRuntime.h"
#include "WindowHost.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::qt {

class QtAboutWindow;

class QtWindowHost : public IWindowHost {
public:
  QtWindowHost(ICommControl &comm, std::function<std::string(std::int16_t)> describePort);
  ~QtWindowHost() override;

  // The window the configuration dialog is modal to and the About box opens over.
  void Owner(QWidget *owner) { mOwner = owner; }
  // The folders the configuration dialog watches for devices that come and go.
  void WatchedFolders(std::function<std::vector<std::string>()> folders) {
    mFolders = std::move(folders);
  }

  std::unique_ptr<IConfigSerialWindow> LoadConfigSerial() override;
  IAboutWindow &LoadAbout() override;
  // Closes the port as the platform does for an ending process, then ends
  // at once: no window or class teardown runs.
  [[noreturn]] void End() override;

private:
  ICommControl &mComm;
  std::function<std::string(std::int16_t)> mDescribePort;
  std::function<std::vector<std::string>()> mFolders;
  QPointer<QWidget> mOwner;
  QtClock mClock;
  QtAppInfo mAppInfo;
  QtShell mShell;
  std::unique_ptr<QtAboutWindow> mAbout;
};

} // namespace kestrel::qt
