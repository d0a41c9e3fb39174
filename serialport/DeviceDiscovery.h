// What the system tells about a device node without opening it: which tty
// driver serves it, whether it is this process's own terminal, and whether
// another process holds it (a flock in /proc/locks, or an open file).
//
// Finding holders never touches the files of other processes: they are never
// stat()ed (one on a dead network mount would hang the walk); only the names
// their links in /proc/PID/fd give are read, only names under /dev are kept,
// and the walk ends when its time is up, so its cost does not grow with the
// machine.
#pragma once

#include <chrono>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace kestrel::serial {

// The path with every link resolved; the path itself when that fails.
std::string RealPath(const std::string &path);
// The first line of a small text file, trailing blanks and CR dropped.
std::string FirstLineOf(const std::string &file);

// The type the kernel's tty drivers give a character device number
// ("serial", "pty:slave", "console", "system:/dev/tty", ...): empty when no
// tty driver serves the number, "?" when the list cannot be read.
std::string TtyDriverType(dev_t device);
// The device number of this process's controlling terminal; 0 without one.
dev_t ControllingTerminal();
// Whether the device is the controlling terminal of any process (a shell's
// or a login's), as far as the walk of /proc gets within budget.
bool SomeProcessesTerminal(dev_t device, std::chrono::milliseconds budget);
// Whether a process holds a flock on the device node.
bool LockedByAProcess(const struct stat &node);
// The names under /dev that the processes this user may look at have open,
// from the links in /proc/PID/fd, as far as the walk gets within budget (on a
// machine with a hundred thousand open files it does not get through them
// all). A holder this user may not see, or the walk did not reach, is told at
// the open: busy where it locked the port or took it in exclusive mode.
std::vector<std::string> DevicesHeldOpen(std::chrono::milliseconds budget);
// Whether device (as named, or as its real path) is among held.
bool AmongHeld(const std::vector<std::string> &held, const std::string &device);

} // namespace kestrel::serial
