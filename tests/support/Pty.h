// A pseudo-terminal pair: the program opens the slave as a serial device, the test is the far end.
#pragma once
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <unistd.h>
namespace kestrel::test {
class Pty {
  int mMaster = -1;
  std::string mSlave;

public:
  Pty() {
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
      return;      // Ok() stays false and the test skips itself
    termios raw{}; // the master side passes bytes through untouched
    if (::tcgetattr(master, &raw) == 0)
      ::cfmakeraw(&raw), ::tcsetattr(master, TCSANOW, &raw);
    ::close(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    mMaster = master;
    mSlave = name;
  }
  ~Pty() { Close(); }
  Pty(const Pty &) = delete;
  Pty &operator=(const Pty &) = delete;
  bool Ok() const { return mMaster >= 0; }
  int Master() const { return mMaster; }
  const std::string &SlavePath() const { return mSlave; }
  // Writes all of bytes, waiting up to 5 s at a time for room.
  bool Write(const std::string &bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(mMaster, bytes.data() + done, bytes.size() - done);
      pollfd p{mMaster, POLLOUT, 0};
      if (n > 0)
        done += static_cast<std::size_t>(n);
      else if (n == 0 || (errno != EAGAIN && errno != EINTR) || ::poll(&p, 1, 5000) <= 0)
        return false;
    }
    return true;
  }
  // Reads until n bytes came or the time ran out.
  std::string Read(std::size_t n, std::chrono::milliseconds within = std::chrono::seconds(5)) {
    using namespace std::chrono;
    std::string out;
    char buf[65536];
    for (const auto until = steady_clock::now() + within; out.size() < n;) {
      const auto left = duration_cast<milliseconds>(until - steady_clock::now()).count();
      pollfd p{mMaster, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
        break;
      const ssize_t got = ::read(mMaster, buf, std::min(sizeof buf, n - out.size()));
      if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
        break;
      out.append(buf, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    }
    return out;
  }
  void Close() { mMaster >= 0 ? ::close(mMaster) : 0, mMaster = -1; } // the far end hangs up
};
} // namespace kestrel::test
