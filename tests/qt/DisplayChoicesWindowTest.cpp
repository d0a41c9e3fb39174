// The display choices in the real window on a fake port with a free COM2: the Tools items
// remembered in Serial.ini, colours taken out of the text the view shows, hex rows, the Send
// Hex dialog, the clock's milliseconds; and a check item moved between menus still works.
#include "IniFile.h"
#include "QtFixture.h"
#include <QAccessible>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <tuple>
namespace kestrel::test {
namespace {
class DisplayChoicesWindow : public QtFixture {
protected:
  void TearDown() override {
    main.reset();
    QtFixture::TearDown();
  }
  QAction *Item(const QString &text) {
    for (QAction *a : main->Tools().Menu()->actions())
      if (a->text() == text)
        return a;
    ADD_FAILURE() << "no Tools item " << text.toStdString();
    return nullptr;
  }
  std::string Shown() {
    main->Display().Sync();
    return main->Display().toPlainText().toStdString();
  }
};
TEST_F(DisplayChoicesWindow, ChoicesStartClearAndAreKeptInTheToolsSection) {
  Main();
  for (const char *item : {"Show Colours", "Show Hex", "Milliseconds in Time Prefix"})
    EXPECT_FALSE(Item(item)->isChecked()) << item;
  Item("Show Colours")->trigger();
  Item("Milliseconds in Time Prefix")->trigger();
  EXPECT_EQ(
      IniReadSection(dir.File("Serial.ini"), "Tools"),
      (std::vector<std::pair<std::string, std::string>>{{"Colours", "1"}, {"Milliseconds", "1"}}));
  Main(); // the next start
  EXPECT_TRUE(Item("Show Colours")->isChecked());
  EXPECT_FALSE(Item("Show Hex")->isChecked());
  EXPECT_TRUE(Item("Milliseconds in Time Prefix")->isChecked());
}
TEST_F(DisplayChoicesWindow, TheViewShowsTheTextWithoutItsSequencesAndHexAsRows) {
  qt::MainWindow &w = Main();
  comm.Receive("\x1b[0;32mI (31) boot\x1b[0m\r\n");
  EXPECT_NE(Shown().find("\n[0;32mI (31) boot[0m\n"), std::string::npos);
  Item("Show Colours")->trigger();
  comm.Receive("\x1b[0;32mI (32) boot\x1b]0;title\x07\x1b[0m\r\n");
  EXPECT_NE(Shown().find("\nI (32) boot\n"), std::string::npos);
  EXPECT_EQ(w.Model().StyleAt(w.Model().Origin() + w.Model().Text().rfind("I (32)")),
            (TextStyle{2, TextStyle::kDefaultColour, false, false}.Packed()));
  Item("Show Hex")->trigger();
  comm.Receive("AB\r\n");
  EXPECT_TRUE(Shown().ends_with("\n00000000  41 42 0D 0A" + std::string(39, ' ') + "AB..\n"));
}
TEST_F(DisplayChoicesWindow, SendHexAsksInADialogAndSendsThePairs) {
  Main();
  QString title, label;
  QTimer::singleShot(50, [&] {
    auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    label = dialog->labelText();
    QLineEdit *line = dialog->findChild<QLineEdit *>();
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(line);
    ASSERT_NE(reader, nullptr);
    QTest::keyClicks(line, "48 69 0d0A");
    dialog->accept();
  });
  Item("Send Hex...")->trigger();
  EXPECT_EQ(title, QString::fromStdString(qt::QtAppInfo().ExeName()) + " - Send Hex");
  EXPECT_EQ(label, "Bytes to send, as hex pairs (01 A0 ff):");
  EXPECT_EQ(comm.sent, "Hi\r\n");
}
// Local Echo is made in the Enter Sends menu and moved to the end of Tools.
TEST_F(DisplayChoicesWindow, ACheckItemMovedToAnotherMenuKeepsItsHandler) {
  Main();
  main->Tools().AddTypingItems();
  Item("Local Echo")->trigger();
  EXPECT_TRUE(Item("Local Echo")->isChecked());
  EXPECT_EQ(IniReadSection(dir.File("Serial.ini"), "Tools"),
            (std::vector<std::pair<std::string, std::string>>{{"LocalEcho", "1"}}));
}
TEST(QtClock, MillisecondsComeWithTheSecondTheyBelongTo) {
  qt::QtClock clock;
  for (int tries = 0; tries < 5; ++tries) {
    const LocalTime before = clock.Now();
    LocalTime precise = clock.NowWithMilliseconds();
    const LocalTime after = clock.Now();
    if (!(before == after))
      continue; // a second turned meanwhile
    EXPECT_GE(precise.millisecond, 0);
    EXPECT_LE(precise.millisecond, 999);
    precise.millisecond = 0;
    EXPECT_EQ(precise, before);
    EXPECT_EQ(before.millisecond, 0);
    return;
  }
  ADD_FAILURE() << "the clock never held still for a second";
}
// Read back to back for a little over a second, so one turn of the second is
// passed: a plain stamp taken after one with milliseconds is never a second behind it.
TEST(QtClock, APlainStampNeverGoesBackBehindOneWithMilliseconds) {
  qt::QtClock clock;
  const auto seconds = [](const LocalTime &t) {
    return std::tuple(t.year, t.month, t.day, t.hour, t.minute, t.second);
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1100);
  while (std::chrono::steady_clock::now() < end) {
    const LocalTime precise = clock.NowWithMilliseconds();
    const LocalTime plain = clock.Now();
    ASSERT_GE(seconds(plain), seconds(precise)) << "at millisecond " << precise.millisecond;
  }
}
} // namespace
} // namespace kestrel::test
