#include "SystemRoutines.h"

#include "Controls.h"
#include "PosixFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {
std::string &AppFolderOverride() {
  static std::string folder;
  return folder;
}
} // namespace

bool FileExists(const std::string &path) {
  if (path.empty())
    return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
    return false;
  // A device node or a FIFO is never opened to find out: opening a serial
  // port raises its DTR and RTS, and a FIFO's writer would see a reader come.
  if (!S_ISREG(st.st_mode))
    return ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0)
    return false;
  ::close(fd);
  return true;
}

std::string ExecutablePath() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0)
    return {};
  return std::string(buffer, static_cast<std::size_t>(n));
}

std::string ExecutableFolder() {
  return FolderOf(ExecutablePath());
}

std::string ApplicationFolder() {
  const std::string &chosen = AppFolderOverride();
  return chosen.empty() ? ExecutableFolder() : chosen;
}

void ApplicationFolder(const std::string &folder) {
  AppFolderOverride() = folder;
}

namespace {
// Whether a file can be made in folder: access() would say yes to root even
// on a read-only mount, so a real file is made and removed again.
bool FolderWritable(const std::string &folder) {
  std::string probe = folder + "/.kestrel-write-test-XXXXXX";
  int fd = ::mkstemp(probe.data());
  if (fd < 0)
    return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

void MakeFolders(const std::string &folder) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos)
      break;
  }
}

// A build tree or a portable copy: a folder the user owns and may write in,
// outside the system's folders and not the bin folder of an installation
// (a "share" folder beside it, as in /usr/local or ~/.local). Only then do
// settings go beside the program; root owns /usr/bin, yet it is no place for
// them.
bool PortableFolder(const std::string &folder) {
  for (const char *system :
       {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/etc", "/snap"}) {
    const std::string s = system;
    if (folder == s || folder.compare(0, s.size() + 1, s + "/") == 0)
      return false;
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
    return false;
  const std::string base = SplitPath(folder).name;
  const std::string parent = FolderOf(folder);
  struct stat share {};
  if ((base == "bin" || base == "sbin") && ::stat((parent + "/share").c_str(), &share) == 0 &&
      S_ISDIR(share.st_mode))
    return false;
  return FolderWritable(folder);
}
} // namespace

std::string ChooseSettingsFolder(const std::string &exeFolder, const std::string &userFolder) {
  if (userFolder.empty() || PortableFolder(exeFolder))
    return exeFolder;
  MakeFolders(userFolder);
  return userFolder;
}

namespace {
// Whether folder, or the nearest folder above it that exists, is the running
// user's or root's: a folder made there stays writable for whoever owns the
// home it is in. Run as root with another user's $HOME (sudo -E), a folder
// made in that home would belong to root and lock its owner out.
bool MakeableHere(const std::string &folder) {
  std::string at = folder;
  struct stat st {};
  while (::stat(at.c_str(), &st) != 0) {
    const auto slash = at.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
      return true;
    at.resize(slash);
  }
  return st.st_uid == ::geteuid() || st.st_uid == 0;
}
} // namespace

std::string UserSettingsFolder() {
  constexpr const char *kName = "/kestrel-terminal";
  for (const char *variable : {"XDG_CONFIG_HOME", "HOME"}) {
    const char *value = std::getenv(variable);
    if (!value || value[0] != '/')
      continue;
    const std::string folder =
        std::string(value) + (std::string_view(variable) == "HOME" ? "/.config" : "") + kName;
    if (MakeableHere(folder))
      return folder;
  }
  if (const passwd *pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
    return std::string(pw->pw_dir) + "/.config" + kName;
  return {};
}

bool FileLastChange(const std::string &path, LocalTime &when) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return false;
  std::tm tm{};
  const std::time_t t = st.st_mtime;
  if (!::localtime_r(&t, &tm))
    return false;
  when = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
          tm.tm_min,         tm.tm_sec,     tm.tm_wday};
  return true;
}

std::string SystemErrorText(int errorNumber) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be in buffer.
  const char *text = ::strerror_r(errorNumber, buffer, sizeof buffer);
  return text ? std::string(text) : std::string("error ") + std::to_string(errorNumber);
}

} // namespace kestrel
