#include "UartShim.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <linux/serial.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
char gSlave[256];
std::atomic<bool> gActive{false};
std::atomic<int> gFrame{0}, gParity{0};

bool IsSlave(int fd) {
  if (!gActive)
    return false;
  char link[64], target[256];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, target, sizeof target - 1);
  if (n <= 0)
    return false;
  target[n] = 0;
  return std::strcmp(target, gSlave) == 0;
}
} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list args;
  va_start(args, request);
  void *arg = va_arg(args, void *);
  va_end(args);
  if (IsSlave(fd) && request == TIOCGICOUNT) {
    auto *counts = static_cast<serial_icounter_struct *>(arg);
    std::memset(counts, 0, sizeof *counts);
    counts->frame = gFrame;
    counts->parity = gParity;
    return 0;
  }
  termios2 settings;
  if (IsSlave(fd) && request == TCSETS2) {
    std::memcpy(&settings, arg, sizeof settings);
    settings.c_iflag &= ~PARMRK;
    arg = &settings;
  }
  return static_cast<int>(::syscall(SYS_ioctl, fd, request, arg));
}

namespace kestrel::test {
UartShim::UartShim(const std::string &slave) {
  std::snprintf(gSlave, sizeof gSlave, "%s", slave.c_str());
  gFrame = 0;
  gParity = 0;
  gActive = true;
}
UartShim::~UartShim() {
  gActive = false;
}
void UartShim::CountFramingError() {
  ++gFrame;
}
void UartShim::CountParityError() {
  ++gParity;
}
} // namespace kestrel::test
