#include "Program.h"

#include "MainWindow.h"
#include "PosixCommControl.h"
#include "QtControls.h"
#include "QtWindowHost.h"
#include "SystemRoutines.h"

#include <QApplication>
#include <QStandardPaths>

namespace kestrel::qt {

int RunTerminal() {
  SetApplicationIdentity();

  // An installed copy cannot write beside itself in /usr/bin; its settings go
  // to the user's configuration folder instead.
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  ApplicationFolder(
      ChooseSettingsFolder(ExecutableFolder(), config.toStdString() + "/kestrel-terminal"));

  const DeviceMap devices = DeviceMap::FromIni(ApplicationFolder() + "/Serial.ini");
  PosixCommControl comm(devices, PostToUi);
  QtWindowHost host(comm, [devices](std::int16_t port) { return devices.Describe(port); });
  MainWindow window(comm, host);
  host.Owner(&window);
  comm.OnClosedByDevice([&window] { window.DeviceClosed(); });
  window.show();
  return QApplication::exec();
}

} // namespace kestrel::qt
