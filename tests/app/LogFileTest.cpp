// Choosing the log file, switching logging and writing its lines.
#include "TerminalFixture.h"

#include "SystemRoutines.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrel::test {
namespace {

const std::string kStamp = "2026/12/05 03:46:54\t";
const std::string kStarted = kStamp + "*** Logging Started ***\r\n";

TEST_F(TerminalTest, ChooserIsSetUpAndACancelChangesNothing) {
  Load();
  ClickLog(true);
  EXPECT_EQ(t->cdlgTop.shows, 1);
  EXPECT_EQ(t->cdlgTop.defaultExt, "txt");
  EXPECT_EQ(t->cdlgTop.title, "Log Files");
  EXPECT_EQ(t->cdlgTop.filter, "Log Files (*.txt)|*.txt|All File (*.*)|*.*");
  EXPECT_EQ(t->cdlgTop.initDir, dir.Path());
  EXPECT_TRUE(t->chkLogEnabled.Value());
  EXPECT_FALSE(t->frm.LogEnabled());
  EXPECT_EQ(t->frm.LogFilePath(), "");
  EXPECT_EQ(t->chkLogEnabled.Caption(), "Log To: ");

  // Clearing the box with no file chosen asks for one as well.
  ClickLog(false);
  EXPECT_EQ(t->cdlgTop.shows, 2);
  EXPECT_EQ(t->chkLogEnabled.Caption(), "Log Disabled: ");
}

TEST_F(TerminalTest, TickingStartsLoggingAndEachTickAddsAStartLine) {
  Load();
  std::string path = dir.File("session.txt");
  t->cdlgTop.WillChoose(path);
  ClickLog(true);
  EXPECT_TRUE(t->frm.LogEnabled());
  EXPECT_EQ(t->chkLogEnabled.Caption(), "Log Enabled: " + path);
  EXPECT_EQ(ReadFile(path), kStarted);

  Receive("XY");
  t->clock.now.second = 58;
  Receive("Z\n");
  ClickLog(false);
  EXPECT_FALSE(t->frm.LogEnabled());
  EXPECT_EQ(t->chkLogEnabled.Caption(), "Log Disabled: " + path);
  Receive("unlogged\n");
  ClickLog(true);
  EXPECT_EQ(t->cdlgTop.shows, 1);
  EXPECT_EQ(ReadFile(path), kStarted + "2026/12/05 03:46:58\tXYZ\r\n" +
                                "2026/12/05 03:46:58\t*** Logging Started ***\r\n");
}

TEST_F(TerminalTest, ChoosingAnotherFileRedirectsAtOnceButKeepsTheCaption) {
  Load();
  t->cdlgTop.WillChoose(dir.File("a.txt"));
  ClickLog(true);
  t->cdlgTop.WillChoose(dir.File("b.txt"));
  t->frm.mnuFileLogFile_Click();
  Receive("one\n");
  EXPECT_EQ(t->chkLogEnabled.Caption(), "Log Enabled: " + dir.File("a.txt"));
  EXPECT_EQ(ReadFile(dir.File("a.txt")), kStarted);
  EXPECT_EQ(ReadFile(dir.File("b.txt")), kStamp + "one\r\n");
  t->cdlgTop.WillCancel();
  t->frm.mnuFileLogFile_Click();
  EXPECT_EQ(t->frm.LogFilePath(), dir.File("b.txt"));
}

TEST_F(TerminalTest, LoggingOffKeepsTheCollectedPartOfTheLine) {
  Load();
  t->cdlgTop.WillChoose(dir.File("log.txt"));
  ClickLog(true);
  Receive("ab\x01");
  ClickLog(false);
  Receive("cd\x02");
  ClickLog(true);
  Receive("ef\n");
  EXPECT_EQ(ReadFile(dir.File("log.txt")), kStarted + kStarted + kStamp + "ab <0x1> <0x2>ef\r\n");
}

TEST_F(TerminalTest, UpdateLogCheckCaptionStartsLoggingWithoutTouchingTheBox) {
  Load();
  t->frm.UpdateLogCheckCaption();
  EXPECT_FALSE(t->frm.LogEnabled());
  t->cdlgTop.WillChoose(dir.File("log.txt"));
  t->frm.mnuFileLogFile_Click();
  t->frm.UpdateLogCheckCaption();
  EXPECT_TRUE(t->frm.LogEnabled());
  EXPECT_FALSE(t->chkLogEnabled.Value());
  EXPECT_EQ(t->chkLogEnabled.Caption(), "Log Enabled: " + dir.File("log.txt"));
  EXPECT_EQ(ReadFile(dir.File("log.txt")), kStarted);
}

TEST_F(TerminalTest, LogFileWriteFormsAndAppendsOneLinePerCall) {
  Load();
  std::string path = dir.File("direct.txt");
  t->frm.LogFileWrite("", "nothing", true);
  t->frm.LogFileWrite(path, std::string(600, 'w'), true);
  t->frm.LogFileWrite(path, "plain", false);
  EXPECT_EQ(ReadFile(path), kStamp + std::string(600, 'w') + "\r\n\t\tplain\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

struct FailureCase {
  const char *name;
  const char *path; // in the test's folder, or absolute
  const char *detail;
};

void PrintTo(const FailureCase &c, std::ostream *os) {
  *os << c.name;
}

class LogWriteFailure : public TerminalTest, public testing::WithParamInterface<FailureCase> {};

// The failure is met either at the start line or in the middle of received
// data; either way one message, logging off, and the display goes on.
TEST_P(LogWriteFailure, SaysSoOnceAndSwitchesLoggingOff) {
  Load();
  const std::string name = GetParam().path;
  const std::string path = name[0] == '/' ? name : dir.File(name);
  if (name == "gone/log.txt") {
    std::filesystem::create_directory(dir.File("gone"));
    t->cdlgTop.WillChoose(path);
    ClickLog(true);
    ASSERT_TRUE(t->messageBox.shown.empty());
    std::filesystem::remove_all(dir.File("gone"));
  } else {
    if (name == "fifo") {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    t->cdlgTop.WillChoose(path);
    ::alarm(20); // an open that waits for a reader would hang here for good
    ClickLog(true);
    ::alarm(0);
  }
  Receive("one\ntwo\nthree\n" + std::string(700, 'x'));

  ASSERT_EQ(t->messageBox.shown.size(), 1u);
  const auto &box = t->messageBox.shown[0];
  EXPECT_NE(box.text.find(path), std::string::npos);
  EXPECT_EQ(box.title, "kestrel-terminal - Log File");
  EXPECT_EQ(box.icon, MessageIcon::Exclamation);
  EXPECT_EQ(box.detail, GetParam().detail);
  EXPECT_FALSE(t->frm.LogEnabled());
  EXPECT_FALSE(t->chkLogEnabled.Value());
  EXPECT_EQ(t->chkLogEnabled.Caption(), "Log Disabled: " + path);
  EXPECT_EQ(Shown(), "one\r\ntwo\r\nthree\r\n" + std::string(700, 'x'));
  EXPECT_FALSE(std::filesystem::exists(dir.File("gone")));
}

INSTANTIATE_TEST_SUITE_P(
    Log, LogWriteFailure,
    testing::Values(FailureCase{"MissingFolder", "gone/log.txt", "No such file or directory"},
                    FailureCase{"FifoWithoutReader", "fifo", "it is a FIFO or device, not a file"},
                    FailureCase{"Device", "/dev/full", "it is a FIFO or device, not a file"},
                    FailureCase{"Folder", "/", "Is a directory"}),
    [](const auto &info) { return std::string(info.param.name); });

// A disk that fills up in the middle of a line: the part written is cut off
// again, so the file keeps whole lines only and the next start line begins
// a line of its own. The file size limit stands in for the full disk.
TEST_F(TerminalTest, ALineThatDoesNotFitIsCutOffAndTheFileStaysWhole) {
  Load();
  const std::string path = dir.File("full.txt");
  t->cdlgTop.WillChoose(path);
  ClickLog(true);
  const std::string before = ReadFile(path);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{before.size() + 30, before.size() + 30};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    Receive(std::string(100, 'y') + "\n");
    const bool told = t->messageBox.shown.size() == 1 && !t->frm.LogEnabled() &&
                      t->messageBox.shown[0].detail == SystemErrorText(EFBIG);
    ::_exit(told ? 0 : 1);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(path), before);
  ClickLog(true);
  EXPECT_EQ(ReadFile(path), before + kStarted);
}

TEST_F(TerminalTest, LogFailureWhileTheMessageIsOpenIsNotReportedAgain) {
  Load();
  t->cdlgTop.WillChoose("/dev/full");
  t->messageBox.onShow = [this] {
    t->frm.LogFileWrite("/dev/full", "again", true);
    Receive("during\n");
  };
  ClickLog(true);
  EXPECT_EQ(t->messageBox.shown.size(), 1u);
  EXPECT_EQ(Shown(), "during\r\n");
}

} // namespace
} // namespace kestrel::test
