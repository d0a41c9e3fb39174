// A check run in a forked child, so that what it changes (its user, its limits, its session)
// ends with it; the serial, log and settings suites use it.
#pragma once
#include <functional>
#include <string>
#include <sys/wait.h>
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
// The text check returned in a forked child (the names of the checks that failed, say);
// "the child did not finish" when it did not.
inline std::string TextFromChild(const std::function<std::string()> &check) {
  int fds[2];
  if (::pipe(fds) != 0)
    return "no pipe to the child";
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
  return finished ? text : "the child did not finish";
}
// Gives up root for uid and gid 65534 for good; false where that cannot be done.
inline bool AsNobody() {
  return ::setresgid(65534, 65534, 65534) == 0 && ::setresuid(65534, 65534, 65534) == 0;
}
} // namespace kestrel::test
