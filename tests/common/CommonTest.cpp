// What counts as an existing file, where settings go, opening a web address, and Val.
#include "FakeControls.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "Val.h"
#include "modShell.h"
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>
using namespace kestrel;
// Settings go beside the program only in a build or portable folder: one the user owns and may
// write in, no system folder, no installation's bin folder; else in the user's folder, made.
TEST(SystemRoutines, FilesSettingsFolderShellAndVal) {
  test::TempDir dir;
  const std::string user = dir.File("cfg/kestrel-terminal"), other = dir.File("other");
  test::WriteFile(dir.File("plain"), "");
  EXPECT_FALSE(FileExists(dir.File("none")) || FileExists(dir.Path()) || FileExists(""));
  EXPECT_TRUE(FileExists(dir.File("plain")));
  EXPECT_EQ(ApplicationFolder() + "/common_tests", ExecutablePath()); // none chosen
  for (const char *folder : {"inst/bin", "inst/share", "portable/bin", "other"})
    std::filesystem::create_directories(dir.File(folder));
  const bool root = ::geteuid() == 0;
  ASSERT_TRUE(!root || ::chown(other.c_str(), 65534, 65534) == 0);
  // clang-format off
  for (const auto &[program, beside] : std::vector<std::pair<std::string, bool>>{{dir.Path(), true},
           {dir.File("portable/bin"), true}, {dir.File("plain/bin"), false},
           {dir.File("inst/bin"), false}, {root ? other : "/", false}, {"/usr", false},
           {"/usr/bin", false}, {"/usr/local/bin", false}, {"/bin", false}, {"/etc", false}})
    EXPECT_EQ(ChooseSettingsFolder(program, user), beside ? program : user) << program;
  for (const auto &[text, value] : std::vector<std::pair<const char *, double>>{{"0", 0}, {"", 0},
           {"-5", -5}, {"100", 100}, {"100abc", 100}, {"  7 ", 7}, {"\t7", 7}, {"COM3", 0},
           {"1e3", 1000}, {"2D2", 200}, {"1e", 1}, {"2.5.1", 2.5}, {"+12", 12}, {".5", 0.5},
           {"-", 0}, {"1e999", 0}})
    EXPECT_DOUBLE_EQ(Val(text), value) << '"' << text << '"'; // as BASIC reads a leading number
  // clang-format on
  EXPECT_TRUE(std::filesystem::is_directory(user) && std::filesystem::is_empty(other));
  test::FakeShell shell;
  shell.result = false; // a browser that will not start is no error
  ShellOpen(shell, "");
  ShellOpen(shell, "https://example.org");
  EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org"});
  ::setenv("HOME", "/home/ann", 1);
  std::string seen;
  for (const char *config : {"/tmp/cfg", "relative", static_cast<const char *>(nullptr)}) {
    config ? ::setenv("XDG_CONFIG_HOME", config, 1) : ::unsetenv("XDG_CONFIG_HOME");
    seen += UserSettingsFolder() + " "; // a relative configuration home is ignored
  }
  EXPECT_EQ(seen, "/tmp/cfg/kestrel-terminal /home/ann/.config/kestrel-terminal "
                  "/home/ann/.config/kestrel-terminal ");
}
