// The receive display's input: the mouse and keys that select, the keys that
// scroll, the typed keys that go to the port, and the context menu.
#include "DisplayView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QScrollBar>

#include <algorithm>

namespace kestrel::qt {

void DisplayView::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton)
    return QAbstractScrollArea::mousePressEvent(event);
  Sync();
  mCaret = PositionAt(event->position().toPoint());
  if (!(event->modifiers() & Qt::ShiftModifier))
    mAnchor = mCaret;
  mSelecting = true;
  viewport()->update();
  TellCaret();
}

void DisplayView::mouseMoveEvent(QMouseEvent *event) {
  if (!mSelecting)
    return QAbstractScrollArea::mouseMoveEvent(event);
  const QPoint at = event->position().toPoint();
  mCaret = PositionAt(at);
  if (at.y() < 0 || at.y() >= viewport()->height())
    ShowRow(mRows.RowOf(Clamp(mCaret)));
  viewport()->update();
  TellCaret();
}

// A selection made with the mouse becomes the desktop's selection, as in
// any text field.
void DisplayView::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton || !mSelecting)
    return QAbstractScrollArea::mouseReleaseEvent(event);
  mSelecting = false;
  const Span span = textCursor();
  QClipboard *clipboard = QGuiApplication::clipboard();
  if (span.hasSelection() && clipboard->supportsSelection())
    clipboard->setText(Shown(span.from, span.to), QClipboard::Selection);
}

std::int16_t KeyCode(const QKeyEvent &event) {
  switch (event.key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return 13;
  case Qt::Key_Backspace:
    return 8;
  case Qt::Key_Tab: // a board's shell completes with it; Ctrl+Tab moves the focus on
    return (event.modifiers() &
            (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier | Qt::ShiftModifier))
               ? 0
               : 9;
  case Qt::Key_Escape:
    return 27;
  default:
    break;
  }
  // Delete, the arrows, the function keys and their kin have no character
  // code, whatever text the platform attaches to them (X gives Delete 0x7F).
  if (event.key() >= Qt::Key_Escape && event.key() <= Qt::Key_unknown)
    return 0;
  QString text = event.text();
  if (text.size() != 1)
    return 0;
  char16_t code = text.at(0).unicode();
  return (code > 0 && code < 256) ? static_cast<std::int16_t>(code) : 0;
}

namespace {

// Copying a selection keeps its usual key; with nothing selected the key goes
// to the port like any other control character. The selection is looked at
// first: matching a standard key builds the theme's key bindings each time.
bool CopiesSelection(const DisplayView &view, const QKeyEvent &key) {
  return view.textCursor().hasSelection() && key.matches(QKeySequence::Copy);
}

} // namespace

// A key with a character code belongs to the port, even where a window
// shortcut would claim it; Alt with a letter still opens the menus. Keys
// without a code are left to the shortcuts (Paste to Port's Shift+Insert
// among them), not to the display's own reading keys.
bool DisplayView::event(QEvent *event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto *key = static_cast<QKeyEvent *>(event);
    const bool menuKey = key->modifiers() & (Qt::AltModifier | Qt::MetaModifier);
    if ((KeyCode(*key) != 0 && !menuKey) || CopiesSelection(*this, *key))
      key->accept();
    else
      key->ignore();
    return true;
  }
  // Tab is a key like any other here, taken before the window moves the focus
  // with it; Ctrl+Tab and Shift+Tab move the focus out of the display.
  if (event->type() == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ControlModifier))
      return focusNextPrevChild(true);
    if (KeyCode(*key) == 9) {
      keyPressEvent(key);
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void DisplayView::keyPressEvent(QKeyEvent *event) {
  if (CopiesSelection(*this, *event)) {
    copy();
    return;
  }
  std::int16_t code = KeyCode(*event);
  if (code != 0 && mOnKey) {
    mPacing.Typed();
    mOnKey(code);
    return;
  }
  // Keys without a character code keep their reading functions: with Shift
  // they move the selection's end, without it they scroll.
  if (event->modifiers() & Qt::ShiftModifier) {
    MoveCaret(*event);
    return;
  }
  QScrollBar *bar = verticalScrollBar();
  switch (event->key()) {
  case Qt::Key_Home:
    if (event->modifiers() & Qt::ControlModifier)
      return bar->setValue(0);
    break;
  case Qt::Key_End:
    if (event->modifiers() & Qt::ControlModifier)
      return bar->setValue(bar->maximum());
    break;
  default:
    break;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

// Shift with an arrow, Page Up or Down, Home or End extends the selection
// by a character, a row, a page or to the row's ends (with Ctrl: the text's).
void DisplayView::MoveCaret(QKeyEvent &event) {
  Sync();
  if (!textCursor().hasSelection())
    mAnchor = Clamp(mCaret);
  std::uint64_t caret = Clamp(mCaret);
  const std::uint64_t rowNumber = mRows.RowOf(caret);
  const WrappedLines::Row row = mRows.RowAt(rowNumber);
  const LineIndex &lines = mRows.Lines();
  const std::uint64_t column = caret - row.from;
  const bool control = event.modifiers() & Qt::ControlModifier;
  auto atRow = [&](std::int64_t by) {
    const auto target = static_cast<std::uint64_t>(std::max<std::int64_t>(
        static_cast<std::int64_t>(mRows.FirstRow()), static_cast<std::int64_t>(rowNumber) + by));
    const WrappedLines::Row r = mRows.RowAt(target);
    return std::min(r.from + column, r.to);
  };
  const std::int64_t page = PageRows();
  switch (event.key()) {
  // A line's CR LF is one step, from the end of its text to the next line.
  case Qt::Key_Left:
    caret = caret > lines.Start(row.line) ? caret - 1
            : row.line > 0                ? mRows.ContentEnd(row.line - 1)
                                          : caret;
    break;
  case Qt::Key_Right:
    caret = caret < mRows.ContentEnd(row.line) ? caret + 1
            : row.line + 1 < lines.Count()     ? lines.Start(row.line + 1)
                                               : caret;
    break;
  case Qt::Key_Up:
    caret = atRow(-1);
    break;
  case Qt::Key_Down:
    caret = atRow(1);
    break;
  case Qt::Key_PageUp:
    caret = atRow(-page);
    break;
  case Qt::Key_PageDown:
    caret = atRow(page);
    break;
  case Qt::Key_Home:
    caret = control ? mModel.Origin() : row.from;
    break;
  case Qt::Key_End:
    caret = control ? mModel.Origin() + mModel.Length() : row.to;
    break;
  default:
    return QAbstractScrollArea::keyPressEvent(&event);
  }
  mCaret = caret;
  ShowRow(mRows.RowOf(Clamp(mCaret)));
  viewport()->update();
  TellCaret();
}

// Typed keys go to the port, so the menu names no key for its entries.
void DisplayView::contextMenuEvent(QContextMenuEvent *event) {
  auto *menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction *copyAction = menu->addAction(QStringLiteral("&Copy"), this, &DisplayView::copy);
  copyAction->setEnabled(textCursor().hasSelection());
  menu->addAction(QStringLiteral("Select All"), this, &DisplayView::selectAll);
  if (!mContextActions.empty()) {
    menu->addSeparator();
    for (QAction *action : mContextActions)
      menu->addAction(action);
  }
  menu->popup(event->globalPos());
}

} // namespace kestrel::qt
