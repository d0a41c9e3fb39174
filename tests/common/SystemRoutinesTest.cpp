#include "SystemRoutines.h"
#include "FakeControls.h"
#include "TempDir.h"
#include "modShell.h"

#include <filesystem>
#include <gtest/gtest.h>

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
                                           ValCase{".5", 0.5}, ValCase{"-", 0},
                                           ValCase{"1e999", 0}));

} // namespace
} // namespace kestrel

namespace kestrel {
namespace {

TEST(ChooseSettingsFolder, KeepsAWritableProgramFolderAndElseUsesTheUsersFolder) {
  test::TempDir dir;
  EXPECT_EQ(ChooseSettingsFolder(dir.Path(), dir.File("cfg/kestrel-terminal")), dir.Path());
  // A folder nobody can write in: a path below a regular file.
  test::WriteFile(dir.File("plain"), "");
  std::string user = dir.File("cfg/kestrel-terminal");
  EXPECT_EQ(ChooseSettingsFolder(dir.File("plain/bin"), user), user);
  EXPECT_TRUE(std::filesystem::is_directory(user));
}

} // namespace
} // namespace kestrel
