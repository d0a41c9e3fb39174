// What the Tools menu asks of the platform beyond the window's own controls:
// a yes-or-no question, a chooser for a file to send, the progress dialog of
// a file being sent and the line-levels window.
//
// Same contract as the window's controls: called on the user-interface
// thread, nothing throws, text is one byte per character.
#pragma once

#include "CommControl.h"

#include <string>

namespace kestrel {

// A message box with Yes and No; true when the user answered Yes.
class IQuestionBox {
public:
  virtual ~IQuestionBox() = default;
  virtual bool Ask(const std::string &text, const std::string &title) = 0;
};

// Picks an existing file to read; false when the user cancelled.
class IOpenFileChooser {
public:
  virtual ~IOpenFileChooser() = default;
  virtual bool Choose(const std::string &title, std::string &path) = 0;
};

// The progress dialog of Send File. Shown without blocking: the window and
// the port go on working while it is up. Its Cancel button calls the Tools
// menu's cmdSendCancel_Click.
class ISendProgress {
public:
  virtual ~ISendProgress() = default;
  virtual void Show(const std::string &fileName) = 0;
  // Per mille done (0 to 1000) and a line saying how far it is.
  virtual void Progress(int perMille, const std::string &text) = 0;
  virtual void Close() = 0;
};

// The small window that shows the modem lines. Closing it from its title bar
// calls the Tools menu's LineLevels_Closed.
class ILineLevelsView {
public:
  virtual ~ILineLevelsView() = default;
  virtual void Visible(bool shown) = 0;
  // enabled false greys every line (the port is closed).
  virtual void Levels(const ModemLines &levels, bool enabled) = 0;
};

} // namespace kestrel
