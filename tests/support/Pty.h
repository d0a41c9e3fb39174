// A pseudo-terminal pair for tests of the serial layer: the program opens the
// slave by its path as it would a serial device; the test plays the far end
// on the master. Where the system gives no pseudo-terminal, Ok() is false and
// the test skips itself.
#pragma once

#include <chrono>
#include <string>

namespace kestrel::test {

class Pty {
public:
  Pty();
  ~Pty();
  Pty(const Pty &) = delete;
  Pty &operator=(const Pty &) = delete;

  bool Ok() const { return master_ >= 0; }
  int Master() const { return master_; }
  const std::string &SlavePath() const { return slave_; }
  // Writes all of bytes to the master, waiting for room as needed.
  bool Write(const std::string &bytes);
  // Reads from the master until n bytes came or the time ran out.
  std::string Read(std::size_t n, std::chrono::milliseconds within = std::chrono::seconds(5));
  // The far end hangs up: the master is closed.
  void Close();

private:
  int master_ = -1;
  std::string slave_;
};

} // namespace kestrel::test
