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

  frmTop &Logic() { return *frm_; }
  DisplayView &Display() { return *display_; }
  QtToolsMenu &Tools() { return *tools_; }
  const TextDisplay &Model() const { return model_; }
  // The device went away while open; the port has closed itself.
  void DeviceClosed();

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  QAction *AddToggle(QMenu *menu, const QString &caption, bool checked, void (frmTop::*handler)());
  void BuildWidgets();
  void BuildMenus();

  TextDisplay model_;
  QWidget *central_ = nullptr;
  QCheckBox *chkLogEnabled_ = nullptr;
  QPushButton *cmdClearDisplay_ = nullptr;
  DisplayView *display_ = nullptr;
  QCheckBox *chkAutoClear_ = nullptr;
  QLineEdit *txtSize_ = nullptr;
  QLabel *lbl_ = nullptr;
  QPushButton *cmdOpenPort_ = nullptr;
  QAction *mnuOptionAddTime_ = nullptr;
  QAction *mnuOptionIgnorePinStatus_ = nullptr;
  QAction *mnuRTSLevel_ = nullptr;
  QAction *mnuDTRLevel_ = nullptr;

  std::unique_ptr<QtCheckBox> aLog_;
  std::unique_ptr<QtButton> aClear_;
  std::unique_ptr<QtCheckBox> aAutoClear_;
  std::unique_ptr<QtTextBox> aSize_;
  std::unique_ptr<QtButton> aOpen_;
  std::unique_ptr<QtStatusBar> aStatus_;
  std::unique_ptr<QtFileChooser> aChooser_;
  std::unique_ptr<QtMenuItem> aAddTime_, aIgnorePin_, aRts_, aDtr_;
  std::unique_ptr<QtMessageBox> aMessage_;
  QtClock clock_;
  QtAppInfo appInfo_;
  std::unique_ptr<frmTop> frm_;
  std::unique_ptr<QtToolsMenu> tools_;
  bool terminated_ = false;
};

} // namespace kestrel::qt
