#include "MainWindow.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionMenuItem>
#include <QWidgetAction>

namespace kestrel::qt {

namespace {
// The controls' area as laid out in twips: the display's place and size, and
// the margins the other controls leave around it.
constexpr int kAreaWidth = 120 + 12375 + 120;
constexpr int kAreaHeight = 5040 + 492 + 120;
constexpr int kButtonWidth = 1812;

// The laid-out size is the least the controls' area takes, unless the screen
// is too small for it (a high scale on a small screen); then the window may
// shrink to fit and the display gives up the room.
QSize AreaSizeWithin(const QWidget &window, QSize chrome) {
  QSize area(Px(kAreaWidth), Px(kAreaHeight));
  const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (!screen)
    return area;
  return area.boundedTo(screen->availableGeometry().size() - chrome);
}

// A menu separator drawn by the style, with the height of a short menu entry.
class LeadingSeparator : public QWidget {
public:
  QSize sizeHint() const override { return {1, fontMetrics().height() / 2 + 2}; }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    QStyleOptionMenuItem option;
    option.initFrom(this);
    option.menuItemType = QStyleOptionMenuItem::Separator;
    style()->drawControl(QStyle::CE_MenuItem, &option, &painter, this);
  }
};
} // namespace

MainWindow::MainWindow(ICommControl &comm, IWindowHost &host) {
  setWindowTitle(QStringLiteral("Kestrel Terminal"));
  BuildWidgets();
  BuildMenus();
  aStatus_ = std::make_unique<QtStatusBar>(statusBar(), 3);
  statusBar()->setSizeGripEnabled(false);
  aChooser_ = std::make_unique<QtFileChooser>(this);
  aMessage_ = std::make_unique<QtMessageBox>(this);

  frm_ = std::make_unique<frmTop>(frmTopControls{
      *aLog_, *aClear_, model_, *aAutoClear_, *aSize_, *aOpen_, *aStatus_, *aChooser_, comm,
      *aAddTime_, *aIgnorePin_, *aRts_, *aDtr_, *aMessage_, clock_, appInfo_, host});
  // The port button and the loss of the device pass through the Tools menu,
  // which hands them on unchanged unless it is waiting for a device.
  tools_ = std::make_unique<QtToolsMenu>(
      QtToolsMenuParts{this, display_, *frm_, model_, comm, *aMessage_, appInfo_});
  display_->AddContextAction(tools_->PasteAction());

  connect(chkLogEnabled_, &QCheckBox::clicked, this, [this] { frm_->chkLogEnabled_Click(); });
  connect(cmdClearDisplay_, &QPushButton::clicked, this, [this] { frm_->cmdClearDisplay_Click(); });
  connect(cmdOpenPort_, &QPushButton::clicked, this,
          [this] { tools_->Logic().cmdOpenPort_Click(); });
  display_->OnKeyPress([this](std::int16_t &code) { frm_->rtfData_KeyPress(code); });
  comm.OnComm([this] { frm_->MSComm1_OnComm(); });

  frm_->Form_Load();
  display_->Sync();

  // Title bar and frame are not known before the window is shown; allow for
  // a usual one.
  const QSize chrome(16, menuBar()->sizeHint().height() + statusBar()->sizeHint().height() + 48);
  central_->setMinimumSize(AreaSizeWithin(*this, chrome));
  resize(sizeHint());
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildWidgets() {
  central_ = new QWidget(this);
  setCentralWidget(central_);

  chkLogEnabled_ = new QCheckBox(QStringLiteral("Log To: "), central_);
  // The caption grows with the log file's path; the window never grows with it.
  chkLogEnabled_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  cmdClearDisplay_ = new QPushButton(QStringLiteral("Clear Display"), central_);

  display_ = new DisplayView(model_, central_);
  display_->setAccessibleName(QStringLiteral("Received data"));
  QFont courier(QStringLiteral("Courier"));
  courier.setStyleHint(QFont::Monospace);
  courier.setFamilies({QStringLiteral("Courier"), QStringLiteral("Courier New"),
                       QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
  courier.setPointSizeF(9.75);
  // The display shows single bytes in a fixed-pitch font, which has no
  // ligatures or kerning to apply: drawing the glyphs unshaped looks the same
  // and spares a shaping pass for every line a stream brings.
  courier.setStyleStrategy(QFont::PreferNoShaping);
  display_->setFont(courier);
  display_->setMinimumSize(Px(2400), Px(1200));

  chkAutoClear_ = new QCheckBox(QStringLiteral("Automatically Clear Display"), central_);
  txtSize_ = new QLineEdit(QStringLiteral("0"), central_);
  txtSize_->setAccessibleName(QStringLiteral("Automatic clearing limit in characters"));
  txtSize_->setFixedWidth(Px(1095));
  lbl_ = new QLabel(QStringLiteral("Characters"), central_);
  lbl_->setBuddy(txtSize_);
  cmdOpenPort_ = new QPushButton(QStringLiteral("OpenPort"), central_);
  for (QAbstractButton *b : {static_cast<QAbstractButton *>(chkLogEnabled_),
                             static_cast<QAbstractButton *>(cmdClearDisplay_),
                             static_cast<QAbstractButton *>(chkAutoClear_),
                             static_cast<QAbstractButton *>(cmdOpenPort_)})
    b->setAccessibleName(b->text());
  // Both buttons share one width: the laid-out one, or more where the font needs it.
  const int buttonWidth = std::max(
      {Px(kButtonWidth), cmdClearDisplay_->sizeHint().width(), cmdOpenPort_->sizeHint().width()});
  for (QPushButton *b : {cmdClearDisplay_, cmdOpenPort_})
    b->setMinimumWidth(buttonWidth);

  // The display takes all the room the window gains; the log switch and
  // Clear Display stay above its corners, the clearing controls and the port
  // button below them.
  auto *grid = new QGridLayout(central_);
  grid->setContentsMargins(Px(120), Px(120), Px(120), Px(120));
  grid->addWidget(chkLogEnabled_, 0, 0, 1, 4);
  grid->addWidget(cmdClearDisplay_, 0, 4);
  grid->addWidget(display_, 1, 0, 1, 5);
  grid->addWidget(chkAutoClear_, 2, 0);
  grid->addWidget(txtSize_, 2, 1);
  grid->addWidget(lbl_, 2, 2);
  grid->addWidget(cmdOpenPort_, 2, 4);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(1, 1);

  setTabOrder(cmdOpenPort_, display_);
  setTabOrder(display_, chkLogEnabled_);
  setTabOrder(chkLogEnabled_, cmdClearDisplay_);
  setTabOrder(cmdClearDisplay_, chkAutoClear_);
  setTabOrder(chkAutoClear_, txtSize_);
  // The keyboard starts where the tab order does.
  cmdOpenPort_->setFocus(Qt::OtherFocusReason);

  aLog_ = std::make_unique<QtCheckBox>(chkLogEnabled_);
  aClear_ = std::make_unique<QtButton>(cmdClearDisplay_);
  aAutoClear_ = std::make_unique<QtCheckBox>(chkAutoClear_);
  aSize_ = std::make_unique<QtTextBox>(txtSize_);
  aOpen_ = std::make_unique<QtButton>(cmdOpenPort_);
}

QAction *MainWindow::AddToggle(QMenu *menu, const QString &caption, bool checked,
                               void (frmTop::*handler)()) {
  QAction *action = AddCheckItem(menu, caption, [this, handler] { ((*frm_).*handler)(); });
  action->setChecked(checked);
  return action;
}

void MainWindow::BuildMenus() {
  QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
  // The menu opens with a separator. Qt hides a leading one, or draws it
  // against the menu's frame where it cannot be seen; this one has room.
  auto *dash1 = new QWidgetAction(file);
  dash1->setDefaultWidget(new LeadingSeparator);
  dash1->setEnabled(false);
  file->addAction(dash1);
  connect(file->addAction(QStringLiteral("Log File")), &QAction::triggered, this,
          [this] { frm_->mnuFileLogFile_Click(); });
  file->addSeparator();
  connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, this,
          [this] { frm_->mnuFileEnd_Click(); });

  QMenu *options = menuBar()->addMenu(QStringLiteral("Options"));
  connect(options->addAction(QStringLiteral("Serial Port ...")), &QAction::triggered, this,
          [this] { frm_->mnuOptionSerialPort_Click(); });
  options->addSeparator();
  mnuOptionAddTime_ = AddToggle(options, QStringLiteral("Prefix Time To Receive Data"), false,
                                &frmTop::mnuOptionAddTime_Click);
  mnuOptionIgnorePinStatus_ = AddToggle(options, QStringLiteral("Ignore Pin Status Messages"), true,
                                        &frmTop::mnuOptionIgnorePinStatus_Click);
  mnuRTSLevel_ = AddToggle(options, QStringLiteral("RTS High"), false, &frmTop::mnuRTSLevel_Click);
  mnuDTRLevel_ = AddToggle(options, QStringLiteral("DTR High"), false, &frmTop::mnuDTRLevel_Click);

  QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
  connect(help->addAction(QStringLiteral("About")), &QAction::triggered, this,
          [this] { frm_->mnuHelpAbout_Click(); });

  aAddTime_ = std::make_unique<QtMenuItem>(mnuOptionAddTime_);
  aIgnorePin_ = std::make_unique<QtMenuItem>(mnuOptionIgnorePinStatus_);
  aRts_ = std::make_unique<QtMenuItem>(mnuRTSLevel_);
  aDtr_ = std::make_unique<QtMenuItem>(mnuDTRLevel_);
}

void MainWindow::DeviceClosed() {
  tools_->Logic().MSComm1_Closed();
}

void MainWindow::closeEvent(QCloseEvent *event) {
  if (!terminated_) {
    terminated_ = true;
    frm_->Form_Terminate();
  }
  event->accept();
  QApplication::quit();
}

} // namespace kestrel::qt
