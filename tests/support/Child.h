// A check run in a forked child, so that what it changes (its user, its limits, its session)
// ends with it; the serial, log and settings suites use it.
#pragma once
#include <functional>
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
// Gives up root for uid and gid 65534 for good; false where that cannot be done.
inline bool AsNobody() {
  return ::setresgid(65534, 65534, 65534) == 0 && ::setresuid(65534, 65534, 65534) == 0;
}
} // namespace kestrel::test
