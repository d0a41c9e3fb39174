// The painted display over a model the test writes: it follows the end, stays
// on its text when scrolled up while the front is cut, keeps a selection
// across cuts, paints the text's colours, shows on screen what a whole paint
// shows, paints its scroll bar only when the handle moves, finds text, and
// reads to a screen reader: the rows in sight, what each catch-up changed in
// them, the caret, the selection and where each character is on screen.
#include "DisplayView.h"
#include "ScreenReader.h"
#include "TextStyle.h"
#include "ToolsWindows.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

inline void PrintTo(const QString &text, std::ostream *os) {
  *os << '"' << text.toStdString() << '"';
}
namespace kestrel::test {
namespace {

class DisplayViewTest : public ::testing::Test {
protected:
  DisplayViewTest() : view(model, nullptr) {
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::Monospace);
    view.setFont(font);
    view.resize(400, 200);
    view.show();
    // On a busy machine the window may not be on the screen yet: what it
    // painted before would be lost, and the screen would not show it.
    (void)QTest::qWaitForWindowExposed(&view);
  }
  void Lines(int from, int to) {
    for (int n = from; n < to; ++n)
      model.AppendAtEnd("line " + std::to_string(n) + "\r\n");
    view.Sync();
  }
  // Drops the model's first count lines, as the display's limits do.
  void DropLines(std::size_t count) {
    model.DropFront(model.Lines().Start(count) - model.Origin());
    view.Sync();
  }
  QString Top() { return view.cursorForPosition(QPoint(0, 0)).block().text(); }
  // The viewport as the screen shows it, and as a whole paint of it gives.
  QImage Shown() {
    const QRect area(view.viewport()->mapTo(&view, QPoint(0, 0)), view.viewport()->size());
    return view.screen()
        ->grabWindow(view.winId(), area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
  // Grabbing a view that paints on screen leaves a repaint of it pending;
  // it is let run, so that the next change starts from a whole screen and
  // what the screen shows after it is that change's own painting.
  QImage FullPaint() {
    QImage full = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int i = 0; i < 3; ++i)
      QApplication::processEvents();
    return full;
  }
  // The screen against a whole paint, over the viewport's top `height`
  // pixels, or all of it.
  ::testing::AssertionResult ScreenShowsAWholePaint(int height = -1) {
    QImage shown = Shown();
    QImage full = FullPaint();
    if (height >= 0) {
      shown = shown.copy(0, 0, shown.width(), height);
      full = full.copy(0, 0, full.width(), height);
    }
    if (shown.size() != full.size())
      return ::testing::AssertionFailure()
             << "the screen shows " << shown.width() << "x" << shown.height()
             << " pixels, a whole paint " << full.width() << "x" << full.height();
    if (shown != full)
      return ::testing::AssertionFailure() << "the screen differs from a whole paint";
    return ::testing::AssertionSuccess();
  }
  TextDisplay model;
  qt::DisplayView view;
};

TEST_F(DisplayViewTest, AtTheEndItFollowsNewOutputAndScrolledUpItStaysOnItsTextThroughCuts) {
  QScrollBar *bar = view.verticalScrollBar();
  Lines(0, 100);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(view.VisibleText().endsWith("line 99\n"));
  Lines(100, 150);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(20);
  EXPECT_EQ(Top(), "line 20");
  DropLines(15);
  Lines(150, 160);
  EXPECT_EQ(Top(), "line 20");
  EXPECT_EQ(bar->value(), 5);
  DropLines(10); // past the top line: the view stays at the first line there is
  EXPECT_EQ(Top(), "line 25");
}

// A new size wraps the lines again: a view at the end stays at the end, one
// scrolled up keeps its top line.
TEST_F(DisplayViewTest, ResizedAtTheEndItStaysThereAndScrolledUpItKeepsItsTopLine) {
  QScrollBar *bar = view.verticalScrollBar();
  Lines(0, 100);
  view.resize(300, 120);
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(view.VisibleText().endsWith("line 99\n"));
  bar->setValue(20);
  view.resize(400, 260);
  QApplication::processEvents();
  EXPECT_EQ(Top(), "line 20");
  EXPECT_LT(bar->value(), bar->maximum());
}

TEST_F(DisplayViewTest, ASelectionStaysOnItsTextAndCopiesWhatIsLeftOfItAfterACut) {
  Lines(0, 10);
  view.setTextCursor(view.document()->find("line 1\r\nline 2"));
  Lines(10, 12);
  view.copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "line 1\nline 2");
  DropLines(2); // "line 0" and "line 1" go
  view.copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "line 2");
  view.selectAll();
  view.copy();
  EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("line 2\nline 3\n"));
  EXPECT_TRUE(QGuiApplication::clipboard()->text().endsWith("line 11\n"));
}

TEST_F(DisplayViewTest, ShiftWithTheArrowsSelectsAcrossLineBreaks) {
  Lines(0, 3);
  view.setTextCursor(view.document()->find("0"));
  view.setTextCursor({&view, view.textCursor().to, view.textCursor().to});
  for (int i = 0; i < 3; ++i)
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
  view.copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "\nline 1\nli");
}

TEST_F(DisplayViewTest, ARedRunIsPaintedRedAndPlainTextInTheThemesColour) {
  TextStyle red;
  red.foreground = 1;
  model.AppendAtEnd("plain ");
  model.Style(red.Packed());
  model.AppendAtEnd("RRRRRRRRRR");
  model.Style(0);
  view.Sync();
  const QImage image = view.viewport()->grab().toImage();
  int reds = 0, others = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c == view.palette().color(QPalette::Base))
        continue;
      (c.red() > 150 && c.green() < 90 && c.blue() < 90 ? reds : others)++;
    }
  EXPECT_GT(reds, 20);
  EXPECT_GT(others, 10);
}

// What the window shows after catch-ups that move the rows on screen and
// paint only the changed ones is what painting the whole view gives.
TEST_F(DisplayViewTest, AfterPartialRepaintsTheScreenShowsWhatAFullPaintShows) {
  const struct {
    const char *name;
    std::function<void()> change;
  } steps[] = {
      {"a few lines, no scrolling", [&] { Lines(0, 3); }},
      {"a line growing", [&] { model.AppendAtEnd("prompt> ab"); }},
      {"one more character typed after it", [&] { model.AppendAtEnd("y"); }},
      {"the line ended and more lines scroll",
       [&] {
         model.AppendAtEnd("c\r\n");
         Lines(3, 20);
       }},
      {"one echo at a time", [&] { model.AppendAtEnd("x"); }},
      {"the front cut while at the end",
       [&] {
         DropLines(5);
         Lines(20, 22);
       }},
      {"a whole page at once", [&] { Lines(22, 80); }},
      {"emptied and begun again", [&] { model.Text("fresh\r\n"); }},
      {"short lines at a prompt, one at a time",
       [&] {
         for (int n = 200; n < 220; ++n)
           Lines(n, n + 1);
       }},
      {"a wide line moves up through short ones and out of sight",
       [&] {
         model.AppendAtEnd(std::string(45, 'W') + "\r\n");
         for (int n = 220; n < 240; ++n)
           Lines(n, n + 1);
       }},
      {"one long line",
       [&] {
         std::string digits;
         for (int i = 0; i < 300; ++i)
           digits += "0123456789";
         model.AppendAtEnd(digits);
       }},
      {"the long line cut at its front wraps anew",
       [&] {
         model.DropFront(model.Length() - 2993);
         model.AppendAtEnd("x");
       }},
  };
  for (const auto &step : steps) {
    SCOPED_TRACE(step.name);
    step.change();
    view.Sync();
    QApplication::processEvents();
    EXPECT_TRUE(ScreenShowsAWholePaint());
  }
}

// Catch-ups faster than the X server answers: rows painted before the server
// is done with the last ones still reach the screen whole.
TEST_F(DisplayViewTest, CatchUpsThatDoNotWaitForTheScreenStillShowWhatAFullPaintShows) {
  Lines(0, 5);
  QApplication::processEvents();
  for (int n = 5; n < 40; ++n) {
    model.AppendAtEnd("line " + std::to_string(n) + " and some more text\r\n");
    view.Sync();
  }
  QApplication::processEvents();
  EXPECT_TRUE(ScreenShowsAWholePaint());
}

// Rows moved up from under another window cannot be moved on the screen; they
// are painted again, and the part of the view in sight shows its text.
TEST_F(DisplayViewTest, RowsMovedFromUnderAnotherWindowArePaintedAgain) {
  view.move(0, 0);
  Lines(0, 20);
  QWidget cover;
  cover.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
  const QPoint viewport = view.viewport()->mapToGlobal(QPoint(0, 0));
  cover.setGeometry(viewport.x(), viewport.y() + 100, view.viewport()->width(), 100);
  cover.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
  QApplication::processEvents();
  Lines(20, 23);
  for (int i = 0; i < 5; ++i)
    QApplication::processEvents();
  EXPECT_TRUE(ScreenShowsAWholePaint(100));
}

// A stream moves the scroll bar's range with every catch-up; once the
// history is long its handle stays at the bottom, and the bar is not painted
// again until the handle moves.
TEST_F(DisplayViewTest, TheScrollBarIsPaintedAgainOnlyWhenItsHandleMoves) {
  QScrollBar *bar = view.verticalScrollBar();
  Lines(0, 3000);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  for (int i = 0; i < 3; ++i)
    QApplication::processEvents();
  int paints = 0;
  struct Counter : QObject {
    int &count;
    explicit Counter(int &c) : count(c) {}
    bool eventFilter(QObject *, QEvent *event) override {
      count += event->type() == QEvent::Paint;
      return false;
    }
  } counter(paints);
  bar->installEventFilter(&counter);
  for (int n = 3000; n < 3005; ++n) {
    Lines(n, n + 1);
    QApplication::processEvents();
  }
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_EQ(paints, 0);
  bar->setValue(0);
  QApplication::processEvents();
  EXPECT_GE(paints, 1);
  bar->removeEventFilter(&counter);
}

// What the port delivers is painted as soon as the work that took it in
// ends, where the change is due at once (the first of a burst), without a
// pass of the event loop; with nothing new, nothing is painted.
TEST_F(DisplayViewTest, AChangeDueAtOnceIsPaintedWhenTheWorkThatMadeItEnds) {
  QApplication::processEvents();
  const int before = view.Repaints();
  model.AppendAtEnd("prompt> ");
  EXPECT_EQ(view.Repaints(), before);
  view.CatchUpIfDue();
  EXPECT_EQ(view.Repaints(), before + 1);
  EXPECT_TRUE(view.VisibleText().startsWith("prompt> "));
  view.CatchUpIfDue();
  QApplication::processEvents();
  EXPECT_EQ(view.Repaints(), before + 1);
}

// On an X screen of 32-bit pixels the view puts its rows into its window
// itself; elsewhere, and where KESTREL_QT_PAINT is set, Qt paints them.
TEST_F(DisplayViewTest, OnlyOnAnXScreenOf32BitPixelsTheViewPutsItsRowsItself) {
  Lines(0, 3);
  QApplication::processEvents();
  const bool x32 = QGuiApplication::platformName() == "xcb" && view.screen()->depth() >= 24;
  EXPECT_EQ(view.PutsRowsItself(), x32);
  qputenv("KESTREL_QT_PAINT", "1");
  TextDisplay other;
  qt::DisplayView plain(other, nullptr);
  qunsetenv("KESTREL_QT_PAINT");
  plain.show();
  other.AppendAtEnd("text\r\n");
  plain.Sync();
  QApplication::processEvents();
  EXPECT_FALSE(plain.PutsRowsItself());
}

TEST_F(DisplayViewTest, FindSelectsTheMatchAndScrollsToItAndAScreenReaderReadsTheRowsInSight) {
  Lines(0, 500);
  QWidget owner;
  qt::FindDialog find(&view, &owner);
  find.findChild<QLineEdit *>()->setText("line 7");
  find.Find(false); // backwards from the end
  EXPECT_EQ(view.textCursor().block().text(), "line 79");
  find.Find(true); // on from there, round to the start
  EXPECT_EQ(view.textCursor().block().text(), "line 7");
  EXPECT_TRUE(view.VisibleText().split('\n').contains("line 7"));
  QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(&view);
  ASSERT_NE(reader, nullptr);
  ASSERT_NE(reader->textInterface(), nullptr);
  EXPECT_TRUE(reader->state().readOnly);
  const QString read = reader->textInterface()->text(0, reader->textInterface()->characterCount());
  EXPECT_EQ(read, view.VisibleText());
  EXPECT_TRUE(read.contains("line 7"));
}

// What the reader had, with what it was told applied.
QString Applied(QString text, const std::vector<ScreenReader::Told> &told) {
  for (const ScreenReader::Told &t : told)
    text = text.left(t.position) + t.text + text.mid(t.position + t.removed.size());
  return text;
}

using Told = ScreenReader::Told;

// Each catch-up is told as one change of the rows in sight, however many
// appends it took in; with no reader listening nothing is told, and a reader
// that comes is told only what changed after it came.
TEST_F(DisplayViewTest, AScreenReaderIsToldWhatEachCatchUpChangedInTheRowsInSight) {
  if (!ScreenReader::Available())
    GTEST_SKIP() << "Qt's platform headers (qt6-base-private-dev) are missing here";
  ScreenReader reader;
  const struct {
    const char *name;
    std::function<void()> before, change;
    std::vector<Told> told;
  } cases[] = {
      {"a line appended",
       [&] { Lines(0, 2); },
       [&] { Lines(2, 3); },
       {{QAccessible::TextInserted, 14, "line 2\n"}}},
      {"bytes past 127 read as Latin-1",
       [&] { Lines(0, 2); },
       [&] {
         model.AppendAtEnd("caf\xe9 \xb0"
                           "C");
       },
       {{QAccessible::TextInserted, 14,
         QString::fromLatin1("caf\xe9 \xb0"
                             "C")}}},
      {"a CR within a line read as the space it is painted as",
       [&] { Lines(0, 1); },
       [&] { model.AppendAtEnd("a\rb"); },
       {{QAccessible::TextInserted, 7, "a b"}}},
      {"the first line cut from the front",
       [&] { Lines(0, 3); },
       [&] { DropLines(1); },
       {{QAccessible::TextRemoved, 0, "", "line 0\n"}}},
      {"the front cut inside the first line",
       [&] { Lines(0, 3); },
       [&] { model.DropFront(2); },
       {{QAccessible::TextRemoved, 0, "", "li"}}},
      {"fifty appends between two repaints",
       [&] { Lines(0, 1); },
       [&] {
         for (int i = 0; i < 50; ++i)
           model.AppendAtEnd("x");
       },
       {{QAccessible::TextInserted, 7, QString(50, 'x')}}},
      {"the text replaced",
       [&] { Lines(0, 1); },
       [&] { model.Text("fresh"); },
       {{QAccessible::TextRemoved, 0, "", "line 0\n"}, {QAccessible::TextInserted, 0, "fresh"}}},
      {"nothing while no reader listens",
       [&] { Lines(0, 1); },
       [&] {
         ScreenReader::Listening(false);
         Lines(1, 3);
         ScreenReader::Listening(true);
       },
       {}},
      {"a reader that came is told only what came after it",
       [&] {
         ScreenReader::Listening(false);
         Lines(0, 2);
         ScreenReader::Listening(true);
       },
       [&] { model.AppendAtEnd("next"); },
       {{QAccessible::TextInserted, 14, "next"}}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    model.Text("");
    view.Sync();
    c.before();
    const QString had = view.VisibleText();
    reader.Clear();
    c.change();
    view.Sync();
    EXPECT_EQ(reader.TextTold(), c.told);
    if (!c.told.empty())
      EXPECT_EQ(Applied(had, reader.TextTold()), view.VisibleText());
  }
}

// A view that follows the end tells the rows that left its top as gone and
// the text that came at the end as new, not the whole page again.
TEST_F(DisplayViewTest, AScreenReaderIsToldTheRowsThatScrollOutAndTheTextThatCame) {
  if (!ScreenReader::Available())
    GTEST_SKIP() << "Qt's platform headers (qt6-base-private-dev) are missing here";
  ScreenReader reader;
  Lines(0, 40);
  const QString had = view.VisibleText();
  reader.Clear();
  Lines(40, 43);
  const std::vector<Told> told = reader.TextTold();
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0].type, QAccessible::TextRemoved);
  EXPECT_EQ(told[0].position, 0);
  EXPECT_EQ(told[0].removed, had.left(told[0].removed.size()));
  EXPECT_EQ(told[0].removed.count('\n'), 3);
  EXPECT_EQ(told[1].type, QAccessible::TextInserted);
  EXPECT_EQ(told[1].text, "line 40\nline 41\nline 42\n");
  EXPECT_EQ(Applied(had, told), view.VisibleText());
}

// The reader sees the selection that Shift with the arrows makes and the one
// Find makes, and is told when the caret and the selection move.
TEST_F(DisplayViewTest, AScreenReaderSeesTheSelectionAndTheCaretAndIsToldWhenTheyMove) {
  if (!ScreenReader::Available())
    GTEST_SKIP() << "Qt's platform headers (qt6-base-private-dev) are missing here";
  ScreenReader reader;
  QWidget owner;
  qt::FindDialog find(&view, &owner);
  const struct {
    const char *name;
    std::function<void()> select;
    int from, to, caret;
  } cases[] = {
      {"Shift+Right three times from the start of the second line",
       [&] {
         const std::uint64_t at = view.document()->find("line 1").from;
         view.setTextCursor({&view, at, at});
         reader.Clear();
         for (int i = 0; i < 3; ++i)
           QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
       },
       7, 10, 10},
      {"Shift+Left back over the line break",
       [&] {
         const std::uint64_t at = view.document()->find("line 1").from;
         view.setTextCursor({&view, at, at});
         reader.Clear();
         QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
       },
       6, 7, 6},
      {"Find selects its match",
       [&] {
         reader.Clear();
         find.findChild<QLineEdit *>()->setText("line 2");
         find.Find(true);
       },
       14, 20, 20},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    model.Text("");
    view.Sync();
    Lines(0, 3);
    view.setTextCursor({&view, 0, 0});
    c.select();
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(&view)->textInterface();
    ASSERT_NE(text, nullptr);
    int from = -1, to = -1;
    EXPECT_EQ(text->selectionCount(), 1);
    text->selection(0, &from, &to);
    EXPECT_EQ(from, c.from);
    EXPECT_EQ(to, c.to);
    EXPECT_EQ(text->cursorPosition(), c.caret);
    const std::vector<Told> told = reader.CaretTold();
    ASSERT_FALSE(told.empty());
    const auto moved = std::find_if(told.rbegin(), told.rend(), [](const Told &t) {
      return t.type == QAccessible::TextCaretMoved;
    });
    const auto selected = std::find_if(told.rbegin(), told.rend(), [](const Told &t) {
      return t.type == QAccessible::TextSelectionChanged;
    });
    ASSERT_NE(moved, told.rend());
    ASSERT_NE(selected, told.rend());
    EXPECT_EQ(moved->position, c.caret);
    EXPECT_EQ(selected->text, QString::number(c.from) + " " + QString::number(c.to));
  }
}

// Each character in sight has the cell it is painted in, on the screen, and
// that cell's points lead back to it; an offset or a point with no character
// in sight has none.
TEST_F(DisplayViewTest, AScreenReaderFindsEachCharacterInSightWhereItIsPainted) {
  model.AppendAtEnd("W  W\r\nline 1\r\n");
  view.Sync();
  QApplication::processEvents();
  QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(&view)->textInterface();
  ASSERT_NE(text, nullptr);
  const QImage image = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QColor background = image.pixelColor(1, 1);
  auto ink = [&](const QRect &cell) {
    int inked = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
      for (int x = cell.left(); x <= cell.right(); ++x)
        inked += image.pixelColor(x, y) != background;
    return inked;
  };
  const struct {
    const char *name;
    int offset;
    std::uint64_t position; // where the view puts the caret for a point in the cell's left quarter
    bool inked;
  } cases[] = {
      {"the first W", 0, 0, true},
      {"a space after it", 1, 1, false},
      {"the second W", 3, 3, true},
      {"the first character of the second row", 5, 6, true},
      {"the last character of the second row", 10, 11, true},
  };
  const QRect viewport = view.viewport()->rect();
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const QRect onScreen = text->characterRect(c.offset);
    const QRect cell(view.viewport()->mapFromGlobal(onScreen.topLeft()), onScreen.size());
    ASSERT_FALSE(cell.isEmpty());
    EXPECT_TRUE(viewport.contains(cell));
    EXPECT_EQ(
        view.cursorForPosition(QPoint(cell.left() + cell.width() / 4, cell.center().y())).from,
        c.position);
    EXPECT_EQ(ink(cell.adjusted(1, 1, -1, -1)) > 0, c.inked);
    EXPECT_EQ(text->offsetAtPoint(onScreen.center()), c.offset);
    EXPECT_EQ(text->offsetAtPoint(onScreen.topLeft()), c.offset);
    EXPECT_EQ(text->offsetAtPoint(onScreen.bottomRight()), c.offset);
  }
  EXPECT_EQ(text->characterRect(text->characterCount()), QRect());
  EXPECT_EQ(text->characterRect(-1), QRect());
  const QPoint below = view.viewport()->mapToGlobal(QPoint(10, viewport.height() - 2));
  EXPECT_EQ(text->offsetAtPoint(below), -1);
  EXPECT_EQ(text->offsetAtPoint(view.viewport()->mapToGlobal(QPoint(-5, 2))), -1);
}

} // namespace
} // namespace kestrel::test
