// Choosing the log file, switching logging, writing its lines, and every way
// the write can fail: one message, logging off, the display and file whole.
#include "Child.h"
#include "SystemRoutines.h"
#include "TerminalFixture.h"
#include <cerrno>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
namespace kestrel::test {
const std::string kStarted = "2026/12/05 03:46:54\t*** Logging Started ***\r\n";
// The log box's tick and caption, whether logging is on, and the file chosen.
struct LogView {
  bool ticked = false;
  std::string caption;
  bool logging = false;
  std::string file;
  bool operator==(const LogView &) const = default;
};
std::ostream &operator<<(std::ostream &out, const LogView &v) {
  return out << "{" << (v.ticked ? "ticked" : "clear") << ", caption \"" << v.caption << "\", "
             << (v.logging ? "logging" : "not logging") << ", file \"" << v.file << "\"}";
}
class LogTest : public TerminalTest {
protected:
  LogView Log() const {
    return {t->chkLogEnabled.Value(), t->chkLogEnabled.Caption(), t->frm.LogEnabled(),
            t->frm.LogFilePath()};
  }
  std::vector<Box> LogFailure(const std::string &path, const std::string &detail) const {
    return {{"Unable to write to the log file " + path + ". Logging has been switched off.",
             "kestrel-terminal - Log File", MessageIcon::Exclamation, detail}};
  }
};
// A cancel changes nothing; with no file chosen clearing the box asks too. Each
// tick (or UpdateLogCheckCaption, box untouched) writes a start line; while
// logging is off nothing is logged, and a tick mid-line logs that whole line.
// Another file chosen takes the next line at once, the caption staying.
TEST_F(LogTest, ChoosingTheFileAndSwitchingLogging) {
  Load();
  const std::string a = dir.File("a.txt"), b = dir.File("b.txt"), at58 = "2026/12/05 03:46:58\t";
  const FakeFileChooser &c = t->cdlgTop;
  ClickLog(true); // the chooser, given no answer, is cancelled
  EXPECT_EQ(c.defaultExt, "txt");
  EXPECT_EQ(c.title, "Log Files");
  EXPECT_EQ(c.filter, "Log Files (*.txt)|*.txt|All File (*.*)|*.*");
  EXPECT_EQ(c.initDir, dir.Path());
  EXPECT_EQ(Log(), (LogView{true, "Log To: ", false, ""}));
  ClickLog(false);
  t->frm.UpdateLogCheckCaption();
  EXPECT_EQ(Log(), (LogView{false, "Log Disabled: ", false, ""}));
  EXPECT_EQ(c.shows, 2);
  t->cdlgTop.WillChoose(a);
  t->frm.mnuFileLogFile_Click();
  t->frm.UpdateLogCheckCaption();
  EXPECT_EQ(Log(), (LogView{false, "Log Enabled: " + a, true, a}));
  Receive("XY\x01");
  t->clock.now.second = 58;
  Receive("Z\nab\x01");
  ClickLog(false);
  EXPECT_EQ(Log(), (LogView{false, "Log Disabled: " + a, false, a}));
  Receive("unlogged\ncd\x02");
  ClickLog(true);
  Receive("ef\n");
  t->cdlgTop.WillChoose(b);
  t->frm.mnuFileLogFile_Click();
  Receive("one\n");
  t->cdlgTop.WillCancel();
  t->frm.mnuFileLogFile_Click();
  t->cdlgTop.WillChoose(""); // a chooser that answers with no name
  t->frm.mnuFileLogFile_Click();
  EXPECT_EQ(Log(), (LogView{true, "Log Enabled: " + a, true, b}));
  EXPECT_EQ(c.shows, 6);
  t->frm.LogFileWrite("", "nothing", true);
  t->frm.LogFileWrite(b, "plain", false);
  EXPECT_EQ(ReadFile(a), kStarted + at58 + "XY <0x1>Z\r\n" + at58 + "*** Logging Started ***\r\n" +
                             at58 + "cd <0x2>ef\r\n");
  EXPECT_EQ(ReadFile(b), at58 + "one\r\n\t\tplain\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3); // a, b, ini
}
// Switched off and on again: what is logged next is the line the display
// shows, with nothing of the lines that ended unlogged in between.
TEST_F(LogTest, ALineLoggedAfterASwitchIsTheLineShown) {
  const struct {
    const char *name;
    std::string beforeOff, whileOff, afterOn;
    std::vector<std::string> logged;
  } rows[] = {
      {"codes of lines that ended unlogged",
       "",
       "id\t1\r\nid\t2\r\n",
       "c\r\n",
       {"*** Logging Started ***", "c"}},
      {"coloured lines that ended unlogged",
       "",
       "\x1b[32mI boot\x1b[0m\r\n",
       "\x1b[32mI up\x1b[0m\r\n",
       {"*** Logging Started ***", " <0x1B>[32mI up <0x1B>[0m"}},
      {"half a line logged before the switch",
       "abc",
       "def\r\nghi\r\n",
       "jkl\r\n",
       {"*** Logging Started ***", "jkl"}},
      {"switched on mid-line", "", "gh\x01", "i\r\n", {"*** Logging Started ***", "gh <0x1>i"}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    t = std::make_unique<Terminal>();
    Load();
    const std::string path = LogTo(std::string(row.name) + ".txt");
    Receive(row.beforeOff);
    ClickLog(false);
    Receive(row.whileOff);
    std::filesystem::remove(path); // the lines logged so far are not in question
    ClickLog(true);
    Receive(row.afterOn);
    std::vector<std::string> logged;
    const std::string text = ReadFile(path);
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t tab = text.find('\t', at), end = text.find("\r\n", at);
      logged.push_back(text.substr(tab + 1, end - tab - 1));
      at = end + 2;
    }
    EXPECT_EQ(logged, row.logged);
  }
}
// At the start line or, the folder removed, amid received data; logging goes
// off before the message shows, so nothing while it is open reports again.
TEST_F(LogTest, LogWriteFailureSaysSoOnceAndSwitchesLoggingOff) {
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  const struct {
    const char *name;
    std::string path;
    const char *detail;
  } rows[] = {
      {"folder removed while logging", dir.File("gone/log.txt"), "No such file or directory"},
      {"a FIFO", dir.File("fifo"), "it is a FIFO or device, not a file"},
      {"a device", "/dev/full", "it is a FIFO or device, not a file"},
      {"a folder", "/", "Is a directory"},
  };
  for (const auto &[name, path, detail] : rows) {
    SCOPED_TRACE(name);
    t = std::make_unique<Terminal>();
    t->messageBox.onShow = [&, path = path] {
      t->frm.LogFileWrite(path, "again", true);
      Receive("during\n");
    };
    Load();
    std::filesystem::create_directory(dir.File("gone"));
    t->cdlgTop.WillChoose(path);
    ::alarm(20); // an open that waits for a reader would hang here for good
    ClickLog(true);
    ::alarm(0);
    const bool gone = path == dir.File("gone/log.txt");
    EXPECT_EQ(t->messageBox.shown.empty(), gone);
    std::filesystem::remove_all(dir.File("gone"));
    Receive("one\ntwo\nthree\n" + std::string(700, 'x'));
    EXPECT_EQ(Boxes(), LogFailure(path, detail));
    EXPECT_EQ(Log(), (LogView{false, "Log Disabled: " + path, false, path}));
    EXPECT_EQ(Shown(), std::string(gone ? "one\r\nduring\r\n" : "during\r\none\r\n") +
                           "two\r\nthree\r\n" + std::string(700, 'x'));
    EXPECT_FALSE(std::filesystem::exists(dir.File("gone")));
  }
}
// The failure's message box lets other events show text (a reconnect's status
// line comes from a timer, not the port); a line shown then has its prefix.
TEST_F(LogTest, ALineShownWhileTheFailureIsReportedHasItsTimePrefix) {
  Load();
  t->frm.mnuOptionAddTime_Click();
  std::filesystem::create_directory(dir.File("gone"));
  LogTo("gone/log.txt");
  std::filesystem::remove_all(dir.File("gone"));
  t->messageBox.onShow = [&] { Receive("during\n"); };
  Receive("one\n");
  const std::string prefix = "2026/12/05 03:46:54 - ";
  EXPECT_EQ(Shown(), prefix + "one\r\n" + prefix + "during\r\n");
}
// A disk full mid-line (a file size limit in a child process, which would end
// the program were its signal not ignored): the part written is cut off again,
// so the file keeps whole lines only.
TEST_F(LogTest, ALineThatDoesNotFitIsCutOffAndTheFileStaysWhole) {
  Load();
  const std::string path = LogTo("full.txt"), before = ReadFile(path);
  // The child's exit code: 0 when logging went off and the box named the
  // error, 1 when logging stayed on, 2 when the box was wrong or missing.
  EXPECT_EQ(InChild([&] {
              const rlimit limit{before.size() + 30, before.size() + 30};
              ::setrlimit(RLIMIT_FSIZE, &limit);
              Receive(std::string(100, 'y') + "\n");
              if (!(Log() == LogView{false, "Log Disabled: " + path, false, path}))
                return 1;
              if (!(Boxes() == LogFailure(path, SystemErrorText(EFBIG))))
                return 2;
              return 0;
            }),
            0);
  EXPECT_EQ(ReadFile(path), before);
  ClickLog(true);
  EXPECT_EQ(ReadFile(path), before + kStarted);
}
} // namespace kestrel::test
