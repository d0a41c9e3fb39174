// The terminal's main window: the widgets, menus and status bar, wired to the
// frmTop logic. Every user action calls the handler named after its control
// and event; the logic changes the widgets back through the adapters.
#pragma once

#include "CommControl.h"
#include "DisplayView.h"
#include "QtControls.h"
#include "QtRuntime.h"
#include "QtToolsMenu.h"
#include "TextDisplay.h"
#include "WindowHost.h"
#include "frmTop.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>

#include <memory>

namespace kestrel::qt {

class MainWindow : public QMainWindow {
public:
  MainWindow(ICommControl &comm, IWindowHost &host);
  ~MainWindow() override;

  frmTop &Logic() { return *mFrm; }
  DisplayView &Display() { return *mDisplay; }
  QtToolsMenu &Tools() { return *mTools; }
  const TextDisplay &Model() const { return mModel; }
  // The device went away while open; the port has closed itself.
  void DeviceClosed();

protected:
  void closeEvent(QCloseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  QAction *AddToggle(QMenu *menu, const QString &caption, bool checked, void (frmTop::*handler)());
  void BuildWidgets();
  void BuildMenus();

  TextDisplay mModel;
  QWidget *mCentral = nullptr;
  QCheckBox *mChkLogEnabled = nullptr;
  QPushButton *mCmdClearDisplay = nullptr;
  DisplayView *mDisplay = nullptr;
  QCheckBox *mChkAutoClear = nullptr;
  QLineEdit *mTxtSize = nullptr;
  QLabel *mLbl = nullptr;
  QPushButton *mCmdOpenPort = nullptr;
  QAction *mMnuOptionAddTime = nullptr;
  QAction *mMnuOptionIgnorePinStatus = nullptr;
  QAction *mMnuRTSLevel = nullptr;
  QAction *mMnuDTRLevel = nullptr;

  std::unique_ptr<QtCheckBox> mLogAdapter;
  std::unique_ptr<QtButton> mClearAdapter;
  std::unique_ptr<QtCheckBox> mAutoClearAdapter;
  std::unique_ptr<QtTextBox> mSizeAdapter;
  std::unique_ptr<QtButton> mOpenAdapter;
  std::unique_ptr<QtStatusBar> mStatusAdapter;
  std::unique_ptr<QtFileChooser> mChooserAdapter;
  std::unique_ptr<QtMenuItem> mAddTimeAdapter, mIgnorePinAdapter, mRtsAdapter, mDtrAdapter;
  std::unique_ptr<QtMessageBox> mMessageAdapter;
  QtClock mClock;
  QtAppInfo mAppInfo;
  std::unique_ptr<frmTop> mFrm;
  std::unique_ptr<QtToolsMenu> mTools;
  bool mTerminated = false;
};

} // namespace kestrel::qt
