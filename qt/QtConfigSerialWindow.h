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

  frmConfigSerial &Form() override { return *frm_; }
  void ShowModal() override;
  QDialog &Dialog() { return *dialog_; }

private:
  std::unique_ptr<QDialog> dialog_;
  std::array<QComboBox *, 5> lists_{};
  std::array<std::unique_ptr<QtComboBox>, 5> aLists_;
  std::unique_ptr<ILabel> aDevice_;
  std::unique_ptr<QtMessageBox> aMessage_;
  std::unique_ptr<QtForm> aForm_;
  std::unique_ptr<frmConfigSerial> frm_;
};

} // namespace kestrel::qt
