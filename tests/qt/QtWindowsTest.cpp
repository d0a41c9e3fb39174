// The Qt windows as the desktop meets them, over a fake communications control
// with a free COM2: titles as the window system shows them, texts as a screen
// reader reads them, outside text shown as text and never as markup, and the
// keys, menus and mouse as users use them.
#include "FakeCommControl.h"
#include "FakeWindowHost.h"
#include "MainWindow.h"
#include "QtAboutWindow.h"
#include "QtConfigSerialWindow.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "clsSerialPortConfigINI.h"

#include <QAccessible>
#include <QApplication>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os) {
  *os << '"' << text.toStdString() << '"';
}

namespace kestrel::test {
namespace {

using Texts = QStringList;

class QtWindows : public ::testing::Test {
protected:
  void SetUp() override {
    qt::SetApplicationIdentity();
    ApplicationFolder(dir.Path());
    WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=2\nSettings=19200,N,8,1\n");
    comm.Port(2, FakeCommControl::PortState::Free);
  }
  void TearDown() override { ApplicationFolder(""); }
  qt::MainWindow &Main(bool open = true) {
    main = std::make_unique<qt::MainWindow>(comm, host);
    main->show();
    if (open)
      Click(*main, "OpenPort");
    return *main;
  }
  // A zero-width line-break chance in a widget's text is not seen.
  template <class T = QLabel> static T *ByText(QWidget &root, const QString &text) {
    for (T *w : root.findChildren<T *>())
      if (QString(w->text()).remove(QChar(0x200B)) == text)
        return w;
    return nullptr;
  }
  static void Click(QWidget &w, const QString &b) {
    QTest::mouseClick(ByText<QPushButton>(w, b), Qt::LeftButton);
  }
  static void Settle(int ms) { QTest::qWait(ms), QApplication::processEvents(); }
  static QString Reader(QWidget *w) {
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a->text(QAccessible::Name) + (a->state().disabled ? " (grey)" : "");
  }
  // Runs fn on the modal or popup window the next call opens, then closes it.
  static void OnModal(std::function<void(QWidget &)> fn) {
    QTimer::singleShot(50, [fn] {
      if (QWidget *w = QApplication::activeModalWidget() ?: QApplication::activePopupWidget())
        fn(*w), w->close();
    });
  }
  // The labels whose text looks like markup, each expected to show it as it is.
  static int MarkupShownPlain(QWidget &root) {
    int seen = 0;
    for (QLabel *l : root.findChildren<QLabel *>())
      if (Qt::mightBeRichText(l->text()) && ++seen)
        EXPECT_EQ(l->textFormat(), Qt::PlainText) << l->text().toStdString();
    return seen;
  }
  // Qt's platform windows append the application's display name, when the
  // program sets one, to every title that does not already end with it.
  static QString DesktopTitle(QWidget &w) {
    const QString title = (w.winId(), w.windowHandle()->title());
    const QString name = QGuiApplication::applicationDisplayName();
    return name == QCoreApplication::applicationName() || title.endsWith(name)
               ? title
               : title + " \u2014 " + name;
  }
  static QString Entries(QWidget &menu) {
    Texts out;
    for (QAction *a : menu.actions())
      out << (a->isSeparator()
                  ? "-"
                  : a->text() + (a->isCheckable() ? " [ ]" : "") +
                        (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString()));
    return out.join('|');
  }
  TempDir dir;
  FakeCommControl comm;
  FakeClock clock;
  FakeAppInfo appInfo;
  FakeWindowHost host{clock, appInfo};
  FakeShell shell;
  std::unique_ptr<qt::MainWindow> main;
};

TEST_F(QtWindows, TheMainWindowReadsItsPanelsAndSendsTypedCharactersOnly) {
  qt::MainWindow &w = Main(false);
  QPushButton *open = ByText<QPushButton>(w, "OpenPort");
  EXPECT_EQ(w.focusWidget(), open);
  const auto panels = w.statusBar()->findChildren<QLabel *>();
  auto seen = [&] { return Texts{Reader(open), Reader(panels[0]), Reader(panels[1])}; };
  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_EQ(seen(), (Texts{"Close Port", "Serial Port Active", "Com2 - 19200,N,8,1"}));
  comm.Receive("hello board\r\n");
  Settle(80);
  EXPECT_TRUE(w.Display().toPlainText().endsWith("\nhello board\n"));
  auto press = [&](Qt::Key key, const QString &text, Qt::KeyboardModifiers mods = {}) {
    QKeyEvent event(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(&w.Display(), &event);
    return comm.sent;
  };
  for (Qt::Key key : {Qt::Key_Delete, Qt::Key_Left, Qt::Key_F1, Qt::Key_F5, Qt::Key_Home})
    EXPECT_EQ(press(key, key == Qt::Key_Delete ? "\x7f" : ""), "") << key;
  press(Qt::Key_A, "\x01", Qt::ControlModifier), press(Qt::Key_Escape, "\x1b"),
      press(Qt::Key_Q, "q");
  EXPECT_EQ(press(Qt::Key_Return, "\r"), "\x01\x1bq\r");
  const Texts closed{"Open Port", "Serial Port Closed", "Com2 - 19200,N,8,1 (grey)"};
  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_EQ(seen(), closed);
  QTest::mouseClick(open, Qt::LeftButton);
  comm.Vanish();
  w.DeviceClosed();
  EXPECT_EQ(seen(), closed);
}

// Only the paste has a key in the display's menu, and it never reaches the port.
TEST_F(QtWindows, TheMenusNameTheirItemsAndPasteComesByKeyOrMiddleClick) {
  qt::MainWindow &w = Main();
  QString context;
  OnModal([&](QWidget &menu) { context = Entries(menu); });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), w.mapToGlobal(QPoint(10, 10)));
  QApplication::sendEvent(w.Display().viewport(), &event);
  Settle(120);
  EXPECT_EQ((Texts{context, Entries(*w.menuBar()), Entries(*w.menuBar()->actions()[0]->menu()),
                   Entries(*w.Tools().Menu())}),
            (Texts{"&Copy|Select All|-|Paste to Port Ctrl+Shift+V", "&File|Options|Tools|Help",
                   "|Log File|-|E&xit",
                   "Reconnect Automatically [ ]|-|Paste to Port Ctrl+Shift+V|Send File...|Send "
                   "Break|-|Find... Ctrl+Shift+F|Line Levels [ ]"}));
  QApplication::setActiveWindow(&w);
  w.Display().setFocus();
  QGuiApplication::clipboard()->setText(QStringLiteral("ls\n\u00e9\u20ac\r\n"));
  QTest::keyClick(&w.Display(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
  // Ctrl+letter as the window system gives it: the control code as its text.
  for (auto [key, code] : {std::pair(Qt::Key_V, 0x16), std::pair(Qt::Key_F, 0x06)})
    QTest::sendKeyEvent(QTest::Click, &w.Display(), key, QString(QChar(code)), Qt::ControlModifier);
  QTest::mouseClick(w.Display().viewport(), Qt::MiddleButton);
  EXPECT_EQ(comm.sent, "ls\r\xe9\r\x16\x06ls\r\xe9\r");
}

TEST_F(QtWindows, TheLineLevelsWindowReadsAsItsLinesAndLitLampsLookUnlikeDarkOnes) {
  qt::MainWindow &w = Main(false);
  w.Tools().Menu()->actions().last()->trigger();
  qt::LineLevelsWindow &levels = w.Tools().Levels();
  EXPECT_TRUE(levels.isVisible() && (levels.windowFlags() & Qt::WindowStaysOnTopHint));
  const auto lamps = levels.findChildren<QLabel *>();
  auto names = [&] {
    Texts out;
    for (int i = 0; i < 6; ++i)
      out << Reader(lamps[i]).remove(" (grey)");
    return out.join(", ");
  };
  const QString closed = " unknown, port closed";
  EXPECT_EQ(names(), "CTS" + closed + ", DSR" + closed + ", CD" + closed + ", RI" + closed +
                         ", RTS" + closed + ", DTR" + closed);
  Click(w, "OpenPort");
  comm.inputs.cd = true;
  comm.DTREnable(true);
  QTest::qWait(80);
  EXPECT_EQ(names(), "CTS low, DSR low, CD high, RI low, RTS low, DTR high");
  // In the theme's own colours.
  auto shade = [&](int i) {
    return lamps[i]->grab().toImage().pixelColor(lamps[i]->width() / 2, 4);
  };
  EXPECT_NE(shade(2), shade(0));
  EXPECT_EQ(shade(1), shade(0));
  levels.close();
  EXPECT_FALSE(w.Tools().Menu()->actions().last()->isChecked());
}

// Settings, device names, file names and system texts reach the status bar,
// message boxes and the send window as text; titles are the windows' own.
TEST_F(QtWindows, TitlesAreTheWindowsOwnAndOutsideTextIsShownAsPlainText) {
  WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=2\nSettings=<b>9600</b>,N,8,1\n");
  qt::MainWindow &w = Main(false);
  EXPECT_EQ(MarkupShownPlain(w), 1);
  EXPECT_TRUE(ByText(w, "Com2 - <b>9600</b>,N,8,1"));
  qt::QtConfigSerialWindow config(&w, [](std::int16_t) { return std::string(); });
  qt::QtAboutWindow about(clock, appInfo, shell);
  // Each box: its title, its labels (the icon's first) and how many look like markup.
  const QString title = "qt_tests - Unable to Initialize Serial Port",
                update = "Please Update Serial Port Information";
  Texts boxes{DesktopTitle(w), DesktopTitle(config.Dialog()), DesktopTitle(about.Widget())};
  auto read = [&](QWidget &box) {
    boxes << DesktopTitle(box);
    for (QLabel *l : box.findChildren<QLabel *>())
      boxes << l->text();
    boxes << QString::number(MarkupShownPlain(box));
  };
  OnModal(read);
  qt::QtMessageBox(&w).Show("<b>Please</b> Update", title.toStdString(), MessageIcon::Exclamation,
                            "");
  for (const char *ini : {"Port=2\nSettings=<b>9600</b>", "Port=<i>2</i>\nSettings=9600"}) {
    WriteFile(dir.File("Serial.ini"), std::string("[SerialPort]\n") + ini + ",N,8,1\n");
    OnModal(read);
    Click(w, "OpenPort");
  }
  EXPECT_EQ(boxes,
            (Texts{"Kestrel Terminal", "Serial Port Configuration",
                   "About Kestrel Terminal - Serial Communication Terminal", title, "",
                   "<b>Please</b> Update", "1", title, "", update, "invalid settings", "0", title,
                   "", update,
                   "No port was opened: the stored port \"<i>2</i>\" is not a port number.", "1"}));
  qt::SendProgressDialog progress(&w);
  progress.Show("<b>board</b>.bin");
  progress.Progress(0, "<i>0</i> bytes");
  EXPECT_EQ(MarkupShownPlain(progress), 2);
  // A log path with "&" keeps it, on screen and for a screen reader, instead
  // of turning the next letter into a shortcut.
  QCheckBox box;
  qt::QtCheckBox log(&box);
  const std::string caption = "Log Enabled: /tmp/R&D/<b>board</b>.txt";
  log.Caption(caption);
  EXPECT_EQ(log.Caption() + "|" + Reader(&box).toStdString(), caption + "|" + caption);
  EXPECT_TRUE(QKeySequence::mnemonic(box.text()).isEmpty());
}

TEST_F(QtWindows, TheConfigurationDialogFollowsItsTableAndOnlyTheFocusedButtonTakesEnter) {
  clsSerialPortConfigINI store;
  store.FileNameINI("Serial.ini");
  store.ComControl(&comm);
  qt::QtConfigSerialWindow config(nullptr, [](std::int16_t) { return std::string("/dev/ttyS1"); });
  config.Form().clsSerialPortConfig = &store;
  config.Form().InitForm();
  QDialog &d = config.Dialog();
  d.show();
  const auto lists = d.findChildren<QComboBox *>();
  ASSERT_EQ(lists.size(), 5);
  EXPECT_EQ(
      (Texts{d.windowTitle(), lists[0]->currentText(), lists[4]->currentText(), lists[1]->toolTip(),
             ByText(d, "/dev/ttyS1") ? "device" : "none"}),
      (Texts{"Serial Port Configuration", "COM2", "19200", "These Value Is Hard-Coded", "device"}));
  EXPECT_FALSE(lists[0]->isEditable() || d.minimumSize() != d.maximumSize());
  for (QPushButton *b : d.findChildren<QPushButton *>())
    EXPECT_FALSE(b->autoDefault() || b->isDefault()) << b->text().toStdString();
  QPushButton *ok = ByText<QPushButton>(d, "&OK");
  EXPECT_EQ(ok->nextInFocusChain(), ByText<QPushButton>(d, "&Cancel"));
  lists[4]->setCurrentIndex(0);
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_TRUE(d.isVisible());
  ok->setFocus();
  QTest::keyClick(ok, Qt::Key_Return);
  EXPECT_FALSE(d.isVisible());
  std::string port, settings;
  EXPECT_TRUE(store.SettingsRetrieve(port, settings) && settings == "115200,N,8,1") << settings;
}

TEST_F(QtWindows, TheAboutBoxOpensOverTheWindowAndUnloadsOnOkOrADoubleClickOnItsBackground) {
  qt::MainWindow &main = Main(false);
  main.move(40, 30);
  for (bool byOk : {true, false}) {
    qt::QtAboutWindow about(clock, appInfo, shell, &main);
    QWidget &w = about.Widget();
    QLabel *version = ByText(w, "Version 0.1 - January 13, 2009 (Alpha)");
    ASSERT_TRUE(version && w.width() == (6780 + 7) / 15);
    about.ShowModeless();
    EXPECT_TRUE(about.Loaded() && w.isVisible());
    EXPECT_LE((w.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 4);
    QTest::mouseDClick(version, Qt::LeftButton);
    QTest::mouseDClick(w.childAt(2, 2), Qt::LeftButton); // the banner
    EXPECT_TRUE(about.Loaded());
    if (byOk) {
      Click(w, "&Website");
      EXPECT_EQ(shell.opened.size(), 1u);
      ByText<QPushButton>(w, "&OK")->setFocus();
      QTest::keyClick(ByText<QPushButton>(w, "&OK"), Qt::Key_Enter);
    } else {
      QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(w.width() - 4, w.height() - 4));
    }
    EXPECT_FALSE(about.Loaded() || w.isVisible());
  }
}

TEST_F(QtWindows, TheStartLineHasTheShortDateAndTheLongTimeWithoutAZone) {
  const QLocale original;
  for (const auto &[locale, text] :
       {std::pair(QLocale(QLocale::English, QLocale::UnitedStates), "12/5/26 3:46:54 AM"),
        std::pair(QLocale(QLocale::German, QLocale::Germany), "05.12.26 03:46:54")}) {
    QLocale::setDefault(locale);
    EXPECT_EQ(qt::QtClock().DefaultDateTimeText(clock.now), text);
  }
  QLocale::setDefault(original);
}

} // namespace
} // namespace kestrel::test

// The application object must outlive every widget and be gone before the
// program's static objects are, so it lives in main.
int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
