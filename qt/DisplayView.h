// The receive display's widget: paints the TextDisplay model and passes typed
// keys on as character codes.
//
// The model changes up to millions of times a second; the widget catches up
// at the pace CatchUpPacing gives and then only takes in the lines the model cut
// and appended (WrappedLines), never the whole text. It paints the rows in
// sight and nothing else, straight from the model's text and style runs, so
// the cost of a frame is that of the rows on screen, however long the
// history. On X11 it puts those rows into its window itself (DirectSurface),
// past Qt's backing store. Lines wrap at the widget's width by character
// cells. A view at the end follows new output; one scrolled up stays on its
// text while the front is cut. The selection is held as lifetime positions, so it stays on
// its text too and shrinks with what is cut of it.
//
// For code and tests written against a text edit, the view answers the same
// few calls (toPlainText, textCursor, cursorForPosition, document()->find)
// with a small span type instead of QTextCursor.
#pragma once

#include "CatchUpPacing.h"
#include "DirectSurface.h"
#include "DisplayPalette.h"
#include "TextDisplay.h"
#include "WrappedLines.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QRawFont>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QPainter;

namespace kestrel::qt {

// The display's own bytes for a text to look for in it (one byte per
// character); none for a text with a character the display cannot hold, which
// can match nothing there.
std::optional<std::string> DisplayBytes(const QString &text);

class DisplayView : public QAbstractScrollArea {
public:
  // A stretch of the display's text, by lifetime positions.
  struct Span {
    const DisplayView *view = nullptr;
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    bool hasSelection() const { return from != to; }
    struct Line {
      QString shown;
      QString text() const { return shown; }
    };
    // The line that holds from, as shown.
    Line block() const;
  };
  struct Document {
    const DisplayView *view;
    // The first occurrence of text, matched exactly; an empty span when none.
    Span find(const QString &text) const;
  };

  DisplayView(TextDisplay &model, QWidget *parent);
  // Called with the character code of each typed key (13 for Enter).
  void OnKeyPress(std::function<void(std::int16_t &)> handler) { mOnKey = std::move(handler); }
  // Brings the widget up to date at once.
  void Sync();
  // Brings it up to date now where the last change was due at once: called
  // once the work that changed the model is done, so that an echo is painted
  // without waiting for the next pass of the event loop.
  void CatchUpIfDue();
  int Repaints() const { return mRepaints; }
  // Whether the rows go straight into the view's X window.
  bool PutsRowsItself() const { return mSurface != nullptr; }
  // Actions shown below the display's own in its context menu.
  void AddContextAction(QAction *action) { mContextActions.push_back(action); }
  const TextDisplay &Model() const { return mModel; }

  // The text as shown: line breaks as one "\n".
  QString toPlainText() const;
  // The selection, clamped to the text still there.
  Span textCursor() const;
  // Selects the span and scrolls it into sight.
  void setTextCursor(const Span &span);
  Span cursorForPosition(const QPoint &point) const;
  const Document *document() const { return &mDocument; }
  void copy();
  void selectAll();
  // The rows in sight, as shown, one line each, a character for each cell (a
  // CR within a line is shown as a space): the text a screen reader reads.
  QString VisibleText() const;
  // Where a lifetime position falls in VisibleText(): 0 above the rows in
  // sight, its end below them.
  int VisibleOffset(std::uint64_t position) const;
  // The end of the selection that moves, clamped to the text still there.
  std::uint64_t Caret() const { return Clamp(mCaret); }
  // The cell, in the viewport, of the character at an offset into
  // VisibleText(); empty for none.
  QRect CharacterCell(int offset) const;
  // The offset into VisibleText() of the character whose cell holds a point
  // of the viewport; -1 for none.
  int OffsetAt(const QPoint &point) const;

protected:
  bool event(QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void changeEvent(QEvent *event) override;

private:
  void Measure();
  void UpdateScrollBar(bool atEnd);
  // Where the text of the rows from fromRow up to toRow ends on screen.
  int InkRight(std::uint64_t fromRow, std::uint64_t toRow) const;
  int BarMaximum() const;
  // The scroll bar's value after a change: a view at the end stays there.
  int BarValue(bool atEnd) const;
  void RepaintChanged(std::uint64_t topBefore, std::uint64_t endRowBefore, std::uint64_t endBefore,
                      std::uint64_t originBefore);
  int PageRows() const;
  std::uint64_t PositionAt(const QPoint &point) const;
  void MoveCaret(QKeyEvent &event);
  void ShowRow(std::uint64_t row);
  void PaintArea(QPainter &painter, const QRect &area);
  // Whether the rows go to the window through mSurface.
  bool Direct();
  // Paints area straight into the window through mSurface.
  void PaintDirect(const QRect &area);
  // Paints the cells of row from column left up to column right.
  void PaintRow(QPainter &painter, const WrappedLines::Row &row, int y, std::uint64_t left,
                std::uint64_t right);
  void DrawPiece(QPainter &painter, int variant, std::string_view piece, const QPointF &at);
  QString Shown(std::uint64_t from, std::uint64_t to) const;
  // One past the last row in sight.
  std::uint64_t VisibleEndRow() const;
  // The characters a screen reader reads in a row in sight (end: VisibleEndRow()): its cells,
  // and its line end unless it is the last.
  std::uint64_t CellsRead(std::uint64_t row, std::uint64_t end) const;
  // The cells of count columns from column on, in a row painted at y.
  QRectF Cells(std::uint64_t column, std::uint64_t count, int y) const;
  // The column whose cell holds x (the first for x left of it).
  std::uint64_t ColumnAt(int x) const;
  // Tells a screen reader what a catch-up changed in the rows in sight.
  void TellText(std::uint64_t topBefore);
  // Tells a screen reader where the caret and the selection went.
  void TellCaret();
  std::uint64_t Clamp(std::uint64_t position) const;

  TextDisplay &mModel;
  QTimer mRepaint;
  QElapsedTimer mClock;
  CatchUpPacing mPacing;
  qint64 mRepaintAt = 0; // when mRepaint fires, on mClock
  bool mDueNow = false;  // mRepaint was started to fire at once
  std::uint64_t mShown = ~std::uint64_t{0};
  WrappedLines mRows;
  std::uint64_t mTopRow = 0; // the row at the top, numbered as mRows numbers them
  bool mPlacing = false;     // the view moves its scroll bar itself
  std::uint64_t mAnchor = 0; // the selection, from anchor to caret
  std::uint64_t mCaret = 0;
  bool mSelecting = false;
  // What a screen reader was last told: the rows in sight (none while no
  // reader listens, or since the view scrolled), the caret and the selection.
  std::optional<QString> mToldText;
  std::uint64_t mToldCaret = 0;
  std::uint64_t mToldFrom = 0;
  std::uint64_t mToldTo = 0;
  Document mDocument{this};
  DisplayPalette mPalette;
  QFont mFonts[4]; // plain, bold, italic, bold italic
  // Each font's glyph for each byte (0: none, drawn as text instead), so a
  // row is drawn as glyphs at their cells without laying out its text.
  QRawFont mRawFonts[4];
  std::array<quint32, 256> mGlyphs[4]{};
  QList<quint32> mRunGlyphs;
  QList<QPointF> mRunPositions;
  qreal mCell = 8;
  int mLineHeight = 16;
  int mAscent = 12;
  int mRepaints = 0;
  std::function<void(std::int16_t &)> mOnKey;
  std::vector<QAction *> mContextActions;
  std::unique_ptr<DirectSurface> mSurface;
};

// The character code a key press sends, or 0 for keys with none.
std::int16_t KeyCode(const QKeyEvent &event);

} // namespace kestrel::qt
