// A log file another program appends to as well: when a line of ours does not fit, only what this
// program wrote is cut back, never the other program's line. The other program's write comes in
// the one moment it can matter: while the disk is full (a file size limit in a child process),
// from the signal that the failing write raises.
#include "Child.h"
#include "TerminalFixture.h"
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
namespace kestrel::test {
namespace {
const std::string kTheirs = "another program's line\n";
int gOther = -1;
rlim_t gLimit = 0;
// Lifts the limit for the other program's line alone, as if another process had written it.
void OtherProgramAppends(int) {
  const rlimit open{RLIM_INFINITY, RLIM_INFINITY}, full{gLimit, RLIM_INFINITY};
  ::setrlimit(RLIMIT_FSIZE, &open);
  (void)!::write(gOther, kTheirs.data(), kTheirs.size());
  ::setrlimit(RLIMIT_FSIZE, &full);
}
class LogSecondWriter : public TerminalTest {};
TEST_F(LogSecondWriter, AFailedLineCutsBackOnlyWhatThisProgramWrote) {
  struct Case {
    const char *name;
    std::size_t room;  // bytes of our line that fit before the disk is full
    std::string after; // what follows the file's earlier lines
  };
  const std::string ours = "2026/12/05 03:46:54\t" + std::string(100, 'y') + "\r\n";
  const Case cases[] = {
      {"none of our line fits", 0, kTheirs},
      {"part of our line fits", 30, ours.substr(0, 30) + kTheirs},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    t = std::make_unique<Terminal>();
    Load();
    const std::string path = LogTo(std::string(c.name) + ".txt"), before = ReadFile(path);
    EXPECT_EQ(InChild([&] {
                gOther = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
                gLimit = before.size() + c.room;
                ::signal(SIGXFSZ, OtherProgramAppends);
                const rlimit full{gLimit, RLIM_INFINITY};
                ::setrlimit(RLIMIT_FSIZE, &full);
                Receive(std::string(100, 'y') + "\n");
                return int(gOther < 0 || t->frm.LogEnabled() || t->messageBox.shown.size() != 1);
              }),
              0);
    EXPECT_EQ(ReadFile(path), before + c.after);
  }
}
} // namespace
} // namespace kestrel::test
