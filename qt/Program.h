// The program once its application object exists: where Serial.ini lives,
// the serial layer, the main window and the event loop; with a device given
// on the command line, that port opened at start for this run.
#pragma once

#include "CommandLine.h"

namespace kestrel::qt {

// Runs the terminal until it ends; returns the event loop's exit code.
int RunTerminal(const CommandLine &line = {});

} // namespace kestrel::qt
