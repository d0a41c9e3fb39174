// The serial port configuration dialog's widgets, wired to frmConfigSerial.
// Modal to the main window; the logic unloads it by closing it.
#pragma once

#include "QtControls.h"
#include "WindowHost.h"
#include "frmConfigSerial.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kestrel::qt {

class QtConfigSerialWindow : public IConfigSerialWindow {
public:
  QtConfigSerialWindow(QWidget *owner, std::function<std::string(std::int16_t)> describePort);
  ~QtConfigSerialWindow() override;

  frmConfigSerial &Form() override { return *mFrm; }
  void ShowModal() override;
  QDialog &Dialog() { return *mDialog; }

private:
  std::unique_ptr<QDialog> mDialog;
  std::array<QComboBox *, 5> mLists{};
  std::array<std::unique_ptr<QtComboBox>, 5> mListsAdapter;
  std::unique_ptr<ILabel> mDeviceAdapter;
  std::unique_ptr<QtMessageBox> mMessageAdapter;
  std::unique_ptr<QtForm> mFormAdapter;
  std::unique_ptr<frmConfigSerial> mFrm;
};

} // namespace kestrel::qt
