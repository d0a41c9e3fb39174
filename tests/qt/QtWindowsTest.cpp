#include "MainWindow.h"
#include "QtAboutWindow.h"
#include "QtConfigSerialWindow.h"
#include "QtWindowTest.h"
#include "clsSerialPortConfigINI.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

class QtWindows : public QtWindowTest {};

TEST_F(QtWindows, MainWindowOpensThePortAndShowsWhatArrives) {
  qt::MainWindow window(comm, host);
  window.show();
  QPushButton *open = ByText<QPushButton>(window, "OpenPort");
  ASSERT_NE(open, nullptr);
  QLabel *panel1 = nullptr;
  for (QLabel *l : window.statusBar()->findChildren<QLabel *>())
    if (!panel1)
      panel1 = l;
  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_EQ(open->text(), "Close Port");
  EXPECT_TRUE(ByText<QLabel>(window, "Serial Port Active"));
  EXPECT_TRUE(ByText<QLabel>(window, "Com2 - 19200,N,8,1"));

  comm.Receive("hello board\r\n");
  Settle(80);
  EXPECT_NE(window.Display().toPlainText().indexOf("hello board"), -1);

  QTest::keyClicks(&window.Display(), "AT");
  QTest::keyClick(&window.Display(), Qt::Key_Return);
  QTest::keyClick(&window.Display(), Qt::Key_F5); // no character: nothing sent
  EXPECT_EQ(comm.sent, "AT\r");

  comm.Vanish();
  window.DeviceClosed();
  EXPECT_EQ(open->text(), "Open Port");
  EXPECT_TRUE(ByText<QLabel>(window, "Serial Port Closed"));
}

TEST_F(QtWindows, DisplayRepaintsAreCoalescedUnderAFlood) {
  qt::MainWindow window(comm, host);
  window.show();
  QTest::mouseClick(ByText<QPushButton>(window, "OpenPort"), Qt::LeftButton);
  const int before = window.Display().Repaints();
  for (int i = 0; i < 2000; ++i)
    comm.Receive("line " + std::to_string(i) + "\r\n");
  Settle(150);
  EXPECT_LE(window.Display().Repaints() - before, 10);
  EXPECT_NE(window.Display().toPlainText().indexOf("line 1999"), -1);
}

TEST_F(QtWindows, ConfigurationDialogFollowsItsControlTable) {
  clsSerialPortConfigINI store;
  store.FileNameINI("Serial.ini");
  store.ComControl(&comm);
  qt::QtConfigSerialWindow window(nullptr, [](std::int16_t) { return std::string("/dev/ttyS1"); });
  window.Form().clsSerialPortConfig = &store;
  window.Form().InitForm();
  QDialog &d = window.Dialog();
  EXPECT_EQ(d.windowTitle(), "Serial Port Configuration");
  EXPECT_EQ(d.minimumSize(), d.maximumSize());
  auto lists = d.findChildren<QComboBox *>();
  ASSERT_EQ(lists.size(), 5);
  EXPECT_EQ(lists[0]->currentText(), "COM2");
  EXPECT_EQ(lists[4]->currentText(), "19200");
  EXPECT_FALSE(lists[0]->isEditable());
  EXPECT_EQ(lists[1]->toolTip(), "These Value Is Hard-Coded");
  EXPECT_TRUE(ByText<QLabel>(d, "/dev/ttyS1"));
  for (QPushButton *b : d.findChildren<QPushButton *>())
    EXPECT_FALSE(b->autoDefault() || b->isDefault()) << b->text().toStdString();
  QPushButton *ok = ByText<QPushButton>(d, "&OK");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->nextInFocusChain(), ByText<QPushButton>(d, "&Cancel"));

  lists[4]->setCurrentIndex(0);
  QTest::mouseClick(ok, Qt::LeftButton);
  std::string port, settings;
  ASSERT_TRUE(store.SettingsRetrieve(port, settings));
  EXPECT_EQ(settings, "115200,N,8,1");
}

// Every label showing text that looks like markup shows it as it is.
void ExpectPlain(QWidget &root, int &seen) {
  for (QLabel *l : root.findChildren<QLabel *>())
    if (Qt::mightBeRichText(l->text())) {
      ++seen;
      EXPECT_EQ(l->textFormat(), Qt::PlainText) << l->text().toStdString();
    }
}

// Text from Serial.ini and from the system reaches the status bar and the
// message box as text, never as markup.
TEST_F(QtWindows, OutsideTextIsShownAsPlainText) {
  WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=2\nSettings=<b>9600</b>,N,8,1\n");
  qt::MainWindow window(comm, host);
  window.show();
  int seen = 0;
  ExpectPlain(window, seen);
  EXPECT_TRUE(ByText<QLabel>(window, "Com2 - <b>9600</b>,N,8,1"));
  std::vector<QString> boxes;
  auto inspect = [&] {
    QTimer::singleShot(50, [&] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (!box)
        return;
      for (QLabel *l : box->findChildren<QLabel *>())
        boxes.push_back(l->text());
      ExpectPlain(*box, seen);
      box->done(0);
    });
  };
  inspect();
  QTest::mouseClick(ByText<QPushButton>(window, "OpenPort"), Qt::LeftButton);
  WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=<i>2</i>\nSettings=9600,N,8,1\n");
  inspect();
  QTest::mouseClick(ByText<QPushButton>(window, "OpenPort"), Qt::LeftButton);
  const QString joined = QStringList(boxes.begin(), boxes.end()).join('|');
  EXPECT_TRUE(joined.contains("\"<i>2</i>\" is not a port number")) << joined.toStdString();
  EXPECT_GE(seen, 2);

  // A log path with "&" keeps it, on screen and for a screen reader, instead
  // of turning the next letter into a shortcut.
  QCheckBox box;
  qt::QtCheckBox log(&box);
  const std::string caption = "Log Enabled: /tmp/R&D/<b>board</b>.txt";
  log.Caption(caption);
  EXPECT_EQ(log.Caption(), caption);
  EXPECT_EQ(box.accessibleName().toStdString(), caption);
  EXPECT_TRUE(QKeySequence::mnemonic(box.text()).isEmpty());
}

// The line under the port list is read whole with every control still inside
// the dialog and none under the line: a long device path, and, with no port
// to offer but devices the user may not open, which they are and how to get
// access.
TEST_F(QtWindows, ConfigurationDialogShowsTheDeviceLineWhole) {
  const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  const struct {
    FakeCommControl::PortState state;
    std::string device;
    QString line;
  } cases[] = {
      {FakeCommControl::PortState::Denied, "/dev/<b>ttyUSB0</b> - Board",
       "Found COM5 (/dev/<b>ttyUSB0</b> - Board), but you may not open it: add yourself to the "
       "dialout group (sudo adduser $USER dialout) and log in again."},
      {FakeCommControl::PortState::Free, byId, QString::fromStdString(byId)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.device);
    WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=5\nSettings=9600,N,8,1\n");
    FakeCommControl comm5;
    comm5.Port(5, c.state);
    clsSerialPortConfigINI store;
    store.FileNameINI("Serial.ini");
    store.ComControl(&comm5);
    qt::QtConfigSerialWindow window(nullptr, [&](std::int16_t) { return c.device; });
    window.Form().clsSerialPortConfig = &store;
    window.Form().InitForm();
    QDialog &d = window.Dialog();
    QLabel *label = ByText<QLabel>(d, c.line);
    ASSERT_NE(label, nullptr);
    int seen = 0;
    ExpectPlain(d, seen);
    EXPECT_EQ(seen, c.line.contains('<') ? 1 : 0);
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    for (QWidget *w : d.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
      EXPECT_TRUE(d.rect().contains(w->geometry())) << w->metaObject()->className();
    for (QLabel *l : d.findChildren<QLabel *>()) {
      if (l != label && l->y() > label->y()) {
        EXPECT_GE(l->y(), label->geometry().bottom());
      }
    }
  }
}

TEST_F(QtWindows, AboutBoxUnloadsOnOkAndShowsTheVersion) {
  FakeShell shell;
  qt::QtAboutWindow about(clock, appInfo, shell);
  EXPECT_TRUE(about.Loaded());
  EXPECT_EQ(about.Widget().width(), (6780 + 7) / 15);
  EXPECT_TRUE(ByText<QLabel>(about.Widget(), "Version 0.1 - January 13, 2009 (Alpha)"));
  about.ShowModeless();
  EXPECT_TRUE(about.Widget().isVisible());
  QTest::mouseClick(ByText<QPushButton>(about.Widget(), "&Website"), Qt::LeftButton);
  EXPECT_EQ(shell.opened.size(), 1u);
  QTest::mouseClick(ByText<QPushButton>(about.Widget(), "&OK"), Qt::LeftButton);
  EXPECT_FALSE(about.Loaded());
  EXPECT_FALSE(about.Widget().isVisible());
}

} // namespace
} // namespace kestrel::test

// The application object must outlive every widget and be gone before the
// program's static objects are, so it lives in main.
int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Headless unless told otherwise, listing the tests included.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
