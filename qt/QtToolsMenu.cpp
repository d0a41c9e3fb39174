#include "QtToolsMenu.h"

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

QtToolsMenu::QtToolsMenu(QtToolsMenuParts parts) : p_(parts) {
  QMenuBar *bar = p_.window->menuBar();
  menu_ = new QMenu(QStringLiteral("Tools"), bar);
  const QList<QAction *> menus = bar->actions();
  bar->insertMenu(menus.isEmpty() ? nullptr : menus.last(), menu_);

  reconnect_ = AddCheckItem(menu_, QStringLiteral("Reconnect Automatically"),
                            [this] { logic_->mnuToolsReconnect_Click(); });
  menu_->addSeparator();
  paste_ = menu_->addAction(QStringLiteral("Paste to Port"));
  paste_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
  connect(paste_, &QAction::triggered, this, [this] { Paste(QClipboard::Clipboard); });
  connect(menu_->addAction(QStringLiteral("Send File...")), &QAction::triggered, this,
          [this] { logic_->mnuToolsSendFile_Click(); });
  connect(menu_->addAction(QStringLiteral("Send Break")), &QAction::triggered, this,
          [this] { logic_->mnuToolsSendBreak_Click(); });
  menu_->addSeparator();
  QAction *find = menu_->addAction(QStringLiteral("Find..."));
  find->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
  connect(find, &QAction::triggered, this, [this] {
    find_->show();
    find_->raise();
    find_->activateWindow();
  });
  levelsItem_ = AddCheckItem(menu_, QStringLiteral("Line Levels"),
                             [this] { logic_->mnuToolsLineLevels_Click(); });
  // The shortcuts work wherever the focus is in the main window.
  p_.window->addAction(paste_);
  p_.window->addAction(find);

  aReconnect_ = std::make_unique<QtMenuItem>(reconnect_);
  aLevels_ = std::make_unique<QtMenuItem>(levelsItem_);
  tmrReconnect_ = std::make_unique<QtTimer>(this);
  tmrBreak_ = std::make_unique<QtTimer>(this);
  tmrSendFile_ = std::make_unique<QtTimer>(this);
  tmrLineLevels_ = std::make_unique<QtTimer>(this);
  chooser_ = std::make_unique<QtOpenFileChooser>(p_.window);
  question_ = std::make_unique<QtQuestionBox>(p_.window);
  progress_ = new SendProgressDialog(p_.window);
  levels_ = new LineLevelsWindow(p_.window);
  find_ = new FindDialog(p_.display, p_.window);

  logic_ = std::make_unique<ToolsMenu>(
      ToolsMenuControls{p_.top, p_.rtfData, p_.comm, *aReconnect_, *aLevels_, *tmrReconnect_,
                        *tmrBreak_, *tmrSendFile_, *tmrLineLevels_, *chooser_, *progress_, *levels_,
                        *question_, p_.messageBox, p_.appInfo, SteadyMilliseconds});
  progress_->OnCancel([this] { logic_->cmdSendCancel_Click(); });
  levels_->OnClosed([this] { logic_->LineLevels_Closed(); });

  p_.display->viewport()->installEventFilter(this);
}

QtToolsMenu::~QtToolsMenu() {
  p_.display->viewport()->removeEventFilter(this);
  logic_.reset();
}

// A middle click pastes the primary selection, as elsewhere on the desktop;
// the display, being read-only, would otherwise ignore it.
bool QtToolsMenu::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    Paste(clipboard->supportsSelection() ? QClipboard::Selection : QClipboard::Clipboard);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void QtToolsMenu::Paste(QClipboard::Mode mode) {
  logic_->mnuToolsPaste_Click(QGuiApplication::clipboard()->text(mode).toStdU32String());
}

} // namespace kestrel::qt
