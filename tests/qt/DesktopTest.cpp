// The windows as the desktop meets them: titles as the window system shows
// them, texts as a screen reader reads them, a display that can be read,
// selected and copied while data flows, layouts that fit the screen and
// read in a dark palette, and the keys and mouse as users use them.
#include "MainWindow.h"
#include "QtAboutWindow.h"
#include "QtConfigSerialWindow.h"
#include "QtWindowTest.h"
#include "clsSerialPortConfigINI.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

// The title the desktop shows. Qt's platform windows append the
// application's display name, when the program sets one, to every title
// that does not already end with it.
QString DesktopTitle(QWidget &w) {
  w.winId();
  QString title = w.windowHandle()->title();
  const QString name = QCoreApplication::applicationName();
  QCoreApplication::setApplicationName(QStringLiteral("probe"));
  const QString display = QGuiApplication::applicationDisplayName();
  QCoreApplication::setApplicationName(name);
  if (display != QStringLiteral("probe") && !title.endsWith(display))
    title += QStringLiteral(" \u2014 ") + display;
  return title;
}

QString ReaderText(QWidget *w) {
  QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
  return a ? a->text(QAccessible::Name) : QStringLiteral("<none>");
}

class Desktop : public QtWindowTest {
protected:
  void SetUp() override {
    qt::SetApplicationIdentity();
    QtWindowTest::SetUp();
  }
  void Open(qt::MainWindow &window) {
    window.show();
    QTest::mouseClick(ByText<QPushButton>(window, "OpenPort"), Qt::LeftButton);
  }
  // The display as the user sees it: the model's text less its CRs.
  static std::string Shown(const std::string_view model) {
    std::string s;
    for (char ch : model)
      if (ch != '\r')
        s += ch;
    return s;
  }
};

TEST_F(Desktop, EveryTitleIsExactlyTheWindowsOwn) {
  qt::MainWindow main(comm, host);
  qt::QtConfigSerialWindow config(&main, [](std::int16_t) { return std::string(); });
  FakeShell shell;
  qt::QtAboutWindow about(clock, appInfo, shell);
  EXPECT_EQ(DesktopTitle(main), "Kestrel Terminal");
  EXPECT_EQ(DesktopTitle(config.Dialog()), "Serial Port Configuration");
  EXPECT_EQ(DesktopTitle(about.Widget()), "About Kestrel Terminal - Serial Communication Terminal");
  QString boxTitle;
  QTimer::singleShot(50, [&] {
    if (QWidget *box = QApplication::activeModalWidget()) {
      boxTitle = DesktopTitle(*box);
      box->close();
    }
  });
  qt::QtMessageBox(&main).Show("Please Update Serial Port Information",
                               "kestrel-terminal - Unable to Initialize Serial Port",
                               MessageIcon::Exclamation, "");
  EXPECT_EQ(boxTitle, "kestrel-terminal - Unable to Initialize Serial Port");
}

TEST_F(Desktop, AScreenReaderReadsTheStatusPanels) {
  qt::MainWindow window(comm, host);
  Open(window);
  auto panels = window.statusBar()->findChildren<QLabel *>();
  ASSERT_GE(panels.size(), 2);
  EXPECT_EQ(ReaderText(panels[0]), "Serial Port Active");
  EXPECT_EQ(ReaderText(panels[1]), "Com2 - 19200,N,8,1");
  EXPECT_FALSE(QAccessible::queryAccessibleInterface(panels[1])->state().disabled);
  QTest::mouseClick(ByText<QPushButton>(window, "Close Port"), Qt::LeftButton);
  EXPECT_EQ(ReaderText(panels[0]), "Serial Port Closed");
  EXPECT_EQ(ReaderText(panels[1]), "Com2 - 19200,N,8,1");
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(panels[1])->state().disabled);
}

// However the model was cut and appended to between two repaints, the view
// ends up showing exactly its text.
TEST_F(Desktop, TheDisplayShowsExactlyTheModelAfterEveryKindOfFlood) {
  const struct {
    const char *name;
    std::string chunk;
    int times;
  } floods[] = {
      {"short lines past the trimming", "line of text 0123456789\r\n", 2000},
      {"one endless line", "abcdefghijklmnopqrstuvwxyz", 2000},
      {"past the 500-line clear", "x\n", 700},
      {"empty lines", "\n\n\n", 300},
  };
  for (const auto &flood : floods) {
    SCOPED_TRACE(flood.name);
    qt::MainWindow window(comm, host);
    Open(window);
    for (int i = 0; i < flood.times; ++i) {
      comm.Receive(flood.chunk);
      if (i % 97 == 0)
        window.Display().Sync();
    }
    window.Display().Sync();
    EXPECT_EQ(window.Display().toPlainText().toStdString(), Shown(window.Model().Text()));
    window.Logic().cmdClearDisplay_Click();
    comm.Receive("after\r\n");
    window.Display().Sync();
    EXPECT_EQ(window.Display().toPlainText().toStdString(), "after\n");
  }
}

TEST_F(Desktop, ASelectionHeldDuringAFloodCopiesExactlyWhatWasSelected) {
  qt::MainWindow window(comm, host);
  Open(window);
  for (int i = 0; i < 20; ++i)
    comm.Receive("quiet line " + std::to_string(i) + "\r\n");
  window.Display().Sync();
  QTextCursor pick = window.Display().document()->find("quiet line 15");
  ASSERT_FALSE(pick.isNull());
  window.Display().setTextCursor(pick);
  for (int i = 0; i < 40; ++i) {
    comm.Receive("busy line " + std::to_string(i) + "\r\n");
    Settle(5);
  }
  Settle(60);
  window.Display().Sync();
  EXPECT_EQ(window.Display().textCursor().selectedText(), "quiet line 15");
  window.Display().copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "quiet line 15");
}

// Lines long enough that the display trims its oldest while they arrive.
std::string Long(const char *what, int i) {
  return what + std::to_string(i) + " " + std::string(60, '.') + "\r\n";
}

TEST_F(Desktop, TheDisplayFollowsNewOutputAtTheEndEvenAfterAClickAndStaysWhenScrolledUp) {
  qt::MainWindow window(comm, host);
  Open(window);
  window.resize(900, 500);
  window.activateWindow();
  for (int i = 0; i < 200; ++i)
    comm.Receive(Long("line ", i));
  Settle(60);
  window.Display().Sync();
  QScrollBar *bar = window.Display().verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  QTest::mouseClick(window.Display().viewport(), Qt::LeftButton, {}, QPoint(20, 20));
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 30; ++i)
      comm.Receive(Long("more ", i));
    Settle(60);
    window.Display().Sync();
    EXPECT_EQ(bar->value(), bar->maximum());
  }

  bar->setValue(bar->maximum() - 10);
  const std::string top =
      window.Display().cursorForPosition(QPoint(0, 0)).block().text().toStdString();
  for (int i = 0; i < 20; ++i)
    comm.Receive(Long("later ", i));
  Settle(60);
  window.Display().Sync();
  EXPECT_LT(bar->value(), bar->maximum());
  EXPECT_EQ(window.Display().cursorForPosition(QPoint(0, 0)).block().text().toStdString(), top);
}

TEST_F(Desktop, KeysWithoutACharacterSendNothingAndTheMenuNamesNoKeys) {
  qt::MainWindow window(comm, host);
  Open(window);
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    QString text;
    std::string sent;
  } keys[] = {
      {Qt::Key_Delete, {}, QString(QChar(0x7F)), ""},
      {Qt::Key_Left, {}, QString(), ""},
      {Qt::Key_F1, {}, QString(), ""},
      {Qt::Key_Home, {}, QString(), ""},
      {Qt::Key_A, Qt::ControlModifier, QString(QChar(1)), "\x01"},
      {Qt::Key_Escape, {}, QString(QChar(27)), "\x1b"},
      {Qt::Key_Q, {}, QStringLiteral("q"), "q"},
  };
  for (const auto &k : keys) {
    SCOPED_TRACE(k.key);
    comm.sent.clear();
    QKeyEvent press(QEvent::KeyPress, k.key, k.mods, k.text);
    QApplication::sendEvent(&window.Display(), &press);
    EXPECT_EQ(comm.sent, k.sent);
  }

  QStringList entries;
  QTimer::singleShot(50, [&] {
    if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
      for (QAction *a : menu->actions())
        if (!a->isSeparator())
          entries << a->text() + (a->shortcut().isEmpty() ? "" : " +key");
      menu->close();
    }
  });
  QContextMenuEvent context(QContextMenuEvent::Mouse, QPoint(10, 10),
                            window.Display().mapToGlobal(QPoint(10, 10)));
  QApplication::sendEvent(window.Display().viewport(), &context);
  Settle(120);
  // Only the Tools menu's paste has a key, and that key never reaches the port.
  EXPECT_EQ(entries, (QStringList{"&Copy", "Select All", "Paste to Port +key"}));
}

TEST_F(Desktop, TheWindowFitsTheScreenAndTheDisplayTakesTheRoomItGains) {
  qt::MainWindow window(comm, host);
  window.show();
  EXPECT_EQ(window.focusWidget(), ByText<QPushButton>(window, "OpenPort"));
  const QRect screen = window.screen()->availableGeometry();
  EXPECT_LE(window.minimumSizeHint().width(), screen.width());
  EXPECT_LE(window.minimumSizeHint().height(), screen.height());
  EXPECT_LE(window.minimumWidth(), screen.width());

  for (QSize size : {QSize(1500, 900), QSize(500, 300)}) {
    SCOPED_TRACE(size.width());
    window.resize(size);
    Settle(20);
    QWidget *central = window.centralWidget();
    const QRect display = window.Display().geometry();
    if (size.width() > 1000) {
      EXPECT_GT(display.width(), 1200);
    }
    for (QWidget *w : central->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
      SCOPED_TRACE(w->metaObject()->className());
      EXPECT_TRUE(central->rect().contains(w->geometry()));
    }
    for (const char *name : {"Clear Display", "OpenPort"}) {
      QPushButton *b = ByText<QPushButton>(window, name);
      EXPECT_EQ(b->geometry().right(), display.right()) << name;
      EXPECT_GE(b->width(), b->sizeHint().width()) << name;
    }
  }
}

// A palette of light text on dark ground, as dark desktop themes give.
QPalette DarkPalette() {
  QPalette p(QColor(45, 45, 48), QColor(30, 30, 30));
  p.setColor(QPalette::Light, QColor(230, 230, 230));
  return p;
}

double Luminance(const QColor &c) {
  return 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
}

TEST_F(Desktop, TheConfigurationHeaderReadsInEveryPaletteAndItsCaptionIsWhole) {
  const QPalette original = QApplication::palette();
  for (const QPalette &palette : {original, DarkPalette()}) {
    QApplication::setPalette(palette);
    qt::QtConfigSerialWindow config(nullptr, [](std::int16_t) { return std::string(); });
    config.Dialog().show();
    QLabel *title = ByText<QLabel>(config.Dialog(), "Serial Port Configuration");
    QLabel *caption = ByText<QLabel>(config.Dialog(), "Please supply the following information ");
    ASSERT_TRUE(title && caption);
    QWidget *band = title->parentWidget();
    const QColor ground = band->palette().color(band->backgroundRole());
    for (QLabel *l : {title, caption}) {
      SCOPED_TRACE(l->text().toStdString());
      EXPECT_GT(std::abs(Luminance(l->palette().color(l->foregroundRole())) - Luminance(ground)),
                0.4);
      EXPECT_GE(l->width(), l->sizeHint().width());
      for (QLabel *other : band->findChildren<QLabel *>()) {
        if (other != l) {
          EXPECT_FALSE(l->geometry().intersects(other->geometry()));
        }
      }
    }
    for (QPushButton *b : config.Dialog().findChildren<QPushButton *>())
      EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
  }
  QApplication::setPalette(original);
}

TEST_F(Desktop, EnterPressesTheFocusedButtonAndNoOther) {
  clsSerialPortConfigINI store;
  store.FileNameINI("Serial.ini");
  store.ComControl(&comm);
  {
    qt::QtConfigSerialWindow config(nullptr, [](std::int16_t) { return std::string(); });
    config.Form().clsSerialPortConfig = &store;
    config.Form().InitForm();
    config.Dialog().show();
    config.Dialog().findChildren<QComboBox *>()[4]->setCurrentIndex(0);
    QTest::keyClick(&config.Dialog(), Qt::Key_Escape);
    EXPECT_TRUE(config.Dialog().isVisible());
    QPushButton *ok = ByText<QPushButton>(config.Dialog(), "&OK");
    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Return);
    std::string port, settings;
    ASSERT_TRUE(store.SettingsRetrieve(port, settings));
    EXPECT_EQ(settings, "115200,N,8,1");
    EXPECT_FALSE(config.Dialog().isVisible());
  }
  FakeShell shell;
  qt::QtAboutWindow about(clock, appInfo, shell);
  about.ShowModeless();
  QPushButton *ok = ByText<QPushButton>(about.Widget(), "&OK");
  ok->setFocus();
  QTest::keyClick(ok, Qt::Key_Enter);
  EXPECT_FALSE(about.Loaded());
}

TEST_F(Desktop, TheAboutBoxOpensOverTheWindowAndClosesOnADoubleClickOnItsBackgroundOnly) {
  qt::MainWindow main(comm, host);
  main.move(40, 30);
  main.show();
  FakeShell shell;
  qt::QtAboutWindow about(clock, appInfo, shell, &main);
  about.ShowModeless();
  QWidget &w = about.Widget();
  EXPECT_LE((w.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 4);
  QLabel *banner = nullptr;
  for (QLabel *l : w.findChildren<QLabel *>())
    if (l->pos() == QPoint(0, 0))
      banner = l;
  ASSERT_NE(banner, nullptr);
  QTest::mouseDClick(banner, Qt::LeftButton);
  QTest::mouseDClick(ByText<QLabel>(w, "Version 0.1 - January 13, 2009 (Alpha)"), Qt::LeftButton);
  EXPECT_TRUE(about.Loaded());
  QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(w.width() - 4, w.height() - 4));
  EXPECT_FALSE(about.Loaded());
}

// The first entry is a line the user can see, with room above and below it.
TEST_F(Desktop, TheFileMenuShowsItsLeadingSeparator) {
  qt::MainWindow window(comm, host);
  window.show();
  QMenu *file = window.menuBar()->actions().first()->menu();
  file->popup(window.mapToGlobal(QPoint(0, 0)));
  Settle(20);
  QAction *first = file->actions().first();
  EXPECT_FALSE(first->isEnabled());
  EXPECT_TRUE(first->text().isEmpty());
  const QRect at = file->actionGeometry(first);
  ASSERT_GE(at.height(), 5);
  const QImage menu = file->grab().toImage();
  const QRgb ground = menu.pixel(at.center().x(), at.top());
  bool line = false;
  for (int y = at.top() + 1; y < at.bottom(); ++y)
    line = line || menu.pixel(at.center().x(), y) != ground;
  EXPECT_TRUE(line);
  EXPECT_EQ(file->actions().at(1)->text(), "Log File");
  file->close();
}

TEST_F(Desktop, TheStartLineHasTheShortDateAndTheLongTimeWithoutAZone) {
  const QLocale original;
  const struct {
    QLocale locale;
    std::string text;
  } cases[] = {
      {QLocale(QLocale::English, QLocale::UnitedStates), "12/5/26 3:46:54 AM"},
      {QLocale(QLocale::German, QLocale::Germany), "05.12.26 03:46:54"},
  };
  for (const auto &c : cases) {
    QLocale::setDefault(c.locale);
    EXPECT_EQ(qt::QtClock().DefaultDateTimeText(clock.now), c.text);
  }
  QLocale::setDefault(original);
}

} // namespace
} // namespace kestrel::test
