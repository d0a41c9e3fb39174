#include "cINI.h"
#include "SystemRoutines.h"
#include "TempDir.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include <ostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrel {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

// An object on <application folder>/Serial.ini, section SerialPort, as the
// settings store uses it.
class cINIApp : public testing::Test {
protected:
  void SetUp() override {
    ApplicationFolder(dir.Path());
    ini.Command(cINI::INICommandAppPath);
    ini.FileName("Serial.ini");
    ini.Section("SerialPort");
  }
  void TearDown() override { ApplicationFolder(""); }
  TempDir dir;
  cINI ini;
};

TEST_F(cINIApp, CreatesTheFileEmptyInTheApplicationFolderAndDeletesIt) {
  EXPECT_TRUE(ini.Exists());
  EXPECT_EQ(ini.FilePath(), dir.Path());
  EXPECT_EQ(ini.FullPath(), dir.File("Serial.ini"));
  EXPECT_EQ(ReadFile(dir.File("Serial.ini")), "");
  EXPECT_EQ(ini.DataRetrieve("Port", "1"), "1");
  EXPECT_TRUE(ini.Delete());
  EXPECT_FALSE(fs::exists(dir.File("Serial.ini")));
  EXPECT_FALSE(ini.Delete());
  EXPECT_EQ(ini.FullPath(), dir.File("Serial.ini"));
}

TEST_F(cINIApp, WritesReadBackAndLimits) {
  ini.Item("Port");
  ini.Data("3");
  EXPECT_EQ(ini.Data(), "3");
  ini.Data(""); // an empty value is never stored
  EXPECT_EQ(ini.Data(), "3");
  EXPECT_FALSE(ini.DataSave("Port", ""));
  EXPECT_FALSE(ini.LastWriteError().empty());
  EXPECT_TRUE(ini.DataSave("Settings", std::string(60, 's')));
  EXPECT_TRUE(ini.LastWriteError().empty());
  EXPECT_EQ(ini.Data(), std::string(49, 's'));
  EXPECT_EQ(ini.DataRetrieve("Missing", "19200,N,8,1"), "19200,N,8,1");
  EXPECT_EQ(ini.Item(), "Missing");
  EXPECT_EQ(ini.DataRetrieve("Port", "1"), "3");
  EXPECT_EQ(ini.INIWrite(ini.FullPath(), "Other", "k", "v"), -1);
  EXPECT_EQ(ini.INIRead(ini.FullPath(), "other", "K"), "v");
  EXPECT_EQ(ReadFile(ini.FullPath()),
            "[SerialPort]\nPort=3\nSettings=" + std::string(60, 's') + "\n[Other]\nk=v\n");
  WriteFile(ini.FullPath(), std::string("[SerialPort]\nPort=ab\0cd\n", 24));
  EXPECT_EQ(ini.DataRetrieve("Port", "1"), "ab");
  // A value of exactly 50 characters is read back cut to 49, as a longer one.
  EXPECT_TRUE(ini.DataSave("Port", std::string(50, 't')));
  EXPECT_EQ(ini.Data(), std::string(49, 't'));
}

TEST_F(cINIApp, FailedWritesSayFalseAndKeepTheFile) {
  std::string big(20 << 20, '\n');
  WriteFile(ini.FullPath(), big);
  EXPECT_FALSE(ini.DataSave("Port", "3"));
  EXPECT_NE(ini.LastWriteError().find("too large"), std::string::npos);
  EXPECT_TRUE(ReadFile(ini.FullPath()) == big);
  fs::remove(ini.FullPath());
  fs::create_directory(ini.FullPath()); // a folder where the file was
  EXPECT_FALSE(ini.Exists() || ini.DataSave("Port", "3") || ini.Delete());
  EXPECT_EQ(ini.Data(), "");
  EXPECT_EQ(ini.INIWrite(ini.FullPath(), "SerialPort", "Port", "3"), 0);
}

TEST(cINI, CommandIsSixteenBitAndNoneLocatesNothing) {
  cINI ini;
  EXPECT_TRUE(ini.Command(-32768));
  EXPECT_FALSE(ini.Command(32768) || ini.Command(-40000));
  EXPECT_EQ(ini.Command(), -32768);
  ASSERT_TRUE(ini.Command(cINI::INICommandNone));
  ini.FileName("Serial.ini");
  ini.Section("SerialPort");
  EXPECT_EQ(ini.FullPath(), "");
  EXPECT_EQ(ini.DataRetrieve("Port", "1"), "1");
  EXPECT_FALSE(ini.DataSave("Port", "2"));
}

struct PathCase {
  const char *label;
  std::string full, folder, name;
};

// Shown in test names and failures.
void PrintTo(const PathCase &c, std::ostream *os) {
  *os << c.label;
}

class cINIFullPath : public testing::TestWithParam<PathCase> {};

TEST_P(cINIFullPath, IsTakenApart) {
  cINI ini;
  ini.FullPath(GetParam().full);
  EXPECT_EQ(ini.FilePath(), GetParam().folder);
  EXPECT_EQ(ini.FileName(), GetParam().name);
  EXPECT_EQ(ini.FullPath(), GetParam().full);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, cINIFullPath, testing::Values(
    PathCase{"InAFolder", "/data/Serial.ini", "/data", "Serial.ini"},
    PathCase{"AtTheRoot", "/Serial.ini", "", "Serial.ini"},
    PathCase{"NoFolder", "Serial.ini", "", "Serial.ini"},
    PathCase{"NoExtension", "/a/b/settings", "/a/b", "settings"},
    PathCase{"Empty", "", "", ""}),
    [](const auto &info) { return std::string(info.param.label); });
// clang-format on

TEST(cINI, LocatesAndCreatesOneMissingFolderLevel) {
  TempDir dir;
  ApplicationFolder(dir.Path() + "/");
  cINI ini;
  ini.Command(cINI::INICommandAppPath);
  ini.FullPath("/nowhere/settings"); // missing: moved to the application folder
  EXPECT_EQ(ini.FilePath(), dir.Path());
  EXPECT_EQ(ini.FullPath(), dir.File("settings"));
  EXPECT_TRUE(ini.Exists());
  ApplicationFolder(dir.File("new"));
  ini.FileName("Serial.ini");
  EXPECT_EQ(ini.FullPath(), dir.File("new/Serial.ini"));
  ApplicationFolder(dir.File("x/y"));
  ini.FileName("Serial.ini");
  EXPECT_EQ(ini.FullPath() + ini.FilePath(), "");
  ApplicationFolder("");
  ini.Command(cINI::INICommandFilePath);
  ini.FilePath(dir.File("sub"));
  EXPECT_EQ(ini.FullPath(), dir.File("sub/Serial.ini"));
  EXPECT_TRUE(ini.Exists());
  ini.FilePath(dir.File("x/y")); // kept even though nothing could be made
  EXPECT_EQ(ini.FullPath(), dir.File("x/y/Serial.ini"));
  EXPECT_FALSE(ini.Exists() || fs::exists(dir.File("x")));
}

// Runs check as uid and gid 65534 in a child: its exit status, or -1 where
// the rights cannot be dropped.
int AsNobody(const std::function<int()> &check) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
      ::_exit(255);
    ::_exit(check());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return -2;
  return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

TEST(cINI, WithoutRightsNothingIsWrittenOrDeleted) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to drop to another user";
  TempDir dir;
  std::string shut = dir.File("shut"), open = dir.File("open"), text = "[SerialPort]\nPort=3\n";
  fs::create_directory(shut); // root's, closed to others
  fs::create_directory(open);
  std::pair<std::string, mode_t> modes[] = {{dir.Path(), 0755},
                                            {open, 0777},
                                            {shut + "/a", 0666},
                                            {open + "/ro", 0444},
                                            {open + "/secret", 0600}};
  for (const auto &[path, mode] : modes) {
    if (!fs::is_directory(path))
      WriteFile(path, text);
    ::chmod(path.c_str(), mode);
  }
  int result = AsNobody([&] {
    cINI ini;
    ini.Section("SerialPort");
    int fails = 0;
    ini.FullPath(shut + "/a"); // file writable, folder not
    fails |= (ini.DataSave("Port", "4") || ini.LastWriteError().empty() || ini.Delete()) << 0;
    ini.FullPath(open + "/ro"); // folder writable, file not
    fails |= (ini.DataSave("Port", "4") || ini.Data() != "3") << 1;
    ini.FullPath(open + "/secret");
    fails |= (ini.Exists() || ini.INIRead(ini.FullPath(), "SerialPort", "Port") != "") << 2;
    fails |= (ini.INIWrite(ini.FullPath(), "SerialPort", "Port", "4") != 0) << 3;
    ini.Command(cINI::INICommandFilePath);
    ini.FilePath(shut);
    ini.FileName("new.ini");
    fails |= (ini.FullPath() != "") << 4;
    return fails;
  });
  if (result == -1)
    GTEST_SKIP() << "cannot drop to uid 65534";
  EXPECT_EQ(result, 0) << "bit mask of the failed checks";
  for (const std::string &f : {shut + "/a", open + "/ro", open + "/secret"})
    EXPECT_EQ(ReadFile(f), text) << f;
  EXPECT_EQ(std::distance(fs::directory_iterator(open), fs::directory_iterator()), 2);
}

} // namespace
} // namespace kestrel
