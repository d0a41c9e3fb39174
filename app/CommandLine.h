// The command line: kestrel-terminal [DEVICE] [-b BAUD] [-s SETTINGS], and
// --help and --version.
//
// Read before the window system is reached, so that a wrong word is told at
// once on standard error (one line, exit status 2) and --help works without
// a display. Qt's own options (-platform, -style, ...) are passed over here
// and left for Qt. Nothing given here is ever saved by itself: the device and
// its settings hold for this run only, unless the user saves them in the
// configuration dialog.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

struct CommandLine {
  enum class Action { Run, Help, Version, Fail };
  Action action = Action::Run;
  // As given: a path, a name under /dev or /dev/serial/by-id, or COMn.
  std::string device;
  // Digits of a rate from 1 upwards, or empty.
  std::string baud;
  // A port settings text such as 19200,N,8,1, or empty.
  std::string settings;
  // Why the command line was refused, one line without the program's name.
  std::string error;
};

// One option as --help and the manual page show it.
struct OptionHelp {
  const char *shortForm;
  const char *longForm;
  const char *argument; // empty for an option without one
  const char *text;
};
extern const std::vector<OptionHelp> kOptionHelp;

// args without the program's name.
CommandLine ParseCommandLine(const std::vector<std::string> &args);
std::string HelpText(const std::string &program);
// Whether text is a settings text the serial layer takes: rate, parity N, E,
// O, M or S, 5 to 8 data bits, 1, 1.5 (with 5 data bits) or 2 stop bits.
bool SettingsTextValid(const std::string &text);
// The settings a run given on the command line opens with: -s, else what is
// stored, else the dialog's defaults (19200,N,8,1); -b replaces the rate.
std::string SettingsForRun(const CommandLine &line, const std::string &stored);

} // namespace kestrel
