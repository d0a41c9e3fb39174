// The Tools menu in the main window: its actions and shortcuts, the timers
// and windows of the tools, and the display's two ways to paste (middle click
// and its context menu), wired to the ToolsMenu logic.
//
// Shortcuts use Ctrl+Shift, so every Ctrl+letter typed into the display
// still reaches the port.
#pragma once

#include "Controls.h"
#include "QtControls.h"
#include "TextDisplay.h"
#include "ToolsMenu.h"
#include "ToolsWindows.h"

#include <QClipboard>
#include <QMainWindow>
#include <QMenu>
#include <QObject>
#include <QPlainTextEdit>

#include <memory>

namespace kestrel::qt {

struct QtToolsMenuParts {
  QMainWindow *window;
  QPlainTextEdit *display;
  frmTop &top;
  TextDisplay &rtfData;
  ICommControl &comm;
  IMessageBox &messageBox;
  IAppInfo &appInfo;
};

class QtToolsMenu : public QObject {
public:
  // Adds the menu to the window's menu bar, before its last menu (Help).
  explicit QtToolsMenu(QtToolsMenuParts parts);
  ~QtToolsMenu() override;

  ToolsMenu &Logic() { return *logic_; }
  QMenu *Menu() { return menu_; }
  // "Paste to Port", for the display's context menu.
  QAction *PasteAction() { return paste_; }
  LineLevelsWindow &Levels() { return *levels_; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void Paste(QClipboard::Mode mode);

  QtToolsMenuParts p_;
  QMenu *menu_ = nullptr;
  QAction *reconnect_ = nullptr;
  QAction *paste_ = nullptr;
  QAction *levelsItem_ = nullptr;
  std::unique_ptr<QtMenuItem> aReconnect_, aLevels_;
  std::unique_ptr<QtTimer> tmrReconnect_, tmrBreak_, tmrSendFile_, tmrLineLevels_;
  std::unique_ptr<QtOpenFileChooser> chooser_;
  std::unique_ptr<QtQuestionBox> question_;
  SendProgressDialog *progress_ = nullptr;
  LineLevelsWindow *levels_ = nullptr;
  FindDialog *find_ = nullptr;
  std::unique_ptr<ToolsMenu> logic_;
};

} // namespace kestrel::qt
