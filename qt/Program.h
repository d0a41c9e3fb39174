// The program once its application object exists: where Serial.ini lives,
// the serial layer, the main window and the event loop.
#pragma once

namespace kestrel::qt {

// Runs the terminal until it ends; returns the event loop's exit code.
int RunTerminal();

} // namespace kestrel::qt
