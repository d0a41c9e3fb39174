#include "frmConfigSerial.h"

#include "PortSettingsText.h"
#include "clsSerialPortConfigINI.h"

#include <algorithm>
#include <cctype>

namespace kestrel {

namespace {
constexpr const char *kTitle = "QuillonD - Port Configuration";
constexpr const char *kNoPort = "NONE";

} // namespace

frmConfigSerial::frmConfigSerial(frmConfigSerialControls controls)
    : mControls(std::move(controls)) {}

void frmConfigSerial::InitForm() {
  InitComboBoxes();
  PortInfoRetrieve();
  DeviceLineUpdate();
}

void frmConfigSerial::InitComboBoxes() {
  PortListFill();

  const std::pair<int, std::vector<const char *>> lists[] = {
      {ListParity, {"None", "Even", "Odd"}},
      {ListDataBits, {"8", "7"}},
      {ListStopBits, {"1", "2"}},
      {ListBaud, {"115200", "57600", "38400", "19200", "9600", "4800", "2400", "1200", "600"}}};
  for (const auto &[index, entries] : lists) {
    List(index).Clear();
    for (const char *entry : entries)
      List(index).AddItem(entry);
  }
}

void frmConfigSerial::PortInfoRetrieve() {
  std::string port, settings;
  if (clsSerialPortConfig && clsSerialPortConfig->SettingsRetrieve(port, settings) &&
      !port.empty()) {
    settings += ",";
    FindComboItem(List(ListPort), PortNameFromText(port));
    FindComboItem(List(ListBaud), SettingsField(Baud, settings));
    FindComboItem(List(ListDataBits), SettingsField(DataBits, settings));
    FindComboItem(List(ListStopBits), SettingsField(StopBits, settings));
    FindComboItem(List(ListParity), ParityRead(SettingsField(Parity, settings)));
  } else {
    InitDefaults(true);
  }
}

bool frmConfigSerial::PortInfoSave() {
  for (int i = ListPort; i <= ListBaud; ++i) {
    // The stand-in entry for "no port found" is no port to save.
    const bool none = i == ListPort && List(i).ListIndex() >= 0 && List(i).Text() == kNoPort;
    if (List(i).ListIndex() == -1 || none) {
      mControls.messageBox.Show("Please select valid Port Data", kTitle, MessageIcon::Stop);
      List(i).SetFocus();
      return false;
    }
  }
  if (!clsSerialPortConfig)
    return false;
  const std::string port = PortTextFromName(List(ListPort).Text());
  const std::string settings =
      SettingsCompose(List(ListBaud).Text(), List(ListParity).Text(), List(ListDataBits).Text(),
                      List(ListStopBits).Text());
  if (clsSerialPortConfig->SettingsUpdate(port, settings))
    return true;
  const std::string reason = clsSerialPortConfig->LastSaveError();
  if (!reason.empty())
    mControls.messageBox.Show("The settings could not be saved to " +
                                  clsSerialPortConfig->SettingsFilePath() + ".",
                              kTitle, MessageIcon::Exclamation, reason);
  return false;
}

void frmConfigSerial::InitDefaults(bool ForceComPortSelection) {
  if (ForceComPortSelection)
    List(ListPort).ListIndex(-1);
  FindComboItem(List(ListParity), "None");
  FindComboItem(List(ListDataBits), "8");
  FindComboItem(List(ListStopBits), "1");
  FindComboItem(List(ListBaud), "19200");
}

void frmConfigSerial::FindComboItem(IComboBox &objControl, const std::string &sText) {
  const std::string wanted = Upper(sText);
  for (int i = 0; i < objControl.ListCount(); ++i)
    if (Upper(objControl.List(i)) == wanted) {
      objControl.ListIndex(i);
      return;
    }
  objControl.ListIndex(-1);
}

void frmConfigSerial::cmdOK_Click(std::int16_t Index) {
  if (Index == 0) {
    if (PortInfoSave())
      mControls.form.Unload();
  } else if (Index == 1) {
    mControls.form.Unload();
  }
}

void frmConfigSerial::cmdDefaults_Click() {
  InitDefaults(false);
}

void frmConfigSerial::cmbPort_Click(std::int16_t Index) {
  if (Index == ListPort)
    DeviceLineUpdate();
}

void frmConfigSerial::Form_Terminate() {
  clsSerialPortConfig = nullptr;
}

void frmConfigSerial::PortsChanged() {
  if (!clsSerialPortConfig)
    return;
  const std::string chosen = List(ListPort).ListIndex() >= 0 ? List(ListPort).Text() : "";
  (void)clsSerialPortConfig->PortsFindAll(1, 20);
  PortListFill();
  // A list refilled selects its first port by itself; a port the user had
  // not chosen stays unchosen.
  if (!chosen.empty() && chosen != kNoPort)
    FindComboItem(List(ListPort), chosen);
  else
    List(ListPort).ListIndex(-1);
  DeviceLineUpdate();
}

void frmConfigSerial::PortListFill() {
  IComboBox &port = List(ListPort);
  port.Clear();
  const std::int16_t found = clsSerialPortConfig ? clsSerialPortConfig->PortsFound() : 0;
  if (found < 1)
    port.AddItem(kNoPort);
  else
    for (std::int16_t i = 1; i <= found; ++i)
      port.AddItem(PortNameFromNumber(clsSerialPortConfig->Port(i)));
}

void frmConfigSerial::DeviceLineUpdate() {
  const std::string name = List(ListPort).Text();
  std::string line;
  if (clsSerialPortConfig && clsSerialPortConfig->PortsFound() < 1 &&
      !clsSerialPortConfig->PortsDenied().empty()) {
    const auto &denied = clsSerialPortConfig->PortsDenied();
    line = "Found ";
    for (std::size_t i = 0; i < denied.size(); ++i) {
      const std::string device =
          mControls.describePort ? mControls.describePort(denied[i]) : std::string();
      line += (i ? ", " : "") + PortNameFromNumber(denied[i]) +
              (device.empty() ? std::string() : " (" + device + ")");
    }
    line += denied.size() == 1 ? ", but you may not open it" : ", but you may not open them";
    line += std::string(": add yourself to ") + kDialoutAdvice;
  }
  if (mControls.describePort) {
    if (const std::int16_t port = PortNumberFromName(name))
      line = mControls.describePort(port);
  }
  mControls.lblDevice.Caption(line);
}

} // namespace kestrel
