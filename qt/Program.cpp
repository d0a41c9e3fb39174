#include "Program.h"

#include "ChooseDevice.h"
#include "IniFile.h"
#include "MainWindow.h"
#include "PortSettingsText.h"
#include "PosixCommControl.h"
#include "QtControls.h"
#include "QtRuntime.h"
#include "QtWindowHost.h"
#include "SerialDevices.h"
#include "SystemRoutines.h"
#include "clsSerialPortConfigINI.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace kestrel::qt {

namespace {

// The port number a device given on the command line is opened as, and the
// device when the number leads there for this run only.
struct RunPort {
  std::int16_t port = 0;
  std::string device;
};

RunPort PortForCommandLine(const std::string &given, DeviceMap &devices) {
  RunPort run;
  if ((run.port = PortNumberFromName(given)) != 0)
    return run;
  const std::string path = serial::DevicePathFromName(given);
  bool known = false;
  run.port = serial::PortForDevice(devices, path, known);
  // With every number from 1 to 20 in use the device still opens, on the
  // first number past them, though the dialog does not list it.
  if (run.port == 0)
    run.port = 21;
  if (!known) {
    devices.Map(run.port, path);
    run.device = path;
  }
  return run;
}

} // namespace

int RunTerminal(const CommandLine &line) {
  SetApplicationIdentity();

  // A build or portable copy keeps its settings beside itself; an installed
  // one in the user's configuration folder, starting from those an earlier
  // copy kept beside itself.
  ApplicationFolder(
      SettingsFolderTakingOver(ExecutableFolder(), UserSettingsFolder(), "Serial.ini"));

  DeviceMap devices = DeviceMap::FromIni(ApplicationFolder() + "/Serial.ini");
  const RunPort run = line.device.empty() ? RunPort{} : PortForCommandLine(line.device, devices);
  // What the port delivers is painted as soon as the window has taken it in.
  auto display = std::make_shared<QPointer<DisplayView>>();
  PosixCommControl comm(devices, [display](std::function<void()> fn) {
    PostToUi([display, fn = std::move(fn)] {
      fn();
      if (*display)
        (*display)->CatchUpIfDue();
    });
  });
  QtWindowHost host(comm, [&comm](std::int16_t port) { return comm.Devices().Describe(port); });
  host.WatchedFolders([&comm] { return serial::WatchedFolders(comm.Devices()); });
  MainWindow window(comm, host);
  *display = &window.Display();
  host.Owner(&window);
  comm.OnClosedByDevice([&window] { window.DeviceClosed(); });

  QtMessageBox messageBox(&window);
  QtAppInfo appInfo;
  window.Tools().AddTypingItems();
  QMenu *tools = window.Tools().Menu();
  tools->addSeparator();
  QObject::connect(tools->addAction(QStringLiteral("Choose Device...")), &QAction::triggered,
                   &window,
                   [&] { ChooseDevice(&window, comm, window.Logic(), messageBox, appInfo); });

  window.show();
  if (!line.device.empty()) {
    if (clsSerialPortConfigINI *store = window.Logic().SerialConfig()) {
      std::string storedPort, storedSettings;
      if (!store->SettingsRetrieve(storedPort, storedSettings))
        storedSettings.clear();
      store->RunChoice(std::to_string(run.port), SettingsForRun(line, storedSettings), run.device);
    }
    // Opened as the port button opens it, once the window is up, so that a
    // failure shows its message box over the window.
    QTimer::singleShot(0, &window, [&window] {
      window.Logic().PortStatusUpdate();
      window.Tools().Logic().cmdOpenPort_Click();
    });
  }
  return QApplication::exec();
}

} // namespace kestrel::qt
