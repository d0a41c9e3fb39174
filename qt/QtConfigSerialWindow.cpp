#include "QtConfigSerialWindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace kestrel::qt {

namespace {

// No button answers Esc or Enter; Esc would otherwise close the dialog.
class ConfigDialog : public QDialog {
public:
  using QDialog::QDialog;

protected:
  void keyPressEvent(QKeyEvent *event) override {
    if (event->key() == Qt::Key_Escape)
      event->accept();
    else
      QDialog::keyPressEvent(event);
  }
};

// The line naming the device takes room below the port row; everything under
// it moves down by as much.
constexpr int kDeviceLine = 18;

// The line under the port list. A device name fits in its one line; a longer
// text (the advice when no port may be opened) wraps across the dialog, which
// grows by as much, everything below the line moving down.
class DeviceLine : public ILabel {
public:
  DeviceLine(QDialog *dialog, QLabel *label)
      : d_(dialog), l_(label), home_(label->geometry()), size_(dialog->size()) {
    l_->setTextFormat(Qt::PlainText);
  }
  std::string Caption() const override { return FromQt(l_->text()); }
  void Caption(const std::string &text) override {
    l_->setText(ToQt(text));
    const bool fits = l_->fontMetrics().horizontalAdvance(l_->text()) <= home_.width();
    l_->setWordWrap(!fits);
    QRect area = home_;
    if (!fits) {
      area.setLeft(Px(480));
      area.setRight(size_.width() - Px(120));
      area.setHeight(l_->heightForWidth(area.width()));
    }
    const int grow = area.height() - home_.height();
    const int moved = grow - grown_;
    for (QWidget *w : d_->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
      if (w != l_ && w->y() > home_.y())
        w->move(w->x(), w->y() + moved);
    grown_ = grow;
    l_->setGeometry(area);
    d_->setFixedSize(size_.width(), size_.height() + grow);
  }

private:
  QDialog *d_;
  QLabel *l_;
  const QRect home_;
  const QSize size_;
  int grown_ = 0;
};

QPushButton *Button(QWidget *parent, const QString &caption, int left, int top) {
  auto *b = new QPushButton(caption, parent);
  b->setAutoDefault(false);
  b->setDefault(false);
  b->setGeometry(Px(left), Px(top) - 2 + kDeviceLine, Px(1245), std::max(Px(345), 26));
  return b;
}

} // namespace

QtConfigSerialWindow::QtConfigSerialWindow(QWidget *owner,
                                           std::function<std::string(std::int16_t)> describePort)
    : dialog_(std::make_unique<ConfigDialog>(owner)) {
  QDialog *d = dialog_.get();
  d->setWindowTitle(QStringLiteral("Serial Port Configuration"));
  d->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                    Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  QIcon icon = ConfigIcon();
  d->setWindowIcon(icon);
  d->setFixedSize(Px(5520), Px(4125) + kDeviceLine);

  auto *band = new QFrame(d);
  band->setGeometry(0, 0, Px(5520), Px(732));
  band->setAutoFillBackground(true);
  QPalette bandPalette = band->palette();
  bandPalette.setColor(QPalette::Window, bandPalette.color(QPalette::Light));
  bandPalette.setColor(QPalette::WindowText, bandPalette.color(QPalette::Text));
  band->setPalette(bandPalette);
  auto *title = new QLabel(QStringLiteral("Serial Port Configuration"), band);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  title->move(Px(240), Px(120) - 2);
  title->adjustSize();
  auto *caption = new QLabel(QStringLiteral("Please supply the following information "), band);
  caption->move(Px(240), Px(360));
  caption->adjustSize();
  auto *wizard = new QLabel(band);
  wizard->setGeometry(Px(4800), Px(120), Px(480), Px(480));
  wizard->setPixmap(icon.pixmap(Px(480), Px(480)));

  const char *names[5] = {"Port:", "Parity:", "Data Bits:", "Stop Bits:", "Baudrate:"};
  for (int i = 0; i < 5; ++i) {
    const int top = Px(960 + 480 * i) + (i > 0 ? kDeviceLine : 0);
    auto *label = new QLabel(QString::fromUtf8(names[i]), d);
    label->move(Px(480), top + 4);
    label->adjustSize();
    auto *list = new QComboBox(d);
    list->setEditable(false);
    list->setGeometry(Px(2400), top, Px(2292), 24);
    list->setAccessibleName(QString::fromUtf8(names[i]).chopped(1));
    if (i > 0)
      list->setToolTip(QStringLiteral("These Value Is Hard-Coded"));
    label->setBuddy(list);
    lists_[static_cast<std::size_t>(i)] = list;
    aLists_[static_cast<std::size_t>(i)] = std::make_unique<QtComboBox>(list);
  }
  // The device behind the chosen port, under the port list.
  auto *device = new QLabel(d);
  device->setGeometry(Px(2400), Px(960) + 25, Px(5520 - 2400 - 120), 16);
  QFont small = device->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  device->setFont(small);
  device->setForegroundRole(QPalette::PlaceholderText);

  auto *line = new QFrame(d);
  line->setGeometry(0, Px(3360) + kDeviceLine, Px(5520), 1);
  line->setAutoFillBackground(true);
  QPalette linePalette = line->palette();
  linePalette.setColor(QPalette::Window, QColor(128, 128, 128));
  line->setPalette(linePalette);

  QPushButton *defaults = Button(d, QStringLiteral("Defaults"), 120, 3600);
  QPushButton *ok = Button(d, QStringLiteral("&OK"), 2520, 3600);
  QPushButton *cancel = Button(d, QStringLiteral("&Cancel"), 4080, 3600);

  QWidget::setTabOrder(ok, cancel);
  QWidget::setTabOrder(cancel, lists_[0]);
  for (int i = 0; i < 4; ++i)
    QWidget::setTabOrder(lists_[static_cast<std::size_t>(i)],
                         lists_[static_cast<std::size_t>(i + 1)]);
  QWidget::setTabOrder(lists_[4], defaults);
  ok->setFocus(Qt::OtherFocusReason);

  aDevice_ = std::make_unique<DeviceLine>(d, device);
  aMessage_ = std::make_unique<QtMessageBox>(d);
  aForm_ = std::make_unique<QtForm>([d] { d->done(QDialog::Accepted); });
  frm_ = std::make_unique<frmConfigSerial>(frmConfigSerialControls{
      {aLists_[0].get(), aLists_[1].get(), aLists_[2].get(), aLists_[3].get(), aLists_[4].get()},
      *aDevice_,
      *aMessage_,
      *aForm_,
      std::move(describePort)});

  QObject::connect(ok, &QPushButton::clicked, d, [this] { frm_->cmdOK_Click(0); });
  QObject::connect(cancel, &QPushButton::clicked, d, [this] { frm_->cmdOK_Click(1); });
  QObject::connect(defaults, &QPushButton::clicked, d, [this] { frm_->cmdDefaults_Click(); });
  for (int i = 0; i < 5; ++i)
    QObject::connect(lists_[static_cast<std::size_t>(i)], &QComboBox::activated, d,
                     [this, i] { frm_->cmbPort_Click(static_cast<std::int16_t>(i)); });
}

QtConfigSerialWindow::~QtConfigSerialWindow() {
  if (frm_)
    frm_->Form_Terminate();
}

void QtConfigSerialWindow::ShowModal() {
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    dialog_->move(area.center() - QPoint(dialog_->width() / 2, dialog_->height() / 2));
  }
  dialog_->exec();
}

} // namespace kestrel::qt
