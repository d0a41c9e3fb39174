// The receive display as a screen reader meets it: the rows in sight as text, a character for
// each cell, where each character is painted, and what each catch-up, caret move or selection
// changed in them, told as Qt's accessibility events only while a reader listens.
#include "DisplayView.h"

#include <QAccessible>

#include <algorithm>

namespace kestrel::qt {

// One catch-up, however many bytes it brought, is told as at most the rows
// that left the top and the text that came at the end; a change that is not
// that (a cut into a line in sight, the text replaced) as the one stretch
// that differs.
void DisplayView::TellText(std::uint64_t topBefore) {
  const QString now = VisibleText();
  const QString before = mToldText.value_or(QString());
  mToldText = now;
  if (mTopRow > topBefore) {
    qsizetype kept = 0;
    for (std::uint64_t left = mTopRow - topBefore; left > 0 && kept < before.size(); --left) {
      const qsizetype newline = before.indexOf(QLatin1Char('\n'), kept);
      kept = newline < 0 ? before.size() : newline + 1;
    }
    if (QStringView(now).startsWith(QStringView(before).mid(kept))) {
      if (kept > 0) {
        QAccessibleTextRemoveEvent removed(this, 0, before.left(kept));
        QAccessible::updateAccessibility(&removed);
      }
      const qsizetype at = before.size() - kept;
      if (now.size() > at) {
        QAccessibleTextInsertEvent inserted(this, static_cast<int>(at), now.mid(at));
        QAccessible::updateAccessibility(&inserted);
      }
      return;
    }
  }
  const qsizetype shorter = std::min(before.size(), now.size());
  qsizetype same = 0;
  while (same < shorter && before[same] == now[same])
    ++same;
  qsizetype sameEnd = 0;
  while (sameEnd < shorter - same &&
         before[before.size() - 1 - sameEnd] == now[now.size() - 1 - sameEnd])
    ++sameEnd;
  const QString gone = before.mid(same, before.size() - same - sameEnd);
  const QString came = now.mid(same, now.size() - same - sameEnd);
  const int at = static_cast<int>(same);
  if (gone.isEmpty() && came.isEmpty())
    return;
  if (gone.isEmpty()) {
    QAccessibleTextInsertEvent inserted(this, at, came);
    QAccessible::updateAccessibility(&inserted);
  } else if (came.isEmpty()) {
    QAccessibleTextRemoveEvent removed(this, at, gone);
    QAccessible::updateAccessibility(&removed);
  } else {
    QAccessibleTextUpdateEvent updated(this, at, gone, came);
    QAccessible::updateAccessibility(&updated);
  }
}

void DisplayView::TellCaret() {
  if (!QAccessible::isActive())
    return;
  const Span selection = textCursor();
  const std::uint64_t caret = Caret();
  if (caret != mToldCaret) {
    QAccessibleTextCursorEvent moved(this, VisibleOffset(caret));
    QAccessible::updateAccessibility(&moved);
  }
  if (selection.from != mToldFrom || selection.to != mToldTo) {
    const int from = VisibleOffset(selection.from);
    const int to = VisibleOffset(selection.to);
    QAccessibleTextSelectionEvent selected(this, from < to ? from : -1, from < to ? to : -1);
    QAccessible::updateAccessibility(&selected);
  }
  mToldCaret = caret;
  mToldFrom = selection.from;
  mToldTo = selection.to;
}

QString DisplayView::VisibleText() const {
  QString shown;
  const std::uint64_t end = VisibleEndRow();
  const std::uint64_t origin = mModel.Origin();
  const std::string_view text = mModel.Text();
  for (std::uint64_t row = mTopRow; row < end; ++row) {
    if (row > mTopRow)
      shown += QLatin1Char('\n');
    const WrappedLines::Row r = mRows.RowAt(row);
    const std::uint64_t from = Clamp(r.from);
    const std::uint64_t to = std::max(from, Clamp(r.to));
    for (char ch :
         text.substr(static_cast<std::size_t>(from - origin), static_cast<std::size_t>(to - from)))
      shown += ch == '\r' ? QLatin1Char(' ') : QChar::fromLatin1(ch);
  }
  return shown;
}

// Each row in sight counts its cells and one more for the line end after it.
std::uint64_t DisplayView::CellsRead(std::uint64_t row, std::uint64_t end) const {
  const WrappedLines::Row r = mRows.RowAt(row);
  return r.to - r.from + (row + 1 < end ? 1 : 0);
}

int DisplayView::VisibleOffset(std::uint64_t position) const {
  position = Clamp(position);
  const std::uint64_t end = VisibleEndRow();
  const std::uint64_t at = std::min(mRows.RowOf(position), end);
  if (at < mTopRow)
    return 0;
  std::uint64_t offset = 0;
  for (std::uint64_t row = mTopRow; row < end; ++row) {
    if (row == at) {
      const WrappedLines::Row r = mRows.RowAt(row);
      return static_cast<int>(offset +
                              std::min(position - std::min(position, r.from), r.to - r.from));
    }
    offset += CellsRead(row, end);
  }
  return static_cast<int>(offset);
}

QRect DisplayView::CharacterCell(int offset) const {
  if (offset < 0)
    return {};
  auto left = static_cast<std::uint64_t>(offset);
  const std::uint64_t end = VisibleEndRow();
  for (std::uint64_t row = mTopRow; row < end; ++row) {
    const std::uint64_t cells = CellsRead(row, end);
    if (left < cells)
      return Cells(left, 1, static_cast<int>(row - mTopRow) * mLineHeight).toRect();
    left -= cells;
  }
  return {};
}

int DisplayView::OffsetAt(const QPoint &point) const {
  if (!viewport()->rect().contains(point) || point.x() < Cells(0, 1, 0).left())
    return -1;
  const std::uint64_t target = mTopRow + static_cast<std::uint64_t>(point.y() / mLineHeight);
  const std::uint64_t column = ColumnAt(point.x());
  const std::uint64_t end = VisibleEndRow();
  std::uint64_t offset = 0;
  for (std::uint64_t row = mTopRow; row < end; ++row) {
    const std::uint64_t cells = CellsRead(row, end);
    if (row == target)
      return column < cells ? static_cast<int>(offset + column) : -1;
    offset += cells;
  }
  return -1;
}

} // namespace kestrel::qt
