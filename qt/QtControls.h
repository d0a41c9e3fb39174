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
// Adds a checkable item to menu whose handler finds the mark as it was
// before the click: Qt flips a checkable action's mark before its handler
// runs, and the logic flips it itself.
QAction *AddCheckItem(QMenu *menu, const QString &caption, std::function<void()> handler);
// Runs fn on the user-interface thread at its next turn; safe from any thread.
void PostToUi(std::function<void()> fn);

class QtButton : public IButton {
public:
  explicit QtButton(QPushButton *button) : b_(button) {}
  std::string Caption() const override { return FromQt(b_->text()); }
  void Caption(const std::string &text) override;

private:
  QPushButton *b_;
};

class QtCheckBox : public ICheckBox {
public:
  explicit QtCheckBox(QCheckBox *box) : b_(box) {}
  std::string Caption() const override;
  void Caption(const std::string &text) override;
  bool Value() const override { return b_->isChecked(); }
  // Changes the box without raising its click handler.
  void Value(bool ticked) override;

private:
  QCheckBox *b_;
};

class QtLabel : public ILabel {
public:
  explicit QtLabel(QLabel *label) : l_(label) { l_->setTextFormat(Qt::PlainText); }
  std::string Caption() const override { return FromQt(l_->text()); }
  void Caption(const std::string &text) override { l_->setText(ToQt(text)); }

private:
  QLabel *l_;
};

// Unloading a window is the window's own business; it says how.
class QtForm : public IForm {
public:
  explicit QtForm(std::function<void()> unload) : unload_(std::move(unload)) {}
  void Unload() override {
    if (unload_)
      unload_();
  }

private:
  std::function<void()> unload_;
};

class QtTextBox : public ITextBox {
public:
  explicit QtTextBox(QLineEdit *edit);
  // Cached: the terminal reads it for every received character.
  std::string Text() const override { return text_; }
  void Text(const std::string &text) override { e_->setText(ToQt(text)); }

private:
  QLineEdit *e_;
  std::string text_;
};

class QtMenuItem : public IMenuItem {
public:
  explicit QtMenuItem(QAction *action) : a_(action) {}
  bool Checked() const override { return a_->isChecked(); }
  void Checked(bool checked) override { a_->setChecked(checked); }

private:
  QAction *a_;
};

// Panels 1 and 2 are labels in the bar; the last panel shows the time of day
// and updates itself every second.
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
  QStatusBar *bar_;
  std::vector<QLabel *> labels_;
  QTimer *clock_;
};

class QtComboBox : public IComboBox {
public:
  explicit QtComboBox(QComboBox *box) : c_(box) {}
  void Clear() override { c_->clear(); }
  void AddItem(const std::string &text) override { c_->addItem(ToQt(text)); }
  int ListCount() const override { return c_->count(); }
  std::string List(int index) const override { return FromQt(c_->itemText(index)); }
  int ListIndex() const override { return c_->currentIndex(); }
  void ListIndex(int index) override { c_->setCurrentIndex(index); }
  std::string Text() const override;
  void SetFocus() override { c_->setFocus(Qt::OtherFocusReason); }

private:
  QComboBox *c_;
};

class QtTimer : public ITimer {
public:
  explicit QtTimer(QObject *parent);
  int Interval() const override { return interval_; }
  void Interval(int milliseconds) override;
  void OnTimer(std::function<void()> handler) override { handler_ = std::move(handler); }

private:
  QTimer *t_;
  int interval_ = 0;
  std::function<void()> handler_;
};

class QtMessageBox : public IMessageBox {
public:
  explicit QtMessageBox(QWidget *parent) : parent_(parent) {}
  void Show(const std::string &text, const std::string &title, MessageIcon icon,
            const std::string &detail) override;

private:
  QWidget *parent_;
};

class QtFileChooser : public IFileChooser {
public:
  explicit QtFileChooser(QWidget *parent) : parent_(parent) {}
  std::string DefaultExt() const override { return defaultExt_; }
  void DefaultExt(const std::string &ext) override { defaultExt_ = ext; }
  std::string DialogTitle() const override { return title_; }
  void DialogTitle(const std::string &title) override { title_ = title; }
  std::string Filter() const override { return filter_; }
  void Filter(const std::string &filter) override { filter_ = filter; }
  std::string InitDir() const override { return initDir_; }
  void InitDir(const std::string &folder) override { initDir_ = folder; }
  std::string FileName() const override { return fileName_; }
  void FileName(const std::string &path) override { fileName_ = path; }
  ChooserResult Show() override;

private:
  QWidget *parent_;
  std::string defaultExt_, title_, filter_, initDir_, fileName_;
};

} // namespace kestrel::qt
