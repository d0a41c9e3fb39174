#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStatusBar>

namespace kestrel::qt {

namespace {
// Linux fonts run taller than the design's, so captioned controls get at
// least this height.
constexpr int kMinControlHeight = 22;

void Place(QWidget *w, int left, int top, int width, int height) {
  w->setGeometry(Px(left), Px(top), Px(width), std::max(Px(height), kMinControlHeight));
}
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
  tools_ = std::make_unique<QtToolsMenu>(QtToolsMenuParts{
      this, display_, *frm_, model_, comm, *aStatus_, *aOpen_, *aMessage_, appInfo_});
  display_->AddContextAction(tools_->PasteAction());

  connect(chkLogEnabled_, &QCheckBox::clicked, this, [this] { frm_->chkLogEnabled_Click(); });
  connect(cmdClearDisplay_, &QPushButton::clicked, this, [this] { frm_->cmdClearDisplay_Click(); });
  connect(cmdOpenPort_, &QPushButton::clicked, this,
          [this] { tools_->Logic().cmdOpenPort_Click(); });
  display_->OnKeyPress([this](std::int16_t &code) { frm_->rtfData_KeyPress(code); });
  comm.OnComm([this] { frm_->MSComm1_OnComm(); });

  frm_->Form_Load();
  display_->Sync();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildWidgets() {
  central_ = new QWidget(this);
  setCentralWidget(central_);

  chkLogEnabled_ = new QCheckBox(QStringLiteral("Log To: "), central_);
  Place(chkLogEnabled_, 120, 240, 9132, 252);
  cmdClearDisplay_ = new QPushButton(QStringLiteral("Clear Display"), central_);
  Place(cmdClearDisplay_, 10800, 120, 1695, 495);

  display_ = new DisplayView(model_, central_);
  Place(display_, 120, 720, 12375, 4095);
  display_->setAccessibleName(QStringLiteral("Received data"));
  QFont courier(QStringLiteral("Courier"));
  courier.setStyleHint(QFont::Monospace);
  courier.setFamilies({QStringLiteral("Courier"), QStringLiteral("Courier New"),
                       QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
  courier.setPointSizeF(9.75);
  display_->setFont(courier);

  chkAutoClear_ = new QCheckBox(QStringLiteral("Automatically Clear Display"), central_);
  Place(chkAutoClear_, 120, 5160, 2535, 255);
  txtSize_ = new QLineEdit(QStringLiteral("0"), central_);
  Place(txtSize_, 3000, 5160, 1095, 285);
  txtSize_->setAccessibleName(QStringLiteral("Automatic clearing limit in characters"));
  lbl_ = new QLabel(QStringLiteral("Characters"), central_);
  Place(lbl_, 4320, 5160, 2055, 255);
  lbl_->setBuddy(txtSize_);
  // Linux fonts run wider than the design's: the check box's caption keeps its
  // full width and the size box and its label move right to make room.
  const int overflow = chkAutoClear_->sizeHint().width() - chkAutoClear_->width();
  if (overflow > 0) {
    chkAutoClear_->resize(chkAutoClear_->sizeHint().width(), chkAutoClear_->height());
    for (QWidget *w : {static_cast<QWidget *>(txtSize_), static_cast<QWidget *>(lbl_)})
      w->move(w->x() + overflow + 4, w->y());
  }
  cmdOpenPort_ = new QPushButton(QStringLiteral("OpenPort"), central_);
  Place(cmdOpenPort_, 10680, 5040, 1812, 492);
  for (QAbstractButton *b : {static_cast<QAbstractButton *>(chkLogEnabled_),
                             static_cast<QAbstractButton *>(cmdClearDisplay_),
                             static_cast<QAbstractButton *>(chkAutoClear_),
                             static_cast<QAbstractButton *>(cmdOpenPort_)})
    b->setAccessibleName(b->text());

  setTabOrder(cmdOpenPort_, display_);
  setTabOrder(display_, chkLogEnabled_);
  setTabOrder(chkLogEnabled_, cmdClearDisplay_);
  setTabOrder(cmdClearDisplay_, chkAutoClear_);
  setTabOrder(chkAutoClear_, txtSize_);

  central_->setFixedSize(Px(120 + 12375 + 120), Px(5040 + 492 + 120));

  aLog_ = std::make_unique<QtCheckBox>(chkLogEnabled_);
  aClear_ = std::make_unique<QtButton>(cmdClearDisplay_);
  aAutoClear_ = std::make_unique<QtCheckBox>(chkAutoClear_);
  aSize_ = std::make_unique<QtTextBox>(txtSize_);
  aOpen_ = std::make_unique<QtButton>(cmdOpenPort_);
}

// Qt flips a checkable action's mark before its handler runs; the logic
// flips it itself, so the handler first puts the mark back.
QAction *MainWindow::AddToggle(QMenu *menu, const QString &caption, bool checked,
                               void (frmTop::*handler)()) {
  QAction *action = menu->addAction(caption);
  action->setCheckable(true);
  action->setChecked(checked);
  connect(action, &QAction::triggered, this, [this, action, handler] {
    {
      QSignalBlocker block(action);
      action->setChecked(!action->isChecked());
    }
    ((*frm_).*handler)();
  });
  return action;
}

void MainWindow::BuildMenus() {
  QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addSeparator();
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
