#include "LogFile.h"

#include "PosixFile.h"
#include "SystemRoutines.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {
// A write past the user's file size limit (ulimit -f) raises SIGXFSZ, which
// ends the program unless it is ignored; ignored, the write fails with EFBIG
// and the line is cut off and reported as on a full disk. A handler someone
// else set is left alone.
void FileSizeLimitFailsTheWrite() {
  static const bool done = [] {
    struct sigaction now {};
    if (::sigaction(SIGXFSZ, nullptr, &now) == 0 && now.sa_handler == SIG_DFL)
      ::signal(SIGXFSZ, SIG_IGN);
    return true;
  }();
  (void)done;
}
} // namespace

std::string AppendToFile(const std::string &path, std::string_view bytes) {
  FileSizeLimitFailsTheWrite();
  const OpenedFile file =
      OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT, 0644, Trust::NoForeignLink);
  if (file.type == FileType::Folder)
    return SystemErrorText(EISDIR);
  if (file.type == FileType::Special || file.error == ENXIO)
    return RefusedText(FileType::Special);
  if (file.type != FileType::Regular)
    return RefusedText(file.type);
  if (file.fd < 0)
    return SystemErrorText(file.error);
  // Where this line's bytes begin and end in the file, once some are written.
  // Each write lands at the end of the file as it is then, so a line written
  // in parts is one piece only while nobody appends between the parts; and
  // it is cut off again only while it is still the end of the file, so that a
  // line another program appended meanwhile is never cut away with it.
  off_t ownStart = -1, ownEnd = -1;
  bool onePiece = true;
  std::string error;
  int writeError = 0;
  std::size_t done = 0;
  WriteSome(file.fd, bytes, writeError, [&](std::size_t written) {
    // Once the whole line is in, no failure can follow that would cut it.
    done += written;
    if (done == bytes.size())
      return;
    const off_t end = ::lseek(file.fd, 0, SEEK_CUR);
    const off_t begin = end - static_cast<off_t>(written);
    onePiece = onePiece && (ownEnd < 0 || ownEnd == begin);
    if (ownStart < 0)
      ownStart = begin;
    ownEnd = end;
  });
  if (writeError != 0)
    error = SystemErrorText(writeError);
  struct stat st {};
  if (!error.empty() && ownEnd >= 0) {
    const bool stillLast = ::fstat(file.fd, &st) == 0 && st.st_size == ownEnd;
    if (!stillLast || !onePiece || ::ftruncate(file.fd, ownStart) != 0)
      error += "; the part of the line already written could not be removed";
  }
  if (::close(file.fd) != 0 && error.empty() && errno != EINTR)
    error = SystemErrorText(errno);
  return error;
}

} // namespace kestrel
