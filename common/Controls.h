// The platform's user-interface controls and runtime services, as the window
// and class logic sees them.
//
// The logic of every window (the terminal, the configuration dialog, the
// About box) is plain C++ that talks to its controls only through these small
// interfaces. The Qt binding implements them with widgets; the tests implement
// them with fakes that record what was done. Nothing here includes Qt, so the
// logic libraries build and test without a display.
//
// Contract shared by all of them:
// - A property is a getter and a setter under one name.
// - Every call is made on the user-interface thread.
// - Nothing throws: a control that cannot do what it is asked reports it by
//   its result where the caller needs to know, and otherwise does nothing.
// - Text is a byte string: one byte per character, as received and sent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kestrel {

// A push button with a caption ("Open Port", "&OK").
class IButton {
public:
  virtual ~IButton() = default;
  virtual std::string Caption() const = 0;
  virtual void Caption(const std::string &text) = 0;
};

// A check box: its caption and whether it is ticked.
class ICheckBox {
public:
  virtual ~ICheckBox() = default;
  virtual std::string Caption() const = 0;
  virtual void Caption(const std::string &text) = 0;
  virtual bool Value() const = 0;
  virtual void Value(bool ticked) = 0;
};

// A label: one line of text the user reads but does not edit.
class ILabel {
public:
  virtual ~ILabel() = default;
  virtual std::string Caption() const = 0;
  virtual void Caption(const std::string &text) = 0;
};

// A window as its logic sees it: it can unload (close) itself.
class IForm {
public:
  virtual ~IForm() = default;
  virtual void Unload() = 0;
};

// A one-line text box.
class ITextBox {
public:
  virtual ~ITextBox() = default;
  virtual std::string Text() const = 0;
  virtual void Text(const std::string &text) = 0;
};

// A menu item that can carry a check mark.
class IMenuItem {
public:
  virtual ~IMenuItem() = default;
  virtual bool Checked() const = 0;
  virtual void Checked(bool checked) = 0;
};

// A status bar with numbered panels, counted from 1. The last panel shows
// the time of day and is kept by the bar itself.
class IStatusBar {
public:
  virtual ~IStatusBar() = default;
  virtual std::string PanelText(int panel) const = 0;
  virtual void PanelText(int panel, const std::string &text) = 0;
  virtual bool PanelEnabled(int panel) const = 0;
  virtual void PanelEnabled(int panel, bool enabled) = 0;
  // Redraws the bar at once, not at the next idle moment.
  virtual void Refresh() = 0;
};

// A drop-down list that accepts no typed text. Indexes count from 0; a
// selected index of -1 means no selection.
class IComboBox {
public:
  virtual ~IComboBox() = default;
  virtual void Clear() = 0;
  virtual void AddItem(const std::string &text) = 0;
  virtual int ListCount() const = 0;
  virtual std::string List(int index) const = 0;
  virtual int ListIndex() const = 0;
  virtual void ListIndex(int index) = 0;
  // The selected entry's text, empty when nothing is selected.
  virtual std::string Text() const = 0;
  virtual void SetFocus() = 0;
};

// A timer. Setting a non-zero interval (re)starts the countdown; 0 stops it.
// When the countdown runs out the handler runs, and the timer goes on firing
// every interval until it is stopped.
class ITimer {
public:
  virtual ~ITimer() = default;
  virtual int Interval() const = 0;
  virtual void Interval(int milliseconds) = 0;
  virtual void OnTimer(std::function<void()> handler) = 0;
};

enum class MessageIcon { Exclamation, Stop, Information };

// A message box with a single OK button; Show returns when it is dismissed.
// The detail text is shown below the message, in smaller print, when not
// empty (the system's reason for a failure).
class IMessageBox {
public:
  virtual ~IMessageBox() = default;
  virtual void Show(const std::string &text, const std::string &title, MessageIcon icon,
                    const std::string &detail = {}) = 0;
};

enum class ChooserResult { Chosen, Cancelled, Failed };

// A file chooser that lets the user pick an existing file or name a new one.
// It keeps the name chosen last and offers it again at the next Show.
// Filter is "Label|pattern|Label|pattern"; DefaultExt is the extension given
// to a typed name that has none.
class IFileChooser {
public:
  virtual ~IFileChooser() = default;
  virtual std::string DefaultExt() const = 0;
  virtual void DefaultExt(const std::string &ext) = 0;
  virtual std::string DialogTitle() const = 0;
  virtual void DialogTitle(const std::string &title) = 0;
  virtual std::string Filter() const = 0;
  virtual void Filter(const std::string &filter) = 0;
  virtual std::string InitDir() const = 0;
  virtual void InitDir(const std::string &folder) = 0;
  virtual std::string FileName() const = 0;
  virtual void FileName(const std::string &path) = 0;
  virtual ChooserResult Show() = 0;
};

// A local date and time, to the second; to the millisecond where the clock
// was asked for it.
struct LocalTime {
  int year = 1970;
  int month = 1;       // 1 to 12
  int day = 1;         // 1 to 31
  int hour = 0;        // 0 to 23
  int minute = 0;      // 0 to 59
  int second = 0;      // 0 to 59
  int weekday = 4;     // 0 Sunday to 6 Saturday
  int millisecond = 0; // 0 to 999; always 0 from Now()
  friend bool operator==(const LocalTime &, const LocalTime &) = default;
};

// The clock and the user's date conventions.
class IClock {
public:
  virtual ~IClock() = default;
  virtual LocalTime Now() const = 0;
  // Now, with the millisecond within the second read at the same instant.
  virtual LocalTime NowWithMilliseconds() const = 0;
  // The platform's default date-and-time text: short date, a space, long
  // time, in the user's locale, in the display's characters (Latin-1); where
  // the locale writes them with others, "yyyy/mm/dd HH:MM:SS".
  virtual std::string DefaultDateTimeText(const LocalTime &t) const = 0;
  // Names in the user's language: weekday 0 Sunday to 6; month 1 to 12.
  virtual std::string DayName(int weekday) const = 0;
  virtual std::string MonthShortName(int month) const = 0;
};

// What the running program knows of itself.
class IAppInfo {
public:
  virtual ~IAppInfo() = default;
  // Folder of the running executable, without a trailing "/".
  virtual std::string ExeFolder() const = 0;
  // File name of the executable without its extension.
  virtual std::string ExeName() const = 0;
  // Full path of the running executable.
  virtual std::string ExePath() const = 0;
  virtual int VersionMajor() const = 0;
  virtual int VersionMinor() const = 0;
  virtual int VersionRevision() const = 0;
};

// The desktop's way of opening a document or web address with its default
// handler. No text ever passes through a command shell.
class IShell {
public:
  virtual ~IShell() = default;
  virtual bool Open(const std::string &target) = 0;
};

} // namespace kestrel
