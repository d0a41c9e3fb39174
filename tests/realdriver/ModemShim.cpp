// Preloaded into QEMU: gives the pseudo-terminal behind one emulated UART the modem input lines a
// pseudo-terminal lacks. QEMU's serial backend reads the lines with TIOCMGET and raises their
// changes in the guest's 16550 status register; this library answers that call for the one
// device named by KT_MODEM_TTY from the file KT_MODEM_LINES, which the host side of the bench
// writes: word 0 holds the TIOCM_* levels, word 1 lines to show flipped for exactly one reading
// (a pulse too short for any poll to catch otherwise; the word is cleared when shown). Setting
// the lines of that device succeeds and does nothing. Every other call goes through untouched.
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using IoctlFn = int (*)(int, unsigned long, void *);

std::uint32_t *Lines() {
  static std::uint32_t *words = [] {
    const char *path = std::getenv("KT_MODEM_LINES");
    const int fd = path ? ::open(path, O_RDWR | O_CLOEXEC) : -1;
    void *map = fd < 0 ? MAP_FAILED
                       : ::mmap(nullptr, 2 * sizeof(std::uint32_t), PROT_READ | PROT_WRITE,
                                MAP_SHARED, fd, 0);
    if (fd >= 0)
      ::close(fd);
    return map == MAP_FAILED ? nullptr : static_cast<std::uint32_t *>(map);
  }();
  return words;
}

bool IsModemTty(int fd) {
  static const dev_t tty = [] {
    struct stat st {};
    const char *path = std::getenv("KT_MODEM_TTY");
    return path && ::stat(path, &st) == 0 ? st.st_rdev : dev_t(0);
  }();
  struct stat st {};
  return tty != 0 && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == tty;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
  static const auto real = reinterpret_cast<IoctlFn>(::dlsym(RTLD_NEXT, "ioctl"));
  va_list args;
  va_start(args, request);
  void *arg = va_arg(args, void *);
  va_end(args);
  const bool lines =
      request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
  if (!lines || !Lines() || !IsModemTty(fd))
    return real(fd, request, arg);
  if (request == TIOCMGET) {
    std::uint32_t *words = Lines();
    const std::uint32_t pulse = __atomic_exchange_n(&words[1], 0u, __ATOMIC_SEQ_CST);
    *static_cast<int *>(arg) =
        static_cast<int>(__atomic_load_n(&words[0], __ATOMIC_SEQ_CST) ^ pulse);
  }
  return 0;
}
