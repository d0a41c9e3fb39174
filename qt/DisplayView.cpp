#include "DisplayView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QScrollBar>

namespace kestrel::qt {

namespace {
constexpr int kRepaintMs = 33;
}

DisplayView::DisplayView(TextDisplay &model, QWidget *parent)
    : QPlainTextEdit(parent), model_(model) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setTabChangesFocus(true);
  setFocusPolicy(Qt::StrongFocus);
  repaint_.setSingleShot(true);
  repaint_.setInterval(kRepaintMs);
  connect(&repaint_, &QTimer::timeout, this, [this] { Sync(); });
  model_.OnDirty([this] {
    if (!repaint_.isActive())
      repaint_.start();
  });
}

void DisplayView::Sync() {
  if (shown_ == model_.Generation())
    return;
  shown_ = model_.Generation();
  QScrollBar *bar = verticalScrollBar();
  bool atEnd = bar->value() >= bar->maximum();
  int keep = bar->value();
  std::string_view text = model_.Text();
  // Lines end in CR LF in the model; the widget wants one break per line.
  QString shown;
  shown.reserve(static_cast<qsizetype>(text.size()));
  for (std::size_t i = 0; i < text.size(); ++i) {
    char ch = text[i];
    if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      continue;
    shown += QChar::fromLatin1(ch);
  }
  setPlainText(shown);
  ++repaints_;
  bar->setValue(atEnd ? bar->maximum() : keep);
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
  QString text = event.text();
  if (text.size() != 1)
    return 0;
  char16_t code = text.at(0).unicode();
  return (code > 0 && code < 256) ? static_cast<std::int16_t>(code) : 0;
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
  if (code != 0 && onKey_) {
    onKey_(code);
    return;
  }
  // Keys without a character code keep their reading functions (scrolling).
  QPlainTextEdit::keyPressEvent(event);
}

void DisplayView::contextMenuEvent(QContextMenuEvent *event) {
  if (contextActions_.empty()) {
    QPlainTextEdit::contextMenuEvent(event);
    return;
  }
  QMenu *menu = createStandardContextMenu(event->pos());
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addSeparator();
  for (QAction *action : contextActions_)
    menu->addAction(action);
  menu->popup(event->globalPos());
}

} // namespace kestrel::qt
