#include "DisplayView.h"

#include "DisplayAccessible.h"
#include "DisplayScrollBar.h"
#include "TextStyle.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace kestrel::qt {

namespace {
// The room left of the first column, as a text edit's document margin.
constexpr int kMargin = 4;

// The viewport, which has no paint engine while the view puts its rows into
// the window itself.
class Viewport : public QWidget {
public:
  using QWidget::QWidget;
  QPaintEngine *paintEngine() const override {
    return testAttribute(Qt::WA_PaintOnScreen) ? nullptr : QWidget::paintEngine();
  }
  // Painting into a grab of the widget rather than onto the screen.
  bool Redirected() const {
    QPoint offset;
    return redirected(&offset) != nullptr;
  }
};
} // namespace

std::optional<std::string> DisplayBytes(const QString &text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    if (ch.unicode() > 0xFF)
      return std::nullopt;
    bytes += static_cast<char>(ch.unicode());
  }
  return bytes;
}

DisplayView::Span::Line DisplayView::Span::block() const {
  if (!view)
    return {};
  const LineIndex &lines = view->mRows.Lines();
  const std::size_t line = lines.LineOf(from);
  return {view->Shown(lines.Start(line), view->mRows.ContentEnd(line))};
}

DisplayView::Span DisplayView::Document::find(const QString &text) const {
  const std::optional<std::string> needle = DisplayBytes(text);
  if (!needle || needle->empty())
    return {view, 0, 0};
  const std::size_t at = view->mModel.Find(*needle, 0);
  if (at == TextDisplay::npos)
    return {view, 0, 0};
  const std::uint64_t from = view->mModel.Origin() + at;
  return {view, from, from + needle->size()};
}

DisplayView::DisplayView(TextDisplay &model, QWidget *parent)
    : QAbstractScrollArea(parent), mModel(model) {
  InstallDisplayAccessible();
  setVerticalScrollBar(new DisplayScrollBar(Qt::Vertical, this));
  setViewport(new Viewport);
  // On X11 the viewport is a window of its own that the view paints itself;
  // KESTREL_QT_PAINT set leaves it to Qt's backing store.
  if (qGuiApp->nativeInterface<QNativeInterface::QX11Application>() &&
      !qEnvironmentVariableIsSet("KESTREL_QT_PAINT")) {
    viewport()->setAttribute(Qt::WA_DontCreateNativeAncestors);
    viewport()->setAttribute(Qt::WA_NativeWindow);
    viewport()->setAttribute(Qt::WA_PaintOnScreen);
  }
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setAutoFillBackground(false);
  // Every paint fills what it covers, so Qt may move the rows already on
  // screen when the view follows new output (a blit on the X server) and
  // repaint only the rows that changed.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  verticalScrollBar()->setSingleStep(1);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Measure();
  mRepaint.setSingleShot(true);
  connect(&mRepaint, &QTimer::timeout, this, [this] { Sync(); });
  mClock.start();
  mModel.OnDirty([this] {
    const qint64 now = mClock.elapsed();
    const qint64 at = now + mPacing.Changed(now);
    // An echo after a key is due sooner than the stream's catch-up.
    if (mRepaint.isActive() && at >= mRepaintAt)
      return;
    mDueNow = at <= now;
    mRepaintAt = at;
    mRepaint.start(static_cast<int>(at - now));
  });
}

void DisplayView::CatchUpIfDue() {
  if (!mDueNow)
    return;
  mRepaint.stop();
  Sync();
}

void DisplayView::Sync() {
  mDueNow = false;
  if (mShown == mModel.Generation())
    return;
  mShown = mModel.Generation();
  // A reader that came since the last catch-up, or whose view scrolled, is
  // told the change from the rows it finds in sight now.
  const bool reader = QAccessible::isActive();
  if (!mToldText && reader)
    mToldText = VisibleText();
  const std::uint64_t endBefore = mRows.Lines().End();
  const std::uint64_t originBefore = mRows.Lines().Origin();
  const std::uint64_t topBefore = mTopRow;
  const std::uint64_t endRowBefore = mRows.RowOf(endBefore);
  QScrollBar *bar = verticalScrollBar();
  const bool atEnd = bar->value() >= bar->maximum();
  mRows.Follow(mModel);
  if (mRows.Lines().Origin() == originBefore && mRows.Lines().End() == endBefore)
    return;
  ++mRepaints;
  mPacing.CaughtUp(mClock.elapsed());
  // The rows go to the screen first; the scroll bar follows them.
  mTopRow = mRows.FirstRow() + static_cast<std::uint64_t>(BarValue(atEnd));
  RepaintChanged(topBefore, endRowBefore, endBefore, originBefore);
  UpdateScrollBar(atEnd);
  if (reader)
    TellText(topBefore);
  else
    mToldText.reset();
}

// Rows numbered alike before and after a catch-up show the same text, up to
// the row that held the old end, which may have grown: unless a cut
// re-wrapped the first line in sight or the view jumped, the rows kept are
// moved and only that row and the ones after it are painted. An echo at the
// prompt repaints one row, not the whole view.
void DisplayView::RepaintChanged(std::uint64_t topBefore, std::uint64_t endRowBefore,
                                 std::uint64_t endBefore, std::uint64_t originBefore) {
  const auto page = static_cast<std::uint64_t>(PageRows());
  const bool rowsKept = mRows.Lines().Origin() == originBefore || mRows.RowAt(mTopRow).line > 0;
  if (!rowsKept || mTopRow < topBefore || mTopRow - topBefore >= page || endRowBefore < topBefore) {
    viewport()->update();
    return;
  }
  const int moved = static_cast<int>(mTopRow - topBefore) * mLineHeight;
  // Right of the widest row that was or is in sight, every row on screen
  // shows only the background before the catch-up and after it: neither the
  // move nor the repaint need to touch it. At a shell's prompt that is most
  // of the width.
  const QRect inked(0, 0, std::min(viewport()->width(), InkRight(topBefore, mTopRow + page + 1)),
                    viewport()->height());
  if (moved > 0) {
    if (Direct())
      mSurface->Scroll(inked, -moved);
    else
      viewport()->scroll(0, -moved);
  }
  const int y = static_cast<int>(std::max(endRowBefore, mTopRow) - mTopRow) * mLineHeight;
  // Below the new end the rows were blank and still are, but for the strip
  // that the move left behind and the row just below the end, where the last
  // row's descenders reach.
  const std::uint64_t endRow = std::min(mRows.EndRow() - mTopRow + 1, page + 1);
  const int bottom =
      std::min(viewport()->height(), std::max(static_cast<int>(endRow) * mLineHeight,
                                              moved > 0 ? viewport()->height() - moved : 0));
  QRect changed = QRect(0, y, viewport()->width(), bottom - y) & inked;
  // Text that went on in the row of the old end changed only the cells from
  // there to the new end; a cell either side is painted again for glyphs
  // that reach past their own.
  const std::uint64_t end = mRows.Lines().End();
  if (moved == 0 && endRowBefore >= mTopRow && mRows.RowOf(end) == endRowBefore) {
    const std::uint64_t start = mRows.RowAt(endRowBefore).from;
    const auto left =
        static_cast<int>(kMargin + (static_cast<qreal>(endBefore - start) - 1) * mCell);
    const auto right =
        static_cast<int>(std::ceil(kMargin + (static_cast<qreal>(end - start) + 1) * mCell));
    changed &= QRect(left, y, right - left, bottom - y);
  }
  if (changed.isEmpty())
    return;
  // Painted now rather than at the next pass of the event loop: the catch-up
  // is already paced, and an echo should not wait behind other events.
  if (Direct() && viewport()->isVisible() && viewport()->updatesEnabled() &&
      !static_cast<Viewport *>(viewport())->Redirected())
    PaintDirect(changed);
  else
    viewport()->repaint(changed);
}

// A view at the end stays there; one scrolled up keeps its top row, which
// moves up the scroll bar as the front is cut.
void DisplayView::UpdateScrollBar(bool atEnd) {
  QScrollBar *bar = verticalScrollBar();
  mPlacing = true;
  static_cast<DisplayScrollBar *>(bar)->Place(PageRows(), BarMaximum(), BarValue(atEnd));
  mPlacing = false;
  mTopRow = mRows.FirstRow() + static_cast<std::uint64_t>(bar->value());
}

int DisplayView::InkRight(std::uint64_t fromRow, std::uint64_t toRow) const {
  std::uint64_t cells = 0;
  for (std::uint64_t row = std::max(fromRow, mRows.FirstRow());
       row < std::min(toRow, mRows.EndRow()); ++row) {
    const WrappedLines::Row shown = mRows.RowAt(row);
    cells = std::max(cells, shown.to - shown.from);
  }
  // A cell more for a glyph that reaches past its own.
  return static_cast<int>(std::ceil(kMargin + static_cast<qreal>(cells + 1) * mCell));
}

int DisplayView::BarMaximum() const {
  const auto page = static_cast<std::uint64_t>(PageRows());
  const std::uint64_t rows = mRows.RowCount();
  return static_cast<int>(rows > page ? rows - page : 0);
}

int DisplayView::BarValue(bool atEnd) const {
  const int maximum = BarMaximum();
  if (atEnd)
    return maximum;
  const std::uint64_t top = std::max(mTopRow, mRows.FirstRow());
  return static_cast<int>(
      std::min<std::uint64_t>(top - mRows.FirstRow(), static_cast<std::uint64_t>(maximum)));
}

int DisplayView::PageRows() const {
  return std::max(1, viewport()->height() / mLineHeight);
}

void DisplayView::Measure() {
  mFonts[0] = font();
  for (int i = 1; i < 4; ++i) {
    mFonts[i] = font();
    mFonts[i].setBold(i & 1);
    mFonts[i].setItalic(i & 2);
  }
  QString bytes(256, QChar(' '));
  for (int b = 32; b < 256; ++b)
    bytes[b] = QChar::fromLatin1(static_cast<char>(b));
  for (int i = 0; i < 4; ++i) {
    mRawFonts[i] = QRawFont::fromFont(mFonts[i]);
    mGlyphs[i].fill(0);
    if (!mRawFonts[i].isValid())
      continue;
    const QList<quint32> glyphs = mRawFonts[i].glyphIndexesForString(bytes);
    for (int b = 32; b < 256 && b < glyphs.size(); ++b)
      mGlyphs[i][static_cast<std::size_t>(b)] = glyphs[b];
    mGlyphs[i]['\r'] = mGlyphs[i][' '];
  }
  const QFontMetricsF metrics(font());
  // Cells are whole pixels wide: every glyph then lands on a whole pixel, so the
  // glyph cache renders each once instead of once for each fraction of a pixel
  // its column puts it at.
  mCell = std::max<qreal>(1, std::round(metrics.horizontalAdvance(QLatin1Char('M'))));
  mLineHeight = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
  mAscent = static_cast<int>(std::ceil(metrics.ascent()));
  mPalette.Theme(palette());
}

void DisplayView::changeEvent(QEvent *event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
    Measure();
    resizeEvent(nullptr);
  }
  QAbstractScrollArea::changeEvent(event);
}

// A new width wraps the lines again; the text at the top stays at the top.
void DisplayView::resizeEvent(QResizeEvent *event) {
  if (event)
    QAbstractScrollArea::resizeEvent(event);
  QScrollBar *bar = verticalScrollBar();
  const bool atEnd = bar->value() >= bar->maximum();
  const auto columns =
      static_cast<std::size_t>(std::max<qreal>(1, (viewport()->width() - 2 * kMargin) / mCell));
  if (columns != mRows.Columns()) {
    const std::uint64_t top = mRows.RowAt(mTopRow).from;
    mRows.Columns(columns);
    mTopRow = mRows.RowOf(top);
  }
  UpdateScrollBar(atEnd);
  mToldText.reset();
  viewport()->update();
}

// Where the view moves its scroll bar itself, it repaints what changed.
void DisplayView::scrollContentsBy(int, int) {
  if (mPlacing)
    return;
  mTopRow = mRows.FirstRow() + static_cast<std::uint64_t>(verticalScrollBar()->value());
  mToldText.reset();
  viewport()->update();
}

std::uint64_t DisplayView::Clamp(std::uint64_t position) const {
  return std::clamp(position, mModel.Origin(), mModel.Origin() + mModel.Length());
}

// The model's bytes between two positions as shown: CR left out, each byte
// one Latin-1 character.
QString DisplayView::Shown(std::uint64_t from, std::uint64_t to) const {
  from = Clamp(from);
  to = std::max(from, Clamp(to));
  const std::string_view text = mModel.Text().substr(
      static_cast<std::size_t>(from - mModel.Origin()), static_cast<std::size_t>(to - from));
  QString shown;
  shown.reserve(static_cast<qsizetype>(text.size()));
  for (char ch : text)
    if (ch != '\r')
      shown += QChar::fromLatin1(ch);
  return shown;
}

QString DisplayView::toPlainText() const {
  return Shown(mModel.Origin(), mModel.Origin() + mModel.Length());
}

std::uint64_t DisplayView::VisibleEndRow() const {
  return std::min(mRows.EndRow(), mTopRow + static_cast<std::uint64_t>(PageRows()));
}

QRectF DisplayView::Cells(std::uint64_t column, std::uint64_t count, int y) const {
  return {kMargin + static_cast<qreal>(column) * mCell, static_cast<qreal>(y),
          static_cast<qreal>(count) * mCell, static_cast<qreal>(mLineHeight)};
}

std::uint64_t DisplayView::ColumnAt(int x) const {
  return static_cast<std::uint64_t>(std::max<qreal>(0, (x - kMargin) / mCell));
}

DisplayView::Span DisplayView::textCursor() const {
  const std::uint64_t a = Clamp(mAnchor);
  const std::uint64_t b = Clamp(mCaret);
  return {this, std::min(a, b), std::max(a, b)};
}

void DisplayView::setTextCursor(const Span &span) {
  Sync();
  mAnchor = span.from;
  mCaret = span.to;
  ShowRow(mRows.RowOf(Clamp(span.from)));
  viewport()->update();
  TellCaret();
}

DisplayView::Span DisplayView::cursorForPosition(const QPoint &point) const {
  const std::uint64_t at = PositionAt(point);
  return {this, at, at};
}

void DisplayView::copy() {
  const Span span = textCursor();
  if (span.hasSelection())
    QGuiApplication::clipboard()->setText(Shown(span.from, span.to));
}

void DisplayView::selectAll() {
  Sync();
  mAnchor = mModel.Origin();
  mCaret = mModel.Origin() + mModel.Length();
  viewport()->update();
  TellCaret();
}

// Scrolls as little as brings the row into sight.
void DisplayView::ShowRow(std::uint64_t row) {
  const auto page = static_cast<std::uint64_t>(PageRows());
  std::uint64_t top = mTopRow;
  if (row < top)
    top = row;
  else if (row >= top + page)
    top = row - page + 1;
  verticalScrollBar()->setValue(static_cast<int>(top - std::min(top, mRows.FirstRow())));
}

std::uint64_t DisplayView::PositionAt(const QPoint &point) const {
  const int rowInView = point.y() < 0 ? -1 : point.y() / mLineHeight;
  const std::uint64_t row = rowInView < 0 ? (mTopRow > 0 ? mTopRow - 1 : 0)
                                          : mTopRow + static_cast<std::uint64_t>(rowInView);
  if (row >= mRows.EndRow())
    return mRows.Lines().End();
  const WrappedLines::Row r = mRows.RowAt(row);
  const auto column =
      static_cast<std::uint64_t>(std::max<qreal>(0, std::round((point.x() - kMargin) / mCell)));
  return std::min(r.from + column, r.to);
}

// The surface is made at the first paint, once the viewport has its window;
// where none can be had, or the screen scales its pixels, the view goes back
// to painting through Qt for good.
bool DisplayView::Direct() {
  if (!viewport()->testAttribute(Qt::WA_PaintOnScreen))
    return false;
  if (!mSurface && viewport()->testAttribute(Qt::WA_WState_Created)) {
    if (viewport()->devicePixelRatioF() == 1.0)
      mSurface = DirectSurface::For(*viewport());
    if (!mSurface) {
      viewport()->setAttribute(Qt::WA_PaintOnScreen, false);
      viewport()->update();
    }
  }
  return mSurface != nullptr;
}

// On screen the rows go to the window through the surface; a grab of the
// widget, or a view without a surface, paints through Qt.
void DisplayView::paintEvent(QPaintEvent *event) {
  const QRect area = event->rect() & viewport()->rect();
  if (!static_cast<Viewport *>(viewport())->Redirected() &&
      viewport()->testAttribute(Qt::WA_PaintOnScreen)) {
    // Without a surface the update that Direct() asked for paints through Qt.
    if (Direct() && !area.isEmpty())
      PaintDirect(area);
    return;
  }
  QPainter painter(viewport());
  PaintArea(painter, area);
}

void DisplayView::PaintDirect(const QRect &area) {
  PaintArea(mSurface->Canvas(area), area);
  mSurface->Put(area);
}

void DisplayView::PaintArea(QPainter &painter, const QRect &area) {
  mPalette.Theme(palette());
  painter.fillRect(area, mPalette.Background());
  const int first = std::max(0, area.top()) / mLineHeight;
  const int last = std::max(0, area.bottom()) / mLineHeight;
  const std::uint64_t end =
      std::min(mRows.EndRow(), mTopRow + static_cast<std::uint64_t>(last) + 1);
  // The cells area covers, and one either side for glyphs reaching into it.
  const std::uint64_t left =
      ColumnAt(area.left()) - std::min<std::uint64_t>(1, ColumnAt(area.left()));
  const std::uint64_t right = ColumnAt(area.right()) + 2;
  int y = first * mLineHeight;
  for (std::uint64_t row = mTopRow + static_cast<std::uint64_t>(first); row < end;
       ++row, y += mLineHeight)
    PaintRow(painter, mRows.RowAt(row), y, left, right);
}

// A row goes out in stretches of one style and one selection state; most
// rows are one stretch, one call.
void DisplayView::PaintRow(QPainter &painter, const WrappedLines::Row &row, int y,
                           std::uint64_t left, std::uint64_t right) {
  const std::uint64_t origin = mModel.Origin();
  const std::uint64_t from = Clamp(std::min(row.to, row.from + left));
  const std::uint64_t to = std::max(from, Clamp(std::min(row.to, row.from + right)));
  const Span selection = textCursor();
  const auto &runs = mModel.StyleRuns();
  auto run = std::upper_bound(
      runs.begin(), runs.end(), from,
      [](std::uint64_t at, const TextDisplay::StyleRun &r) { return at < r.from; });
  std::uint32_t style = run == runs.begin() ? 0 : std::prev(run)->style;
  const std::string_view text = mModel.Text();
  const QPalette &theme = palette();
  for (std::uint64_t at = from; at < to;) {
    std::uint64_t next = to;
    if (run != runs.end())
      next = std::min(next, run->from);
    const bool selected = selection.from <= at && at < selection.to;
    if (selection.hasSelection())
      next = std::min(next, selected ? selection.to : (selection.from > at ? selection.from : to));
    next = std::max(next, at + 1);
    const TextStyle shown = TextStyle::Unpacked(style);
    QColor ink = shown.typed ? mPalette.Typed() : mPalette.Text();
    if (shown.foreground != TextStyle::kDefaultColour)
      ink = mPalette.Foreground(shown.foreground);
    const QRectF cells = Cells(at - row.from, next - at, y);
    const qreal x = cells.x();
    if (selected) {
      painter.fillRect(cells, theme.color(QPalette::Highlight));
      ink = theme.color(QPalette::HighlightedText);
    } else if (shown.background != TextStyle::kDefaultColour) {
      const QColor fill = DisplayPalette::Raw(shown.background);
      painter.fillRect(cells, fill);
      if (shown.foreground == TextStyle::kDefaultColour)
        ink = DisplayPalette::TextOn(fill);
    }
    const int variant = (shown.bold ? 1 : 0) | (shown.typed ? 2 : 0);
    const std::string_view piece =
        text.substr(static_cast<std::size_t>(at - origin), static_cast<std::size_t>(next - at));
    painter.setPen(ink);
    DrawPiece(painter, variant, piece, QPointF(x, y + mAscent));
    at = next;
    while (run != runs.end() && run->from <= at)
      style = (run++)->style;
  }
}

// Glyphs at their cells where the font has every one; otherwise as text,
// which finds the missing ones in other fonts.
void DisplayView::DrawPiece(QPainter &painter, int variant, std::string_view piece,
                            const QPointF &at) {
  const auto &glyphs = mGlyphs[variant];
  mRunGlyphs.resize(static_cast<qsizetype>(piece.size()));
  mRunPositions.resize(static_cast<qsizetype>(piece.size()));
  bool whole = mRawFonts[variant].isValid();
  for (std::size_t i = 0; i < piece.size() && whole; ++i) {
    const quint32 glyph = glyphs[static_cast<unsigned char>(piece[i])];
    whole = glyph != 0;
    mRunGlyphs[static_cast<qsizetype>(i)] = glyph;
    mRunPositions[static_cast<qsizetype>(i)] = QPointF(static_cast<qreal>(i) * mCell, 0);
  }
  if (whole) {
    QGlyphRun run;
    run.setRawFont(mRawFonts[variant]);
    run.setGlyphIndexes(mRunGlyphs);
    run.setPositions(mRunPositions);
    painter.drawGlyphRun(at, run);
    return;
  }
  QString shown = QString::fromLatin1(piece.data(), static_cast<qsizetype>(piece.size()));
  shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
  painter.setFont(mFonts[variant]);
  painter.drawText(at, shown);
}

} // namespace kestrel::qt
