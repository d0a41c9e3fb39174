// The serial port configuration dialog's widgets, wired to frmConfigSerial.
// Modal to the main window; the logic unloads it by closing it.
#pragma once

#include "QtControls.h"
#include "WindowHost.h"
#include "frmConfigSerial.h"

#include <QComboBox>
#include <QDialog>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::qt {

class QtConfigSerialWindow : public IConfigSerialWindow {
public:
  QtConfigSerialWindow(QWidget *owner, std::function<std::string(std::int16_t)> describePort);
  ~QtConfigSerialWindow() override;

  frmConfigSerial &Form() override { return *mFrm; }
  void ShowModal() override;
  QDialog &Dialog() { return *mDialog; }
  // The folders to watch while the dialog is open: a device appearing in or
  // going from one of them makes the port list follow (the system tells of
  // the change; nothing is polled).
  void WatchFolders(std::function<std::vector<std::string>()> folders);

private:
  std::unique_ptr<QDialog> mDialog;
  std::array<QComboBox *, 5> mLists{};
  std::array<std::unique_ptr<QtComboBox>, 5> mListsAdapter;
  std::unique_ptr<ILabel> mDeviceAdapter;
  std::unique_ptr<QtMessageBox> mMessageAdapter;
  std::unique_ptr<QtForm> mFormAdapter;
  std::unique_ptr<frmConfigSerial> mFrm;
  std::function<std::vector<std::string>()> mFolders;
  QFileSystemWatcher mWatcher;
  QTimer mSettle;

  void Watch();
};

} // namespace kestrel::qt
