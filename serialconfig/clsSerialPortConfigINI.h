// The serial port settings store: the port number and settings text kept in
// section "SerialPort" of the settings file, the port list found at start,
// and opening and closing the communications control with what is stored.
//
// Contract: nothing here throws or shows a message. Every step on the control
// is tried on its own, so one failing step never ends a sequence early; the
// outcome of an open is read back from the control's PortOpen. Callers word
// the messages.
//
// The port list is found with the control's PortProbe, which opens nothing:
// starting the terminal leaves every port, and the boards behind them, alone.
// A number is listed when its port could be opened or is busy. Only a stored
// port number from 1 upwards, once rounded, is ever opened.
#pragma once

#include "CommControl.h"
#include "cINI.h"
#include "colPorts.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

class clsSerialPortConfigINI {
public:
  clsSerialPortConfigINI();
  ~clsSerialPortConfigINI();
  clsSerialPortConfigINI(const clsSerialPortConfigINI &) = delete;
  clsSerialPortConfigINI &operator=(const clsSerialPortConfigINI &) = delete;

  // Setting the control rebuilds the port list (ports 1 to 20).
  void ComControl(ICommControl *vData);
  ICommControl *ComControl() const;
  void FileNameINI(const std::string &vData);
  std::string FileNameINI() const;

  bool ComPortAlreadyOpened(ICommControl &vCommControl, std::int16_t iPortNumber);
  bool SettingsRetrieve(std::string &COMPort, std::string &COMSettings);
  bool SettingsUpdate(const std::string &COMPort, const std::string &COMSettings);
  std::int16_t PortsFindAll(std::int16_t PortStart, std::int16_t PortEnd);
  std::int16_t PortsFound() const;
  std::int16_t Port(std::int16_t PortIndex) const;
  void ComPortOpen(bool vData);
  bool ComPortOpen() const;
  // Opens port again, as ComPortOpen = True opens the stored one: at the
  // stored settings while Serial.ini still names that port, else at
  // settingsBefore. For a port whose device went away and came back: the port
  // the file names now (saved meanwhile, or by another running copy) is not
  // the one that was lost, and is not opened. True when the port is open.
  bool ComPortReopen(std::int16_t port, const std::string &settingsBefore);

  // A port and settings for this run only (given on the command line):
  // SettingsRetrieve, and so opening, the status panel and the dialog, give
  // them instead of the file's until a save replaces them. device, when not
  // empty, is where the port number leads for this run only; saving that
  // number, then or after saving another, writes it to section "Devices" in
  // the same save, so that it leads there next time too.
  void RunChoice(const std::string &COMPort, const std::string &COMSettings,
                 const std::string &device = {});
  // A device saved for port another way (Choose Device) is where it leads
  // from now on: the run's device is not saved over it.
  void DeviceChosen(std::int16_t port);

  // Port numbers whose device the last scan found but the user may not open.
  const std::vector<std::int16_t> &PortsDenied() const { return mPortsDenied; }
  // Why the last ComPortOpen = True left the port closed: the reason of that
  // attempt only, or what kept it from being attempted.
  std::string LastOpenError() const { return mLastOpenError; }
  // The system's words for the last failed save, for the dialog's message.
  std::string LastSaveError() const;
  // The full path of the settings file, for messages.
  std::string SettingsFilePath() const;

private:
  bool ComPortOpenClose(bool bOpen);
  bool OpenWith(const std::string &port, const std::string &settings);
  void PortsProbe(ICommControl &control, std::int16_t first, std::int16_t last);
  // Places mIni on section "SerialPort" of the settings file in the
  // program's folder, creating the file when missing; false without a name.
  bool AddressFile();

  colPorts mPorts;
  cINI mIni;
  std::string mFileNameINI;
  ICommControl *mComControl = nullptr;
  std::string mLastSaveError;
  std::vector<std::int16_t> mPortsDenied;
  std::string mLastOpenError;
  std::string mRunPort, mRunSettings;
  // Where the run's port number leads, kept until a save of that number.
  std::string mRunDevicePort, mRunDevice;
};

} // namespace kestrel
