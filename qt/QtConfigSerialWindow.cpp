#include "QtConfigSerialWindow.h"

#include <QFileInfo>

#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace kestrel::qt {

namespace {

// No button is the Esc or the Enter button: Esc would otherwise close the
// dialog, and Enter presses only the button that has the focus.
class ConfigDialog : public QDialog {
public:
  using QDialog::QDialog;

protected:
  void keyPressEvent(QKeyEvent *event) override {
    if (event->key() == Qt::Key_Escape || PressFocusedButton(*this, *event))
      event->accept();
    else
      QDialog::keyPressEvent(event);
  }
};

// The line under the port list. A device name fits beside the lists; a
// longer text (the advice when no port may be opened) wraps across both
// columns, and the dialog grows by as much as it needs. Device paths have no
// spaces, so the line may also break after each "/" (a zero-width space,
// which Caption() leaves out again).
class DeviceLine : public ILabel {
public:
  DeviceLine(QDialog *dialog, QGridLayout *rows, QLabel *label, int row)
      : mDialog(dialog), mRows(rows), mLabel(label), mRow(row) {
    mLabel->setTextFormat(Qt::PlainText);
    mLabel->setWordWrap(true);
  }
  std::string Caption() const override { return FromQt(QString(mLabel->text()).remove(kBreak)); }
  void Caption(const std::string &text) override {
    const QString caption = ToQt(text);
    mLabel->setText(QString(caption).replace(QLatin1Char('/'), QString(QLatin1Char('/')) + kBreak));
    mLabel->setAccessibleName(caption);
    // The lists' column: what the dialog's width leaves beside the labels.
    const QMargins m = mRows->contentsMargins();
    const int room = mDialog->width() - m.left() - m.right() - mRows->columnMinimumWidth(0) -
                     mRows->horizontalSpacing();
    const bool fits = mLabel->fontMetrics().horizontalAdvance(caption) <= room;
    mRows->removeWidget(mLabel);
    if (fits)
      mRows->addWidget(mLabel, mRow, 1);
    else
      mRows->addWidget(mLabel, mRow, 0, 1, 2);
    const int width = mDialog->width();
    mDialog->setMinimumSize(0, 0);
    mDialog->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    mDialog->layout()->invalidate();
    const int height = mDialog->layout()->hasHeightForWidth()
                           ? mDialog->layout()->totalHeightForWidth(width)
                           : mDialog->layout()->totalSizeHint().height();
    mDialog->setFixedSize(width, std::max(height, Px(4125)));
    mDialog->layout()->activate();
  }

private:
  static constexpr QChar kBreak{0x200B};
  QDialog *mDialog;
  QGridLayout *mRows;
  QLabel *mLabel;
  const int mRow;
};

QPushButton *Button(QWidget *parent, const QString &caption) {
  auto *b = new QPushButton(caption, parent);
  b->setAutoDefault(false);
  b->setDefault(false);
  b->setMinimumWidth(std::max(Px(1245), b->sizeHint().width()));
  return b;
}

} // namespace

QtConfigSerialWindow::QtConfigSerialWindow(QWidget *owner,
                                           std::function<std::string(std::int16_t)> describePort)
    : mDialog(std::make_unique<ConfigDialog>(owner)) {
  QDialog *d = mDialog.get();
  d->setWindowTitle(QStringLiteral("Serial Port Configuration"));
  d->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                    Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  QIcon icon = ConfigIcon();
  d->setWindowIcon(icon);

  // The header band: a bold title and a caption beside the icon, in the
  // palette's text colours on its base colour, so that they read in any theme.
  auto *band = new QFrame(d);
  band->setAutoFillBackground(true);
  band->setBackgroundRole(QPalette::Base);
  band->setForegroundRole(QPalette::Text);
  auto *title = new QLabel(QStringLiteral("Serial Port Configuration"), band);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  auto *caption = new QLabel(QStringLiteral("Please supply the following information "), band);
  auto *wizard = new QLabel(band);
  wizard->setPixmap(icon.pixmap(Px(480), Px(480)));
  for (QLabel *l : {title, caption})
    l->setForegroundRole(QPalette::Text);
  auto *bandGrid = new QGridLayout(band);
  bandGrid->setContentsMargins(Px(240), Px(120), Px(240), Px(120));
  bandGrid->setVerticalSpacing(Px(60));
  bandGrid->addWidget(title, 0, 0);
  bandGrid->addWidget(caption, 1, 0);
  bandGrid->addWidget(wizard, 0, 1, 2, 1, Qt::AlignRight | Qt::AlignTop);
  bandGrid->setColumnStretch(0, 1);

  // The five rows of label and list; the device behind the chosen port
  // shows under the port list.
  auto *rows = new QGridLayout;
  rows->setContentsMargins(Px(480), Px(180), Px(480), Px(180));
  rows->setHorizontalSpacing(Px(480));
  rows->setColumnMinimumWidth(0, Px(2400 - 480 - 480));
  auto *device = new QLabel(d);
  QFont small = device->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  device->setFont(small);
  device->setForegroundRole(QPalette::PlaceholderText);
  const char *names[5] = {"Port:", "Parity:", "Data Bits:", "Stop Bits:", "Baudrate:"};
  int row = 0;
  int deviceRow = 0;
  for (int i = 0; i < 5; ++i) {
    auto *label = new QLabel(QString::fromUtf8(names[i]), d);
    auto *list = new QComboBox(d);
    list->setEditable(false);
    list->setMinimumWidth(Px(2292));
    list->setAccessibleName(QString::fromUtf8(names[i]).chopped(1));
    if (i > 0)
      list->setToolTip(QStringLiteral("These Value Is Hard-Coded"));
    label->setBuddy(list);
    rows->addWidget(label, row, 0);
    rows->addWidget(list, row++, 1);
    if (i == 0) {
      deviceRow = row;
      rows->addWidget(device, row++, 1);
    }
    mLists[static_cast<std::size_t>(i)] = list;
    mListsAdapter[static_cast<std::size_t>(i)] = std::make_unique<QtComboBox>(list);
  }

  auto *line = new QFrame(d);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  QPushButton *defaults = Button(d, QStringLiteral("Defaults"));
  QPushButton *ok = Button(d, QStringLiteral("&OK"));
  QPushButton *cancel = Button(d, QStringLiteral("&Cancel"));
  auto *buttons = new QHBoxLayout;
  buttons->setContentsMargins(Px(120), Px(120), Px(120), Px(120));
  buttons->addWidget(defaults);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addSpacing(Px(300));
  buttons->addWidget(cancel);

  auto *column = new QVBoxLayout(d);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(band);
  column->addLayout(rows);
  column->addStretch(1);
  column->addWidget(line);
  column->addLayout(buttons);
  // Not resizable: its laid-out size in twips, or what the fonts need beyond it.
  d->setFixedSize(d->sizeHint().expandedTo(QSize(Px(5520), Px(4125))));

  QWidget::setTabOrder(ok, cancel);
  QWidget::setTabOrder(cancel, mLists[0]);
  for (int i = 0; i < 4; ++i)
    QWidget::setTabOrder(mLists[static_cast<std::size_t>(i)],
                         mLists[static_cast<std::size_t>(i + 1)]);
  QWidget::setTabOrder(mLists[4], defaults);
  ok->setFocus(Qt::OtherFocusReason);

  mDeviceAdapter = std::make_unique<DeviceLine>(d, rows, device, deviceRow);
  mMessageAdapter = std::make_unique<QtMessageBox>(d);
  mFormAdapter = std::make_unique<QtForm>([d] { d->done(QDialog::Accepted); });
  mFrm = std::make_unique<frmConfigSerial>(frmConfigSerialControls{
      {mListsAdapter[0].get(), mListsAdapter[1].get(), mListsAdapter[2].get(),
       mListsAdapter[3].get(), mListsAdapter[4].get()},
      *mDeviceAdapter,
      *mMessageAdapter,
      *mFormAdapter,
      std::move(describePort)});

  QObject::connect(ok, &QPushButton::clicked, d, [this] { mFrm->cmdOK_Click(0); });
  QObject::connect(cancel, &QPushButton::clicked, d, [this] { mFrm->cmdOK_Click(1); });
  QObject::connect(defaults, &QPushButton::clicked, d, [this] { mFrm->cmdDefaults_Click(); });
  for (int i = 0; i < 5; ++i)
    QObject::connect(mLists[static_cast<std::size_t>(i)], &QComboBox::activated, d,
                     [this, i] { mFrm->cmbPort_Click(static_cast<std::int16_t>(i)); });
}

// A new adapter brings its node, then its by-id link, then its group and
// mode, within a few milliseconds: the list follows once they have settled.
void QtConfigSerialWindow::WatchFolders(std::function<std::vector<std::string>()> folders) {
  mFolders = std::move(folders);
  mSettle.setSingleShot(true);
  mSettle.setInterval(150);
  QObject::connect(&mWatcher, &QFileSystemWatcher::directoryChanged, &mSettle,
                   [this] { mSettle.start(); });
  QObject::connect(&mSettle, &QTimer::timeout, mDialog.get(), [this] {
    Watch();
    mFrm->PortsChanged();
  });
}

// A folder that does not exist yet (/dev/serial/by-id before the first USB
// adapter) is watched through the nearest one above it that does.
void QtConfigSerialWindow::Watch() {
  if (!mFolders)
    return;
  QStringList wanted;
  for (const std::string &folder : mFolders()) {
    QString f = QString::fromStdString(folder);
    while (!f.isEmpty() && !QFileInfo(f).isDir())
      f = f.left(std::max<qsizetype>(f.lastIndexOf(QLatin1Char('/')), 0));
    if (!f.isEmpty() && !wanted.contains(f))
      wanted << f;
  }
  const QStringList watched = mWatcher.directories();
  for (const QString &f : watched)
    if (!wanted.contains(f))
      mWatcher.removePath(f);
  for (const QString &f : wanted)
    if (!watched.contains(f))
      mWatcher.addPath(f);
}

QtConfigSerialWindow::~QtConfigSerialWindow() {
  if (mFrm)
    mFrm->Form_Terminate();
}

void QtConfigSerialWindow::ShowModal() {
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    mDialog->move(area.center() - QPoint(mDialog->width() / 2, mDialog->height() / 2));
  }
  Watch();
  mDialog->exec();
  if (!mWatcher.directories().isEmpty())
    mWatcher.removePaths(mWatcher.directories());
  mSettle.stop();
}

} // namespace kestrel::qt
