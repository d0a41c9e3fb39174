// A check run in a forked child, so that what it changes (its user, its limits, its session)
// ends with it, and a child that holds a device open; the serial, log and settings suites use them.
#pragma once
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <type_traits>
#include <unistd.h>
namespace kestrel::test {
// The child's exit status, which is what check returned; -1 when it did not exit.
inline int InChild(const std::function<int()> &check) {
  const pid_t pid = ::fork();
  if (pid == 0)
    ::_exit(check());
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                           : -1;
}
// What check returned in a forked child; none when the child did not finish.
inline std::optional<std::string> OutputOfChild(const std::function<std::string()> &check) {
  int fds[2];
  if (::pipe(fds) != 0)
    return std::nullopt;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const std::string text = check();
    const bool sent =
        ::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::_exit(sent ? 0 : 1);
  }
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  const bool finished =
      pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return finished ? std::optional(text) : std::nullopt;
}
// The text check returned in a forked child (the names of the checks that failed, say);
// "the child did not finish" when it did not.
inline std::string TextFromChild(const std::function<std::string()> &check) {
  return OutputOfChild(check).value_or("the child did not finish");
}
// The value check returned in a forked child, copied back byte for byte; none when the child
// did not finish.
template <typename T> std::optional<T> ValueFromChild(const std::function<T()> &check) {
  static_assert(std::is_trivially_copyable_v<T>);
  const auto bytes = OutputOfChild([&] {
    const T value = check();
    return std::string(reinterpret_cast<const char *>(&value), sizeof value);
  });
  if (!bytes || bytes->size() != sizeof(T))
    return std::nullopt;
  T value;
  std::memcpy(&value, bytes->data(), sizeof value);
  return value;
}
// Another process holding a device open until the end of the scope: as its controlling
// terminal (a shell's), or as a plain open file (the far end that made a pseudo-terminal).
class HolderProcess {
public:
  HolderProcess(const std::string &device, bool asTerminal) {
    int ready[2];
    if (::pipe(ready) != 0)
      return;
    mPid = ::fork();
    if (mPid == 0) {
      // It holds the device alone: nothing of the test's (a lock, another port) lives on in it.
      (void)::close_range(3, static_cast<unsigned>(ready[1]) - 1, 0);
      (void)::close_range(static_cast<unsigned>(ready[1]) + 1, ~0U, 0);
      // A session leader opening a terminal without O_NOCTTY makes it its own.
      const bool own = asTerminal && ::setsid() >= 0;
      const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | (own ? 0 : O_NOCTTY));
      (void)!::write(ready[1], fd >= 0 ? "y" : "n", 1);
      ::pause();
      ::_exit(0);
    }
    char told = 0;
    mHolding = mPid > 0 && ::read(ready[0], &told, 1) == 1 && told == 'y';
    ::close(ready[0]);
    ::close(ready[1]);
  }
  HolderProcess(const HolderProcess &) = delete;
  HolderProcess &operator=(const HolderProcess &) = delete;
  ~HolderProcess() {
    if (mPid > 0) {
      ::kill(mPid, SIGKILL);
      ::waitpid(mPid, nullptr, 0);
    }
  }
  // Whether the child has the device open.
  bool Holding() const { return mHolding; }

private:
  pid_t mPid = -1;
  bool mHolding = false;
};
// Gives up root for uid and gid 65534 for good; false where that cannot be done.
inline bool AsNobody() {
  return ::setresgid(65534, 65534, 65534) == 0 && ::setresuid(65534, 65534, 65534) == 0;
}
} // namespace kestrel::test
