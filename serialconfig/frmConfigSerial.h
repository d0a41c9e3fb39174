// The serial port configuration dialog's logic: five drop-down lists (port,
// parity, data bits, stop bits, baud rate) filled from the settings store's
// port list and fixed values, preselected from what is stored or from the
// defaults, and saved through the store.
//
// The dialog never touches the communications control: what it saves takes
// effect the next time the port is opened. It borrows the store; the opener
// sets clsSerialPortConfig before InitForm.
//
// Under the port list a line names the device behind the chosen port and, for
// a USB adapter, what it is; the platform's serial layer supplies that text.
// When no port is listed but the scan found devices the user may not open,
// the line names them and says how to get access, so that the most common
// first failure on Linux is never a silent empty list.
#pragma once

#include "Controls.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kestrel {

class clsSerialPortConfigINI;

// Indexes of the cmbPort lists.
enum ConfigList : int {
  ListPort = 0,
  ListParity = 1,
  ListDataBits = 2,
  ListStopBits = 3,
  ListBaud = 4
};

struct frmConfigSerialControls {
  std::array<IComboBox *, 5> cmbPort;
  ILabel &lblDevice;
  IMessageBox &messageBox;
  IForm &form;
  // Describes the device behind a port number ("/dev/ttyUSB0 - FT232R USB
  // UART"); may be empty, and then the line stays empty.
  std::function<std::string(std::int16_t)> describePort;
};

class frmConfigSerial {
public:
  explicit frmConfigSerial(frmConfigSerialControls controls);

  clsSerialPortConfigINI *clsSerialPortConfig = nullptr;

  void InitForm();
  void InitComboBoxes();
  void PortInfoRetrieve();
  bool PortInfoSave();
  void InitDefaults(bool ForceComPortSelection = false);
  void FindComboItem(IComboBox &objControl, const std::string &sText);

  void cmdOK_Click(std::int16_t Index);
  void cmdDefaults_Click();
  // The user picked another entry in a list.
  void cmbPort_Click(std::int16_t Index);
  void Form_Terminate();
  // Devices appeared or went away while the dialog is open: the store scans
  // again and the port list follows, the chosen port kept chosen while it is
  // listed; the line settings stay as the user left them.
  void PortsChanged();

private:
  void PortListFill();
  void DeviceLineUpdate();
  IComboBox &List(int index) { return *mControls.cmbPort[static_cast<std::size_t>(index)]; }

  frmConfigSerialControls mControls;
};

} // namespace kestrel
