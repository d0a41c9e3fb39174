// The Tools menu in the main window: its actions and shortcuts, the timers
// and windows of the tools, and the display's two ways to paste (middle click
// when the user asks for it, and its context menu), wired to the ToolsMenu
// logic.
//
// The shortcuts are keys without a character code (Shift+Insert, F3), so
// every key that has one, typed into the display, still reaches the port.
#pragma once

#include "Controls.h"
#include "DisplayChoices.h"
#include "DisplayView.h"
#include "HistoryMenu.h"
#include "QtControls.h"
#include "QtTextInput.h"
#include "TextDisplay.h"
#include "ToolsMenu.h"
#include "ToolsWindows.h"
#include "TypingChoices.h"

#include <QClipboard>
#include <QMainWindow>
#include <QMenu>
#include <QObject>

#include <array>
#include <memory>

namespace kestrel::qt {

struct QtToolsMenuParts {
  QMainWindow *window;
  DisplayView *display;
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

  // Adds "Enter Sends" and "Local Echo" at the end of the menu. Their
  // choices hold from the start either way; the program adds the items once
  // the window is built, with the items of its own (Choose Device...).
  void AddTypingItems();

  ToolsMenu &Logic() { return *mLogic; }
  DisplayChoices &Display() { return *mDisplayChoices; }
  TypingChoices &Typing() { return *mTyping; }
  HistoryMenu &History() { return *mHistory; }
  QMenu *HistoryItems() { return mHistoryMenu; }
  QMenu *Menu() { return mMenu; }
  // "Paste to Port", for the display's context menu.
  QAction *PasteAction() { return mPaste; }
  // The Find window, for the tests that drive it.
  FindDialog &Find() { return *mFind; }
  LineLevelsWindow &Levels() { return *mLevels; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void Paste(QClipboard::Mode mode);
  void AddDisplayChoices(QAction *before);

  QtToolsMenuParts mParts;
  QMenu *mMenu = nullptr;
  QAction *mReconnect = nullptr;
  QAction *mPaste = nullptr;
  QAction *mMiddlePaste = nullptr; // its check mark is the whole of its state
  QAction *mLevelsItem = nullptr;
  std::unique_ptr<QtMenuItem> mReconnectAdapter, mLevelsAdapter;
  std::unique_ptr<QtTimer> mTmrReconnect, mTmrBreak, mTmrSendFile, mTmrLineLevels;
  std::unique_ptr<QtOpenFileChooser> mChooser;
  std::unique_ptr<QtQuestionBox> mQuestion;
  ToolsChoices mChoices;
  SendProgressDialog *mProgress = nullptr;
  LineLevelsWindow *mLevels = nullptr;
  FindDialog *mFind = nullptr;
  std::unique_ptr<ToolsMenu> mLogic;
  // Show Colours, Show Hex, Milliseconds in Time Prefix and Send Hex.
  std::unique_ptr<QtMenuItem> mColoursAdapter, mHexAdapter, mMillisecondsAdapter;
  std::unique_ptr<QtTextInput> mSendHexInput;
  std::unique_ptr<DisplayChoices> mDisplayChoices;
  std::unique_ptr<QtMenuItem> mEnterCR, mEnterLF, mEnterCRLF, mLocalEcho;
  QMenu *mEnterMenu = nullptr;
  QAction *mEcho = nullptr;
  std::unique_ptr<TypingChoices> mTyping;
  QMenu *mHistoryMenu = nullptr;
  std::array<std::unique_ptr<QtMenuItem>, kHistoryChoices.size()> mHistoryAdapters;
  std::unique_ptr<HistoryMenu> mHistory;
};

} // namespace kestrel::qt
