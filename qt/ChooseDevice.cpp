#include "ChooseDevice.h"

#include "PortSettingsText.h"
#include "QtControls.h"
#include "clsSerialPortConfigINI.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel::qt {

ChooseDeviceDialog::ChooseDeviceDialog(QWidget *owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Choose Device"));
  mCaption = new QLabel(this);
  mCaption->setTextFormat(Qt::PlainText);
  mList = new QListWidget(this);
  mList->setAccessibleName(QStringLiteral("Serial devices"));
  mList->setMinimumSize(Px(7200), Px(2400));
  mCaption->setBuddy(mList);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(mList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  // The list makes its first row current, unselected, when it takes the focus: only a row the
  // user selected is a choice, so Enter on a fresh list changes no stored device.
  connect(mList, &QListWidget::itemSelectionChanged, this,
          [this, buttons] { buttons->button(QDialogButtonBox::Ok)->setEnabled(Chosen() >= 0); });
  auto *column = new QVBoxLayout(this);
  column->addWidget(mCaption);
  column->addWidget(mList, 1);
  column->addWidget(buttons);
  buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
}

// List items are plain text: device names and sysfs texts never become markup.
void ChooseDeviceDialog::Fill(const std::vector<serial::SerialDevice> &devices,
                              const std::string &caption) {
  mCaption->setText(QString::fromStdString(caption));
  mList->clear();
  mEmpty = devices.empty();
  for (const serial::SerialDevice &device : devices)
    mList->addItem(QString::fromStdString(serial::DeviceLine(device)));
  if (devices.empty()) {
    mList->addItem(QStringLiteral("No serial device found"));
    mList->item(0)->setFlags(Qt::NoItemFlags);
  }
}

int ChooseDeviceDialog::Chosen() const {
  const QList<QListWidgetItem *> selected = mList->selectedItems();
  return mEmpty || selected.isEmpty() ? -1 : mList->row(selected.front());
}

void ChooseDevice(QWidget *owner, PosixCommControl &comm, frmTop &top, IMessageBox &messageBox,
                  IAppInfo &appInfo) {
  clsSerialPortConfigINI *store = top.SerialConfig();
  if (!store)
    return;
  std::string storedPort, settings;
  std::int16_t stored = 0;
  if (store->SettingsRetrieve(storedPort, settings))
    stored = PortNumberFromName(PortNameFromText(storedPort));
  const std::vector<serial::SerialDevice> devices = serial::ListSerialDevices(serial::DeviceTree());

  ChooseDeviceDialog dialog(owner);
  dialog.Fill(devices, stored >= 1 ? "The device for " + PortNameFromNumber(stored) +
                                         " (a by-id name stays with its adapter in any socket):"
                                   : std::string("The device to give a port number:"));
  if (dialog.exec() != QDialog::Accepted || dialog.Chosen() < 0)
    return;
  const serial::SerialDevice &chosen = devices[static_cast<std::size_t>(dialog.Chosen())];
  DeviceMap map = comm.Devices();
  const std::int16_t port = serial::PortForChosenDevice(map, stored, chosen.path);
  if (port < 1) {
    messageBox.Show("Every port number from COM1 to COM20 has a device already; map " +
                        chosen.path + " to one in section Devices of " + store->SettingsFilePath() +
                        ".",
                    appInfo.ExeName() + " - Choose Device", MessageIcon::Exclamation);
    return;
  }
  if (map.DevicePath(port) != chosen.path) {
    const IniResult saved =
        serial::MapChosenDevice(store->SettingsFilePath(), map, port, chosen.path);
    if (!saved.ok) {
      messageBox.Show("The device could not be saved to " + store->SettingsFilePath() + ".",
                      appInfo.ExeName() + " - Choose Device", MessageIcon::Exclamation,
                      saved.error);
      return;
    }
    comm.Devices(map);
    store->DeviceChosen(port);
  }
  top.StatusNote(PortNameFromNumber(port) + " is " + chosen.path +
                 (stored == port ? "" : "; choose it under Options"));
}

} // namespace kestrel::qt
