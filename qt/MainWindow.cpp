#include "MainWindow.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QProxyStyle>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionMenuItem>

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

// Gives a menu's separators the height of half a line, so that one leading
// the menu is drawn with room instead of against the menu's frame.
class RoomySeparators : public QProxyStyle {
public:
  QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                         const QWidget *widget) const override {
    QSize out = QProxyStyle::sizeFromContents(type, option, size, widget);
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (type == CT_MenuItem && item && item->menuItemType == QStyleOptionMenuItem::Separator)
      out.setHeight(std::max(out.height(), item->fontMetrics.height() / 2 + 2));
    return out;
  }
};
} // namespace

MainWindow::MainWindow(ICommControl &comm, IWindowHost &host) {
  setWindowTitle(QStringLiteral("Kestrel Terminal"));
  BuildWidgets();
  BuildMenus();
  mStatusAdapter = std::make_unique<QtStatusBar>(statusBar(), 3);
  statusBar()->setSizeGripEnabled(false);
  mChooserAdapter = std::make_unique<QtFileChooser>(this);
  mMessageAdapter = std::make_unique<QtMessageBox>(this);

  mFrm = std::make_unique<frmTop>(frmTopControls{
      *mLogAdapter, *mClearAdapter, mModel, *mAutoClearAdapter, *mSizeAdapter, *mOpenAdapter,
      *mStatusAdapter, *mChooserAdapter, comm, *mAddTimeAdapter, *mIgnorePinAdapter, *mRtsAdapter,
      *mDtrAdapter, *mMessageAdapter, mClock, mAppInfo, host});
  // The port button and the loss of the device pass through the Tools menu,
  // which hands them on unchanged unless it is waiting for a device.
  mTools = std::make_unique<QtToolsMenu>(
      QtToolsMenuParts{this, mDisplay, *mFrm, mModel, comm, *mMessageAdapter, mAppInfo});
  mDisplay->AddContextAction(mTools->PasteAction());

  connect(mChkLogEnabled, &QCheckBox::clicked, this, [this] { mFrm->chkLogEnabled_Click(); });
  connect(mCmdClearDisplay, &QPushButton::clicked, this, [this] { mFrm->cmdClearDisplay_Click(); });
  connect(mCmdOpenPort, &QPushButton::clicked, this,
          [this] { mTools->Logic().cmdOpenPort_Click(); });
  // Keys go out through the Tools menu's typing choices, which hand them to
  // the window unchanged unless Enter or the echo were chosen otherwise.
  mDisplay->OnKeyPress([this](std::int16_t &code) { mTools->Typing().rtfData_KeyPress(code); });
  comm.OnComm([this] { mFrm->MSComm1_OnComm(); });

  mFrm->Form_Load();
  mDisplay->Sync();

  // Title bar and frame are not known before the window is shown; allow for
  // a usual one.
  const QSize chrome(16, menuBar()->sizeHint().height() + statusBar()->sizeHint().height() + 48);
  mCentral->setMinimumSize(AreaSizeWithin(*this, chrome));
  resize(sizeHint());
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildWidgets() {
  mCentral = new QWidget(this);
  setCentralWidget(mCentral);

  mChkLogEnabled = new QCheckBox(QStringLiteral("Log To: "), mCentral);
  // The caption grows with the log file's path; the window never grows with it.
  mChkLogEnabled->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  mCmdClearDisplay = new QPushButton(QStringLiteral("Clear Display"), mCentral);

  mDisplay = new DisplayView(mModel, mCentral);
  mDisplay->setAccessibleName(QStringLiteral("Received data"));
  QFont courier(QStringLiteral("Courier"));
  courier.setStyleHint(QFont::Monospace);
  courier.setFamilies({QStringLiteral("Courier"), QStringLiteral("Courier New"),
                       QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
  courier.setPointSizeF(9.75);
  // The display shows single bytes in a fixed-pitch font, which has no
  // ligatures or kerning to apply: drawing the glyphs unshaped looks the same
  // and spares a shaping pass for every line a stream brings.
  courier.setStyleStrategy(QFont::PreferNoShaping);
  mDisplay->setFont(courier);
  mDisplay->setMinimumSize(Px(2400), Px(1200));

  mChkAutoClear = new QCheckBox(QStringLiteral("Automatically Clear Display"), mCentral);
  mTxtSize = new QLineEdit(QStringLiteral("0"), mCentral);
  mTxtSize->setAccessibleName(QStringLiteral("Automatic clearing limit in characters"));
  mTxtSize->setFixedWidth(Px(1095));
  mLbl = new QLabel(QStringLiteral("Characters"), mCentral);
  mLbl->setBuddy(mTxtSize);
  mCmdOpenPort = new QPushButton(QStringLiteral("OpenPort"), mCentral);
  for (QAbstractButton *b : {static_cast<QAbstractButton *>(mChkLogEnabled),
                             static_cast<QAbstractButton *>(mCmdClearDisplay),
                             static_cast<QAbstractButton *>(mChkAutoClear),
                             static_cast<QAbstractButton *>(mCmdOpenPort)})
    b->setAccessibleName(b->text());
  // Both buttons share one width: the laid-out one, or more where the font needs it.
  const int buttonWidth = std::max(
      {Px(kButtonWidth), mCmdClearDisplay->sizeHint().width(), mCmdOpenPort->sizeHint().width()});
  for (QPushButton *b : {mCmdClearDisplay, mCmdOpenPort})
    b->setMinimumWidth(buttonWidth);

  // The display takes all the room the window gains; the log switch and
  // Clear Display stay above its corners, the clearing controls and the port
  // button below them.
  auto *grid = new QGridLayout(mCentral);
  grid->setContentsMargins(Px(120), Px(120), Px(120), Px(120));
  grid->addWidget(mChkLogEnabled, 0, 0, 1, 4);
  grid->addWidget(mCmdClearDisplay, 0, 4);
  grid->addWidget(mDisplay, 1, 0, 1, 5);
  grid->addWidget(mChkAutoClear, 2, 0);
  grid->addWidget(mTxtSize, 2, 1);
  grid->addWidget(mLbl, 2, 2);
  grid->addWidget(mCmdOpenPort, 2, 4);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(1, 1);

  setTabOrder(mCmdOpenPort, mDisplay);
  setTabOrder(mDisplay, mChkLogEnabled);
  setTabOrder(mChkLogEnabled, mCmdClearDisplay);
  setTabOrder(mCmdClearDisplay, mChkAutoClear);
  setTabOrder(mChkAutoClear, mTxtSize);
  // The keyboard starts where the tab order does.
  mCmdOpenPort->setFocus(Qt::OtherFocusReason);

  mLogAdapter = std::make_unique<QtCheckBox>(mChkLogEnabled);
  mClearAdapter = std::make_unique<QtButton>(mCmdClearDisplay);
  mAutoClearAdapter = std::make_unique<QtCheckBox>(mChkAutoClear);
  mSizeAdapter = std::make_unique<QtTextBox>(mTxtSize);
  mOpenAdapter = std::make_unique<QtButton>(mCmdOpenPort);
}

QAction *MainWindow::AddToggle(QMenu *menu, const QString &caption, bool checked,
                               void (frmTop::*handler)()) {
  QAction *action = AddCheckItem(menu, caption, [this, handler] { ((*mFrm).*handler)(); });
  action->setChecked(checked);
  return action;
}

void MainWindow::BuildMenus() {
  QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
  // The menu opens with a separator, a real one that a screen reader
  // announces as such; Qt would hide it unless told to keep it.
  auto *roomy = new RoomySeparators;
  roomy->setParent(this);
  file->setStyle(roomy);
  file->setSeparatorsCollapsible(false);
  file->addSeparator();
  connect(file->addAction(QStringLiteral("Log File")), &QAction::triggered, this,
          [this] { mFrm->mnuFileLogFile_Click(); });
  file->addSeparator();
  connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, this,
          [this] { mFrm->mnuFileEnd_Click(); });

  QMenu *options = menuBar()->addMenu(QStringLiteral("Options"));
  connect(options->addAction(QStringLiteral("Serial Port ...")), &QAction::triggered, this,
          [this] { mFrm->mnuOptionSerialPort_Click(); });
  options->addSeparator();
  mMnuOptionAddTime = AddToggle(options, QStringLiteral("Prefix Time To Receive Data"), false,
                                &frmTop::mnuOptionAddTime_Click);
  mMnuOptionIgnorePinStatus = AddToggle(options, QStringLiteral("Ignore Pin Status Messages"), true,
                                        &frmTop::mnuOptionIgnorePinStatus_Click);
  mMnuRTSLevel = AddToggle(options, QStringLiteral("RTS High"), false, &frmTop::mnuRTSLevel_Click);
  mMnuDTRLevel = AddToggle(options, QStringLiteral("DTR High"), false, &frmTop::mnuDTRLevel_Click);

  QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
  connect(help->addAction(QStringLiteral("About")), &QAction::triggered, this,
          [this] { mFrm->mnuHelpAbout_Click(); });

  mAddTimeAdapter = std::make_unique<QtMenuItem>(mMnuOptionAddTime);
  mIgnorePinAdapter = std::make_unique<QtMenuItem>(mMnuOptionIgnorePinStatus);
  mRtsAdapter = std::make_unique<QtMenuItem>(mMnuRTSLevel);
  mDtrAdapter = std::make_unique<QtMenuItem>(mMnuDTRLevel);
}

void MainWindow::DeviceClosed() {
  mTools->Logic().MSComm1_Closed();
}

// Enter presses the focused button, as in the dialogs.
void MainWindow::keyPressEvent(QKeyEvent *event) {
  if (!PressFocusedButton(*this, *event))
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event) {
  if (!mTerminated) {
    mTerminated = true;
    mFrm->Form_Terminate();
  }
  event->accept();
  QApplication::quit();
}

} // namespace kestrel::qt
