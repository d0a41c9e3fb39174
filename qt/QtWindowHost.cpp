#include "QtWindowHost.h"

#include "QtAboutWindow.h"
#include "QtConfigSerialWindow.h"

#include <cstdio>
#include <unistd.h>

namespace kestrel::qt {

QtWindowHost::QtWindowHost(ICommControl &comm,
                           std::function<std::string(std::int16_t)> describePort)
    : mComm(comm), mDescribePort(std::move(describePort)) {}

QtWindowHost::~QtWindowHost() = default;

std::unique_ptr<IConfigSerialWindow> QtWindowHost::LoadConfigSerial() {
  auto window = std::make_unique<QtConfigSerialWindow>(mOwner.data(), mDescribePort);
  if (mFolders)
    window->WatchFolders(mFolders);
  return window;
}

IAboutWindow &QtWindowHost::LoadAbout() {
  // An About box that unloaded itself is replaced, so its load step runs
  // again; it is never deleted from inside its own handlers.
  if (!mAbout || !mAbout->Loaded())
    mAbout = std::make_unique<QtAboutWindow>(mClock, mAppInfo, mShell, mOwner.data());
  return *mAbout;
}

void QtWindowHost::End() {
  mComm.PortOpen(false);
  std::fflush(nullptr);
  _exit(0);
}

} // namespace kestrel::qt
