// A small dialog with one line to type into (Send Hex), on QInputDialog.
#pragma once

#include "DisplayChoices.h"

#include <QWidget>

namespace kestrel::qt {

class QtTextInput : public ITextInput {
public:
  explicit QtTextInput(QWidget *parent) : mParent(parent) {}
  bool Ask(const std::string &title, const std::string &prompt, std::u32string &text) override;

private:
  QWidget *mParent;
};

} // namespace kestrel::qt
