#include "DeviceDiscovery.h"

#include "PortSettingsText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kestrel::serial {

std::string RealPath(const std::string &path) {
  std::string real = path;
  if (char *r = ::realpath(path.c_str(), nullptr)) {
    real = r;
    std::free(r);
  }
  return real;
}

std::string FirstLineOf(const std::string &file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

std::string TtyDriverType(dev_t device) {
  std::ifstream in("/proc/tty/drivers");
  if (!in)
    return "?";
  std::string line;
  while (std::getline(in, line)) {
    char name[128], node[128], range[64], type[64];
    unsigned major = 0;
    if (std::sscanf(line.c_str(), "%127s %127s %u %63s %63s", name, node, &major, range, type) !=
            5 ||
        major != ::major(device))
      continue;
    unsigned first = 0, last = 0;
    int n = std::sscanf(range, "%u-%u", &first, &last);
    if (n < 1)
      continue;
    if (n == 1)
      last = first;
    if (::minor(device) >= first && ::minor(device) <= last)
      return type;
  }
  return {};
}

namespace {
// The controlling terminal named in a /proc/PID/stat line; 0 without one.
dev_t TerminalOfStatLine(const std::string &stat) {
  // pid (name) state ppid pgrp session tty_nr ...; the name may hold blanks.
  auto end = stat.rfind(')');
  if (end == std::string::npos)
    return 0;
  char state = 0;
  int ppid = 0, pgrp = 0, session = 0;
  unsigned tty = 0;
  if (std::sscanf(stat.c_str() + end + 1, " %c %d %d %d %u", &state, &ppid, &pgrp, &session,
                  &tty) != 5)
    return 0;
  return ::makedev((tty >> 8) & 0xfff, (tty & 0xff) | ((tty >> 12) & 0xfff00));
}

// Calls visit with the folder of each process in /proc ("/proc/PID/") until
// it returns false or the budget is spent.
template <class Visit> void EachProcess(std::chrono::milliseconds budget, Visit visit) {
  const auto until = std::chrono::steady_clock::now() + budget;
  DIR *proc = ::opendir("/proc");
  if (!proc)
    return;
  while (dirent *p = ::readdir(proc)) {
    if (!DigitsOnly(p->d_name))
      continue;
    if (std::chrono::steady_clock::now() > until || !visit(std::string("/proc/") + p->d_name + "/"))
      break;
  }
  ::closedir(proc);
}
} // namespace

dev_t ControllingTerminal() {
  return TerminalOfStatLine(FirstLineOf("/proc/self/stat"));
}

bool SomeProcessesTerminal(dev_t device, std::chrono::milliseconds budget) {
  bool found = false;
  EachProcess(budget, [&](const std::string &folder) {
    found = TerminalOfStatLine(FirstLineOf(folder + "stat")) == device;
    return !found;
  });
  return found;
}

// The kernel's list of file locks shows every process's, whoever runs it.
bool LockedByAProcess(const struct stat &node) {
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:6 0 EOF"; a blocked waiter has
    // "->" before its type and holds nothing.
    if (line.find("->") != std::string::npos)
      continue;
    char a[32], b[32], c[32], d[32];
    unsigned long pid = 0, ino = 0;
    unsigned maj = 0, min = 0;
    if (std::sscanf(line.c_str(), "%31s %31s %31s %31s %lu %x:%x:%lu", a, b, c, d, &pid, &maj, &min,
                    &ino) == 8 &&
        maj == ::major(node.st_dev) && min == ::minor(node.st_dev) && ino == node.st_ino)
      return true;
  }
  return false;
}

std::vector<std::string> DevicesHeldOpen(std::chrono::milliseconds budget) {
  std::vector<std::string> held;
  char target[256];
  EachProcess(budget, [&](const std::string &process) {
    DIR *fds = ::opendir((process + "fd").c_str());
    if (!fds)
      return true;
    while (dirent *f = ::readdir(fds)) {
      if (f->d_name[0] == '.')
        continue;
      // The link's text is the kernel's name for the open file; reading it
      // touches neither the file nor the file system it is on.
      const ssize_t n = ::readlinkat(::dirfd(fds), f->d_name, target, sizeof target);
      if (n > 5 && n < static_cast<ssize_t>(sizeof target) &&
          std::string_view(target, 5) == "/dev/")
        held.emplace_back(target, static_cast<std::size_t>(n));
    }
    ::closedir(fds);
    return true;
  });
  std::sort(held.begin(), held.end());
  held.erase(std::unique(held.begin(), held.end()), held.end());
  return held;
}

bool AmongHeld(const std::vector<std::string> &held, const std::string &device) {
  return std::binary_search(held.begin(), held.end(), device) ||
         std::binary_search(held.begin(), held.end(), RealPath(device));
}

} // namespace kestrel::serial
