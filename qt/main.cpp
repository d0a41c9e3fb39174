// Kestrel Terminal: the program. Chooses where Serial.ini lives, builds the
// serial layer and the main window, and runs the event loop.
#include "MainWindow.h"
#include "PosixCommControl.h"
#include "QtControls.h"
#include "QtWindowHost.h"
#include "SystemRoutines.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[]) {
  using namespace kestrel;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kestrel-terminal"));
  QApplication::setApplicationDisplayName(QStringLiteral("Kestrel Terminal"));
  QApplication::setDesktopFileName(QStringLiteral("io.github.kestrel_terminal.kestrel_terminal"));
  QApplication::setWindowIcon(qt::ProgramIcon());

  // A build or portable copy keeps its settings beside itself; an installed
  // one in the user's configuration folder.
  ApplicationFolder(ChooseSettingsFolder(ExecutableFolder(), UserSettingsFolder()));

  const DeviceMap devices = DeviceMap::FromIni(ApplicationFolder() + "/Serial.ini");
  PosixCommControl comm(devices, qt::PostToUi);
  qt::QtWindowHost host(comm, [devices](std::int16_t port) { return devices.Describe(port); });
  qt::MainWindow window(comm, host);
  host.Owner(&window);
  comm.OnClosedByDevice([&window] { window.DeviceClosed(); });
  window.show();
  return QApplication::exec();
}
