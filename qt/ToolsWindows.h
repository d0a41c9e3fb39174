// The Tools menu's windows and boxes: the line-levels window, the progress
// dialog of Send File, the Find dialog, the yes-or-no question and the file
// chooser for sending. Thin: what they show and when is the logic's.
#pragma once

#include "DisplayView.h"
#include "ToolsControls.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QWidget>

#include <array>
#include <functional>

namespace kestrel::qt {

// A small always-on-top window with one lamp per line.
class LineLevelsWindow : public QWidget, public ILineLevelsView {
public:
  explicit LineLevelsWindow(QWidget *owner);
  void Visible(bool shown) override;
  void Levels(const ModemLines &levels, bool enabled) override;
  // Told when the user closes the window from its title bar.
  void OnClosed(std::function<void()> handler) { mOnClosed = std::move(handler); }

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  std::array<QLabel *, 6> mLamps{};
  std::function<void()> mOnClosed;
  bool mClosingByLogic = false;
  bool mPlaced = false;
};

// Bytes sent, rate, time left and Cancel; it does not hold the main window.
class SendProgressDialog : public QDialog, public ISendProgress {
public:
  explicit SendProgressDialog(QWidget *owner);
  void Show(const std::string &fileName) override;
  void Progress(int perMille, const std::string &text) override;
  void Close() override;
  void OnCancel(std::function<void()> handler) { mOnCancel = std::move(handler); }

protected:
  void reject() override;

private:
  QLabel *mFile;
  QProgressBar *mBar;
  QLabel *mText;
  std::function<void()> mOnCancel;
};

// Finds text in the display; typing into the display still goes to the port.
class FindDialog : public QDialog {
public:
  FindDialog(DisplayView *display, QWidget *owner);
  void Find(bool forward);

private:
  DisplayView *mDisplay;
  QLineEdit *mWhat;
  QCheckBox *mMatchCase;
  QLabel *mResult;
};

class QtQuestionBox : public IQuestionBox {
public:
  explicit QtQuestionBox(QWidget *parent) : mParent(parent) {}
  bool Ask(const std::string &text, const std::string &title) override;

private:
  QWidget *mParent;
};

class QtOpenFileChooser : public IOpenFileChooser {
public:
  explicit QtOpenFileChooser(QWidget *parent) : mParent(parent) {}
  bool Choose(const std::string &title, std::string &path) override;

private:
  QWidget *mParent;
};

} // namespace kestrel::qt
