#include "IniFile.h"

#include "PosixFile.h"
#include "SystemRoutines.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i]))
      return false;
  return true;
}

// One line of the file: where it starts, where its text ends (before CR LF or
// LF) and where the next line starts.
struct Line {
  std::size_t begin, end, next;
};

std::size_t FirstLine(const std::string &text) {
  return text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

// The line starting at pos, or false at the end of the text. Lines are walked
// one by one, never collected: a file of 16 million empty lines stays cheap.
bool LineAt(const std::string &text, std::size_t pos, Line &l) {
  if (pos >= text.size())
    return false;
  std::size_t lf = text.find('\n', pos);
  l.begin = pos;
  l.next = lf == std::string::npos ? text.size() : lf + 1;
  l.end = lf == std::string::npos ? text.size() : lf;
  if (l.end > pos && text[l.end - 1] == '\r')
    --l.end;
  return true;
}

// The name of a "[name]" line; false for any other line.
bool SectionOf(std::string_view line, std::string_view &name) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[')
    return false;
  std::size_t close = line.find(']');
  if (close == std::string_view::npos)
    return false;
  name = Trim(line.substr(1, close - 1));
  return true;
}

// Key and value of a "key=value" line; false for comments and other lines.
bool EntryOf(std::string_view line, std::string_view &key, std::string_view &value) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '#')
    return false;
  std::size_t eq = t.find('=');
  if (eq == std::string_view::npos)
    return false;
  key = Trim(t.substr(0, eq));
  value = Trim(t.substr(eq + 1));
  return !key.empty();
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

// Names that would read back as something else once written are refused.
bool UsableNames(std::string_view section, std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  return !section.empty() && !key.empty() && !HasLineBreak(section) && !HasLineBreak(key) &&
         section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
         key.front() != ';' && key.front() != '#' && key.front() != '[';
}

IniResult Failed(int err, const std::string &what) {
  return {false, what + ": " + SystemErrorText(err)};
}

IniResult Refused(const std::string &path, FileType type) {
  return {false, path + ": " + RefusedText(type)};
}

// How long a save waits for another process's save of the same file.
constexpr int kLockWaitMs = 3000;

// Held while one process reads, changes and replaces the file, so that two
// running copies saving at once both keep their entries. The lock is on a
// file of its own beside the settings file: the settings file itself is
// replaced by every save, and a lock on it would be lost with it.
// A lock file is never a link: one there was put by someone else, and
// O_CREAT through it would make a file wherever it points.
class SaveLock {
public:
  explicit SaveLock(const std::string &target)
      : mFd(::open(LockPath(target).c_str(),
                   O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644)) {
    if (mFd < 0) {
      mError = errno;
      return;
    }
    for (int waited = 0;; waited += 10) {
      if (::flock(mFd, LOCK_EX | LOCK_NB) == 0)
        return;
      if (errno != EWOULDBLOCK && errno != EINTR)
        break;
      if (waited >= kLockWaitMs) {
        errno = EBUSY;
        break;
      }
      ::usleep(10000);
    }
    mError = errno;
    ::close(mFd);
    mFd = -1;
  }
  ~SaveLock() {
    if (mFd >= 0)
      ::close(mFd);
  }
  SaveLock(const SaveLock &) = delete;
  SaveLock &operator=(const SaveLock &) = delete;
  int Error() const { return mFd >= 0 ? 0 : mError; }
  static std::string LockPath(const std::string &target) {
    return FolderOf(target) + "/." + SplitPath(target).name + ".lock";
  }

private:
  int mFd;
  int mError = 0;
};

// O_CREAT | O_NOFOLLOW on a link fails with ELOOP or, on some kernels, EACCES.
IniResult LockFailed(int err, const std::string &path, const std::string &target) {
  struct stat st {};
  if (::lstat(SaveLock::LockPath(target).c_str(), &st) == 0 && S_ISLNK(st.st_mode))
    return {false, "cannot save " + path + ": its lock file " + SaveLock::LockPath(target) +
                       " is a link, which is not followed"};
  return Failed(err, "cannot save " + path);
}

std::string TempPrefix(const std::string &target) {
  return "." + SplitPath(target).name + ".tmp-";
}

// Every save holds the lock while its temporary file exists, so one found
// while holding it was left by a save that was killed: it is removed, when
// it is the user's own.
void RemoveStaleTemporaries(const std::string &target, const std::string &prefix) {
  DIR *dir = ::opendir(FolderOf(target).c_str());
  if (!dir)
    return;
  struct stat st {};
  while (dirent *e = ::readdir(dir))
    if (std::string_view(e->d_name).substr(0, prefix.size()) == prefix &&
        ::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        st.st_uid == ::geteuid())
      (void)::unlinkat(::dirfd(dir), e->d_name, 0);
  ::closedir(dir);
}

// The file's text with key=value put in: the entry's line replaced, or a new
// line after the last entry of the section, or a new section at the end.
std::string WithEntry(const std::string &text, std::string_view section, std::string_view key,
                      const std::string &value) {
  Line l{};
  std::string eol = "\n";
  if (LineAt(text, FirstLine(text), l) && l.end + 1 < l.next)
    eol = "\r\n";

  bool inSection = false, inFirst = false, found = false;
  Line last{}; // header or last entry of the first matching section
  for (std::size_t pos = FirstLine(text); LineAt(text, pos, l); pos = l.next) {
    std::string_view line(text.data() + l.begin, l.end - l.begin);
    std::string_view name, k, v;
    if (SectionOf(line, name)) {
      inSection = SameName(name, section);
      inFirst = inSection && !found;
      if (inFirst) {
        found = true;
        last = l;
      }
    } else if (inSection && EntryOf(line, k, v)) {
      if (SameName(k, key))
        return text.substr(0, l.begin) + std::string(k) + "=" + value + text.substr(l.end);
      if (inFirst)
        last = l;
    }
  }

  std::string entry = std::string(key) + "=" + value + eol;
  std::size_t at = found ? last.next : text.size();
  std::string before = text.substr(0, at);
  // A last line without its line break is ended first; a CR already there
  // only wants its LF, or the reader would take the CR into the value.
  if (!before.empty() && before.back() != '\n' && before != kByteOrderMark)
    before += before.back() == '\r' ? std::string("\n") : eol;
  if (!found)
    before += "[" + std::string(section) + "]" + eol;
  return before + entry + text.substr(at);
}

// Puts text in place of target (path as the user named it) by way of a
// temporary file beside it, which is flushed and renamed over it; old is the
// replaced file's state, whose owner and rights the new one keeps, or null
// when there was none. The caller holds the save lock.
IniResult Replace(const std::string &path, const std::string &target, const std::string &out,
                  const struct stat *old) {
  std::string temp =
      FolderOf(target) + "/" + TempPrefix(target) + std::to_string(::getpid()) + "-XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0)
    return Failed(errno, "cannot write in " + FolderOf(target));
  auto abandon = [&](int err, const std::string &what) {
    ::close(fd);
    ::unlink(temp.c_str());
    return Failed(err, what);
  };
  if (int err = WriteAll(fd, out))
    return abandon(err, "cannot write " + path);
  if (old) {
    // Only root may hand the new file to the old one's owner; for anyone else
    // this fails and the file becomes their own, as when they create it.
    (void)!::fchown(fd, old->st_uid, old->st_gid);
  }
  // mkstemp makes the file 0600; a new settings file gets the usual 0644.
  if (::fchmod(fd, old ? (old->st_mode & 07777) : 0644) != 0 || ::fsync(fd) != 0)
    return abandon(errno, "cannot write " + path);
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return Failed(err, "cannot write " + path);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return Failed(err, "cannot replace " + path);
  }
  // The rename itself reaches the disk only with the folder flushed.
  int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return {true, {}};
}

} // namespace

bool IniLoadFile(const std::string &path, std::string &content, std::string *error) {
  content.clear();
  auto fail = [&](const std::string &why) {
    content.clear();
    if (error)
      *error = why;
    return false;
  };
  const OpenedFile file = OpenRegularFile(path, O_RDONLY, 0644, Trust::OwnFile);
  if (file.error)
    return fail(SystemErrorText(file.error));
  if (file.type != FileType::Regular)
    return fail(file.type == FileType::Special ? "it is not a regular file"
                                               : RefusedText(file.type));
  const int fd = file.fd;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      int err = errno;
      ::close(fd);
      return fail(SystemErrorText(err));
    }
    if (n == 0)
      break;
    content.append(buffer, static_cast<std::size_t>(n));
    // Checked while reading, not from fstat: the file may grow meanwhile.
    if (content.size() > kIniMaxFileSize) {
      ::close(fd);
      return fail("it is too large for a settings file");
    }
  }
  ::close(fd);
  return true;
}

namespace {
// Calls visit(key, value) for each entry of the named section in file order,
// until it returns false; nothing when the file cannot be read.
template <class Visit>
void WalkSection(const std::string &path, const std::string &section, Visit visit) {
  std::string text;
  if (!IniLoadFile(path, text))
    return;
  std::string_view wantSection = Trim(section);
  bool inSection = false;
  Line l{};
  for (std::size_t pos = FirstLine(text); LineAt(text, pos, l); pos = l.next) {
    std::string_view line(text.data() + l.begin, l.end - l.begin);
    std::string_view name, k, v;
    if (SectionOf(line, name))
      inSection = SameName(name, wantSection);
    else if (inSection && EntryOf(line, k, v) && !visit(k, v))
      return;
  }
}
} // namespace

std::string IniReadValue(const std::string &path, const std::string &section,
                         const std::string &key) {
  std::string value;
  std::string_view wantKey = Trim(key);
  WalkSection(path, section, [&](std::string_view k, std::string_view v) {
    if (!SameName(k, wantKey))
      return true;
    value = v;
    return false;
  });
  return value;
}

std::vector<std::pair<std::string, std::string>> IniReadSection(const std::string &path,
                                                                const std::string &section) {
  std::vector<std::pair<std::string, std::string>> entries;
  WalkSection(path, section, [&](std::string_view k, std::string_view v) {
    entries.emplace_back(std::string(k), std::string(v));
    return true;
  });
  return entries;
}

IniResult IniWriteValue(const std::string &path, const std::string &section, const std::string &key,
                        const std::string &value) {
  return IniWriteValues(path, section, {{key, value}});
}

IniResult IniWriteValues(const std::string &path, const std::string &section,
                         const std::vector<std::pair<std::string, std::string>> &entries) {
  std::vector<IniEntry> named;
  for (const auto &[key, value] : entries)
    named.push_back({section, key, value});
  return IniWriteValues(path, named);
}

IniResult IniWriteValues(const std::string &path, const std::vector<IniEntry> &entries) {
  if (path.empty())
    return {false, "no settings file"};
  for (const auto &[section, key, value] : entries) {
    if (!UsableNames(section, key))
      return {false, "not a usable section or entry name"};
    if (HasLineBreak(value))
      return {false, "a value cannot hold a line break"};
  }

  // The user's own link is followed so that the file it points to is the
  // one replaced; a link another user made is not used at all.
  std::string target = path;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (!OwnLink(st))
      return Refused(path, FileType::ForeignLink);
    // A link to nothing (a folder not mounted now) is kept: renaming over it
    // would cut the user's link to the settings behind it.
    char *real = ::realpath(path.c_str(), nullptr);
    if (!real)
      return Failed(errno, "cannot follow the link " + path);
    target = real;
    std::free(real);
  }
  // Nothing but a regular file is rewritten, and nothing is made beside one
  // that is not (no lock file in /dev); nor a file another user can change,
  // whose rights and owner the new one would keep.
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode))
      return {false,
              path + ": " + (S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file")};
    if (!OwnFile(st))
      return Refused(path, FileType::ForeignFile);
    // The rename needs only the folder's rights; a file the user may not
    // write is still not to be replaced.
    int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (probe < 0)
      return Failed(errno, "cannot write " + path);
    ::close(probe);
  }
  SaveLock lock(target);
  if (int err = lock.Error())
    return LockFailed(err, path, target);
  RemoveStaleTemporaries(target, TempPrefix(target));
  // Looked at again now: another process may have made the file meanwhile.
  const bool existed = ::stat(target.c_str(), &st) == 0;
  std::string text, loadError;
  if (existed) {
    if (!IniLoadFile(target, text, &loadError))
      return {false, path + ": " + loadError};
  }
  std::string out = std::move(text);
  for (const auto &[section, key, value] : entries)
    out = WithEntry(out, Trim(section), Trim(key), value);
  // A file past the limit would read back as empty: every setting in it lost.
  if (out.size() > kIniMaxFileSize)
    return {false, path + ": the settings would be too large for a settings file"};

  return Replace(path, target, out, existed ? &st : nullptr);
}

IniResult IniTakeOver(const std::string &oldPath, const std::string &newPath) {
  std::string text, error;
  if (!IniLoadFile(oldPath, text, &error))
    return {false, oldPath + ": " + error};
  if (text.empty())
    return {false, oldPath + ": it holds nothing"};
  SaveLock lock(newPath);
  if (int err = lock.Error())
    return LockFailed(err, newPath, newPath);
  RemoveStaleTemporaries(newPath, TempPrefix(newPath));
  // Looked at under the lock: a copy started at the same time may have taken
  // it over already, or saved settings of its own.
  struct stat st {};
  if (::lstat(newPath.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) || st.st_size != 0)
      return {false, newPath + ": it is there already"};
  } else if (errno != ENOENT) {
    return Failed(errno, "cannot look at " + newPath);
  }
  return Replace(newPath, newPath, text, nullptr);
}

std::string SettingsFolderTakingOver(const std::string &exeFolder, const std::string &userFolder,
                                     const std::string &fileName) {
  const std::string folder = ChooseSettingsFolder(exeFolder, userFolder);
  if (folder != exeFolder)
    (void)IniTakeOver(exeFolder + "/" + fileName, folder + "/" + fileName);
  return folder;
}

} // namespace kestrel
