// The main window's surroundings for the Qt tests: a fresh application folder whose Serial.ini
// names COM2 at 19200 baud, a fake port with COM2 free, a fake clock and host.
#pragma once
#include "FakeCommControl.h"
#include "FakeWindowHost.h"
#include "MainWindow.h"
#include "QtRuntime.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
namespace kestrel::test {
class QtFixture : public ::testing::Test {
protected:
  void SetUp() override {
    qt::SetApplicationIdentity();
    ApplicationFolder(dir.Path());
    WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=2\nSettings=19200,N,8,1\n");
    comm.Port(2, FakeCommControl::PortState::Free);
  }
  void TearDown() override { ApplicationFolder(""); }
  // A new main window, shown; open clicks its port button.
  qt::MainWindow &Main(bool open = true) {
    main = std::make_unique<qt::MainWindow>(comm, host);
    main->show();
    if (open)
      QTest::mouseClick(ByText<QPushButton>(*main, "OpenPort"), Qt::LeftButton);
    return *main;
  }
  // A zero-width line-break chance in a widget's text is not seen.
  template <class T = QLabel> static T *ByText(QWidget &root, const QString &text) {
    for (T *w : root.findChildren<T *>())
      if (QString(w->text()).remove(QChar(0x200B)) == text)
        return w;
    return nullptr;
  }
  TempDir dir;
  FakeCommControl comm;
  FakeClock clock;
  FakeAppInfo appInfo;
  FakeWindowHost host{clock, appInfo};
  std::unique_ptr<qt::MainWindow> main;
};
} // namespace kestrel::test
