#include "LogFile.h"

#include "PosixFile.h"
#include "SystemRoutines.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kestrel {

std::string AppendToFile(const std::string &path, std::string_view bytes) {
  constexpr const char *kNotAFile = "it is a FIFO or device, not a file";
  const OpenedFile file = OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT);
  if (file.type == FileType::Folder)
    return SystemErrorText(EISDIR);
  if (file.type == FileType::Special || file.error == ENXIO)
    return kNotAFile;
  if (file.fd < 0)
    return SystemErrorText(file.error);
  const off_t start = ::lseek(file.fd, 0, SEEK_END);
  std::string error;
  if (int err = WriteAll(file.fd, bytes))
    error = SystemErrorText(err);
  if (!error.empty() && start >= 0 && ::ftruncate(file.fd, start) != 0)
    error += "; the part of the line already written could not be removed";
  if (::close(file.fd) != 0 && error.empty() && errno != EINTR)
    error = SystemErrorText(errno);
  return error;
}

} // namespace kestrel
