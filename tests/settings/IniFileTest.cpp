#include "IniFile.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kestrel {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kBom = "\xEF\xBB\xBF";

std::string Garbage(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    s[i] = static_cast<char>((i * 7919 + i / 251) % 256);
  return s;
}

// Hidden files in folder other than the save lock: temporary files a write
// left behind.
std::size_t LeftoverCount(const std::string &folder) {
  std::size_t n = 0;
  for (const auto &e : std::filesystem::directory_iterator(folder))
    n += e.path().filename().string()[0] == '.' && e.path().extension() != ".lock" ? 1 : 0;
  return n;
}

// The file is text, then padSize times pad, then tail; the value of [A] k.
struct ReadCase {
  const char *name;
  std::string text, expected;
  std::size_t padSize = 0;
  char pad = '\n';
  std::string tail = {};
};
void PrintTo(const ReadCase &c, std::ostream *os) {
  *os << c.name;
}

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsTheValueOrNothing) {
  const ReadCase &c = GetParam();
  TempDir dir;
  WriteFile(dir.File("Serial.ini"), c.text + std::string(c.padSize, c.pad) + c.tail);
  EXPECT_EQ(IniReadValue(dir.File("Serial.ini"), "A", "k"), c.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, IniRead, testing::Values(
    ReadCase{"Lf", "[A]\nk=v\n", "v"},
    ReadCase{"CrLf", "[A]\r\nk=v\r\nj=w\r\n", "v"},
    ReadCase{"NoFinalLineEnd", "[A]\nj=1\nk=v", "v"},
    ReadCase{"ByteOrderMark", kBom + "[A]\nk=v\n", "v"},
    ReadCase{"AnyLetterCase", "[a]\nK=v\n", "v"},
    ReadCase{"Blanks", "  [ A ] \n \t k  =  v w \t\n", "v w"},
    ReadCase{"FirstDuplicateWins", "[A]\nk=1\nk=2\n[A]\nk=3\n", "1"},
    ReadCase{"OtherSection", "[B]\nk=v\n", ""},
    ReadCase{"KeyBeforeAnySection", "k=v\n[A]\n", ""},
    ReadCase{"Comments", "[A]\n;k=v\n # k=w\n", ""},
    ReadCase{"BinaryGarbage", Garbage(100000), ""},
    ReadCase{"GarbageAround", Garbage(5000) + "\n[A]\nk=v\n" + Garbage(5000), "v"},
    ReadCase{"OneLineOf1MB", "", "v", 1 << 20, 'x', "\n[A]\nk=v"},
    ReadCase{"OneLineOf1MBNoBreak", "[A]\nk", "", 1 << 20, ' '},
    ReadCase{"TenMB", "", "v", 10 << 20, '\n', "[A]\nk=v"},
    ReadCase{"OverTheLimit", "[A]\nk=v\n", "", kIniMaxFileSize}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST(IniReadOther, NothingThatIsNoRegularFileIsRead) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
  // /dev/zero never ends and a FIFO without a writer never answers.
  for (std::string path : {dir.File("missing"), dir.Path(), dir.File("fifo"),
                           std::string("/dev/zero"), std::string("/dev/null")})
    EXPECT_EQ(IniReadValue(path, "A", "k"), "") << path;
}

struct WriteCase {
  const char *name;
  std::string before, section, key, value, after;
};
void PrintTo(const WriteCase &c, std::ostream *os) {
  *os << c.name;
}

class IniWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyTheEntry) {
  const WriteCase &c = GetParam();
  TempDir dir;
  std::string path = dir.File("Serial.ini");
  WriteFile(path, c.before);
  IniResult r = IniWriteValue(path, c.section, c.key, c.value);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(ReadFile(path), c.after);
  EXPECT_EQ(IniReadValue(path, c.section, c.key), c.value);
  EXPECT_EQ(LeftoverCount(dir.Path()), 0u);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, IniWrite, testing::Values(
    WriteCase{"Replace", "; top\n[A]\nk=old\nj=1\n[B]\nk=x\n", "A", "k", "new",
              "; top\n[A]\nk=new\nj=1\n[B]\nk=x\n"},
    WriteCase{"ReplaceCrLfNoFinalLineEnd", "[A]\r\nk=old\r\nz=1", "A", "k", "new",
              "[A]\r\nk=new\r\nz=1"},
    WriteCase{"ReplaceLooseMatch", "[ a ]\n  K = old  \r\n", "A", "k", "9", "[ a ]\nK=9\r\n"},
    WriteCase{"AddAfterLastEntry", "[A]\nj=1\n\n; b\n[B]\n", "A", "k", "v",
              "[A]\nj=1\nk=v\n\n; b\n[B]\n"},
    WriteCase{"AddAtEndWithoutLineEnd", "[A]\nj=1", "A", "k", "v", "[A]\nj=1\nk=v\n"},
    WriteCase{"AddAfterALoneCrAtTheEnd", "[S]\r\nk=1\r", "S", "n", "2", "[S]\r\nk=1\r\nn=2\r\n"},
    WriteCase{"AddSectionCrLf", "[B]\r\nx=1\r\n", "A", "k", "v", "[B]\r\nx=1\r\n[A]\r\nk=v\r\n"},
    WriteCase{"ByteOrderMarkKept", kBom + "[A]\nk=1\n", "A", "k", "v", kBom + "[A]\nk=v\n"},
    WriteCase{"OnlyByteOrderMark", kBom, "A", "k", "v", kBom + "[A]\nk=v\n"},
    WriteCase{"EmptyFile", "", "A", "k", "v", "[A]\nk=v\n"},
    WriteCase{"KeyBeforeAnySectionKept", "k=1\n[A]\n", "A", "k", "v", "k=1\n[A]\nk=v\n"},
    WriteCase{"GarbageKept", std::string("\x01\0\xFF junk\n", 9), "A", "k", "v",
              std::string("\x01\0\xFF junk\n[A]\nk=v\n", 17)}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

// Each refused write: a clear reason, and no file or folder changed or made.
TEST(IniWriteFailure, RefusalsLeaveTheFileAsItWas) {
  TempDir dir;
  std::string path = dir.File("Serial.ini"), big(kIniMaxFileSize + 1, 'x');
  WriteFile(dir.File("big.ini"), big);
  WriteFile(path, "[A]\nk=1\n");
  ::mkdir(dir.File("folder.ini").c_str(), 0755);
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
  std::vector<std::string> targets = {dir.File("folder.ini"), dir.File("no/Serial.ini"),
                                      dir.File("big.ini"), dir.File("fifo")};
  bool full = std::filesystem::is_character_file("/dev/full");
  if (full)
    targets.push_back("/dev/full");
  for (const std::string &target : targets) {
    IniResult r = IniWriteValue(target, "A", "k", "v");
    EXPECT_FALSE(r.ok || r.error.empty()) << target;
  }
  std::pair<std::string, std::string> names[] = {{"A]", "k"}, {"A", "k="}, {"", "k"},
                                                 {"A", " "},  {"A", ";k"}, {"A\n", "k"}};
  for (const auto &[section, key] : names)
    EXPECT_FALSE(IniWriteValue(path, section, key, "v").ok) << section << " " << key;
  EXPECT_FALSE(IniWriteValue(path, "A", "k", "two\nlines").ok);
  EXPECT_EQ(ReadFile(path), "[A]\nk=1\n");
  EXPECT_TRUE(ReadFile(dir.File("big.ini")) == big);
  EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
  EXPECT_EQ(LeftoverCount(dir.Path()), 0u);
  EXPECT_EQ(std::filesystem::is_character_file("/dev/full"), full);
  EXPECT_FALSE(std::filesystem::exists("/dev/.full.lock"));
}

// Two running copies saving at once: each one's read, change and replace
// waits for the other's, so no entry is lost.
TEST(IniWriteTogether, TwoProcessesSavingAtOnceLoseNothing) {
  TempDir dir;
  const std::string path = dir.File("Serial.ini");
  constexpr int kEach = 100;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      bool ok = true;
      for (int i = 0; i < kEach; ++i)
        ok &= IniWriteValue(path, "SerialPort", "K" + std::to_string(c) + "_" + std::to_string(i),
                            std::to_string(i))
                  .ok;
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto entries = IniReadSection(path, "SerialPort");
  EXPECT_EQ(entries.size(), 2u * kEach);
  EXPECT_EQ(LeftoverCount(dir.Path()), 0u);
}

// A save killed between writing its temporary file and the rename leaves
// that file behind; the next save removes it, and nothing else.
TEST(IniWriteTogether, TemporariesOfAKilledSaveAreRemovedByTheNext) {
  TempDir dir;
  const std::string path = dir.File("Serial.ini");
  WriteFile(path, "[A]\nk=1\n");
  WriteFile(dir.File(".Serial.ini.tmp-999999-a1B2c3"), "[A]\nk=half");
  WriteFile(dir.File(".Serial.ini.bak"), "mine");
  ASSERT_TRUE(IniWriteValue(path, "A", "k", "2").ok);
  EXPECT_EQ(ReadFile(path), "[A]\nk=2\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File(".Serial.ini.tmp-999999-a1B2c3")));
  EXPECT_EQ(ReadFile(dir.File(".Serial.ini.bak")), "mine");
}

TEST(IniWriteKeeps, PermissionsAndLinks) {
  TempDir dir;
  std::string path = dir.File("real.ini");
  WriteFile(path, "[A]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(path.c_str(), dir.File("link.ini").c_str()), 0);
  ASSERT_TRUE(IniWriteValue(dir.File("link.ini"), "A", "k", "2").ok);
  struct stat st {};
  ASSERT_EQ(::lstat(dir.File("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(path), "[A]\nk=2\n");
}

} // namespace
} // namespace kestrel
