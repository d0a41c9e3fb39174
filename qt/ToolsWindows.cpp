#include "ToolsWindows.h"

#include "QtControls.h"
#include "ToolsText.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrel::qt {

namespace {
const char *const kLineNames[6] = {"CTS", "DSR", "CD", "RI", "RTS", "DTR"};
}

LineLevelsWindow::LineLevelsWindow(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Line Levels"));
  auto *grid = new QGridLayout(this);
  for (int i = 0; i < 6; ++i) {
    auto *lamp = new QLabel(this);
    lamp->setTextFormat(Qt::PlainText);
    lamp->setAlignment(Qt::AlignCenter);
    lamp->setMinimumSize(44, 26);
    lamp->setFrameShape(QFrame::Panel);
    lamp->setFrameShadow(QFrame::Sunken);
    lamp->setAutoFillBackground(true);
    lamp->setText(QString::fromLatin1(kLineNames[i]));
    lamps_[static_cast<std::size_t>(i)] = lamp;
    grid->addWidget(lamp, i / 4 * 2, i % 4);
  }
  auto *inputs = new QLabel(QStringLiteral("Inputs as read; RTS and DTR as set"), this);
  inputs->setTextFormat(Qt::PlainText);
  grid->addWidget(inputs, 3, 0, 1, 4);
  Levels(ModemLines{}, false);
}

void LineLevelsWindow::Visible(bool shown) {
  if (shown) {
    // First shown beside the main window, where it hides none of it.
    if (!placed_ && parentWidget()) {
      placed_ = true;
      adjustSize();
      const QRect owner = parentWidget()->frameGeometry();
      QPoint at = owner.topRight() + QPoint(8, 0);
      if (QScreen *screen = parentWidget()->screen()) {
        const QRect room = screen->availableGeometry();
        if (at.x() + width() > room.right())
          at.setX(std::max(room.left(), room.right() - width()));
      }
      move(at);
    }
    show();
    raise();
  } else {
    closingByLogic_ = true;
    close();
    closingByLogic_ = false;
  }
}

void LineLevelsWindow::Levels(const ModemLines &levels, bool enabled) {
  const bool on[6] = {levels.cts, levels.dsr, levels.cd, levels.ri, levels.rts, levels.dtr};
  for (std::size_t i = 0; i < 6; ++i) {
    QLabel *lamp = lamps_[i];
    // A lit line takes the palette's highlight, a dark one its shadow tone,
    // so the lamps read in light and dark themes; closed, both are greyed.
    const bool lit = enabled && on[i];
    lamp->setBackgroundRole(lit ? QPalette::Highlight : QPalette::Mid);
    lamp->setForegroundRole(lit ? QPalette::HighlightedText : QPalette::WindowText);
    lamp->setAccessibleName(QString::fromLatin1(kLineNames[i]) +
                            (!enabled ? QStringLiteral(" unknown, port closed")
                             : on[i]  ? QStringLiteral(" high")
                                      : QStringLiteral(" low")));
  }
  setEnabled(enabled);
}

void LineLevelsWindow::closeEvent(QCloseEvent *event) {
  event->accept();
  if (!closingByLogic_ && onClosed_)
    onClosed_();
}

SendProgressDialog::SendProgressDialog(QWidget *owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Send File"));
  setModal(false);
  auto *box = new QVBoxLayout(this);
  file_ = new QLabel(this);
  file_->setTextFormat(Qt::PlainText);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setTextVisible(false);
  text_ = new QLabel(this);
  text_->setTextFormat(Qt::PlainText);
  text_->setMinimumWidth(380);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &SendProgressDialog::reject);
  for (QWidget *w : {static_cast<QWidget *>(file_), static_cast<QWidget *>(bar_),
                     static_cast<QWidget *>(text_), static_cast<QWidget *>(buttons)})
    box->addWidget(w);
}

void SendProgressDialog::Show(const std::string &fileName) {
  file_->setText(QStringLiteral("Sending ") + QString::fromLocal8Bit(fileName.c_str()));
  bar_->setValue(0);
  show();
}

void SendProgressDialog::Progress(int perMille, const std::string &text) {
  bar_->setValue(perMille);
  text_->setText(ToQt(text));
  bar_->setAccessibleName(text_->text());
}

void SendProgressDialog::Close() {
  hide();
}

void SendProgressDialog::reject() {
  hide();
  if (onCancel_)
    onCancel_();
}

FindDialog::FindDialog(QPlainTextEdit *display, QWidget *owner)
    : QDialog(owner), display_(display) {
  setWindowTitle(QStringLiteral("Find"));
  setModal(false);
  auto *box = new QVBoxLayout(this);
  auto *row = new QHBoxLayout;
  auto *label = new QLabel(QStringLiteral("Find what:"), this);
  what_ = new QLineEdit(this);
  label->setBuddy(what_);
  row->addWidget(label);
  row->addWidget(what_);
  box->addLayout(row);
  matchCase_ = new QCheckBox(QStringLiteral("Match case"), this);
  box->addWidget(matchCase_);
  result_ = new QLabel(this);
  result_->setTextFormat(Qt::PlainText);
  box->addWidget(result_);
  auto *buttons = new QDialogButtonBox(this);
  QPushButton *next = buttons->addButton(QStringLiteral("Find Next"), QDialogButtonBox::ActionRole);
  QPushButton *previous =
      buttons->addButton(QStringLiteral("Find Previous"), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Close);
  next->setDefault(true);
  connect(next, &QPushButton::clicked, this, [this] { Find(true); });
  connect(previous, &QPushButton::clicked, this, [this] { Find(false); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
  box->addWidget(buttons);
}

// The display holds one byte per character, so positions in its Latin-1 text
// are positions in the widget. A search that runs off one end goes on from
// the other.
void FindDialog::Find(bool forward) {
  const std::string text = display_->toPlainText().toLatin1().toStdString();
  const std::string needle = what_->text().toLatin1().toStdString();
  QTextCursor cursor = display_->textCursor();
  const bool matchCase = matchCase_->isChecked();
  std::size_t from =
      static_cast<std::size_t>(forward ? cursor.selectionEnd() : cursor.selectionStart());
  std::size_t at = FindInText(text, needle, from, forward, matchCase);
  if (at == std::string::npos)
    at = FindInText(text, needle, forward ? 0 : text.size(), forward, matchCase);
  if (at == std::string::npos) {
    result_->setText(needle.empty() ? QString() : QStringLiteral("Not found"));
    return;
  }
  result_->clear();
  cursor.setPosition(static_cast<int>(at));
  cursor.setPosition(static_cast<int>(at + needle.size()), QTextCursor::KeepAnchor);
  display_->setTextCursor(cursor);
  display_->ensureCursorVisible();
}

bool QtQuestionBox::Ask(const std::string &text, const std::string &title) {
  QMessageBox box(QMessageBox::Question, ToQt(title), ToQt(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool QtOpenFileChooser::Choose(const std::string &title, std::string &path) {
  QString chosen = QFileDialog::getOpenFileName(parent_, ToQt(title));
  if (chosen.isEmpty())
    return false;
  path = chosen.toLocal8Bit().toStdString();
  return true;
}

} // namespace kestrel::qt
