#include "LogFile.h"

#include "SystemRoutines.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

std::string AppendToFile(const std::string &path, std::string_view bytes) {
  constexpr const char *kNotAFile = "it is a FIFO or device, not a file";
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return S_ISDIR(st.st_mode) ? SystemErrorText(EISDIR) : kNotAFile;
  int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
  if (fd < 0)
    return errno == ENXIO ? kNotAFile : SystemErrorText(errno);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kNotAFile;
  }
  const off_t start = ::lseek(fd, 0, SEEK_END);
  std::string error;
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR)
        continue;
      error = SystemErrorText(errno);
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  if (!error.empty() && start >= 0 && ::ftruncate(fd, start) != 0)
    error += "; the part of the line already written could not be removed";
  if (::close(fd) != 0 && error.empty() && errno != EINTR)
    error = SystemErrorText(errno);
  return error;
}

} // namespace kestrel
