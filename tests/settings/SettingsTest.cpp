// The settings file: a read finds its value in any file or nothing; a write changes only its entry
// and loses nothing, also when two save at once; cINI places the file and reads 49 characters.
#include "Child.h"
#include "IniFile.h"
#include "Rows.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "cINI.h"
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
using namespace kestrel;
using namespace kestrel::test;
namespace fs = std::filesystem;
const std::string kBom = "\xEF\xBB\xBF", kBad = "not a usable section or entry name";
// Serial.ini in a fresh application folder; ini is on its section SerialPort, as the store uses it.
class Settings : public testing::Test {
protected:
  void SetUp() override {
    ApplicationFolder(dir.Path()), ini.Command(cINI::INICommandAppPath);
    ini.FileName("Serial.ini"), ini.Section("SerialPort");
  }
  // Whether the object's file exists, its folder and full path, the test's folder shown as "~".
  std::string State() {
    std::string s = B(ini.Exists()) + " " + ini.FilePath() + " " + ini.FullPath();
    for (std::size_t at; (at = s.find(dir.Path())) != std::string::npos;)
      s.replace(at, dir.Path().size(), "~");
    return s;
  }
  // Hidden files other than the save lock: temporary files a save left behind.
  std::string Leftovers() {
    int n = 0;
    for (const auto &e : fs::directory_iterator(dir.Path()))
      n += e.path().filename().string()[0] == '.' && e.path().extension() != ".lock";
    return std::to_string(n);
  }
  TempDir dir;
  const std::string path = dir.File("Serial.ini");
  cINI ini;
};
TEST_F(Settings, ReadFindsTheValueInAnyFileOrNothingAndNeverWaitsOnAFifoOrDevice) {
  std::string junk(100000, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i)
    junk[i] = static_cast<char>((i * 7919 + i / 251) % 256);
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
  // clang-format off
  const Row files[] = { // file, value of [A] k
      {"[A]\nk=v\n", "v"}, {"[A]\r\nk=v\r\nj=w\r\n", "v"}, {"[A]\nj=1\nk=v", "v"},
      {kBom + "[A]\nk=v\n", "v"}, {"[a]\nK=v\n", "v"}, {"  [ A ] \n \t k  =  v w \t\n", "v w"},
      {"[A]\nk=1\nk=2\n[A]\nk=3\n", "1"}, {"[B]\nk=v\n", ""}, {"k=v\n[A]\n", ""},
      {"[A]\n;k=v\n # k=w\n", ""}, {junk, ""}, {junk + "\n[A]\nk=v\n" + junk, "v"},
      {std::string(1 << 20, 'x') + "\n[A]\nk=v", "v"}, {"[A]\nk" + std::string(1 << 20, ' '), ""},
      {std::string(10 << 20, '\n') + "[A]\nk=v", "v"},
      {"[A]\nk=v\n" + std::string(kIniMaxFileSize, '\n'), ""}};
  // clang-format on
  for (const auto &[text, value] : files) {
    WriteFile(path, text);
    EXPECT_EQ(IniReadValue(path, "A", "k"), value) << text.substr(0, 30);
  }
  for (std::string other : {dir.File("none"), dir.Path(), dir.File("fifo"),
                            std::string("/dev/zero"), std::string("/dev/null")})
    EXPECT_EQ(IniReadValue(other, "A", "k"), "") << other;
}
TEST_F(Settings, WriteChangesOnlyTheEntryKeepsLinksAndRightsAndClearsWhatAKilledSaveLeft) {
  // clang-format off
  const std::vector<std::string> writes[] = { // before, section, key, value, after
      {"; top\n[A]\nk=old\nj=1\n[B]\nk=x\n", "A", "k", "new", "; top\n[A]\nk=new\nj=1\n[B]\nk=x\n"},
      {"[A]\r\nk=old\r\nz=1", "A", "k", "new", "[A]\r\nk=new\r\nz=1"},
      {"[ a ]\n  K = old  \r\n", "A", "k", "9", "[ a ]\nK=9\r\n"},
      {"[A]\nj=1\n\n; b\n[B]\n", "A", "k", "v", "[A]\nj=1\nk=v\n\n; b\n[B]\n"},
      {"[A]\nj=1\n;c=2\n#d=3\n", "A", "k", "v", "[A]\nj=1\nk=v\n;c=2\n#d=3\n"},
      {"[A]\nj=1\n[A]\nx=2\n", "A", "k", "v", "[A]\nj=1\nk=v\n[A]\nx=2\n"},
      {"[A]\nj=1", "A", "k", "v", "[A]\nj=1\nk=v\n"}, {"", "A", "k", "v", "[A]\nk=v\n"},
      {"[S]\r\nk=1\r", "S", "n", "2", "[S]\r\nk=1\r\nn=2\r\n"},
      {"[B]\r\nx=1\r\n", "A", "k", "v", "[B]\r\nx=1\r\n[A]\r\nk=v\r\n"},
      {kBom + "[A]\nk=1\n", "A", "k", "v", kBom + "[A]\nk=v\n"},
      {kBom, "A", "k", "v", kBom + "[A]\nk=v\n"}, {"k=1\n[A]\n", "A", "k", "v", "k=1\n[A]\nk=v\n"},
      {std::string("\1\0\xFF\n", 4), "A", "k", "v", std::string("\1\0\xFF\n[A]\nk=v\n", 12)}};
  // clang-format on
  for (const auto &w : writes) {
    WriteFile(path, w[0]);
    Expect({R(IniWriteValue(path, w[1], w[2], w[3]).error, ""), R(ReadFile(path), w[4]),
            R(IniReadValue(path, w[1], w[2]), w[3]), R(Leftovers(), "0")});
  }
  // Through a link, rights kept; a save killed before its rename leaves what the next one removes.
  const std::string real = dir.File("real.ini"), link = dir.File("link.ini");
  const std::string stale = dir.File(".real.ini.tmp-999999-a1B2c3"), mine = dir.File(".real.ini.b");
  WriteFile(real, "[A]\nk=1\n");
  WriteFile(stale, "[A]\nk=half"), WriteFile(mine, "mine");
  ASSERT_EQ(::chmod(real.c_str(), 0640) + ::symlink(real.c_str(), link.c_str()), 0);
  Expect({R(IniWriteValue(link, "A", "k", "2").error, ""), R(B(fs::is_symlink(link)), "yes"),
          R(ReadFile(real), "[A]\nk=2\n"), R(B(fs::exists(stale)), "no"), R(ReadFile(mine), "mine"),
          R(B(fs::status(real).permissions() == fs::perms(0640)), "yes")});
}
TEST_F(Settings, RefusedWritesSayWhyAndLeaveEverythingAsItWas) {
  const std::string big(kIniMaxFileSize + 1, 'x'), folder = dir.File("d"), fifo = dir.File("fifo");
  const std::string large = dir.File("big.ini"), no = dir.File("no/x");
  WriteFile(large, big);
  WriteFile(path, "[A]\nk=1\n");
  ASSERT_TRUE(fs::create_directory(folder) && ::mkfifo(fifo.c_str(), 0644) == 0);
  const bool full = fs::is_character_file("/dev/full");
  // clang-format off
  const std::vector<std::string> refusals[] = { // file, section, key, value, reason
      {folder, "A", "k", "v", folder + ": it is a folder"},
      {no, "A", "k", "v", "cannot save " + no + ": No such file or directory"},
      {large, "A", "k", "v", large + ": it is too large for a settings file"},
      {fifo, "A", "k", "v", fifo + ": it is not a regular file"},
      {"/dev/full", "A", "k", "v", "/dev/full: it is not a regular file"},
      {path, "A]", "k", "v", kBad}, {path, "A", "k=", "v", kBad},
      {path, "", "k", "v", kBad}, {path, "A", " ", "v", kBad},
      {path, "A", ";k", "v", kBad}, {path, "A", "[k", "v", kBad},
      {path, "A\n", "k", "v", kBad}, {path, "A", "k", "a\nb", "a value cannot hold a line break"}};
  // clang-format on
  for (const auto &r : refusals) // and no lock file is made where there is no /dev/full
    EXPECT_EQ(r[0] != "/dev/full" || full ? IniWriteValue(r[0], r[1], r[2], r[3]).error : r[4],
              r[4]);
  Expect({R(ReadFile(path), "[A]\nk=1\n"), R(B(ReadFile(large) == big), "yes"), R(Leftovers(), "0"),
          R(B(fs::exists(dir.File("no")) || fs::exists("/dev/.full.lock")), "no"),
          R(B(fs::is_character_file("/dev/full")), B(full))});
}
TEST_F(Settings, TwoProcessesSavingAtOnceLoseNothing) { // each waits for the other's save
  pid_t children[2];
  for (int c = 0; c < 2; ++c)
    if ((children[c] = ::fork()) == 0) {
      bool ok = true;
      for (int i = 0; i < 100; ++i)
        ok &= IniWriteValue(path, "P", std::to_string(c) + "_" + std::to_string(i), "1").ok;
      ::_exit(ok ? 0 : 1);
    }
  for (int status = -1; pid_t child : children)
    EXPECT_TRUE(::waitpid(child, &status, 0) == child && WIFEXITED(status) && !WEXITSTATUS(status));
  Expect({R(std::to_string(IniReadSection(path, "P").size()), "200"), R(Leftovers(), "0")});
}
TEST_F(Settings, IniObjectWritesAndReadsBackAtMost49CharactersAndDeletesItsFile) {
  ini.Item("Port");
  ini.Data("3");
  ini.Data(""); // an empty value is never stored
  const std::string s60(60, 's');
  Expect({R(State(), "yes ~ ~/Serial.ini"), R(ini.Data(), "3"),
          R(B(ini.DataSave("Port", "")), "no"),
          R(ini.LastWriteError(), "an empty value is never written"),
          R(B(ini.DataSave("Settings", s60)), "yes"), R(ini.LastWriteError(), ""),
          R(ini.Data(), s60.substr(11)), R(ini.DataRetrieve("Port", "1"), "3"),
          R(ini.DataRetrieve("Missing", "9600,N,8,1"), "9600,N,8,1"),
          R(std::to_string(ini.INIWrite(path, "Other", "k", "v")), "-1"),
          R(ReadFile(path), "[SerialPort]\nPort=3\nSettings=" + s60 + "\n[Other]\nk=v\n"),
          R(B(ini.DataSave("Port", std::string(50, 't'))), "yes"),
          R(ini.Data(), std::string(49, 't')), R(B(ini.Delete()), "yes"), R(B(ini.Delete()), "no"),
          R(State(), "no ~ ~/Serial.ini"), R(ini.DataRetrieve("Port", "1"), "1")});
  ini.FileName("Serial.ini"); // made again
  WriteFile(path, std::string("[SerialPort]\nPort=ab\0cd\n", 24));
  Expect({R(ini.DataRetrieve("Port", "1"), "ab"), R(B(fs::remove(path)), "yes"),
          R(B(fs::create_directory(path)), "yes"), // a folder where the file was
          R(B(ini.DataSave("Port", "3") || ini.Exists() || ini.Delete()), "no"),
          R(ini.LastWriteError(), path + ": the file is gone"), R(ini.Data(), ""),
          R(std::to_string(ini.INIWrite(path, "SerialPort", "Port", "3")), "0")});
}
// A missing file is made in the application folder or the folder given, with one missing level.
TEST_F(Settings, IniObjectPlacesItsFileAndMakesOneMissingFolderLevel) {
  // clang-format off
  const std::pair<std::function<void()>, std::string> steps[] = { // what is done, then State()
      {[&] { ApplicationFolder(dir.Path() + "/"); ini.FullPath("/nowhere/f"); }, "yes ~ ~/f"},
      {[&] { ApplicationFolder(dir.File("new")); ini.FileName("S.ini"); }, "yes ~/new ~/new/S.ini"},
      {[&] { ApplicationFolder(dir.File("x/y")); ini.FileName("S.ini"); }, "no  "},
      {[&] { ini.Command(3); ini.FilePath(dir.File("s")); }, "yes ~/s ~/s/S.ini"}, // folder given
      {[&] { ini.FilePath(dir.File("x/y")); }, "no ~/x/y ~/x/y/S.ini"}}; // kept, though not made
  // clang-format on
  for (const auto &[step, state] : steps) {
    step();
    EXPECT_EQ(State(), state);
  }
  EXPECT_FALSE(fs::exists(dir.File("x")));
}
// As another user (a root run drops to one): a file in a closed folder, a read-only file in an open
// folder and an unreadable file are neither read, written, replaced nor deleted.
TEST_F(Settings, WithoutRightsNothingIsReadWrittenOrDeleted) {
  const std::string shut = dir.File("shut/a"), ro = dir.File("open/ro"),
                    secret = dir.File("open/s");
  fs::create_directory(dir.File("shut")), fs::create_directory(dir.File("open"));
  for (const auto &[file, mode] : std::map<std::string, mode_t>{
           {dir.Path(), 0755}, {dir.File("open"), 0777}, {shut, 0666}, {ro, 0444}, {secret, 0600}})
    (fs::is_directory(file) ? void() : WriteFile(file, "[S]\nP=3\n")), ::chmod(file.c_str(), mode);
  const int failed = InChild([&] {
    if (!AsNobody())
      return 255;
    cINI other;
    other.Section("S"), other.FullPath(shut); // the file writable, its folder not
    int fails = other.DataSave("P", "4") || other.LastWriteError().empty() || other.Delete();
    other.FullPath(ro); // the folder writable, the file not
    fails |= (other.DataSave("P", "4") || other.Data() != "3") << 1;
    other.FullPath(secret), other.Item("P");
    fails |= (other.Exists() || other.Data() != "" || other.INIWrite(secret, "S", "P", "4")) << 2;
    other.Command(cINI::INICommandFilePath), other.FilePath(dir.File("shut")), other.FileName("n");
    return fails | (other.FullPath() != "") << 3;
  });
  if (failed == 255)
    GTEST_SKIP() << "needs root, to drop to uid 65534";
  EXPECT_EQ(std::to_string(failed) + ReadFile(shut) + ReadFile(ro) + ReadFile(secret),
            "0[S]\nP=3\n[S]\nP=3\n[S]\nP=3\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("open")), fs::directory_iterator()), 2);
}
// The command is 16-bit; with none the file is nowhere. A full path is taken apart as given.
TEST(cINI, CommandIsSixteenBitNoneLocatesNothingAndAPathIsTakenApart) {
  cINI ini;
  EXPECT_EQ((std::vector<std::string>{B(ini.Command(-32768)), B(ini.Command(32768)),
                                      B(ini.Command(-40000)), std::to_string(ini.Command()),
                                      B(ini.Command(cINI::INICommandNone))}),
            (std::vector<std::string>{"yes", "no", "no", "-32768", "yes"}));
  ini.FileName("Serial.ini"), ini.Section("SerialPort");
  EXPECT_EQ(ini.FullPath() + ini.DataRetrieve("Port", "1"), "1");
  EXPECT_FALSE(ini.DataSave("Port", "2"));
  std::string parts;
  for (const char *full : {"/data/Serial.ini", "/Serial.ini", "Serial.ini", "/a/b/s", ""})
    ini.FullPath(full), parts += ini.FilePath() + "|" + ini.FileName() + "|" + ini.FullPath() + " ";
  EXPECT_EQ(parts,
            "/data|Serial.ini|/data/Serial.ini |Serial.ini|/Serial.ini |Serial.ini|Serial.ini "
            "/a/b|s|/a/b/s || ");
}
