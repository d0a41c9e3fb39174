// Keys and clicks in the main window as the user makes them: every key with a character code goes
// to the port (Tab too), the Tools shortcuts use keys without one, a middle click pastes only when
// asked to, Enter presses the focused button, and the File menu's first entry reads as a separator.
#include "QtFixture.h"
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
namespace kestrel::test {
namespace {
const QString kClipboard = QStringLiteral("from clipboard");
const QString kSelection = QStringLiteral("from selection");
// The main window shown and active, its port open, the focus on the display.
class Keys : public QtFixture {
protected:
  void SetUp() override {
    QtFixture::SetUp();
    Main();
    QApplication::setActiveWindow(main.get());
    QGuiApplication::clipboard()->setText(kClipboard);
    if (QGuiApplication::clipboard()->supportsSelection())
      QGuiApplication::clipboard()->setText(kSelection, QClipboard::Selection);
    main->Display().setFocus();
  }
  QPushButton *Button(const QString &caption) { return ByText<QPushButton>(*main, caption); }
  QAction *ToolsItem(const QString &caption) {
    for (QAction *a : main->Tools().Menu()->actions())
      if (a->text() == caption)
        return a;
    return nullptr;
  }
  // The text the desktop pastes with a middle click.
  static std::string Selected() {
    return (QGuiApplication::clipboard()->supportsSelection() ? kSelection : kClipboard)
        .toStdString();
  }
};

// Each key comes with the text the window system gives it (a Ctrl+letter gives its control code).
struct TypedKey {
  const char *name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  const char *text;
  const char *sent;
  bool displayKeepsFocus = true;
};
// Tab completes at a board's shell, so it is sent too; Ctrl+Tab and Shift+Tab move the focus on
// and back.
TEST_F(Keys, EveryKeyWithACharacterCodeGoesToThePortAndNoShortcutTakesIt) {
  const TypedKey keys[] = {
      {"Ctrl+Shift+V", Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier, "\x16", "\x16"},
      {"Ctrl+Shift+F", Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier, "\x06", "\x06"},
      {"Ctrl+V", Qt::Key_V, Qt::ControlModifier, "\x16", "\x16"},
      {"Ctrl+C without a selection", Qt::Key_C, Qt::ControlModifier, "\x03", "\x03"},
      {"Ctrl+Shift+A", Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, "\x01", "\x01"},
      {"Shift+letter", Qt::Key_Q, Qt::ShiftModifier, "Q", "Q"},
      {"Enter", Qt::Key_Return, Qt::NoModifier, "\r", "\r"},
      {"Tab", Qt::Key_Tab, Qt::NoModifier, "\t", "\t"},
      {"Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier, "\t", "", false},
      {"Shift+Tab", Qt::Key_Backtab, Qt::ShiftModifier, "", "", false},
  };
  for (const TypedKey &k : keys) {
    SCOPED_TRACE(k.name);
    comm.sent.clear();
    main->Tools().Find().hide();
    main->Display().setFocus();
    QTest::sendKeyEvent(QTest::Click, &main->Display(), k.key, QString::fromLatin1(k.text),
                        k.modifiers);
    EXPECT_EQ(comm.sent, k.sent);
    EXPECT_FALSE(main->Tools().Find().isVisible());
    EXPECT_EQ(main->focusWidget() == &main->Display(), k.displayKeepsFocus);
  }
}
// With text selected, Ctrl+C copies it and sends nothing; the next Ctrl+C, after a click
// ended the selection, goes to the port again.
TEST_F(Keys, CtrlCCopiesASelectionInsteadOfSendingIt) {
  comm.Receive("board output\r\n");
  main->Display().Sync();
  const auto ctrlC = [this] {
    QTest::sendKeyEvent(QTest::Click, &main->Display(), Qt::Key_C, QStringLiteral("\x03"),
                        Qt::ControlModifier);
  };
  main->Display().selectAll();
  ctrlC();
  EXPECT_EQ(comm.sent, "");
  EXPECT_TRUE(QGuiApplication::clipboard()->text().endsWith("\nboard output\n"))
      << QGuiApplication::clipboard()->text().toStdString();
  QTest::mouseClick(main->Display().viewport(), Qt::LeftButton);
  ctrlC();
  EXPECT_EQ(comm.sent, "\x03");
}
TEST_F(Keys, PasteAndFindHaveShortcutsWithoutACharacterCode) {
  EXPECT_EQ(ToolsItem("Paste to Port")->shortcut().toString().toStdString(), "Shift+Ins");
  EXPECT_EQ(ToolsItem("Find...")->shortcut().toString().toStdString(), "F3");
  QTest::keyClick(&main->Display(), Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(comm.sent, kClipboard.toStdString());
  EXPECT_FALSE(main->Tools().Find().isVisible());
  QTest::keyClick(&main->Display(), Qt::Key_F3);
  EXPECT_TRUE(main->Tools().Find().isVisible());
  EXPECT_EQ(comm.sent, kClipboard.toStdString());
}
// Clear at start, a middle click sends nothing, as before the Tools menu existed.
TEST_F(Keys, AMiddleClickPastesOnlyWhilePasteOnMiddleClickIsChecked) {
  QAction *item = ToolsItem("Paste on Middle Click");
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->isCheckable());
  EXPECT_FALSE(item->isChecked());
  QTest::mouseClick(main->Display().viewport(), Qt::MiddleButton);
  EXPECT_EQ(comm.sent, "");
  item->trigger();
  EXPECT_TRUE(item->isChecked());
  QTest::mouseClick(main->Display().viewport(), Qt::MiddleButton);
  EXPECT_EQ(comm.sent, Selected());
  item->trigger();
  QTest::mouseClick(main->Display().viewport(), Qt::MiddleButton);
  EXPECT_EQ(comm.sent, Selected());
}
TEST_F(Keys, EnterAndReturnPressTheFocusedButtonOfTheMainWindow) {
  struct Press {
    const char *name;
    Qt::Key key;
    const char *before;
    const char *after;
  };
  for (const Press &p : {Press{"Return", Qt::Key_Return, "Close Port", "Open Port"},
                         Press{"keypad Enter", Qt::Key_Enter, "Open Port", "Close Port"}}) {
    SCOPED_TRACE(p.name);
    QPushButton *button = Button(p.before);
    ASSERT_NE(button, nullptr);
    button->setFocus();
    QTest::keyClick(button, p.key);
    EXPECT_EQ(button->text().toStdString(), p.after);
  }
  comm.Receive("board output\r\n");
  main->Display().Sync();
  Button("Clear Display")->setFocus();
  QTest::keyClick(Button("Clear Display"), Qt::Key_Return);
  main->Display().Sync();
  EXPECT_EQ(main->Display().toPlainText().toStdString(), "");
}
TEST_F(Keys, TheFileMenusFirstEntryReadsAsASeparatorAndIsDrawnWithRoom) {
  QMenu *file = main->menuBar()->actions().at(0)->menu();
  file->popup(main->mapToGlobal(QPoint(0, 0)));
  QApplication::processEvents();
  QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(file);
  ASSERT_EQ(menu->childCount(), 4);
  QStringList read;
  for (int i = 0; i < menu->childCount(); ++i)
    read << QString(menu->child(i)->role() == QAccessible::Separator ? "separator" : "item") + " " +
                menu->child(i)->text(QAccessible::Name);
  EXPECT_EQ(read, (QStringList{"separator ", "item Log File", "separator ", "item Exit"}));
  EXPECT_GE(file->actionGeometry(file->actions().at(0)).height(), file->fontMetrics().height() / 2);
  file->close();
}
} // namespace
} // namespace kestrel::test
