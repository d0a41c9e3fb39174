// Tools > Choose Device...: every serial device the system has, one line
// each (driver, and maker, product and serial number for USB; why the user
// may not open it, and how to get access), shown as plain text. Choosing one
// maps it to the stored port number in section "Devices" of Serial.ini, so
// the configuration dialog and the status bar go on naming ports by number.
#pragma once

#include "Controls.h"
#include "PosixCommControl.h"
#include "SerialDevices.h"
#include "frmTop.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>

#include <string>
#include <vector>

namespace kestrel::qt {

class ChooseDeviceDialog : public QDialog {
public:
  explicit ChooseDeviceDialog(QWidget *owner);
  // Lists devices under a caption that says where a choice goes.
  void Fill(const std::vector<serial::SerialDevice> &devices, const std::string &caption);
  // The chosen row, or -1.
  int Chosen() const;
  QListWidget &List() { return *mList; }

private:
  QLabel *mCaption = nullptr;
  QListWidget *mList = nullptr;
  bool mEmpty = true;
};

// Lists the devices, and maps the one chosen: the note in status panel 1
// says to which number, a failed save says why in a message box.
void ChooseDevice(QWidget *owner, PosixCommControl &comm, frmTop &top, IMessageBox &messageBox,
                  IAppInfo &appInfo);

} // namespace kestrel::qt
