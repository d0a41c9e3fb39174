#include "QtWindowHost.h"

#include "QtAboutWindow.h"
#include "QtConfigSerialWindow.h"

#include <cstdio>
#include <unistd.h>

namespace kestrel::qt {

QtWindowHost::QtWindowHost(ICommControl &comm,
                           std::function<std::string(std::int16_t)> describePort)
    : comm_(comm), describePort_(std::move(describePort)) {}

QtWindowHost::~QtWindowHost() = default;

std::unique_ptr<IConfigSerialWindow> QtWindowHost::LoadConfigSerial() {
  return std::make_unique<QtConfigSerialWindow>(owner_.data(), describePort_);
}

IAboutWindow &QtWindowHost::LoadAbout() {
  // An About box that unloaded itself is replaced, so its load step runs
  // again; it is never deleted from inside its own handlers.
  if (!about_ || !about_->Loaded())
    about_ = std::make_unique<QtAboutWindow>(clock_, appInfo_, shell_, owner_.data());
  return *about_;
}

void QtWindowHost::End() {
  comm_.PortOpen(false);
  std::fflush(nullptr);
  _exit(0);
}

} // namespace kestrel::qt
