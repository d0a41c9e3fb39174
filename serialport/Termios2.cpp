// Only the kernel's own headers here; see Termios2.h.
#include "Termios2.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace kestrel::serial {

namespace {

// An ioctl retried while interrupted: 0 or the errno of the failure.
template <typename Arg> int Retried(int fd, unsigned long request, Arg arg) {
  int r;
  do
    r = ioctl(fd, request, arg);
  while (r < 0 && errno == EINTR);
  return r < 0 ? errno : 0;
}

tcflag_t SizeFlag(int dataBits) {
  switch (dataBits) {
  case 5:
    return CS5;
  case 6:
    return CS6;
  case 7:
    return CS7;
  default:
    return CS8;
  }
}

// The rates the system has a code for go by that code, so that every tool
// reads them back (the POSIX speed functions know no other); the custom-rate
// form is only for the rest.
tcflag_t RateCode(std::uint32_t baud) {
  static constexpr struct {
    std::uint32_t baud;
    tcflag_t code;
  } kCodes[] = {{50, B50},           {75, B75},           {110, B110},         {134, B134},
                {150, B150},         {200, B200},         {300, B300},         {600, B600},
                {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
                {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
                {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
                {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
                {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
                {3500000, B3500000}, {4000000, B4000000}};
  for (const auto &c : kCodes)
    if (c.baud == baud)
      return c.code;
  return BOTHER;
}

} // namespace

int Ioctl(int fd, unsigned long request, void *arg) {
  return Retried(fd, request, arg);
}

int ApplyLineSettings(int fd, const LineSettings &s) {
  struct termios2 t {};
  if (int err = Ioctl(fd, TCGETS2, &t))
    return err;
  t.c_iflag = INPCK | PARMRK;
  t.c_oflag = 0;
  t.c_lflag = 0;
  const tcflag_t rate = RateCode(s.baud);
  t.c_cflag = SizeFlag(s.dataBits) | CREAD | CLOCAL | rate | (rate << IBSHIFT);
  switch (s.parity) {
  case 'E':
    t.c_cflag |= PARENB;
    break;
  case 'O':
    t.c_cflag |= PARENB | PARODD;
    break;
  case 'M':
    t.c_cflag |= PARENB | CMSPAR | PARODD;
    break;
  case 'S':
    t.c_cflag |= PARENB | CMSPAR;
    break;
  default:
    break;
  }
  if (s.stopBits == 2)
    t.c_cflag |= CSTOPB;
  t.c_ispeed = s.baud;
  t.c_ospeed = s.baud;
  for (auto &cc : t.c_cc)
    cc = 0;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return Ioctl(fd, TCSETS2, &t);
}

int ReadLineSettings(int fd, LineSettings &s) {
  struct termios2 t {};
  if (int err = Ioctl(fd, TCGETS2, &t))
    return err;
  s.baud = t.c_ospeed;
  switch (t.c_cflag & CSIZE) {
  case CS5:
    s.dataBits = 5;
    break;
  case CS6:
    s.dataBits = 6;
    break;
  case CS7:
    s.dataBits = 7;
    break;
  default:
    s.dataBits = 8;
    break;
  }
  if (!(t.c_cflag & PARENB))
    s.parity = 'N';
  else if (t.c_cflag & CMSPAR)
    s.parity = (t.c_cflag & PARODD) ? 'M' : 'S';
  else
    s.parity = (t.c_cflag & PARODD) ? 'O' : 'E';
  s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
  return 0;
}

static_assert(sizeof(termios2) <= sizeof(SavedTermios::bytes));

int SaveTermios(int fd, SavedTermios &saved) {
  struct termios2 t {};
  if (int err = Ioctl(fd, TCGETS2, &t))
    return err;
  std::memcpy(saved.bytes, &t, sizeof t);
  return 0;
}

int RestoreTermios(int fd, const SavedTermios &saved) {
  struct termios2 t {};
  std::memcpy(&t, saved.bytes, sizeof t);
  return Ioctl(fd, TCSETS2, &t);
}

int FlushInput(int fd) {
  return Retried(fd, TCFLSH, TCIFLUSH);
}

int FlushOutput(int fd) {
  return Retried(fd, TCFLSH, TCOFLUSH);
}

} // namespace kestrel::serial
