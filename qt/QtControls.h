// Qt implementations of the platform's control interfaces.
//
// Each adapter wraps one widget (or action, or timer) that its window owns;
// the adapter never owns the widget. They are thin on purpose: all behaviour
// lives in the Qt-free logic, and these only translate calls and text.
// Captions, titles and messages are UTF-8 (file names among them); the
// display's received bytes are shown by the display view, one byte per
// character. Labels, status panels and message boxes show their text as
// plain text: much of it comes from outside the program (settings values,
// device paths and names, file paths, the system's error texts), and none of
// it may turn into markup or links.
#pragma once

#include "Controls.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace kestrel::qt {

// The windows' layouts are given in twips; 15 twips make a pixel at 96 dpi.
constexpr int Px(int twips) {
  return (twips + 7) / 15;
}

QString ToQt(const std::string &text);
std::string FromQt(const QString &text);
// The program's icon and the configuration dialog's, from the pictures
// built into the program (PNG: Qt needs no extra plugin for them).
QIcon ProgramIcon();
QIcon ConfigIcon();
// Enter presses the button that has the keyboard focus, as the platform
// does; no button is any window's default. True when it pressed one.
bool PressFocusedButton(QWidget &window, const QKeyEvent &event);
// Adds a checkable item to menu, before the item before or at the end, whose
// handler finds the mark as it was before the click: Qt flips a checkable
// action's mark before its handler runs, and the logic flips it itself.
QAction *AddCheckItem(QMenu *menu, const QString &caption, std::function<void()> handler,
                      QAction *before = nullptr);
// Runs fn on the user-interface thread at its next turn; safe from any thread.
void PostToUi(std::function<void()> fn);

class QtButton : public IButton {
public:
  explicit QtButton(QPushButton *button) : mButton(button) {}
  std::string Caption() const override { return FromQt(mButton->text()); }
  void Caption(const std::string &text) override;

private:
  QPushButton *mButton;
};

class QtCheckBox : public ICheckBox {
public:
  explicit QtCheckBox(QCheckBox *box) : mButton(box) {}
  std::string Caption() const override;
  void Caption(const std::string &text) override;
  bool Value() const override { return mButton->isChecked(); }
  // Changes the box without raising its click handler.
  void Value(bool ticked) override;

private:
  QCheckBox *mButton;
};

class QtLabel : public ILabel {
public:
  explicit QtLabel(QLabel *label) : mLabel(label) { mLabel->setTextFormat(Qt::PlainText); }
  std::string Caption() const override { return FromQt(mLabel->text()); }
  void Caption(const std::string &text) override { mLabel->setText(ToQt(text)); }

private:
  QLabel *mLabel;
};

// Unloading a window is the window's own business; it says how.
class QtForm : public IForm {
public:
  explicit QtForm(std::function<void()> unload) : mUnload(std::move(unload)) {}
  void Unload() override {
    if (mUnload)
      mUnload();
  }

private:
  std::function<void()> mUnload;
};

class QtTextBox : public ITextBox {
public:
  explicit QtTextBox(QLineEdit *edit);
  // Cached: the terminal reads it for every received character.
  std::string Text() const override { return mText; }
  void Text(const std::string &text) override { mEdit->setText(ToQt(text)); }

private:
  QLineEdit *mEdit;
  std::string mText;
};

class QtMenuItem : public IMenuItem {
public:
  explicit QtMenuItem(QAction *action) : mAction(action) {}
  bool Checked() const override { return mAction->isChecked(); }
  void Checked(bool checked) override { mAction->setChecked(checked); }

private:
  QAction *mAction;
};

// The time-of-day panel keeps the size of the widest time it has shown, so
// that the next second's text repaints the panel alone: a label whose size can
// change lays the whole status bar out again on every new text. A new font or
// style sizes it afresh.
class QtClockPanel : public QLabel {
public:
  using QLabel::QLabel;
  void Show(const QString &time);

protected:
  void changeEvent(QEvent *event) override;

private:
  void Fit(QSize size);
};

// Panels 1 and 2 are labels in the bar; the last panel shows the time of day
// and turns just after each whole second.
class QtStatusBar : public IStatusBar {
public:
  QtStatusBar(QStatusBar *bar, int panels);
  std::string PanelText(int panel) const override;
  void PanelText(int panel, const std::string &text) override;
  bool PanelEnabled(int panel) const override;
  void PanelEnabled(int panel, bool enabled) override;
  void Refresh() override;
  QLabel *Panel(int panel) const;

private:
  QStatusBar *mBar;
  std::vector<QLabel *> mLabels;
  QTimer *mClock;
};

class QtComboBox : public IComboBox {
public:
  explicit QtComboBox(QComboBox *box) : mBox(box) {}
  void Clear() override { mBox->clear(); }
  void AddItem(const std::string &text) override { mBox->addItem(ToQt(text)); }
  int ListCount() const override { return mBox->count(); }
  std::string List(int index) const override { return FromQt(mBox->itemText(index)); }
  int ListIndex() const override { return mBox->currentIndex(); }
  void ListIndex(int index) override { mBox->setCurrentIndex(index); }
  std::string Text() const override;
  void SetFocus() override { mBox->setFocus(Qt::OtherFocusReason); }

private:
  QComboBox *mBox;
};

class QtTimer : public ITimer {
public:
  explicit QtTimer(QObject *parent);
  int Interval() const override { return mInterval; }
  void Interval(int milliseconds) override;
  void OnTimer(std::function<void()> handler) override { mHandler = std::move(handler); }

private:
  QTimer *mTimer;
  int mInterval = 0;
  std::function<void()> mHandler;
};

class QtMessageBox : public IMessageBox {
public:
  explicit QtMessageBox(QWidget *parent) : mParent(parent) {}
  void Show(const std::string &text, const std::string &title, MessageIcon icon,
            const std::string &detail) override;

private:
  QWidget *mParent;
};

class QtFileChooser : public IFileChooser {
public:
  explicit QtFileChooser(QWidget *parent) : mParent(parent) {}
  std::string DefaultExt() const override { return mDefaultExt; }
  void DefaultExt(const std::string &ext) override { mDefaultExt = ext; }
  std::string DialogTitle() const override { return mTitle; }
  void DialogTitle(const std::string &title) override { mTitle = title; }
  std::string Filter() const override { return mFilter; }
  void Filter(const std::string &filter) override { mFilter = filter; }
  std::string InitDir() const override { return mInitDir; }
  void InitDir(const std::string &folder) override { mInitDir = folder; }
  std::string FileName() const override { return mFileName; }
  void FileName(const std::string &path) override { mFileName = path; }
  ChooserResult Show() override;

private:
  QWidget *mParent;
  std::string mDefaultExt, mTitle, mFilter, mInitDir, mFileName;
};

} // namespace kestrel::qt
