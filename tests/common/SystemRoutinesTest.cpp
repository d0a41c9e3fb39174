#include "SystemRoutines.h"
#include "FakeControls.h"
#include "TempDir.h"
#include "modShell.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrel {
namespace {

TEST(FileExists, CountsOnlyFilesThatOpenForReading) {
  test::TempDir dir;
  test::WriteFile(dir.File("a.txt"), "x");
  EXPECT_TRUE(FileExists(dir.File("a.txt")));
  EXPECT_FALSE(FileExists(dir.File("missing.txt")));
  EXPECT_FALSE(FileExists(dir.Path())); // a folder is no file
  EXPECT_FALSE(FileExists(""));
}

TEST(ApplicationFolder, IsTheExecutablesFolderUntilOneIsChosen) {
  EXPECT_EQ(ApplicationFolder(), ExecutableFolder());
  ApplicationFolder("/somewhere/else");
  EXPECT_EQ(ApplicationFolder(), "/somewhere/else");
  ApplicationFolder("");
  EXPECT_EQ(ApplicationFolder(), ExecutableFolder());
  EXPECT_NE(ExecutablePath().find("common_tests"), std::string::npos);
}

TEST(ShellOpen, PassesTheTargetAndIgnoresAnEmptyOneOrAFailure) {
  test::FakeShell shell;
  ShellOpen(shell, "");
  EXPECT_TRUE(shell.opened.empty());
  shell.result = false;
  ShellOpen(shell, "https://example.org");
  EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org"});
}

} // namespace
} // namespace kestrel

#include "Val.h"

namespace kestrel {
namespace {

struct ValCase {
  const char *text;
  double value;
};
void PrintTo(const ValCase &c, std::ostream *os) {
  *os << '"' << c.text << '"';
}
class ValReadsTheLeadingNumber : public ::testing::TestWithParam<ValCase> {};
TEST_P(ValReadsTheLeadingNumber, AsBasicDoes) {
  EXPECT_DOUBLE_EQ(Val(GetParam().text), GetParam().value) << GetParam().text;
}
INSTANTIATE_TEST_SUITE_P(Texts, ValReadsTheLeadingNumber,
                         ::testing::Values(ValCase{"0", 0}, ValCase{"", 0}, ValCase{"-5", -5},
                                           ValCase{"100", 100}, ValCase{"100abc", 100},
                                           ValCase{"  7 ", 7}, ValCase{"COM3", 0},
                                           ValCase{"1e3", 1000}, ValCase{"1e", 1},
                                           ValCase{"2.5.1", 2.5}, ValCase{"+12", 12},
                                           ValCase{".5", 0.5}, ValCase{"-", 0}, ValCase{"1e999", 0},
                                           ValCase{"\t7", 7}, ValCase{"2D2", 200}));

} // namespace
} // namespace kestrel

namespace kestrel {
namespace {

// Settings go beside the program only in a build or portable folder: one the
// user owns and may write in, no system folder, no installation's bin folder.
TEST(ChooseSettingsFolder, BesideTheProgramOnlyInAFolderTheUserOwns) {
  test::TempDir dir;
  const std::string user = dir.File("cfg/kestrel-terminal");
  test::WriteFile(dir.File("plain"), "");
  std::filesystem::create_directories(dir.File("inst/bin"));
  std::filesystem::create_directories(dir.File("inst/share"));
  std::filesystem::create_directories(dir.File("portable/bin"));
  std::filesystem::create_directories(dir.File("other"));
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(dir.File("other").c_str(), 65534, 65534), 0);
  }
  const struct {
    std::string program;
    bool beside;
  } cases[] = {{dir.Path(), true},
               {dir.File("portable/bin"), true},
               {dir.File("plain/bin"), false}, // cannot be written in
               {dir.File("inst/bin"), false},  // an installation, as in /usr/local
               {root ? dir.File("other") : std::string("/"), false},
               {"/usr/bin", false},
               {"/usr/local/bin", false},
               {"/bin", false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.program);
    EXPECT_EQ(ChooseSettingsFolder(c.program, user), c.beside ? c.program : user);
  }
  EXPECT_TRUE(std::filesystem::is_directory(user));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("other")), {}), 0);
}

TEST(UserSettingsFolder, FollowsTheConfigurationHomeOrElseHome) {
  const char *xdg = std::getenv("XDG_CONFIG_HOME");
  const char *home = std::getenv("HOME");
  const std::string savedXdg = xdg ? xdg : "", savedHome = home ? home : "";
  ::setenv("HOME", "/home/ann", 1);
  ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(UserSettingsFolder(), "/tmp/cfg/kestrel-terminal");
  ::setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
  EXPECT_EQ(UserSettingsFolder(), "/home/ann/.config/kestrel-terminal");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(UserSettingsFolder(), "/home/ann/.config/kestrel-terminal");
  xdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  home ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

} // namespace
} // namespace kestrel
