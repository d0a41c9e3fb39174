// What the Qt window tests share: finding a widget by the text the user
// reads, letting the event loop run, and a settings file naming a free COM2
// on the fake communications control.
#pragma once

#include "FakeCommControl.h"
#include "FakeControls.h"
#include "FakeWindowHost.h"
#include "SystemRoutines.h"
#include "TempDir.h"

#include <QApplication>
#include <QString>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace kestrel::test {

// A zero-width line-break chance in a widget's text is not seen.
template <class T> T *ByText(QWidget &root, const QString &text) {
  for (T *w : root.findChildren<T *>())
    if (QString(w->text()).remove(QChar(0x200B)) == text)
      return w;
  return nullptr;
}

inline void Settle(int ms) {
  QTest::qWait(ms);
  QApplication::processEvents();
}

class QtWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ApplicationFolder(dir.Path());
    WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=2\nSettings=19200,N,8,1\n");
    comm.Port(2, FakeCommControl::PortState::Free);
  }
  void TearDown() override { ApplicationFolder(""); }

  TempDir dir;
  FakeCommControl comm;
  FakeClock clock;
  FakeAppInfo appInfo;
  FakeWindowHost host{clock, appInfo};
};

} // namespace kestrel::test
