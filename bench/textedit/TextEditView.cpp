#include "TextEditView.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>

namespace kestrel::bench {

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

TextEditView::TextEditView(TextDisplay &model, QWidget *parent)
    : QPlainTextEdit(parent), mModel(model) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void TextEditView::Sync() {
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
  bar->setValue(atEnd ? bar->maximum() : VisualLine(top));
}

} // namespace kestrel::bench
