// What counts as an existing file, where settings go, opening a web address,
// Val, and the POSIX file routines.
#include "FakeControls.h"
#include "PosixFile.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "Val.h"
#include "modShell.h"
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
using namespace kestrel;
TEST(SystemRoutines, AFileExistsWhenItCanBeReadAndIsNoFolder) {
  test::TempDir dir;
  test::WriteFile(dir.File("plain"), "");
  EXPECT_FALSE(FileExists(dir.File("none")));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(FileExists(dir.File("plain")));
  EXPECT_EQ(ApplicationFolder() + "/common_tests", ExecutablePath()); // none chosen
}
// A FIFO (standing in for a device node, where an open raises the lines) is
// present without being opened: the watch sees no open.
TEST(SystemRoutines, AFileThatIsNoRegularFileIsNeverOpenedToTestIt) {
  test::TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, fifo.c_str(), IN_OPEN), 0);
  EXPECT_TRUE(FileExists(fifo));
  char events[256];
  EXPECT_EQ(::read(watch, events, sizeof events), -1) << "the FIFO was opened";
  ::close(watch);
}
// Settings go beside the program only in a build or portable folder: one the
// user owns and may write in, no system folder, no installation's bin folder;
// else in the user's folder, which is made.
TEST(SystemRoutines, SettingsGoBesideTheProgramOnlyInAPortableFolder) {
  test::TempDir dir;
  const std::string user = dir.File("cfg/kestrel-terminal");
  const std::string other = dir.File("other");
  test::WriteFile(dir.File("plain"), "");
  for (const char *folder : {"inst/bin", "inst/share", "portable/bin", "other"})
    std::filesystem::create_directories(dir.File(folder));
  const bool root = ::geteuid() == 0;
  ASSERT_TRUE(!root || ::chown(other.c_str(), 65534, 65534) == 0);
  const struct {
    const char *name;
    std::string program;
    bool beside;
  } rows[] = {
      {"build folder", dir.Path(), true},
      {"portable bin folder", dir.File("portable/bin"), true},
      {"below a file", dir.File("plain/bin"), false},
      {"installation's bin folder", dir.File("inst/bin"), false},
      {"not the user's", root ? other : "/", false},
      {"/usr", "/usr", false},
      {"/usr/bin", "/usr/bin", false},
      {"/usr/local/bin", "/usr/local/bin", false},
      {"/bin", "/bin", false},
      {"/etc", "/etc", false},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ChooseSettingsFolder(row.program, user), row.beside ? row.program : user);
  }
  EXPECT_TRUE(std::filesystem::is_directory(user));
  EXPECT_TRUE(std::filesystem::is_empty(other));
}
TEST(SystemRoutines, TheUserFolderFollowsAnAbsoluteConfigurationHome) {
  ::setenv("HOME", "/home/ann", 1);
  ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(UserSettingsFolder(), "/tmp/cfg/kestrel-terminal");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(UserSettingsFolder(), "/home/ann/.config/kestrel-terminal");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(UserSettingsFolder(), "/home/ann/.config/kestrel-terminal");
}
TEST(modShell, AnEmptyAddressOpensNothingAndAFailedOpenIsNoError) {
  test::FakeShell shell;
  shell.result = false;
  ShellOpen(shell, "");
  ShellOpen(shell, "https://example.org");
  EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org"});
}
// As BASIC reads a leading number.
TEST(Val, ReadsTheLeadingNumber) {
  const struct {
    const char *text;
    double value;
  } rows[] = {
      {"0", 0},    {"", 0},     {"-5", -5},    {"100", 100}, {"100abc", 100}, {"  7 ", 7},
      {"\t7", 7},  {"COM3", 0}, {"1e3", 1000}, {"2D2", 200}, {"1e", 1},       {"2.5.1", 2.5},
      {"+12", 12}, {".5", 0.5}, {"-", 0},      {"1e999", 0},
  };
  for (const auto &row : rows)
    EXPECT_DOUBLE_EQ(Val(row.text), row.value) << '"' << row.text << '"';
}
TEST(PosixFile, PathPartsAndTheFolderToOpen) {
  const struct {
    const char *path;
    const char *folder;
    const char *name;
    const char *folderToOpen;
  } rows[] = {
      {"/data/Serial.ini", "/data", "Serial.ini", "/data"},
      {"/Serial.ini", "", "Serial.ini", "/"},
      {"Serial.ini", "", "Serial.ini", "."},
      {"a/b/", "a/b", "", "a/b"},
      {"", "", "", "."},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.path);
    const PathParts parts = SplitPath(row.path);
    EXPECT_EQ(parts.folder, row.folder);
    EXPECT_EQ(parts.name, row.name);
    EXPECT_EQ(FolderOf(row.path), row.folderToOpen);
  }
}
// Only a regular file is opened; anything else is refused before it is
// opened, so a FIFO without a writer cannot hang the open.
TEST(PosixFile, OnlyARegularFileIsOpened) {
  test::TempDir dir;
  test::WriteFile(dir.File("plain"), "12345");
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  const struct {
    const char *name;
    std::string path;
    bool opened;
    int error;
    FileType type;
  } rows[] = {
      {"a regular file", dir.File("plain"), true, 0, FileType::Regular},
      {"a missing file", dir.File("none"), false, ENOENT, FileType::Regular},
      {"a folder", dir.Path(), false, 0, FileType::Folder},
      {"a FIFO", dir.File("fifo"), false, 0, FileType::Special},
      {"a device", "/dev/null", false, 0, FileType::Special},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    const OpenedFile file = OpenRegularFile(row.path, O_RDONLY);
    EXPECT_EQ(file.fd >= 0, row.opened);
    EXPECT_EQ(file.error, row.error);
    EXPECT_EQ(file.type, row.type);
    if (file.fd >= 0) {
      EXPECT_EQ(file.size, 5u);
      ::close(file.fd);
    }
  }
}
TEST(PosixFile, WriteAllWritesEverythingOrSaysWhyNot) {
  test::TempDir dir;
  const OpenedFile file = OpenRegularFile(dir.File("out"), O_WRONLY | O_CREAT);
  ASSERT_GE(file.fd, 0);
  const std::string big(1 << 20, 'w');
  EXPECT_EQ(WriteAll(file.fd, big), 0);
  ::close(file.fd);
  EXPECT_EQ(test::ReadFile(dir.File("out")), big);
  EXPECT_EQ(WriteAll(-1, "x"), EBADF);
}
TEST(PosixFile, TheWakeEventIsReadableFromSignalToDrain) {
  WakeEvent wake;
  ASSERT_GE(wake.Fd(), 0);
  EXPECT_EQ(wake.Error(), 0);
  auto readable = [&] {
    pollfd p{wake.Fd(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
  };
  EXPECT_FALSE(readable());
  wake.Signal();
  wake.Signal();
  EXPECT_TRUE(readable());
  wake.Drain();
  EXPECT_FALSE(readable());
}
