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
    mLamps[static_cast<std::size_t>(i)] = lamp;
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
    if (!mPlaced && parentWidget()) {
      mPlaced = true;
      adjustSize();
      // Right of the main window, else left of it; only where the screen has room on neither
      // side does it cover the window's right edge.
      const QRect owner = parentWidget()->frameGeometry();
      QPoint at = owner.topRight() + QPoint(8, 0);
      if (QScreen *screen = parentWidget()->screen()) {
        const QRect room = screen->availableGeometry();
        const int frame = frameGeometry().width();
        if (at.x() + frame > room.right() + 1)
          at.setX(owner.left() - 8 - frame >= room.left()
                      ? owner.left() - 8 - frame
                      : std::max(room.left(), room.right() + 1 - frame));
      }
      move(at);
    }
    show();
    raise();
  } else {
    mClosingByLogic = true;
    close();
    mClosingByLogic = false;
  }
}

void LineLevelsWindow::Levels(const ModemLines &levels, bool enabled) {
  const bool on[6] = {levels.cts, levels.dsr, levels.cd, levels.ri, levels.rts, levels.dtr};
  for (std::size_t i = 0; i < 6; ++i) {
    QLabel *lamp = mLamps[i];
    // A lit line takes the palette's highlight, a dark one its shadow tone,
    // so the lamps read in light and dark themes; closed, both are greyed.
    // Closed, a lamp is unfilled and the names keep the window's own text colour: greyed text
    // on the shadow tone could not be read.
    const bool lit = enabled && on[i];
    lamp->setBackgroundRole(lit ? QPalette::Highlight : enabled ? QPalette::Mid : QPalette::Window);
    lamp->setForegroundRole(lit ? QPalette::HighlightedText : QPalette::WindowText);
    lamp->setAccessibleName(QString::fromLatin1(kLineNames[i]) +
                            (!enabled ? QStringLiteral(" unknown, port closed")
                             : on[i]  ? QStringLiteral(" high")
                                      : QStringLiteral(" low")));
  }
  QPalette colours = palette();
  colours.setColor(QPalette::Disabled, QPalette::WindowText,
                   colours.color(QPalette::Active, QPalette::WindowText));
  setPalette(colours);
  setEnabled(enabled);
}

void LineLevelsWindow::closeEvent(QCloseEvent *event) {
  event->accept();
  if (!mClosingByLogic && mOnClosed)
    mOnClosed();
}

SendProgressDialog::SendProgressDialog(QWidget *owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Send File"));
  setModal(false);
  auto *box = new QVBoxLayout(this);
  mFile = new QLabel(this);
  mFile->setTextFormat(Qt::PlainText);
  mBar = new QProgressBar(this);
  mBar->setRange(0, 1000);
  mBar->setTextVisible(false);
  mText = new QLabel(this);
  mText->setTextFormat(Qt::PlainText);
  mText->setMinimumWidth(380);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &SendProgressDialog::reject);
  for (QWidget *w : {static_cast<QWidget *>(mFile), static_cast<QWidget *>(mBar),
                     static_cast<QWidget *>(mText), static_cast<QWidget *>(buttons)})
    box->addWidget(w);
}

void SendProgressDialog::Show(const std::string &fileName) {
  mFile->setText(QStringLiteral("Sending ") + QString::fromLocal8Bit(fileName.c_str()));
  mBar->setValue(0);
  show();
}

void SendProgressDialog::Progress(int perMille, const std::string &text) {
  mBar->setValue(perMille);
  mText->setText(ToQt(text));
  mBar->setAccessibleName(mText->text());
}

void SendProgressDialog::Close() {
  hide();
}

void SendProgressDialog::reject() {
  hide();
  if (mOnCancel)
    mOnCancel();
}

FindDialog::FindDialog(DisplayView *display, QWidget *owner) : QDialog(owner), mDisplay(display) {
  setWindowTitle(QStringLiteral("Find"));
  setModal(false);
  auto *box = new QVBoxLayout(this);
  auto *row = new QHBoxLayout;
  auto *label = new QLabel(QStringLiteral("Find what:"), this);
  mWhat = new QLineEdit(this);
  label->setBuddy(mWhat);
  row->addWidget(label);
  row->addWidget(mWhat);
  box->addLayout(row);
  mMatchCase = new QCheckBox(QStringLiteral("Match case"), this);
  box->addWidget(mMatchCase);
  mResult = new QLabel(this);
  mResult->setTextFormat(Qt::PlainText);
  box->addWidget(mResult);
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

// The search runs over the display's own text (one byte per character, its
// line breaks CR LF), from the selection, and selects what it finds. A
// search that runs off one end goes on from the other.
void FindDialog::Find(bool forward) {
  mDisplay->Sync();
  const TextDisplay &model = mDisplay->Model();
  const std::string_view text = model.Text();
  const std::optional<std::string> bytes = DisplayBytes(mWhat->text());
  if (!bytes) {
    mResult->setText(QStringLiteral("Not found"));
    return;
  }
  const std::string &needle = *bytes;
  const DisplayView::Span selection = mDisplay->textCursor();
  const bool matchCase = mMatchCase->isChecked();
  const std::uint64_t edge = forward ? selection.to : selection.from;
  std::size_t from = static_cast<std::size_t>(edge - model.Origin());
  std::size_t at = FindInText(text, needle, from, forward, matchCase);
  if (at == std::string::npos)
    at = FindInText(text, needle, forward ? 0 : text.size(), forward, matchCase);
  if (at == std::string::npos) {
    mResult->setText(needle.empty() ? QString() : QStringLiteral("Not found"));
    return;
  }
  mResult->clear();
  mDisplay->setTextCursor({mDisplay, model.Origin() + at, model.Origin() + at + needle.size()});
}

bool QtQuestionBox::Ask(const std::string &text, const std::string &title) {
  QMessageBox box(QMessageBox::Question, ToQt(title), ToQt(text),
                  QMessageBox::Yes | QMessageBox::No, mParent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool QtOpenFileChooser::Choose(const std::string &title, std::string &path) {
  QString chosen = QFileDialog::getOpenFileName(mParent, ToQt(title));
  if (chosen.isEmpty())
    return false;
  path = chosen.toLocal8Bit().toStdString();
  return true;
}

} // namespace kestrel::qt
