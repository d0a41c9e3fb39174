#include "Pty.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace kestrel::test {

Pty::Pty() {
  int master = -1, slave = -1;
  char name[256] = {};
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
    return;
  // The master side passes bytes through untouched.
  termios t{};
  if (::tcgetattr(master, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
  }
  ::close(slave);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  master_ = master;
  slave_ = name;
}

Pty::~Pty() {
  Close();
}

void Pty::Close() {
  if (master_ >= 0)
    ::close(master_);
  master_ = -1;
}

bool Pty::Write(const std::string &bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{master_, POLLOUT, 0};
      if (::poll(&p, 1, 5000) <= 0)
        return false;
    } else {
      return false;
    }
  }
  return true;
}

std::string Pty::Read(std::size_t n, std::chrono::milliseconds within) {
  std::string out;
  auto until = std::chrono::steady_clock::now() + within;
  char buf[65536];
  while (out.size() < n) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      break;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
      break;
    ssize_t got = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
    if (got > 0)
      out.append(buf, static_cast<std::size_t>(got));
    else if (got == 0 || (errno != EAGAIN && errno != EINTR))
      break;
  }
  return out;
}

} // namespace kestrel::test
