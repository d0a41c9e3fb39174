// What the terminal window asks of the platform beyond its own controls:
// loading its dialogs and ending the program.
#pragma once

#include <memory>

namespace kestrel {

class frmConfigSerial;
class frmAbout;

// A loaded configuration dialog: its logic and a way to show it modally.
class IConfigSerialWindow {
public:
  virtual ~IConfigSerialWindow() = default;
  virtual frmConfigSerial &Form() = 0;
  // Returns when the dialog has been closed.
  virtual void ShowModal() = 0;
};

// The About box, loaded once and shown again while it stays loaded.
class IAboutWindow {
public:
  virtual ~IAboutWindow() = default;
  virtual frmAbout &Form() = 0;
  // Shows the box without an owner and returns at once.
  virtual void ShowModeless() = 0;
};

class IWindowHost {
public:
  virtual ~IWindowHost() = default;
  virtual std::unique_ptr<IConfigSerialWindow> LoadConfigSerial() = 0;
  // Loads the About box when it is not loaded (its load step runs then).
  virtual IAboutWindow &LoadAbout() = 0;
  // Ends the program at once: no handler or teardown of any window or class
  // runs; the platform closes the port and any open file.
  virtual void End() = 0;
};

} // namespace kestrel
