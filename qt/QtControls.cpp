#include "QtControls.h"

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QStringList>

namespace kestrel::qt {

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/kestrel/kestrel-%1.png").arg(size), QSize(size, size));
  return icon;
}

QIcon ConfigIcon() {
  QIcon icon;
  for (int size : {16, 32})
    icon.addFile(QStringLiteral(":/kestrel/config-%1.png").arg(size), QSize(size, size));
  return icon;
}

QString ToQt(const std::string &text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString &text) {
  QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool PressFocusedButton(QWidget &window, const QKeyEvent &event) {
  if (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter)
    return false;
  auto *button = qobject_cast<QPushButton *>(window.focusWidget());
  // A held Enter presses once: on the port button each repeat would open or
  // close the port again, and every open moves the board's reset lines.
  if (event.isAutoRepeat())
    return button != nullptr;
  if (!button || !button->isEnabled() || !window.isAncestorOf(button))
    return false;
  button->click();
  return true;
}

QAction *AddCheckItem(QMenu *menu, const QString &caption, std::function<void()> handler,
                      QAction *before) {
  auto *action = new QAction(caption, menu);
  menu->insertAction(before, action);
  action->setCheckable(true);
  // Tied to the action, not the menu: a menu that lets go of an action
  // disconnects everything of it that the menu receives.
  QObject::connect(action, &QAction::triggered, action, [action, handler = std::move(handler)] {
    {
      QSignalBlocker block(action);
      action->setChecked(!action->isChecked());
    }
    handler();
  });
  return action;
}

void PostToUi(std::function<void()> fn) {
  QMetaObject::invokeMethod(qApp, std::move(fn), Qt::QueuedConnection);
}

void QtButton::Caption(const std::string &text) {
  mButton->setText(ToQt(text));
  mButton->setAccessibleName(QString(mButton->text()).remove(QLatin1Char('&')));
}

// The captions the logic sets carry outside text (the log file's path), so an
// "&" in them shows as itself instead of marking a shortcut key.
void QtCheckBox::Caption(const std::string &text) {
  const QString caption = ToQt(text);
  mButton->setText(QString(caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
  mButton->setAccessibleName(caption);
}

std::string QtCheckBox::Caption() const {
  return FromQt(QString(mButton->text()).replace(QStringLiteral("&&"), QStringLiteral("&")));
}

void QtCheckBox::Value(bool ticked) {
  QSignalBlocker block(mButton);
  mButton->setChecked(ticked);
}

QtTextBox::QtTextBox(QLineEdit *edit) : mEdit(edit), mText(FromQt(edit->text())) {
  QObject::connect(mEdit, &QLineEdit::textChanged, mEdit,
                   [this](const QString &text) { mText = FromQt(text); });
}

void QtClockPanel::Show(const QString &time) {
  if (time == text())
    return;
  setText(time);
  Fit(sizeHint());
}

void QtClockPanel::changeEvent(QEvent *event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    // A label's size hint never falls below its minimum, so the old size goes first.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    Fit(sizeHint());
  }
}

void QtClockPanel::Fit(QSize size) {
  if (size != minimumSize() || size != maximumSize())
    setFixedSize(size);
}

namespace {
// A tick just past each whole second, so the panel turns with the clock
// rather than up to a second after it.
int MillisecondsToNextSecond() {
  return 1000 - QTime::currentTime().msec() + 2;
}
} // namespace

QtStatusBar::QtStatusBar(QStatusBar *bar, int panels) : mBar(bar), mClock(new QTimer(bar)) {
  for (int i = 1; i <= panels; ++i) {
    auto *label = i == panels ? new QtClockPanel(bar) : new QLabel(bar);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    // A screen reader reads the panel's text as its name, so the name is left
    // to follow the text; what the panel is for goes in its description.
    label->setAccessibleDescription(i == panels ? QStringLiteral("Time of day")
                                                : QStringLiteral("Status panel %1").arg(i));
    // The first panel is the widest, the last the narrowest.
    bar->addWidget(label, i == 1 ? 3 : (i == panels ? 0 : 2));
    mLabels.push_back(label);
  }
  auto *time = static_cast<QtClockPanel *>(mLabels.back());
  // Setting a label repaints it and tells a screen reader, so the panel is
  // set only when the time shown changes.
  auto tick = [time, clock = mClock] {
    time->Show(QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
    clock->start(MillisecondsToNextSecond());
  };
  mClock->setSingleShot(true);
  mClock->setTimerType(Qt::PreciseTimer);
  QObject::connect(mClock, &QTimer::timeout, bar, tick);
  tick();
}

QLabel *QtStatusBar::Panel(int panel) const {
  return (panel >= 1 && panel <= static_cast<int>(mLabels.size())) ? mLabels[panel - 1] : nullptr;
}

std::string QtStatusBar::PanelText(int panel) const {
  QLabel *l = Panel(panel);
  return l ? FromQt(l->text()) : std::string();
}

void QtStatusBar::PanelText(int panel, const std::string &text) {
  if (QLabel *l = Panel(panel))
    l->setText(ToQt(text));
}

bool QtStatusBar::PanelEnabled(int panel) const {
  QLabel *l = Panel(panel);
  return l ? l->isEnabled() : false;
}

void QtStatusBar::PanelEnabled(int panel, bool enabled) {
  if (QLabel *l = Panel(panel))
    l->setEnabled(enabled);
}

void QtStatusBar::Refresh() {
  mBar->repaint();
}

std::string QtComboBox::Text() const {
  return mBox->currentIndex() >= 0 ? FromQt(mBox->currentText()) : std::string();
}

QtTimer::QtTimer(QObject *parent) : mTimer(new QTimer(parent)) {
  QObject::connect(mTimer, &QTimer::timeout, mTimer, [this] {
    if (mHandler)
      mHandler();
  });
}

void QtTimer::Interval(int milliseconds) {
  mInterval = milliseconds;
  if (milliseconds > 0)
    mTimer->start(milliseconds);
  else
    mTimer->stop();
}

void QtMessageBox::Show(const std::string &text, const std::string &title, MessageIcon icon,
                        const std::string &detail) {
  QMessageBox box(mParent);
  box.setWindowTitle(ToQt(title));
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQt(text));
  if (!detail.empty()) {
    box.setInformativeText(ToQt(detail));
    // The detail's label takes no format from the box.
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
      label->setTextFormat(Qt::PlainText);
  }
  box.setIcon(icon == MessageIcon::Stop          ? QMessageBox::Critical
              : icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                 : QMessageBox::Information);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

// "Label|pattern|Label|pattern" becomes Qt's "Label;;Label": the labels
// already carry their patterns in brackets.
static QString QtFilter(const std::string &filter) {
  QStringList parts = ToQt(filter).split(QLatin1Char('|'));
  QStringList labels;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    labels << parts[i] + (parts[i].contains(QLatin1Char('('))
                              ? QString()
                              : QStringLiteral(" (%1)").arg(parts[i + 1]));
  return labels.join(QStringLiteral(";;"));
}

ChooserResult QtFileChooser::Show() {
  QFileDialog dialog(mParent, ToQt(mTitle), QString::fromLocal8Bit(mInitDir.c_str()),
                     QtFilter(mFilter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The log is appended to, never overwritten: choosing an existing file is
  // no overwrite.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  std::string ext = mDefaultExt;
  while (!ext.empty() && (ext[0] == '*' || ext[0] == '.'))
    ext.erase(0, 1);
  dialog.setDefaultSuffix(QString::fromLocal8Bit(ext.c_str()));
  if (!mFileName.empty())
    dialog.selectFile(QString::fromLocal8Bit(mFileName.c_str()));
  if (dialog.exec() != QDialog::Accepted)
    return ChooserResult::Cancelled;
  QStringList files = dialog.selectedFiles();
  if (files.isEmpty())
    return ChooserResult::Failed;
  mFileName = files.first().toLocal8Bit().toStdString();
  return ChooserResult::Chosen;
}

} // namespace kestrel::qt
