// The Qt windows as the desktop meets them, over a fake communications control
// with a free COM2: titles as the window system shows them, texts as a screen
// reader reads them, outside text shown as text and never as markup, the keys,
// menus and mouse as users use them, a display that shows exactly what came
// while data floods it, and layouts that fit the screen and any palette.
#include "FakeCommControl.h"
#include "FakeControls.h"
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
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

inline std::ostream &operator<<(std::ostream &os, const QString &text) {
  return os << text.toStdString();
}

namespace kestrel::test {
namespace {

using Texts = QStringList;

// A zero-width line-break chance in a widget's text is not seen.
template <class T = QLabel> T *ByText(QWidget &root, const QString &text) {
  for (T *w : root.findChildren<T *>())
    if (QString(w->text()).remove(QChar(0x200B)) == text)
      return w;
  return nullptr;
}

void Click(QWidget &root, const QString &button) {
  QTest::mouseClick(ByText<QPushButton>(root, button), Qt::LeftButton);
}

void Settle(int ms) {
  QTest::qWait(ms);
  QApplication::processEvents();
}

QString Reader(QWidget *w) {
  QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
  return !a ? "<none>" : a->text(QAccessible::Name) + (a->state().disabled ? " (grey)" : "");
}

// Runs fn on the modal or popup window the next call opens, then closes it.
void OnModal(std::function<void(QWidget &)> fn) {
  QTimer::singleShot(50, [fn] {
    QWidget *w = QApplication::activeModalWidget();
    if (w || (w = QApplication::activePopupWidget()))
      fn(*w), w->close();
  });
}

// The labels whose text looks like markup, each expected to show it as it is.
int MarkupShownPlain(QWidget &root) {
  int seen = 0;
  for (QLabel *l : root.findChildren<QLabel *>())
    if (Qt::mightBeRichText(l->text()) && ++seen)
      EXPECT_EQ(l->textFormat(), Qt::PlainText) << l->text();
  return seen;
}

// Qt's platform windows append the application's display name, when the
// program sets one, to every title that does not already end with it.
QString DesktopTitle(QWidget &w) {
  w.winId();
  const QString title = w.windowHandle()->title(), name = QGuiApplication::applicationDisplayName();
  return name == QCoreApplication::applicationName() || title.endsWith(name)
             ? title
             : title + " \u2014 " + name;
}

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
  // The configuration dialog over Serial.ini, as the window loads it.
  std::unique_ptr<qt::QtConfigSerialWindow> Config(ICommControl &on, const std::string &device) {
    store.FileNameINI("Serial.ini");
    store.ComControl(&on);
    auto w = std::make_unique<qt::QtConfigSerialWindow>(nullptr, [device](auto) { return device; });
    w->Form().clsSerialPortConfig = &store;
    w->Form().InitForm();
    return w;
  }
  TempDir dir;
  FakeCommControl comm;
  FakeClock clock;
  FakeAppInfo appInfo;
  FakeWindowHost host{clock, appInfo};
  FakeShell shell;
  clsSerialPortConfigINI store;
  std::unique_ptr<qt::MainWindow> main;
};

TEST_F(QtWindows, TheMainWindowOpensThePortShowsWhatArrivesAndReadsItsPanels) {
  qt::MainWindow &w = Main(false);
  EXPECT_EQ(w.focusWidget(), ByText<QPushButton>(w, "OpenPort"));
  QPushButton *open = ByText<QPushButton>(w, "OpenPort");
  const auto panels = w.statusBar()->findChildren<QLabel *>();
  auto seen = [&] { return Texts{Reader(open), Reader(panels[0]), Reader(panels[1])}; };
  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_EQ(seen(), (Texts{"Close Port", "Serial Port Active", "Com2 - 19200,N,8,1"}));
  comm.Receive("hello board\r\n");
  Settle(80);
  EXPECT_TRUE(w.Display().toPlainText().endsWith("\nhello board\n"));
  const Texts closed{"Open Port", "Serial Port Closed", "Com2 - 19200,N,8,1 (grey)"};
  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_EQ(seen(), closed);
  QTest::mouseClick(open, Qt::LeftButton);
  comm.Vanish();
  w.DeviceClosed();
  EXPECT_EQ(seen(), closed);
}

TEST_F(QtWindows, KeysWithoutACharacterSendNothingAndOnlyThePasteHasAKey) {
  qt::MainWindow &w = Main();
  for (const auto &[key, mods, text, sent] :
       std::vector<std::tuple<Qt::Key, Qt::KeyboardModifiers, QString, std::string>>{
           {Qt::Key_Delete, {}, QString(QChar(0x7F)), ""},
           {Qt::Key_Left, {}, "", ""},
           {Qt::Key_F1, {}, "", ""},
           {Qt::Key_F5, {}, "", ""},
           {Qt::Key_Home, {}, "", ""},
           {Qt::Key_A, Qt::ControlModifier, QString(QChar(1)), "\x01"},
           {Qt::Key_Escape, {}, QString(QChar(27)), "\x1b"},
           {Qt::Key_Q, {}, "q", "q"},
           {Qt::Key_Return, {}, "\r", "\r"}}) {
    comm.sent.clear();
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(&w.Display(), &press);
    EXPECT_EQ(comm.sent, sent) << key;
  }
  auto entries = [](QWidget &menu) {
    Texts out;
    for (QAction *a : menu.actions())
      out << (a->isSeparator()
                  ? "-"
                  : a->text() + (a->isCheckable() ? " [ ]" : "") +
                        (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString()));
    return out.join('|');
  };
  QString context;
  OnModal([&](QWidget &menu) { context = entries(menu); });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), w.mapToGlobal(QPoint(10, 10)));
  QApplication::sendEvent(w.Display().viewport(), &event);
  Settle(120);
  EXPECT_EQ(context, "&Copy|Select All|-|Paste to Port Ctrl+Shift+V");
  EXPECT_EQ(entries(*w.menuBar()), "&File|Options|Tools|Help");
  EXPECT_EQ(entries(*w.Tools().Menu()), "Reconnect Automatically [ ]|-|Paste to Port Ctrl+Shift+V|"
                                        "Send File...|Send Break|-|Find... Ctrl+Shift+F|Line "
                                        "Levels [ ]");
  // The menu opens with a line the user can see, with room above and below it.
  QMenu *file = w.menuBar()->actions().first()->menu();
  file->popup(w.mapToGlobal(QPoint(0, 0)));
  Settle(20);
  const QRect at = file->actionGeometry(file->actions().first());
  ASSERT_GE(at.height(), 5);
  const QImage menu = file->grab().toImage();
  bool line = false;
  for (int y = at.top() + 1; y < at.bottom(); ++y)
    line = line || menu.pixel(at.center().x(), y) != menu.pixel(at.center().x(), at.top());
  EXPECT_TRUE(line && !file->actions().first()->isEnabled());
  EXPECT_EQ(entries(*file), "|Log File|-|E&xit");
  file->close();
}

TEST_F(QtWindows, CtrlShiftVAndAMiddleClickPasteWhileCtrlLettersStillGoToThePort) {
  qt::MainWindow &w = Main();
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

TEST_F(QtWindows, EveryTitleIsExactlyTheWindowsOwn) {
  qt::MainWindow &w = Main(false);
  qt::QtConfigSerialWindow config(&w, [](std::int16_t) { return std::string(); });
  qt::QtAboutWindow about(clock, appInfo, shell);
  QString box;
  OnModal([&](QWidget &w) { box = DesktopTitle(w) + ": " + QString::number(MarkupShownPlain(w)); });
  qt::QtMessageBox(&w).Show("<b>Please</b> Update Serial Port Information",
                            "kestrel-terminal - Unable to Initialize Serial Port",
                            MessageIcon::Exclamation, "");
  EXPECT_EQ(
      (Texts{DesktopTitle(w), DesktopTitle(config.Dialog()), DesktopTitle(about.Widget()), box}),
      (Texts{"Kestrel Terminal", "Serial Port Configuration",
             "About Kestrel Terminal - Serial Communication Terminal",
             "kestrel-terminal - Unable to Initialize Serial Port: 1"}));
}

// Settings, device names, file names and system texts reach the status bar,
// message boxes and the send window as text.
TEST_F(QtWindows, OutsideTextIsShownAsPlainText) {
  WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=2\nSettings=<b>9600</b>,N,8,1\n");
  qt::MainWindow &w = Main(false);
  EXPECT_EQ(MarkupShownPlain(w), 1);
  EXPECT_TRUE(ByText(w, "Com2 - <b>9600</b>,N,8,1"));
  Texts boxes;
  for (const char *ini : {"Port=2\nSettings=<b>9600</b>", "Port=<i>2</i>\nSettings=9600"}) {
    WriteFile(dir.File("Serial.ini"), std::string("[SerialPort]\n") + ini + ",N,8,1\n");
    OnModal([&](QWidget &box) {
      for (QLabel *l : box.findChildren<QLabel *>())
        boxes << l->text();
      boxes << QString::number(MarkupShownPlain(box));
    });
    Click(w, "OpenPort");
  }
  EXPECT_TRUE(boxes.join('|').contains("\"<i>2</i>\" is not a port number")) << boxes.join('|');
  EXPECT_TRUE(boxes.contains("1"));
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
  auto config = Config(comm, "/dev/ttyS1");
  QDialog &d = config->Dialog();
  d.show();
  const auto lists = d.findChildren<QComboBox *>();
  ASSERT_EQ(lists.size(), 5);
  EXPECT_EQ(
      (Texts{d.windowTitle(), lists[0]->currentText(), lists[4]->currentText(), lists[1]->toolTip(),
             ByText(d, "/dev/ttyS1") ? "device" : "none"}),
      (Texts{"Serial Port Configuration", "COM2", "19200", "These Value Is Hard-Coded", "device"}));
  EXPECT_FALSE(lists[0]->isEditable() || d.minimumSize() != d.maximumSize());
  for (QPushButton *b : d.findChildren<QPushButton *>())
    EXPECT_FALSE(b->autoDefault() || b->isDefault()) << b->text();
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

// The line under the port list is read whole with every control inside the
// dialog and none under the line: a long device path, and, with no port to
// offer but devices the user may not open, which they are and how to get in.
TEST_F(QtWindows, TheConfigurationDialogShowsTheDeviceLineWhole) {
  const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  for (const auto &[state, device, line] :
       std::vector<std::tuple<FakeCommControl::PortState, std::string, QString>>{
           {FakeCommControl::PortState::Denied, "/dev/<b>ttyUSB0</b> - Board",
            "Found COM5 (/dev/<b>ttyUSB0</b> - Board), but you may not open it: add yourself to "
            "the dialout group (sudo adduser $USER dialout) and log in again."},
           {FakeCommControl::PortState::Free, byId, QString::fromStdString(byId)}}) {
    WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=5\nSettings=9600,N,8,1\n");
    FakeCommControl comm5;
    comm5.Port(5, state);
    auto config = Config(comm5, device);
    QDialog &d = config->Dialog();
    QLabel *label = ByText(d, line);
    ASSERT_NE(label, nullptr) << device;
    EXPECT_EQ(MarkupShownPlain(d), line.contains('<') ? 1 : 0);
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    for (QWidget *w : d.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
      EXPECT_TRUE(d.rect().contains(w->geometry())) << w->metaObject()->className();
    for (QLabel *l : d.findChildren<QLabel *>())
      EXPECT_TRUE(l == label || l->y() <= label->y() || l->y() >= label->geometry().bottom());
  }
}

TEST_F(QtWindows, TheConfigurationHeaderReadsInEveryPaletteAndItsCaptionIsWhole) {
  auto luminance = [](const QColor &c) {
    return 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
  };
  const QPalette original = QApplication::palette();
  QPalette dark(QColor(45, 45, 48), QColor(30, 30, 30)); // light text on dark ground
  dark.setColor(QPalette::Light, QColor(230, 230, 230));
  for (const QPalette &palette : {original, dark}) {
    QApplication::setPalette(palette);
    qt::QtConfigSerialWindow config(nullptr, [](std::int16_t) { return std::string(); });
    config.Dialog().show();
    QLabel *title = ByText(config.Dialog(), "Serial Port Configuration");
    QLabel *caption = ByText(config.Dialog(), "Please supply the following information ");
    ASSERT_TRUE(title && caption);
    QWidget *band = title->parentWidget();
    const double ground = luminance(band->palette().color(band->backgroundRole()));
    for (QLabel *l : {title, caption}) {
      EXPECT_GT(std::abs(luminance(l->palette().color(l->foregroundRole())) - ground), 0.4);
      EXPECT_GE(l->width(), l->sizeHint().width());
      for (QLabel *other : band->findChildren<QLabel *>())
        EXPECT_TRUE(other == l || !l->geometry().intersects(other->geometry()));
    }
    for (QPushButton *b : config.Dialog().findChildren<QPushButton *>())
      EXPECT_GE(b->width(), b->sizeHint().width()) << b->text();
  }
  QApplication::setPalette(original);
}

TEST_F(QtWindows, TheAboutBoxOpensOverTheWindowAndUnloadsOnOkOrADoubleClickOnItsBackground) {
  qt::MainWindow &main = Main(false);
  main.move(40, 30);
  for (bool byOk : {true, false}) {
    qt::QtAboutWindow about(clock, appInfo, shell, &main);
    QWidget &w = about.Widget();
    EXPECT_EQ(w.width(), (6780 + 7) / 15);
    QLabel *version = ByText(w, "Version 0.1 - January 13, 2009 (Alpha)");
    ASSERT_TRUE(version);
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

// However the model was cut and appended to between two repaints, the view
// ends up showing exactly its text, less the CRs; a flood costs few repaints.
TEST_F(QtWindows, TheDisplayShowsExactlyTheModelAfterEveryKindOfFlood) {
  for (const auto &[chunk, times] : std::vector<std::pair<std::string, int>>{
           {"line of text 0123456789\r\n", 2000}, // short lines past the trimming
           {"abcdefghijklmnopqrstuvwxyz", 2000},  // one endless line
           {"x\n", 700},                          // past the 500-line clear
           {"\n\n\n", 300}}) {
    qt::MainWindow &w = Main();
    const int before = w.Display().Repaints();
    for (int i = 0; i < times; ++i)
      comm.Receive(chunk);
    Settle(150);
    EXPECT_LE(w.Display().Repaints() - before, 10);
    for (int i = 0; i < times; ++i)
      if (comm.Receive(chunk); i % 97 == 0)
        w.Display().Sync();
    w.Display().Sync();
    const std::string_view model = w.Model().Text();
    EXPECT_EQ(w.Display().toPlainText(),
              QString::fromLatin1(model.data(), qsizetype(model.size())).remove('\r'));
    w.Logic().cmdClearDisplay_Click();
    comm.Receive("after\r\n");
    w.Display().Sync();
    EXPECT_EQ(w.Display().toPlainText(), "after\n");
  }
}

// Lines long enough that the display trims its oldest while they arrive.
void Flood(FakeCommControl &comm, qt::MainWindow &w, const std::string &what, int lines,
           int pause = 0) {
  for (int i = 0; i < lines; ++i) {
    comm.Receive(what + std::to_string(i) + " " + std::string(60, '.') + "\r\n");
    if (pause)
      Settle(pause);
  }
  Settle(60);
  w.Display().Sync();
}

TEST_F(QtWindows, TheDisplayKeepsASelectionAndFollowsTheEndUnlessScrolledUp) {
  qt::MainWindow &w = Main();
  w.resize(900, 500);
  w.activateWindow();
  Flood(comm, w, "line ", 200);
  QScrollBar *bar = w.Display().verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  QTest::mouseClick(w.Display().viewport(), Qt::LeftButton, {}, QPoint(20, 20));
  for (const char *round : {"more0 ", "more1 ", "more2 "}) {
    Flood(comm, w, round, 30);
    EXPECT_EQ(bar->value(), bar->maximum());
  }
  w.Display().setTextCursor(w.Display().document()->find("more2 15 "));
  Flood(comm, w, "busy ", 40, 5);
  w.Display().copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "more2 15 ");
  bar->setValue(bar->maximum() - 10);
  auto top = [&] { return w.Display().cursorForPosition(QPoint(0, 0)).block().text(); };
  const QString shown = top();
  Flood(comm, w, "later ", 20);
  EXPECT_LT(bar->value(), bar->maximum());
  EXPECT_EQ(top(), shown);
}

TEST_F(QtWindows, TheWindowFitsTheScreenAndTheDisplayTakesTheRoomItGains) {
  qt::MainWindow &w = Main(false);
  const QRect screen = w.screen()->availableGeometry();
  EXPECT_TRUE(screen.size().expandedTo(w.minimumSizeHint()) == screen.size());
  EXPECT_LE(w.minimumWidth(), screen.width());
  for (QSize size : {QSize(1500, 900), QSize(500, 300)}) {
    w.resize(size);
    Settle(20);
    QWidget *central = w.centralWidget();
    const QRect display = w.Display().geometry();
    EXPECT_TRUE(size.width() < 1000 || display.width() > 1200) << display.width();
    for (QWidget *c : central->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
      EXPECT_TRUE(central->rect().contains(c->geometry())) << c->metaObject()->className();
    for (const char *name : {"Clear Display", "OpenPort"}) {
      QPushButton *b = ByText<QPushButton>(w, name);
      EXPECT_TRUE(b->geometry().right() == display.right() && b->width() >= b->sizeHint().width());
    }
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
