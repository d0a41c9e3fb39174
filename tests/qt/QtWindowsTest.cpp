// The Qt windows as the desktop meets them, on a fake port with a free COM2: titles,
// texts as a screen reader reads them, outside text never shown as markup, keys and menus.
#include "QtAboutWindow.h"
#include "QtConfigSerialWindow.h"
#include "QtFixture.h"
#include "clsSerialPortConfigINI.h"
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <cmath>
inline void PrintTo(const QString &text, std::ostream *os) {
  *os << '"' << text.toStdString() << '"';
}
namespace kestrel::test {
namespace {
using Texts = QStringList;
// Counts the events of one type that reach a widget.
class EventSpy : public QObject {
public:
  EventSpy(QObject *target, QEvent::Type type, int &count) : mType(type), mCount(count) {
    target->installEventFilter(this);
  }
  bool eventFilter(QObject *, QEvent *event) override {
    mCount += event->type() == mType;
    return false;
  }

private:
  QEvent::Type mType;
  int &mCount;
};
class QtWindows : public QtFixture {
protected:
  static void Settle(int ms) {
    QTest::qWait(ms);
    QApplication::processEvents();
  }
  static QString Reader(QWidget *w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name) +
           (QAccessible::queryAccessibleInterface(w)->state().disabled ? " (grey)" : "");
  }
  // Runs fn on the modal or popup window the next call opens, then closes it.
  static void OnModal(std::function<void(QWidget &)> fn) {
    QTimer::singleShot(50, [fn] {
      for (QWidget *w : {QApplication::activeModalWidget(), QApplication::activePopupWidget()})
        if (w) {
          fn(*w);
          w->close();
          return;
        }
    });
  }
  // The labels whose text looks like markup, each expected to show it as it is.
  static int MarkupShownPlain(QWidget &root) {
    int seen = 0;
    for (QLabel *l : root.findChildren<QLabel *>())
      if (Qt::mightBeRichText(l->text())) {
        ++seen;
        EXPECT_EQ(l->textFormat(), Qt::PlainText) << l->text().toStdString();
      }
    return seen;
  }
  static QString DesktopTitle(QWidget &w) {
    w.winId(); // makes the platform window
    return w.windowHandle()->title();
  }
  static QString Entries(QWidget &menu) {
    Texts out;
    for (QAction *a : menu.actions())
      out << a->text() + (a->isCheckable() ? " [ ]" : "") +
                 (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString());
    return out.join('|');
  }
  FakeShell shell;
};

// What a message box shows: its title, its labels (the icon's first) and how many of them look
// like markup.
struct BoxSeen {
  QString title;
  Texts labels;
  int markup = 0;
  bool operator==(const BoxSeen &) const = default;
};
void PrintTo(const BoxSeen &b, std::ostream *os) {
  *os << "{title \"" << b.title.toStdString() << "\", labels \"" << b.labels.join("|").toStdString()
      << "\", " << b.markup << " like markup}";
}

// A lit lamp looks unlike a dark one, in the theme's own colours.
TEST_F(QtWindows, TheMainWindowReadsItsPanelsAndLampsAndSendsTypedCharactersOnly) {
  qt::MainWindow &w = Main(false);
  QPushButton *open = ByText<QPushButton>(w, "OpenPort");
  EXPECT_EQ(w.focusWidget(), open);
  w.Tools().Menu()->actions().last()->trigger();
  qt::LineLevelsWindow &levels = w.Tools().Levels();
  EXPECT_TRUE(levels.isVisible());
  EXPECT_TRUE(levels.windowFlags() & Qt::WindowStaysOnTopHint);
  const auto panels = w.statusBar()->findChildren<QLabel *>();
  const auto lamps = levels.findChildren<QLabel *>();
  auto seen = [&] {
    Texts out{Reader(open), Reader(panels[0]), Reader(panels[1])};
    for (int i = 0; i < 6; ++i)
      out << Reader(lamps[i]);
    return out;
  };
  Texts closed{"Open Port", "Serial Port Closed", "Com2 - 19200,N,8,1 (grey)"};
  for (const char *line : {"CTS", "DSR", "CD", "RI", "RTS", "DTR"})
    closed << QString(line) + " unknown, port closed (grey)";
  EXPECT_EQ(seen().mid(3), closed.mid(3));
  QTest::mouseClick(open, Qt::LeftButton);
  comm.inputs.cd = true;
  comm.DTREnable(true);
  comm.Receive("hello board\r\n");
  Settle(80);
  EXPECT_EQ(seen(), (Texts{"Close Port", "Serial Port Active", "Com2 - 19200,N,8,1", "CTS low",
                           "DSR low", "CD high", "RI low", "RTS low", "DTR high"}));
  EXPECT_TRUE(w.Display().toPlainText().endsWith("\nhello board\n"));
  auto shade = [&](int i) {
    return lamps[i]->grab().toImage().pixelColor(lamps[i]->width() / 2, 4);
  };
  EXPECT_NE(shade(2), shade(0)) << "CD high, CTS low";
  EXPECT_EQ(shade(1), shade(0)) << "DSR low, CTS low";
  auto press = [&](Qt::Key key, const QString &text, Qt::KeyboardModifiers mods = {}) {
    QKeyEvent event(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(&w.Display(), &event);
    return comm.sent;
  };
  for (Qt::Key key : {Qt::Key_Delete, Qt::Key_Left, Qt::Key_F1, Qt::Key_F5, Qt::Key_Home})
    EXPECT_EQ(press(key, key == Qt::Key_Delete ? "\x7f" : ""), "") << key;
  press(Qt::Key_A, "\x01", Qt::ControlModifier);
  press(Qt::Key_Escape, "\x1b");
  press(Qt::Key_Q, "q");
  EXPECT_EQ(press(Qt::Key_Return, "\r"), "\x01\x1bq\r");
  QTest::mouseClick(open, Qt::LeftButton);
  Settle(40);
  EXPECT_EQ(seen(), closed);
  QTest::mouseClick(open, Qt::LeftButton);
  comm.Vanish();
  w.DeviceClosed();
  Settle(40);
  EXPECT_EQ(seen(), closed);
  levels.close();
  EXPECT_FALSE(w.Tools().Menu()->actions().last()->isChecked());
}
// The lamps open beside the main window where the screen has room for them, and their names can
// be read while the port is closed.
TEST_F(QtWindows, LineLevelsOpenBesideTheMainWindowAndTheirNamesReadWhileClosed) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const struct {
    const char *name;
    int left, width; // the main window's, as fractions of the screen's width in tenths
    const char *side;
  } rows[] = {{"room on the right", 0, 5, "right"},
              {"room on the left only", 5, 5, "left"},
              {"room on neither side", 0, 10, "over its right edge"}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    qt::MainWindow &w = Main(false);
    w.setMinimumSize(1, 1); // the test screen is no wider than the window's own layout
    w.setGeometry(screen.left() + screen.width() * row.left / 10, screen.top() + 40,
                  screen.width() * row.width / 10, 300);
    w.Tools().Menu()->actions().last()->trigger();
    qt::LineLevelsWindow &levels = w.Tools().Levels();
    const QRect at = levels.frameGeometry(), owner = w.frameGeometry();
    const char *side = at.left() > owner.right()   ? "right"
                       : at.right() < owner.left() ? "left"
                                                   : "over its right edge";
    EXPECT_STREQ(side, row.side) << "levels at " << at.left() << "-" << at.right() << ", main at "
                                 << owner.left() << "-" << owner.right();
    EXPECT_TRUE(screen.contains(at.topLeft()) && screen.contains(at.topRight()));
    // The darkest pixel of a closed lamp (its name) against its middle's left edge (its ground).
    for (QLabel *lamp : levels.findChildren<QLabel *>().mid(0, 6)) {
      const QImage image = lamp->grab().toImage();
      auto luminance = [](QColor c) {
        auto linear = [](double v) {
          return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
      };
      double darkest = 1;
      for (int y = 4; y < image.height() - 4; ++y)
        for (int x = 4; x < image.width() - 4; ++x)
          darkest = std::min(darkest, luminance(image.pixelColor(x, y)));
      const double ground = luminance(image.pixelColor(3, image.height() / 2));
      EXPECT_GE((ground + 0.05) / (darkest + 0.05), 4.5) << lamp->text().toStdString();
    }
    levels.close();
  }
}
// Holding Enter on the port button opens the port once; the repeats press nothing.
TEST_F(QtWindows, HoldingEnterOnTheFocusedButtonPressesItOnce) {
  qt::MainWindow &w = Main(false);
  QPushButton *open = ByText<QPushButton>(w, "OpenPort");
  ASSERT_EQ(w.focusWidget(), open);
  auto key = [&](QEvent::Type type, bool repeat) {
    QKeyEvent event(type, Qt::Key_Return, Qt::NoModifier, "\r", repeat);
    QApplication::sendEvent(open, &event);
  };
  key(QEvent::KeyPress, false);
  for (int repeat = 0; repeat < 5; ++repeat)
    key(QEvent::KeyPress, true);
  key(QEvent::KeyRelease, false);
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_EQ(Reader(open), "Close Port");
}
// Find selects what it finds; a text with a character the display cannot hold matches nothing,
// not the "?" it would be in Latin-1.
TEST_F(QtWindows, FindSelectsWhatItFindsAndACharacterBeyondTheDisplaysIsNotFound) {
  qt::MainWindow &w = Main(false);
  QTest::mouseClick(ByText<QPushButton>(w, "OpenPort"), Qt::LeftButton);
  comm.Receive("price? 10 euro\r\n");
  Settle(40);
  const struct {
    const char *name;
    QString what;
    std::uint64_t selected;
    bool notFound;
  } rows[] = {{"a character the display holds", "?", 1, false},
              {"the euro sign", "\u20ac", 0, true},
              {"a letter and then the euro sign", "e\u20ac", 0, true}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    w.Display().setTextCursor({&w.Display(), 0, 0});
    qt::FindDialog &find = w.Tools().Find();
    find.findChild<QLineEdit *>()->setText(row.what);
    find.Find(true);
    const auto selection = w.Display().textCursor();
    EXPECT_EQ(selection.to - selection.from, row.selected);
    EXPECT_EQ(ByText(find, "Not found") != nullptr, row.notFound);
    EXPECT_EQ(w.Display().document()->find(row.what).hasSelection(), row.selected != 0);
  }
}
// Only the paste has a key in the display's menu, and it never reaches the port.
TEST_F(QtWindows, TheMenusNameTheirItemsAndPasteComesByKeyOrMiddleClick) {
  qt::MainWindow &w = Main();
  QString context;
  OnModal([&](QWidget &menu) { context = Entries(menu); });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), w.mapToGlobal(QPoint(10, 10)));
  QApplication::sendEvent(w.Display().viewport(), &event);
  Settle(120);
  EXPECT_EQ(context, "&Copy|Select All||Paste to Port Shift+Ins");
  EXPECT_EQ(Entries(*w.menuBar()), "&File|Options|Tools|Help");
  EXPECT_EQ(Entries(*w.menuBar()->actions()[0]->menu()), "|Log File||E&xit");
  EXPECT_EQ(Entries(*w.Tools().Menu()),
            "Reconnect Automatically [ ]||Paste to Port Shift+Ins|Paste on Middle Click [ ]|Send "
            "File...|Send Break|Send Hex...||Show Colours [ ]|Show Hex [ ]|Milliseconds in Time "
            "Prefix [ ]||History|Find... F3|Line Levels [ ]");
  QApplication::setActiveWindow(&w);
  w.Display().setFocus();
  QGuiApplication::clipboard()->setText(QStringLiteral("ls\n\u00e9\u20ac\r\n"));
  QTest::keyClick(&w.Display(), Qt::Key_Insert, Qt::ShiftModifier);
  // Ctrl+letter as the window system gives it: the control code as its text.
  for (auto [key, code] : {std::pair(Qt::Key_V, 0x16), std::pair(Qt::Key_F, 0x06)})
    QTest::sendKeyEvent(QTest::Click, &w.Display(), key, QString(QChar(code)), Qt::ControlModifier);
  w.Tools().Menu()->actions().at(3)->trigger(); // Paste on Middle Click
  QTest::mouseClick(w.Display().viewport(), Qt::MiddleButton);
  EXPECT_EQ(comm.sent, "ls\r\xe9\r\x16\x06ls\r\xe9\r");
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
  // Qt's platform windows would add a display name the program set to every title.
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
  EXPECT_EQ(DesktopTitle(w), "Kestrel Terminal");
  EXPECT_EQ(DesktopTitle(config.Dialog()), "Serial Port Configuration");
  EXPECT_EQ(DesktopTitle(about.Widget()), "About Kestrel Terminal - Serial Communication Terminal");
  const QString title = "qt_tests - Unable to Initialize Serial Port",
                update = "Please Update Serial Port Information";
  std::vector<BoxSeen> boxes;
  auto read = [&](QWidget &box) {
    BoxSeen seen{DesktopTitle(box), {}, MarkupShownPlain(box)};
    for (QLabel *l : box.findChildren<QLabel *>())
      seen.labels << l->text();
    boxes.push_back(seen);
  };
  OnModal(read);
  qt::QtMessageBox(&w).Show("<b>Please</b> Update", title.toStdString(), MessageIcon::Exclamation,
                            "");
  for (const char *ini : {"Port=2\nSettings=<b>9600</b>", "Port=<i>2</i>\nSettings=9600"}) {
    WriteFile(dir.File("Serial.ini"), std::string("[SerialPort]\n") + ini + ",N,8,1\n");
    OnModal(read);
    QTest::mouseClick(ByText<QPushButton>(w, "OpenPort"), Qt::LeftButton);
  }
  const QString notANumber =
      "No port was opened: the stored port \"<i>2</i>\" is not a port number.";
  EXPECT_EQ(boxes, (std::vector<BoxSeen>{{title, {"", "<b>Please</b> Update"}, 1},
                                         {title, {"", update, "invalid settings"}, 0},
                                         {title, {"", update, notANumber}, 1}}));
  qt::SendProgressDialog progress(&w);
  progress.Show("<b>board</b>.bin");
  progress.Progress(0, "<i>0</i> bytes");
  EXPECT_EQ(MarkupShownPlain(progress), 2);
  // A log path's "&" stays itself, on screen and for a screen reader: no shortcut.
  QCheckBox box;
  qt::QtCheckBox log(&box);
  const QString caption = "Log Enabled: /tmp/R&D/<b>board</b>.txt";
  log.Caption(caption.toStdString());
  EXPECT_EQ(QString::fromStdString(log.Caption()), caption);
  EXPECT_EQ(box.accessibleName(), caption);
  EXPECT_EQ(Reader(&box), caption);
  EXPECT_TRUE(QKeySequence::mnemonic(box.text()).isEmpty());
}
TEST_F(QtWindows, TheConfigurationDialogFollowsItsTableAndOnlyTheFocusedButtonTakesEnter) {
  clsSerialPortConfigINI store;
  store.FileNameINI("Serial.ini");
  store.ComControl(&comm);
  // A device line too long to sit beside its label takes a row of its own, shown whole.
  const QString line = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port<b>0</b>";
  qt::QtConfigSerialWindow config(nullptr, [&](auto) { return line.toStdString(); });
  config.Form().clsSerialPortConfig = &store;
  config.Form().InitForm();
  QDialog &d = config.Dialog();
  d.show();
  const auto lists = d.findChildren<QComboBox *>();
  ASSERT_EQ(lists.size(), 5);
  EXPECT_EQ(d.windowTitle(), "Serial Port Configuration");
  EXPECT_EQ(lists[0]->currentText(), "COM2");
  EXPECT_EQ(lists[4]->currentText(), "19200");
  EXPECT_EQ(lists[1]->toolTip(), "These Value Is Hard-Coded");
  EXPECT_EQ(MarkupShownPlain(d), 1);
  EXPECT_FALSE(lists[0]->isEditable());
  EXPECT_EQ(d.minimumSize(), d.maximumSize());
  QLabel *device = ByText(d, line);
  ASSERT_NE(device, nullptr);
  EXPECT_GE(device->height(), device->heightForWidth(device->width()));
  for (QWidget *w : d.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
    EXPECT_TRUE(d.rect().contains(w->geometry())) << w->metaObject()->className();
  QPushButton *ok = ByText<QPushButton>(d, "&OK");
  EXPECT_EQ(ok->nextInFocusChain(), ByText<QPushButton>(d, "&Cancel"));
  lists[4]->setCurrentIndex(0);
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_TRUE(d.isVisible());
  ok->setFocus();
  QTest::keyClick(ok, Qt::Key_Return);
  EXPECT_FALSE(d.isVisible());
  std::string port, settings;
  EXPECT_TRUE(store.SettingsRetrieve(port, settings));
  EXPECT_EQ(settings, "115200,N,8,1");
}
TEST_F(QtWindows, TheAboutBoxOpensOverTheWindowAndADoubleClickOnlyOnItsBackgroundUnloadsIt) {
  qt::MainWindow &main = Main(false);
  main.move(40, 30);
  qt::QtAboutWindow about(clock, appInfo, shell, &main);
  QWidget &w = about.Widget();
  QLabel *version = ByText(w, "Version 0.1 - January 13, 2009 (Alpha)");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(w.width(), (6780 + 7) / 15);
  about.ShowModeless();
  EXPECT_LE((w.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 4);
  QTest::mouseDClick(version, Qt::LeftButton);
  QTest::mouseDClick(w.childAt(2, 2), Qt::LeftButton); // the banner
  EXPECT_TRUE(about.Loaded());
  EXPECT_TRUE(w.isVisible());
  QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(w.width() - 4, w.height() - 4));
  EXPECT_FALSE(about.Loaded());
  EXPECT_FALSE(w.isVisible());
}
// However the model was cut and appended to between repaints, the view shows exactly its text
// (less CRs), repaints are coalesced, a held selection survives, and the view follows the end
// unless scrolled up.
TEST_F(QtWindows, TheDisplayShowsTheModelThroughFloodsKeepsASelectionAndFollowsTheEnd) {
  for (const char *chunk : {"line of text 0123456789\r\n", "abcdefghijklm", "x\n"}) {
    qt::MainWindow &w = Main();
    const int repaints = w.Display().Repaints();
    for (int i = 0; i < 2000; ++i) {
      comm.Receive(chunk);
      if (i % 97 == 0)
        w.Display().Sync();
    }
    Settle(150);
    EXPECT_LE(w.Display().Repaints() - repaints, 25) << chunk;
    w.Display().Sync();
    EXPECT_EQ(w.Display().toPlainText(),
              QString::fromStdString(std::string(w.Model().Text())).remove('\r'));
    w.Logic().cmdClearDisplay_Click();
    comm.Receive("after\r\n");
    w.Display().Sync();
    EXPECT_EQ(w.Display().toPlainText(), "after\n");
  }
  qt::MainWindow &w = Main();
  w.resize(900, 500);
  auto flood = [&](const char *what, int n) {
    for (int i = 0; i < n; ++i) {
      comm.Receive(what + std::to_string(i) + " " + std::string(60, '.') + "\r\n");
      Settle(2);
    }
    Settle(60);
    w.Display().Sync();
  };
  flood("quiet ", 20);
  w.Display().setTextCursor(w.Display().document()->find("quiet 15 ."));
  flood("busy ", 40);
  w.Display().copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "quiet 15 .");
  flood("trimmed ", 200);
  QScrollBar *bar = w.Display().verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  QTest::mouseClick(w.Display().viewport(), Qt::LeftButton, {}, QPoint(20, 20));
  flood("more ", 30);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(bar->maximum() - 10);
  auto top = [&] { return w.Display().cursorForPosition(QPoint(0, 0)).block().text(); };
  const QString before = top();
  flood("later ", 20);
  EXPECT_LT(bar->value(), bar->maximum());
  EXPECT_EQ(top(), before);
}
// A status bar shown with its clock panel set to a time.
struct ShownClock {
  explicit ShownClock(const QString &time) {
    bar.show();
    clock->Show(time);
    QApplication::processEvents();
  }
  QStatusBar bar;
  qt::QtStatusBar panels{&bar, 3};
  qt::QtClockPanel *clock = static_cast<qt::QtClockPanel *>(panels.Panel(3));
};
// The clock's next second repaints its panel alone; only a wider time or a new
// font lays the status bar out again, and the time is never cut off.
TEST(ClockPanel, ANewSecondRepaintsThePanelAloneAndTheTimeIsNeverCutOff) {
  struct Row {
    const char *name;
    QString before, after;
    bool laidOut;
  };
  const Row rows[] = {{"the next second", "10:00:00", "10:00:01", false},
                      {"the same time again", "10:00:00", "10:00:00", false},
                      {"a narrower time", "10:00:00", "9:00:00", false},
                      {"a wider time", "9:00:00", "10:00:00 PM", true}};
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ShownClock shown(row.before);
    qt::QtClockPanel *clock = shown.clock;
    int layouts = 0;
    EventSpy spy(&shown.bar, QEvent::LayoutRequest, layouts);
    clock->Show(row.after);
    QApplication::processEvents();
    EXPECT_EQ(layouts > 0, row.laidOut);
    EXPECT_EQ(clock->text(), row.after);
    EXPECT_GE(clock->width(), clock->sizeHint().width());
  }
  const struct {
    const char *name;
    int times;
  } fonts[] = {{"a larger font", 3}, {"a smaller font", -2}};
  for (const auto &font : fonts) {
    SCOPED_TRACE(font.name);
    ShownClock shown("10:00:00");
    qt::QtClockPanel *clock = shown.clock;
    QFont changed = clock->font();
    if (font.times > 0)
      changed.setPointSizeF(changed.pointSizeF() * font.times);
    else
      changed.setPointSizeF(changed.pointSizeF() / -font.times);
    clock->setFont(changed);
    QApplication::processEvents();
    QLabel fresh("10:00:00");
    fresh.setFrameStyle(clock->frameStyle());
    fresh.setFont(changed);
    EXPECT_EQ(clock->size(), fresh.sizeHint());
  }
}
} // namespace
} // namespace kestrel::test
