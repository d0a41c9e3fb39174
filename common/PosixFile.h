// Small POSIX file routines the program needs in several places, written once.
//
// Every routine here keeps the window responsive and the user's devices
// untouched: nothing waits on a FIFO or a device, and a path is looked at
// before it is opened, so that a serial device named by mistake is never
// opened (opening one raises its modem lines). Failures come back as errno
// values, never as exceptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace kestrel {

// Writes as much of bytes to fd as it takes, going on after an interrupted or
// partial write, and returns the count written. error is 0 when all were
// written, else the errno of the write that stopped (EAGAIN when a
// non-blocking fd is full, EIO when one wrote nothing). wrote, when given,
// is told the count of each write that took some, right after it.
std::size_t WriteSome(int fd, std::string_view bytes, int &error,
                      const std::function<void(std::size_t)> &wrote = {});

// Writes all of bytes to fd: 0, or the errno of the write that failed.
int WriteAll(int fd, std::string_view bytes);

// What OpenRegularFile found when it did not open the path.
enum class FileType { Regular, Folder, Special, ForeignLink, ForeignFile };

// Whom a file may come from. A folder others may write in (a shared /tmp, a
// program folder left world-writable) lets them plant a link to a file of
// the user's, or a file of their own, under the name the program opens.
enum class Trust {
  // Whatever the path names: a file the user chose to read and send.
  AnyFile,
  // Not by way of a link another user made; a link the user or root made is
  // followed. For files written to, such as the log.
  NoForeignLink,
  // That, and only a file no other user can change: the user's own, or
  // root's and writable by root alone. For settings, which choose devices.
  OwnFile,
};

struct OpenedFile {
  // The open file, or -1.
  int fd = -1;
  // The errno of the failed open or fstat; 0 when the path was refused for
  // its type or opened.
  int error = 0;
  // A folder or anything else that is no regular file (a FIFO, a device, a
  // socket) is refused, before the open when stat sees it, else after it;
  // so is what the trust asked for does not allow.
  FileType type = FileType::Regular;
  // The open file's size and last change.
  std::uint64_t size = 0;
  struct timespec modified {};
};

// Opens path with flags and O_CLOEXEC | O_NOCTTY | O_NONBLOCK, keeping it
// only when it is a regular file that trust allows; mode is for O_CREAT.
// Past AnyFile the last part of the path is opened with O_NOFOLLOW unless it
// is a link the user may follow, and the file opened is what fstat checks.
OpenedFile OpenRegularFile(const std::string &path, int flags, mode_t mode = 0644,
                           Trust trust = Trust::AnyFile);

// Whether st (of lstat) is of a link the user or root made.
bool OwnLink(const struct stat &st);
// Whether st is of a file no other user can change (Trust::OwnFile).
bool OwnFile(const struct stat &st);
// "it is a folder" and the like, for a path refused for its type.
std::string RefusedText(FileType type);

// The text before a path's last '/' and the text after it; without a '/' the
// folder is empty and the whole path is the name.
struct PathParts {
  std::string folder;
  std::string name;
};
PathParts SplitPath(std::string_view path);

// The folder holding path, as a path to open: "." for a bare name and "/"
// for a name in the root.
std::string FolderOf(std::string_view path);

// An eventfd that wakes a thread blocked in poll(): Signal from any thread
// makes Fd readable until Drain.
class WakeEvent {
public:
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent &) = delete;
  WakeEvent &operator=(const WakeEvent &) = delete;

  // -1 when the eventfd could not be made (Error says why).
  int Fd() const { return mFd; }
  int Error() const { return mError; }
  void Signal();
  void Drain();

private:
  int mFd = -1;
  int mError = 0;
};

} // namespace kestrel
