#include "Program.h"

#include "IniFile.h"
#include "MainWindow.h"
#include "PosixCommControl.h"
#include "QtControls.h"
#include "QtRuntime.h"
#include "QtWindowHost.h"
#include "SystemRoutines.h"

#include <QApplication>

namespace kestrel::qt {

int RunTerminal() {
  SetApplicationIdentity();

  // A build or portable copy keeps its settings beside itself; an installed
  // one in the user's configuration folder, starting from those an earlier
  // copy kept beside itself.
  ApplicationFolder(
      SettingsFolderTakingOver(ExecutableFolder(), UserSettingsFolder(), "Serial.ini"));

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
