#include "PosixFile.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {
FileType TypeOf(const struct stat &st) {
  if (S_ISREG(st.st_mode))
    return FileType::Regular;
  return S_ISDIR(st.st_mode) ? FileType::Folder : FileType::Special;
}
} // namespace

std::size_t WriteSome(int fd, std::string_view bytes, int &error,
                      const std::function<void(std::size_t)> &wrote) {
  std::size_t done = 0;
  error = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<std::size_t>(n);
    if (wrote)
      wrote(static_cast<std::size_t>(n));
  }
  return done;
}

int WriteAll(int fd, std::string_view bytes) {
  int error = 0;
  WriteSome(fd, bytes, error);
  return error;
}

bool OwnLink(const struct stat &st) {
  return st.st_uid == ::geteuid() || st.st_uid == 0;
}

bool OwnFile(const struct stat &st) {
  return st.st_uid == ::geteuid() || (st.st_uid == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0);
}

std::string RefusedText(FileType type) {
  switch (type) {
  case FileType::Folder:
    return "it is a folder";
  case FileType::Special:
    return "it is a FIFO or device, not a file";
  case FileType::ForeignLink:
    return "it is a link another user made, which is not followed";
  case FileType::ForeignFile:
    return "another user can change it, so it is not used";
  case FileType::Regular:
    break;
  }
  return {};
}

OpenedFile OpenRegularFile(const std::string &path, int flags, mode_t mode, Trust trust) {
  OpenedFile file;
  struct stat st {};
  // Whether st already tells what the path names, links followed: the log
  // opens its file for every line, and each look at the path costs a walk.
  bool seen = false;
  if (trust != Trust::AnyFile) {
    const bool found = ::lstat(path.c_str(), &st) == 0;
    if (found && S_ISLNK(st.st_mode)) {
      if (!OwnLink(st)) {
        file.type = FileType::ForeignLink;
        return file;
      }
    } else {
      flags |= O_NOFOLLOW;
      seen = found;
    }
  }
  if ((seen || ::stat(path.c_str(), &st) == 0) && !S_ISREG(st.st_mode)) {
    file.type = TypeOf(st);
    return file;
  }
  int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
  if (fd < 0) {
    // A link put in place since the lstat (O_CREAT | O_NOFOLLOW on a link
    // fails with ELOOP or, on some kernels, EACCES).
    file.error = errno;
    if ((flags & O_NOFOLLOW) && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      file.error = 0;
      file.type = FileType::ForeignLink;
    }
    return file;
  }
  const bool known = ::fstat(fd, &st) == 0;
  if (!known || !S_ISREG(st.st_mode) || (trust == Trust::OwnFile && !OwnFile(st))) {
    file.error = known ? 0 : errno;
    file.type = !known                ? FileType::Special
                : S_ISREG(st.st_mode) ? FileType::ForeignFile
                                      : TypeOf(st);
    ::close(fd);
    return file;
  }
  file.fd = fd;
  file.size = static_cast<std::uint64_t>(st.st_size);
  file.modified = st.st_mtim;
  return file;
}

PathParts SplitPath(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos)
    return {std::string(), std::string(path)};
  return {std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
}

std::string FolderOf(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos)
    return ".";
  return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

WakeEvent::WakeEvent() : mFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (mFd < 0)
    mError = errno;
}

WakeEvent::~WakeEvent() {
  if (mFd >= 0)
    ::close(mFd);
}

void WakeEvent::Signal() {
  const std::uint64_t one = 1;
  ssize_t n;
  do
    n = ::write(mFd, &one, sizeof one);
  while (n < 0 && errno == EINTR);
}

void WakeEvent::Drain() {
  std::uint64_t count;
  ssize_t n;
  do
    n = ::read(mFd, &count, sizeof count);
  while (n < 0 && errno == EINTR);
}

} // namespace kestrel
