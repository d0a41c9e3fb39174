#include "DisplayView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>

namespace kestrel::qt {

namespace {
// The visual line at the top of the view, counted from the top of the
// document, for the cursor's place inside its block.
int VisualLine(const QTextCursor &at) {
  const QTextBlock block = at.block();
  int line = block.firstLineNumber();
  if (const QTextLayout *layout = block.layout(); layout && layout->lineCount() > 0) {
    const QTextLine inner = layout->lineForTextPosition(at.positionInBlock());
    if (inner.isValid())
      line += inner.lineNumber();
  }
  return line;
}
} // namespace

DisplayView::DisplayView(TextDisplay &model, QWidget *parent)
    : QPlainTextEdit(parent), mModel(model) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setTabChangesFocus(true);
  setFocusPolicy(Qt::StrongFocus);
  mRepaint.setSingleShot(true);
  mClock.start();
  connect(&mRepaint, &QTimer::timeout, this, [this] { Sync(); });
  mModel.OnDirty([this] {
    const qint64 now = mClock.elapsed();
    const qint64 at = now + mPacing.Changed(now);
    // An echo after a key is due sooner than the stream's catch-up.
    if (mRepaint.isActive() && at >= mRepaintAt)
      return;
    mRepaintAt = at;
    mRepaint.start(static_cast<int>(at - now));
  });
}

void DisplayView::Sync() {
  if (mShown == mModel.Generation())
    return;
  mShown = mModel.Generation();
  const std::uint64_t origin = mModel.Origin();
  const std::string_view text = mModel.Text();
  const std::uint64_t end = mOrigin + mMirror.size();
  const std::size_t cut = static_cast<std::size_t>(
      std::min<std::uint64_t>(origin - mOrigin, static_cast<std::uint64_t>(mMirror.size())));
  // Once the model has cut past all that is shown, all of its text is new.
  const std::string_view added =
      end >= origin ? text.substr(static_cast<std::size_t>(end - origin)) : text;
  if (cut == 0 && added.empty()) {
    mOrigin = origin;
    return;
  }

  QScrollBar *bar = verticalScrollBar();
  const bool atEnd = bar->value() >= bar->maximum();
  // A view scrolled up keeps the text at its top line; the cursor moves with
  // that text as the document is edited.
  QTextCursor top = atEnd ? QTextCursor() : cursorForPosition(QPoint(0, 0));

  // The document shows the model without its carriage returns: a line ends
  // in CR LF in the model and in one block break in the document.
  QTextCursor edit(document());
  // One edit: the document is laid out once, when the edit ends, after the
  // new lines are told to keep their shaped glyphs; so they are shaped once,
  // not once for the layout and again for the first paint, and a repaint
  // draws them without shaping the text again.
  edit.beginEditBlock();
  if (cut > 0) {
    const auto crs =
        std::count(mMirror.begin(), mMirror.begin() + static_cast<std::ptrdiff_t>(cut), '\r');
    edit.setPosition(static_cast<int>(cut - static_cast<std::size_t>(crs)),
                     QTextCursor::KeepAnchor);
    edit.removeSelectedText();
    mMirror.erase(0, cut);
  }
  if (!added.empty()) {
    QString shown;
    shown.reserve(static_cast<qsizetype>(added.size()));
    for (char ch : added)
      if (ch != '\r')
        shown += QChar::fromLatin1(ch);
    edit.movePosition(QTextCursor::End);
    const QTextBlock first = edit.block();
    edit.insertText(shown);
    mMirror.append(added);
    for (QTextBlock b = first; b.isValid(); b = b.next())
      b.layout()->setCacheEnabled(true);
  }
  edit.endEditBlock();
  mOrigin = origin;
  ++mRepaints;
  mPacing.CaughtUp(mClock.elapsed());
  bar->setValue(atEnd ? bar->maximum() : VisualLine(top));
}

std::int16_t KeyCode(const QKeyEvent &event) {
  switch (event.key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return 13;
  case Qt::Key_Backspace:
    return 8;
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

// A key with a character code belongs to the port, even where a window
// shortcut would claim it; Alt with a letter still opens the menus. Keys
// without a code are left to the shortcuts (Paste to Port's Shift+Insert
// among them), not to the read-only display's own editing keys.
bool DisplayView::event(QEvent *event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto *key = static_cast<QKeyEvent *>(event);
    const bool menuKey = key->modifiers() & (Qt::AltModifier | Qt::MetaModifier);
    const bool copy = key->matches(QKeySequence::Copy) && textCursor().hasSelection();
    if ((KeyCode(*key) != 0 && !menuKey) || copy)
      key->accept();
    else
      key->ignore();
    return true;
  }
  return QPlainTextEdit::event(event);
}

void DisplayView::keyPressEvent(QKeyEvent *event) {
  // Copying a selection keeps its usual key; with nothing selected the key
  // goes to the port like any other control character.
  if (event->matches(QKeySequence::Copy) && textCursor().hasSelection()) {
    copy();
    return;
  }
  if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  std::int16_t code = KeyCode(*event);
  if (code != 0 && mOnKey) {
    mPacing.Typed();
    mOnKey(code);
    return;
  }
  // Keys without a character code keep their reading functions (scrolling).
  QPlainTextEdit::keyPressEvent(event);
}

// Typed keys go to the port, so the menu names no key for its entries.
void DisplayView::contextMenuEvent(QContextMenuEvent *event) {
  auto *menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction *copyAction = menu->addAction(QStringLiteral("&Copy"), this, &QPlainTextEdit::copy);
  copyAction->setEnabled(textCursor().hasSelection());
  menu->addAction(QStringLiteral("Select All"), this, &QPlainTextEdit::selectAll);
  if (!mContextActions.empty()) {
    menu->addSeparator();
    for (QAction *action : mContextActions)
      menu->addAction(action);
  }
  menu->popup(event->globalPos());
}

} // namespace kestrel::qt
