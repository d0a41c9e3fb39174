// The Tools menu in the real main window on the offscreen platform: where it
// sits, its items and shortcuts, the ways to paste and the line-levels window
// as a screen reader reads it.
#include "MainWindow.h"
#include "QtWindowTest.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

class QtTools : public QtWindowTest {
protected:
  void SetUp() override {
    QtWindowTest::SetUp();
    window = std::make_unique<qt::MainWindow>(comm, host);
    window->show();
    QApplication::setActiveWindow(window.get());
    window->Display().setFocus();
    QApplication::processEvents();
  }
  void TearDown() override {
    window.reset();
    QtWindowTest::TearDown();
  }
  void OpenPort() {
    for (QPushButton *b : window->findChildren<QPushButton *>())
      if (b->text() == "OpenPort")
        QTest::mouseClick(b, Qt::LeftButton);
    ASSERT_TRUE(comm.PortOpen());
  }
  std::unique_ptr<qt::MainWindow> window;
};

TEST_F(QtTools, ToolsSitsBeforeHelpWithItsItemsAllOff) {
  QStringList menus;
  for (QAction *a : window->menuBar()->actions())
    menus << a->text();
  EXPECT_EQ(menus, (QStringList{"&File", "Options", "Tools", "Help"}));
  struct Item {
    const char *text;
    bool checkable;
    const char *shortcut;
  } items[] = {{"Reconnect Automatically", true, ""}, {"Paste to Port", false, "Ctrl+Shift+V"},
               {"Send File...", false, ""},           {"Send Break", false, ""},
               {"Find...", false, "Ctrl+Shift+F"},    {"Line Levels", true, ""}};
  QList<QAction *> actions = window->Tools().Menu()->actions();
  actions.removeIf([](QAction *a) { return a->isSeparator(); });
  ASSERT_EQ(actions.size(), 6);
  for (int i = 0; i < 6; ++i) {
    const QAction *a = actions[i];
    const Item &item = items[i];
    SCOPED_TRACE(item.text);
    EXPECT_EQ(a->text(), item.text);
    EXPECT_EQ(a->isCheckable(), item.checkable);
    EXPECT_FALSE(a->isChecked());
    EXPECT_EQ(a->shortcut().toString(), item.shortcut);
  }
}

TEST_F(QtTools, CtrlShiftVPastesWhileCtrlLettersStillGoToThePort) {
  OpenPort();
  QGuiApplication::clipboard()->setText(QStringLiteral("ls\n\u00e9\u20ac\r\n"));
  QTest::keyClick(&window->Display(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
  // Ctrl+letter as the window system gives it: the control code as its text.
  QTest::sendKeyEvent(QTest::Click, &window->Display(), Qt::Key_V, QString(QChar(0x16)),
                      Qt::ControlModifier);
  QTest::sendKeyEvent(QTest::Click, &window->Display(), Qt::Key_F, QString(QChar(0x06)),
                      Qt::ControlModifier);
  EXPECT_EQ(comm.sent, "ls\r\xe9\r\x16\x06");
  QTest::mouseClick(window->Display().viewport(), Qt::MiddleButton);
  EXPECT_EQ(comm.sent, "ls\r\xe9\r\x16\x06ls\r\xe9\r");
}

TEST_F(QtTools, LineLevelsWindowReadsAsItsLines) {
  window->Tools().Menu()->actions().last()->trigger();
  qt::LineLevelsWindow &levels = window->Tools().Levels();
  ASSERT_TRUE(levels.isVisible());
  EXPECT_TRUE(levels.windowFlags() & Qt::WindowStaysOnTopHint);
  auto names = [&] {
    QStringList out;
    for (QLabel *l : levels.findChildren<QLabel *>())
      if (QAccessible::queryAccessibleInterface(l) && !l->accessibleName().isEmpty())
        out << QAccessible::queryAccessibleInterface(l)->text(QAccessible::Name);
    return out;
  };
  EXPECT_TRUE(names().contains("CTS unknown, port closed"));
  OpenPort();
  comm.inputs.cd = true;
  comm.DTREnable(true);
  QTest::qWait(80);
  const QStringList open = names();
  for (const char *name : {"CTS low", "DSR low", "CD high", "RI low", "RTS low", "DTR high"})
    EXPECT_TRUE(open.contains(name)) << name << " in " << open.join(", ").toStdString();
  // A lit lamp looks unlike a dark one, in the theme's own colours.
  auto shade = [&](const QString &name) {
    for (QLabel *l : levels.findChildren<QLabel *>())
      if (l->accessibleName() == name)
        return l->grab().toImage().pixelColor(l->width() / 2, 4);
    return QColor();
  };
  EXPECT_NE(shade("CD high"), shade("CTS low"));
  EXPECT_EQ(shade("DSR low"), shade("CTS low"));
  levels.close();
  EXPECT_FALSE(window->Tools().Menu()->actions().last()->isChecked());
}

} // namespace
} // namespace kestrel::test
