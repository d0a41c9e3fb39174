#include "DisplayAccessible.h"

#include "DisplayView.h"

#include <QAccessibleWidget>

namespace kestrel::qt {

namespace {

class DisplayAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
  explicit DisplayAccessible(DisplayView *view)
      : QAccessibleWidget(view, QAccessible::EditableText), mView(view) {}

  void *interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface)
      return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value)
      return mView->VisibleText();
    return QAccessibleWidget::text(t);
  }

  // The text interface, over the rows in sight: the selection and the caret
  // as far as they are in sight, and the cells the characters are painted in.
  void selection(int selectionIndex, int *startOffset, int *endOffset) const override {
    *startOffset = *endOffset = 0;
    const DisplayView::Span span = mView->textCursor();
    const int from = mView->VisibleOffset(span.from);
    const int to = mView->VisibleOffset(span.to);
    if (selectionIndex == 0 && from < to) {
      *startOffset = from;
      *endOffset = to;
    }
  }
  int selectionCount() const override {
    const DisplayView::Span span = mView->textCursor();
    return mView->VisibleOffset(span.from) < mView->VisibleOffset(span.to) ? 1 : 0;
  }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return mView->VisibleOffset(mView->Caret()); }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override {
    return mView->VisibleText().mid(startOffset, endOffset - startOffset);
  }
  int characterCount() const override { return static_cast<int>(mView->VisibleText().size()); }
  QRect characterRect(int offset) const override {
    const QRect cell = mView->CharacterCell(offset);
    if (cell.isEmpty())
      return {};
    return {mView->viewport()->mapToGlobal(cell.topLeft()), cell.size()};
  }
  int offsetAtPoint(const QPoint &point) const override {
    return mView->OffsetAt(mView->viewport()->mapFromGlobal(point));
  }
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int *startOffset, int *endOffset) const override {
    *startOffset = *endOffset = offset;
    return {};
  }

private:
  DisplayView *mView;
};

// The view has no meta-object of its own, so it is known by its type.
QAccessibleInterface *Factory(const QString &, QObject *object) {
  if (object && object->isWidgetType())
    if (auto *view = dynamic_cast<DisplayView *>(object))
      return new DisplayAccessible(view);
  return nullptr;
}

} // namespace

void InstallDisplayAccessible() {
  static const bool installed = (QAccessible::installFactory(Factory), true);
  (void)installed;
}

} // namespace kestrel::qt
