// The receive display's widget: shows the TextDisplay model and passes typed
// keys on as character codes.
//
// The model changes up to millions of times a second; the widget catches up
// when CatchUpPacing says (at once for an echo, a few times a second under a
// stream), and then only edits its document: it cuts
// what the model cut at the front and appends what the model appended, so
// the layout work is that of the new lines alone and the user's selection
// and reading position stay where they were for as long as their text is
// still shown. A view at the end follows new output; one scrolled up stays.
#pragma once

#include "CatchUpPacing.h"
#include "TextDisplay.h"

#include <QAction>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QMenu;

namespace kestrel::qt {

class DisplayView : public QPlainTextEdit {
public:
  DisplayView(TextDisplay &model, QWidget *parent);
  // Called with the character code of each typed key (13 for Enter).
  void OnKeyPress(std::function<void(std::int16_t &)> handler) { mOnKey = std::move(handler); }
  // Brings the widget up to date at once.
  void Sync();
  int Repaints() const { return mRepaints; }
  // Actions shown below the display's own in its context menu.
  void AddContextAction(QAction *action) { mContextActions.push_back(action); }

protected:
  bool event(QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;

private:
  TextDisplay &mModel;
  QTimer mRepaint;
  QElapsedTimer mClock;
  CatchUpPacing mPacing;
  qint64 mRepaintAt = 0; // when mRepaint fires, on mClock
  std::uint64_t mShown = ~std::uint64_t{0};
  // The model's text that the document shows, from lifetime position mOrigin.
  std::string mMirror;
  std::uint64_t mOrigin = 0;
  int mRepaints = 0;
  std::function<void(std::int16_t &)> mOnKey;
  std::vector<QAction *> mContextActions;
};

// The character code a key press sends, or 0 for keys with none.
std::int16_t KeyCode(const QKeyEvent &event);

} // namespace kestrel::qt
