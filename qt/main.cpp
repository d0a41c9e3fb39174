// Kestrel Terminal: the program. The command line is read before the window
// system is reached, so that --help works anywhere and a wrong word ends the
// program with status 2 before any window opens.
#include "CommandLine.h"
#include "Program.h"
#include "Version.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char *argv[]) {
  const kestrel::CommandLine line =
      kestrel::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (line.action) {
  case kestrel::CommandLine::Action::Help:
    std::fputs(kestrel::HelpText("kestrel-terminal").c_str(), stdout);
    return 0;
  case kestrel::CommandLine::Action::Version:
    std::printf("kestrel-terminal %d.%d.%d\n", KESTREL_VERSION_MAJOR, KESTREL_VERSION_MINOR,
                KESTREL_VERSION_PATCH);
    return 0;
  case kestrel::CommandLine::Action::Fail:
    std::fprintf(stderr, "kestrel-terminal: %s\n", line.error.c_str());
    return 2;
  case kestrel::CommandLine::Action::Run:
    break;
  }
  QApplication app(argc, argv);
  return kestrel::qt::RunTerminal(line);
}
