#include "QtTextInput.h"

#include "QtControls.h"

#include <QInputDialog>
#include <QLineEdit>

namespace kestrel::qt {

bool QtTextInput::Ask(const std::string &title, const std::string &prompt, std::u32string &text) {
  QInputDialog dialog(mParent);
  dialog.setWindowTitle(ToQt(title));
  dialog.setLabelText(ToQt(prompt));
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setTextValue(QString::fromStdU32String(text));
  if (dialog.exec() != QDialog::Accepted)
    return false;
  text = dialog.textValue().toStdU32String();
  return true;
}

} // namespace kestrel::qt
