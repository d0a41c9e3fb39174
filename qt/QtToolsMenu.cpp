#include "QtToolsMenu.h"

#include "SystemRoutines.h"

#include <QActionGroup>
#include <QApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenuBar>
#include <QMouseEvent>

#include <chrono>

namespace kestrel::qt {

namespace {
std::int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
} // namespace

QtToolsMenu::QtToolsMenu(QtToolsMenuParts parts) : mParts(parts) {
  QMenuBar *bar = mParts.window->menuBar();
  mMenu = new QMenu(QStringLiteral("Tools"), bar);
  const QList<QAction *> menus = bar->actions();
  bar->insertMenu(menus.isEmpty() ? nullptr : menus.last(), mMenu);

  mReconnect = AddCheckItem(mMenu, QStringLiteral("Reconnect Automatically"),
                            [this] { mLogic->mnuToolsReconnect_Click(); });
  mMenu->addSeparator();
  mPaste = mMenu->addAction(QStringLiteral("Paste to Port"));
  mPaste->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Insert));
  connect(mPaste, &QAction::triggered, this, [this] { Paste(QClipboard::Clipboard); });
  // A wheel pressed by accident would send whatever is selected on the
  // desktop; only a user who asks for it gets middle-click paste.
  mMiddlePaste = mMenu->addAction(QStringLiteral("Paste on Middle Click"));
  mMiddlePaste->setCheckable(true);
  connect(mMenu->addAction(QStringLiteral("Send File...")), &QAction::triggered, this,
          [this] { mLogic->mnuToolsSendFile_Click(); });
  connect(mMenu->addAction(QStringLiteral("Send Break")), &QAction::triggered, this,
          [this] { mLogic->mnuToolsSendBreak_Click(); });
  QAction *sendHexAfter = mMenu->addSeparator();
  mHistoryMenu = mMenu->addMenu(QStringLiteral("History"));
  for (std::size_t i = 0; i < kHistoryChoices.size(); ++i)
    mHistoryAdapters[i] = std::make_unique<QtMenuItem>(
        AddCheckItem(mHistoryMenu, QString::fromLatin1(kHistoryChoices[i].caption),
                     [this, i] { mHistory->mnuToolsHistory_Click(i); }));
  QAction *find = mMenu->addAction(QStringLiteral("Find..."));
  find->setShortcut(QKeySequence(Qt::Key_F3));
  connect(find, &QAction::triggered, this, [this] {
    mFind->show();
    mFind->raise();
    mFind->activateWindow();
  });
  mLevelsItem = AddCheckItem(mMenu, QStringLiteral("Line Levels"),
                             [this] { mLogic->mnuToolsLineLevels_Click(); });
  QMenu *enter = mEnterMenu = new QMenu(QStringLiteral("Enter Sends"), mMenu);
  auto *endings = new QActionGroup(enter);
  QAction *ending[3];
  const QString names[3] = {QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")};
  for (int i = 0; i < 3; ++i) {
    ending[i] = enter->addAction(names[i]);
    ending[i]->setCheckable(true);
    endings->addAction(ending[i]);
    connect(ending[i], &QAction::triggered, this,
            [this, i] { mTyping->mnuToolsEnterSends_Click(static_cast<TypingChoices::Enter>(i)); });
  }
  QAction *echo = mEcho = AddCheckItem(enter, QStringLiteral("Local Echo"),
                                       [this] { mTyping->mnuToolsLocalEcho_Click(); });
  enter->removeAction(echo);
  // The shortcuts work wherever the focus is in the main window.
  mParts.window->addAction(mPaste);
  mParts.window->addAction(find);

  mReconnectAdapter = std::make_unique<QtMenuItem>(mReconnect);
  mLevelsAdapter = std::make_unique<QtMenuItem>(mLevelsItem);
  mTmrReconnect = std::make_unique<QtTimer>(this);
  mTmrBreak = std::make_unique<QtTimer>(this);
  mTmrSendFile = std::make_unique<QtTimer>(this);
  mTmrLineLevels = std::make_unique<QtTimer>(this);
  mChooser = std::make_unique<QtOpenFileChooser>(mParts.window);
  mQuestion = std::make_unique<QtQuestionBox>(mParts.window);
  mProgress = new SendProgressDialog(mParts.window);
  mLevels = new LineLevelsWindow(mParts.window);
  mFind = new FindDialog(mParts.display, mParts.window);
  mChoices = ToolsChoices(ApplicationFolder() + "/Serial.ini");

  mLogic = std::make_unique<ToolsMenu>(ToolsMenuControls{
      mParts.top, mParts.rtfData, mParts.comm, *mReconnectAdapter, *mLevelsAdapter, *mTmrReconnect,
      *mTmrBreak, *mTmrSendFile, *mTmrLineLevels, *mChooser, *mProgress, *mLevels, *mQuestion,
      mParts.messageBox, mParts.appInfo, mChoices, SteadyMilliseconds});
  mEnterCR = std::make_unique<QtMenuItem>(ending[0]);
  mEnterLF = std::make_unique<QtMenuItem>(ending[1]);
  mEnterCRLF = std::make_unique<QtMenuItem>(ending[2]);
  mLocalEcho = std::make_unique<QtMenuItem>(echo);
  mTyping = std::make_unique<TypingChoices>(
      TypingChoicesControls{mParts.top, mParts.comm, *mEnterCR, *mEnterLF, *mEnterCRLF, *mLocalEcho,
                            mChoices, mParts.messageBox, mParts.appInfo});
  mLogic->Typing(mTyping.get());
  std::array<IMenuItem *, kHistoryChoices.size()> items{};
  for (std::size_t i = 0; i < kHistoryChoices.size(); ++i)
    items[i] = mHistoryAdapters[i].get();
  mHistory = std::make_unique<HistoryMenu>(
      HistoryMenuControls{mParts.top, items, mChoices, mParts.messageBox, mParts.appInfo});
  mProgress->OnCancel([this] { mLogic->cmdSendCancel_Click(); });
  mLevels->OnClosed([this] { mLogic->LineLevels_Closed(); });

  AddDisplayChoices(sendHexAfter);

  mParts.display->viewport()->installEventFilter(this);
}

// "Send Hex..." goes with the other ways of sending, the display choices in
// a group of their own after them.
void QtToolsMenu::AddDisplayChoices(QAction *before) {
  auto *sendHex = new QAction(QStringLiteral("Send Hex..."), mMenu);
  connect(sendHex, &QAction::triggered, this, [this] { mDisplayChoices->mnuToolsSendHex_Click(); });
  mMenu->insertAction(before, sendHex);
  mMenu->insertSeparator(before);
  QAction *colours = AddCheckItem(
      mMenu, QStringLiteral("Show Colours"), [this] { mDisplayChoices->mnuToolsColours_Click(); },
      before);
  QAction *hex = AddCheckItem(
      mMenu, QStringLiteral("Show Hex"), [this] { mDisplayChoices->mnuToolsHex_Click(); }, before);
  QAction *milliseconds = AddCheckItem(
      mMenu, QStringLiteral("Milliseconds in Time Prefix"),
      [this] { mDisplayChoices->mnuToolsMilliseconds_Click(); }, before);
  mColoursAdapter = std::make_unique<QtMenuItem>(colours);
  mHexAdapter = std::make_unique<QtMenuItem>(hex);
  mMillisecondsAdapter = std::make_unique<QtMenuItem>(milliseconds);
  mSendHexInput = std::make_unique<QtTextInput>(mParts.window);
  mDisplayChoices = std::make_unique<DisplayChoices>(DisplayChoicesControls{
      mParts.top, mParts.rtfData, mParts.comm, *mColoursAdapter, *mHexAdapter,
      *mMillisecondsAdapter, *mSendHexInput, mParts.messageBox, mParts.appInfo, mChoices});
}

void QtToolsMenu::AddTypingItems() {
  mMenu->addSeparator();
  mMenu->addMenu(mEnterMenu);
  mMenu->addAction(mEcho);
}

QtToolsMenu::~QtToolsMenu() {
  mParts.display->viewport()->removeEventFilter(this);
  mDisplayChoices.reset();
  mLogic.reset();
  mTyping.reset();
}

// When asked for, a middle click pastes the primary selection, as elsewhere
// on the desktop; otherwise the read-only display ignores it.
bool QtToolsMenu::eventFilter(QObject *watched, QEvent *event) {
  if (mMiddlePaste->isChecked() && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    Paste(clipboard->supportsSelection() ? QClipboard::Selection : QClipboard::Clipboard);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void QtToolsMenu::Paste(QClipboard::Mode mode) {
  mLogic->mnuToolsPaste_Click(QGuiApplication::clipboard()->text(mode).toStdU32String());
}

} // namespace kestrel::qt
