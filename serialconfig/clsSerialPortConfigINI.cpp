#include "clsSerialPortConfigINI.h"

#include "IniFile.h"
#include "PosixFile.h"
#include "SystemRoutines.h"
#include "Val.h"

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace kestrel {

namespace {
constexpr const char *kSection = "SerialPort";

std::string Trim(const std::string &s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos)
    return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The numeric value of a port text, and whether it names a port (1 to the
// control's 16-bit limit) once rounded as the conversion rounds it: 0.4 and
// 0.5 round to 0, which names none.
bool PortNumber(const std::string &text, std::int16_t &number) {
  const double v = std::nearbyint(Val(text));
  if (!(v >= 1 && v <= std::numeric_limits<std::int16_t>::max()))
    return false;
  number = static_cast<std::int16_t>(v);
  return true;
}
} // namespace

// The port list is created before the INI object, as the members are
// declared, and released after it.
clsSerialPortConfigINI::clsSerialPortConfigINI() = default;
clsSerialPortConfigINI::~clsSerialPortConfigINI() = default;

void clsSerialPortConfigINI::ComControl(ICommControl *vData) {
  mComControl = vData;
  (void)PortsFindAll(1, 20);
}

ICommControl *clsSerialPortConfigINI::ComControl() const {
  return mComControl;
}

void clsSerialPortConfigINI::FileNameINI(const std::string &vData) {
  if (!vData.empty())
    mFileNameINI = vData;
}

std::string clsSerialPortConfigINI::FileNameINI() const {
  return mFileNameINI;
}

bool clsSerialPortConfigINI::ComPortAlreadyOpened(ICommControl &vCommControl,
                                                  std::int16_t iPortNumber) {
  bool inUse = false;
  for (int error : {vCommControl.CommPort(iPortNumber), vCommControl.PortOpen(true)}) {
    if (error == comPortAlreadyOpen)
      inUse = true;
    else if (error == comInvalidPortNumber)
      inUse = false;
  }
  if (vCommControl.PortOpen()) {
    (void)vCommControl.PortOpen(false);
    return false;
  }
  return inUse;
}

bool clsSerialPortConfigINI::SettingsRetrieve(std::string &COMPort, std::string &COMSettings) {
  if (!AddressFile())
    return false;
  if (!mRunPort.empty()) {
    COMPort = mRunPort;
    COMSettings = mRunSettings;
    return true;
  }
  mIni.Item("Port");
  const std::string port = mIni.Data();
  if (port.empty())
    return false;
  COMPort = Trim(port);
  if (!(Val(COMPort) > 0))
    return false;
  mIni.Item("Settings");
  const std::string settings = mIni.Data();
  if (settings.empty())
    return false;
  COMSettings = settings;
  return true;
}

bool clsSerialPortConfigINI::SettingsUpdate(const std::string &COMPort,
                                            const std::string &COMSettings) {
  mLastSaveError.clear();
  if (!AddressFile())
    return false;
  if (COMSettings.empty() || COMPort.empty())
    return false;
  // An entry whose trimmed text is empty is not written, and that is no
  // failure. The others are saved together, so that a second running copy
  // saving at the same time never leaves one copy's port with the other's
  // settings; and with them the device the run's port number leads to, which
  // a port number saved without would lead elsewhere at the next start.
  std::vector<IniEntry> entries;
  const bool device = !mRunDevice.empty() && Trim(COMPort) == mRunDevicePort;
  if (device)
    entries.push_back({"Devices", "COM" + mRunDevicePort, mRunDevice});
  for (const auto &[item, text] :
       {std::pair{"Port", Trim(COMPort)}, std::pair{"Settings", Trim(COMSettings)}})
    if (!text.empty())
      entries.push_back({mIni.Section(), item, text});
  if (!entries.empty() && !mIni.DataSave(entries)) {
    mLastSaveError = mIni.LastWriteError();
    return false;
  }
  mRunPort.clear();
  mRunSettings.clear();
  if (device) {
    mRunDevicePort.clear();
    mRunDevice.clear();
  }
  return true;
}

void clsSerialPortConfigINI::RunChoice(const std::string &COMPort, const std::string &COMSettings,
                                       const std::string &device) {
  mRunPort = Trim(COMPort);
  mRunSettings = COMSettings;
  mRunDevicePort = mRunPort;
  mRunDevice = mRunPort.empty() ? std::string() : device;
}

void clsSerialPortConfigINI::DeviceChosen(std::int16_t port) {
  if (mRunDevicePort == std::to_string(port)) {
    mRunDevicePort.clear();
    mRunDevice.clear();
  }
}

std::int16_t clsSerialPortConfigINI::PortsFindAll(std::int16_t PortStart, std::int16_t PortEnd) {
  if (mComControl)
    PortsProbe(*mComControl, PortStart, PortEnd);
  else
    mPorts.ClearCollection();
  return static_cast<std::int16_t>(mPorts.Count());
}

std::int16_t clsSerialPortConfigINI::PortsFound() const {
  return static_cast<std::int16_t>(mPorts.Count());
}

std::int16_t clsSerialPortConfigINI::Port(std::int16_t PortIndex) const {
  const clsPort *port =
      PortIndex < 1 || PortIndex > mPorts.Count() ? nullptr : mPorts.Item(PortIndex);
  return port ? port->Port() : 0;
}

void clsSerialPortConfigINI::ComPortOpen(bool vData) {
  if (!mComControl)
    return;
  if (vData && mComControl->PortOpen())
    return;
  (void)ComPortOpenClose(vData);
}

bool clsSerialPortConfigINI::ComPortOpen() const {
  return mComControl && mComControl->PortOpen();
}

std::string clsSerialPortConfigINI::LastSaveError() const {
  return mLastSaveError;
}

std::string clsSerialPortConfigINI::SettingsFilePath() const {
  // The INI object forgets a file it could not create; the message still
  // names where the file belongs.
  if (!mIni.FullPath().empty())
    return mIni.FullPath();
  std::string folder = ApplicationFolder();
  if (!folder.empty() && folder.back() != '/')
    folder += '/';
  return folder + mFileNameINI;
}

bool clsSerialPortConfigINI::ComPortOpenClose(bool bOpen) {
  ICommControl &comm = *mComControl;
  if (!bOpen) {
    (void)comm.PortOpen(false);
    return true;
  }
  mLastOpenError.clear();
  if (comm.PortOpen())
    return true;
  std::string port, settings;
  if (!SettingsRetrieve(port, settings)) {
    std::string text, unusable;
    if (port.empty() && !mIni.FullPath().empty() &&
        !IniLoadFile(mIni.FullPath(), text, &unusable) &&
        (unusable == RefusedText(FileType::ForeignLink) ||
         unusable == RefusedText(FileType::ForeignFile)))
      mLastOpenError = "No port was opened: " + mIni.FullPath() + ": " + unusable + ".";
    else if (port.empty())
      mLastOpenError = "No port was opened: no serial port is stored yet.";
    else if (!(Val(port) > 0))
      mLastOpenError = "No port was opened: the stored port \"" + port + "\" is not a port number.";
    else
      mLastOpenError = "No port was opened: no line settings are stored.";
    return false;
  }
  return OpenWith(port, settings);
}

bool clsSerialPortConfigINI::ComPortReopen(std::int16_t port, const std::string &settingsBefore) {
  mLastOpenError.clear();
  if (!mComControl)
    return false;
  if (mComControl->PortOpen())
    return true;
  std::string storedPort, settings;
  std::int16_t stored = 0;
  if (!SettingsRetrieve(storedPort, settings) || !PortNumber(storedPort, stored) || stored != port)
    settings = settingsBefore;
  return OpenWith(std::to_string(port), settings);
}

bool clsSerialPortConfigINI::OpenWith(const std::string &port, const std::string &settings) {
  ICommControl &comm = *mComControl;
  // A port number the control cannot hold would leave it on the port it had
  // before, and settings it refuses would leave the line as it was: either
  // way the port would run on something other than what is stored and shown,
  // so the open is not attempted at all.
  std::int16_t number = 0;
  const bool numberFits = PortNumber(port, number) && comm.CommPort(number) == comNoError;
  if (!numberFits)
    mLastOpenError = "No port was opened: the stored port \"" + port +
                     "\" does not name a port from COM1 upwards.";
  const bool settingsTaken = comm.Settings(settings) == comNoError;
  if (numberFits && !settingsTaken)
    mLastOpenError = comm.LastErrorText();
  (void)comm.InputLen(0);
  (void)comm.RTSEnable(false);
  if (numberFits && settingsTaken && comm.PortOpen(true) != comNoError)
    mLastOpenError = comm.LastErrorText();
  return comm.PortOpen();
}

bool clsSerialPortConfigINI::AddressFile() {
  if (mFileNameINI.empty())
    return false;
  mIni.Command(cINI::INICommandAppPath);
  mIni.FileName(mFileNameINI);
  mIni.Section(kSection);
  return true;
}

void clsSerialPortConfigINI::PortsProbe(ICommControl &control, std::int16_t first,
                                        std::int16_t last) {
  mPorts.ClearCollection();
  mPortsDenied.clear();
  const std::int16_t end = last;
  for (std::int32_t n = first; n <= end; ++n) {
    const int error = control.PortProbe(static_cast<std::int16_t>(n));
    if (error == comNoError || error == comPortAlreadyOpen)
      (void)mPorts.Add(static_cast<std::int16_t>(n), std::to_string(n));
    else if (error == comAccessDenied)
      mPortsDenied.push_back(static_cast<std::int16_t>(n));
  }
}

} // namespace kestrel
