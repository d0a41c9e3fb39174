// The receive display as it was before it painted itself: a QPlainTextEdit
// that edits its document at each catch-up (cuts what the model cut, appends
// what it appended). Kept for the paint benchmark only, to compare against.
#pragma once

#include "TextDisplay.h"

#include <QPlainTextEdit>

#include <cstdint>
#include <string>

namespace kestrel::bench {

class TextEditView : public QPlainTextEdit {
public:
  TextEditView(TextDisplay &model, QWidget *parent);
  void Sync();

private:
  TextDisplay &mModel;
  std::uint64_t mShown = ~std::uint64_t{0};
  std::string mMirror;
  std::uint64_t mOrigin = 0;
};

} // namespace kestrel::bench
