// The settings file: a read finds its value in any file or nothing; a write changes only its entry
// and loses nothing, also when two save at once; cINI places the file and reads 49 characters.
#include "Child.h"
#include "IniFile.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "cINI.h"
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <ostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
using namespace kestrel;
using namespace kestrel::test;
namespace fs = std::filesystem;
const std::string kBom = "\xEF\xBB\xBF", kBad = "not a usable section or entry name";

// Where a cINI object's file is, the test's folder shown as "~".
struct Place {
  bool exists = false;
  std::string folder, path;
  bool operator==(const Place &) const = default;
};
std::ostream &operator<<(std::ostream &out, const Place &p) {
  return out << "{" << (p.exists ? "exists" : "missing") << ", folder \"" << p.folder
             << "\", path \"" << p.path << "\"}";
}

// Serial.ini in a fresh application folder; ini is on its section SerialPort, as the store uses it.
class Settings : public testing::Test {
protected:
  void SetUp() override {
    ApplicationFolder(dir.Path());
    ini.Command(cINI::INICommandAppPath);
    ini.FileName("Serial.ini");
    ini.Section("SerialPort");
  }
  std::string Tilde(std::string s) const {
    for (std::size_t at; (at = s.find(dir.Path())) != std::string::npos;)
      s.replace(at, dir.Path().size(), "~");
    return s;
  }
  Place Where() { return {ini.Exists(), Tilde(ini.FilePath()), Tilde(ini.FullPath())}; }
  // Hidden files other than the save lock: temporary files a save left behind.
  int Leftovers() {
    int n = 0;
    for (const auto &e : fs::directory_iterator(dir.Path()))
      if (e.path().filename().string()[0] == '.' && e.path().extension() != ".lock")
        ++n;
    return n;
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
  const struct {
    const char *name;
    std::string file, value; // of [A] k
  } rows[] = {
      {"plain", "[A]\nk=v\n", "v"},
      {"CR LF", "[A]\r\nk=v\r\nj=w\r\n", "v"},
      {"last line unended", "[A]\nj=1\nk=v", "v"},
      {"byte order mark", kBom + "[A]\nk=v\n", "v"},
      {"names in any case", "[a]\nK=v\n", "v"},
      {"blanks around names and value", "  [ A ] \n \t k  =  v w \t\n", "v w"},
      {"the first of repeated entries", "[A]\nk=1\nk=2\n[A]\nk=3\n", "1"},
      {"another section", "[B]\nk=v\n", ""},
      {"before any section", "k=v\n[A]\n", ""},
      {"comments", "[A]\n;k=v\n # k=w\n", ""},
      {"binary junk", junk, ""},
      {"inside binary junk", junk + "\n[A]\nk=v\n" + junk, "v"},
      {"after a 1 MB line", std::string(1 << 20, 'x') + "\n[A]\nk=v", "v"},
      {"a 1 MB key line", "[A]\nk" + std::string(1 << 20, ' '), ""},
      {"after 10 MB of blank lines", std::string(10 << 20, '\n') + "[A]\nk=v", "v"},
      {"a file too large", "[A]\nk=v\n" + std::string(kIniMaxFileSize, '\n'), ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(path, row.file);
    EXPECT_EQ(IniReadValue(path, "A", "k"), row.value);
  }
  for (std::string other : {dir.File("none"), dir.Path(), dir.File("fifo"),
                            std::string("/dev/zero"), std::string("/dev/null")})
    EXPECT_EQ(IniReadValue(other, "A", "k"), "") << other;
}

TEST_F(Settings, WriteChangesOnlyTheEntryKeepsLinksAndRightsAndClearsWhatAKilledSaveLeft) {
  const struct {
    const char *name;
    std::string before, section, key, value, after;
  } rows[] = {
      {"value replaced", "; top\n[A]\nk=old\nj=1\n[B]\nk=x\n", "A", "k", "new",
       "; top\n[A]\nk=new\nj=1\n[B]\nk=x\n"},
      {"CR LF kept", "[A]\r\nk=old\r\nz=1", "A", "k", "new", "[A]\r\nk=new\r\nz=1"},
      {"names in any case", "[ a ]\n  K = old  \r\n", "A", "k", "9", "[ a ]\nK=9\r\n"},
      {"added before blank lines", "[A]\nj=1\n\n; b\n[B]\n", "A", "k", "v",
       "[A]\nj=1\nk=v\n\n; b\n[B]\n"},
      {"added before comments", "[A]\nj=1\n;c=2\n#d=3\n", "A", "k", "v",
       "[A]\nj=1\nk=v\n;c=2\n#d=3\n"},
      {"added to the first of two", "[A]\nj=1\n[A]\nx=2\n", "A", "k", "v",
       "[A]\nj=1\nk=v\n[A]\nx=2\n"},
      {"added after an unended line", "[A]\nj=1", "A", "k", "v", "[A]\nj=1\nk=v\n"},
      {"empty file", "", "A", "k", "v", "[A]\nk=v\n"},
      {"a lone CR ended", "[S]\r\nk=1\r", "S", "n", "2", "[S]\r\nk=1\r\nn=2\r\n"},
      {"new section in the file's line ends", "[B]\r\nx=1\r\n", "A", "k", "v",
       "[B]\r\nx=1\r\n[A]\r\nk=v\r\n"},
      {"byte order mark kept", kBom + "[A]\nk=1\n", "A", "k", "v", kBom + "[A]\nk=v\n"},
      {"only a byte order mark", kBom, "A", "k", "v", kBom + "[A]\nk=v\n"},
      {"entry before any section untouched", "k=1\n[A]\n", "A", "k", "v", "k=1\n[A]\nk=v\n"},
      {"binary kept", std::string("\1\0\xFF\n", 4), "A", "k", "v",
       std::string("\1\0\xFF\n[A]\nk=v\n", 12)},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(path, row.before);
    EXPECT_EQ(IniWriteValue(path, row.section, row.key, row.value).error, "");
    EXPECT_EQ(ReadFile(path), row.after);
    EXPECT_EQ(IniReadValue(path, row.section, row.key), row.value);
    EXPECT_EQ(Leftovers(), 0);
  }
  // Through a link, rights kept; a save killed before its rename leaves what the next one removes.
  const std::string real = dir.File("real.ini"), link = dir.File("link.ini");
  const std::string stale = dir.File(".real.ini.tmp-999999-a1B2c3"), mine = dir.File(".real.ini.b");
  WriteFile(real, "[A]\nk=1\n");
  WriteFile(stale, "[A]\nk=half");
  WriteFile(mine, "mine");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  EXPECT_EQ(IniWriteValue(link, "A", "k", "2").error, "");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(real), "[A]\nk=2\n");
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_EQ(ReadFile(mine), "mine");
  EXPECT_EQ(fs::status(real).permissions(), fs::perms(0640));
}

TEST_F(Settings, RefusedWritesSayWhyAndLeaveEverythingAsItWas) {
  const std::string big(kIniMaxFileSize + 1, 'x'), folder = dir.File("d"), fifo = dir.File("fifo");
  const std::string large = dir.File("big.ini"), no = dir.File("no/x"), full16 = dir.File("16.ini");
  const std::string nearly = "[A]\nk=1\n" + std::string(kIniMaxFileSize - 16, '\n');
  WriteFile(large, big);
  WriteFile(full16, nearly);
  WriteFile(path, "[A]\nk=1\n");
  ASSERT_TRUE(fs::create_directory(folder));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string nowhere = dir.File("nowhere.ini"); // the user's link, its disk not mounted
  fs::create_symlink(dir.File("unmounted/Serial.ini"), nowhere);
  const bool full = fs::is_character_file("/dev/full");
  const struct {
    const char *name;
    std::string file, section, key, value, reason;
  } rows[] = {
      {"a folder", folder, "A", "k", "v", folder + ": it is a folder"},
      {"no folder", no, "A", "k", "v", "cannot save " + no + ": No such file or directory"},
      {"too large", large, "A", "k", "v", large + ": it is too large for a settings file"},
      {"too large once written", full16, "A", "k", "a long value",
       full16 + ": the settings would be too large for a settings file"},
      {"a FIFO", fifo, "A", "k", "v", fifo + ": it is not a regular file"},
      {"a device", "/dev/full", "A", "k", "v", "/dev/full: it is not a regular file"},
      {"bracket in section", path, "A]", "k", "v", kBad},
      {"equals in key", path, "A", "k=", "v", kBad},
      {"empty section", path, "", "k", "v", kBad},
      {"blank key", path, "A", " ", "v", kBad},
      {"comment key", path, "A", ";k", "v", kBad},
      {"section key", path, "A", "[k", "v", kBad},
      {"line break in section", path, "A\n", "k", "v", kBad},
      {"line break in value", path, "A", "k", "a\nb", "a value cannot hold a line break"},
      {"a link to nothing", nowhere, "A", "k", "v",
       "cannot follow the link " + nowhere + ": No such file or directory"},
      {"no file named", "", "A", "k", "v", "no settings file"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    if (row.file == "/dev/full" && !full)
      continue; // and no lock file may be made where there is none: see below
    EXPECT_EQ(IniWriteValue(row.file, row.section, row.key, row.value).error, row.reason);
  }
  EXPECT_EQ(ReadFile(path), "[A]\nk=1\n");
  EXPECT_TRUE(ReadFile(large) == big);
  EXPECT_TRUE(ReadFile(full16) == nearly);
  EXPECT_EQ(IniReadValue(full16, "A", "k"), "1");
  EXPECT_EQ(Leftovers(), 0);
  EXPECT_FALSE(fs::exists(dir.File("no")));
  EXPECT_FALSE(fs::exists("/dev/.full.lock"));
  EXPECT_TRUE(fs::is_symlink(nowhere)) << "the link is kept";
  EXPECT_FALSE(fs::exists("..lock")) << "no lock file where no file was named";
  EXPECT_EQ(fs::is_character_file("/dev/full"), full);
}

TEST_F(Settings, TwoProcessesSavingAtOnceLoseNothing) { // each waits for the other's save
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    if (children[c] == 0) {
      bool ok = true;
      for (int i = 0; i < 100; ++i)
        ok = IniWriteValue(path, "P", std::to_string(c) + "_" + std::to_string(i), "1").ok && ok;
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a save failed";
  }
  EXPECT_EQ(IniReadSection(path, "P").size(), 200u);
  EXPECT_EQ(Leftovers(), 0);
}

TEST_F(Settings, IniObjectWritesAndReadsBackAtMost49CharactersAndDeletesItsFile) {
  ini.Item("Port");
  ini.Data("3");
  ini.Data(""); // an empty value is never stored
  const std::string s60(60, 's');
  EXPECT_EQ(Where(), (Place{true, "~", "~/Serial.ini"}));
  EXPECT_EQ(ini.Data(), "3");
  EXPECT_FALSE(ini.DataSave("Port", ""));
  EXPECT_EQ(ini.LastWriteError(), "an empty value is never written");
  EXPECT_TRUE(ini.DataSave("Settings", s60));
  EXPECT_EQ(ini.LastWriteError(), "");
  EXPECT_EQ(ini.Data(), s60.substr(11));
  EXPECT_EQ(ini.DataRetrieve("Port", "1"), "3");
  EXPECT_EQ(ini.DataRetrieve("Missing", "9600,N,8,1"), "9600,N,8,1");
  EXPECT_EQ(ini.INIWrite(path, "Other", "k", "v"), -1);
  EXPECT_EQ(ini.INIWrite(path, "Other", "k", ""), 0);
  EXPECT_EQ(ini.LastWriteError(), "an empty value is never written");
  EXPECT_EQ(ReadFile(path), "[SerialPort]\nPort=3\nSettings=" + s60 + "\n[Other]\nk=v\n");
  EXPECT_TRUE(ini.DataSave("Port", std::string(50, 't')));
  EXPECT_EQ(ini.Data(), std::string(49, 't'));
  EXPECT_TRUE(ini.Delete());
  EXPECT_FALSE(ini.Delete());
  EXPECT_EQ(Where(), (Place{false, "~", "~/Serial.ini"}));
  EXPECT_EQ(ini.DataRetrieve("Port", "1"), "1");
  ini.FileName("Serial.ini"); // made again
  WriteFile(path, std::string("[SerialPort]\nPort=ab\0cd\n", 24));
  EXPECT_EQ(ini.DataRetrieve("Port", "1"), "ab");
  ASSERT_TRUE(fs::remove(path));
  ASSERT_TRUE(fs::create_directory(path)); // a folder where the file was
  EXPECT_FALSE(ini.DataSave("Port", "3"));
  EXPECT_FALSE(ini.Exists());
  EXPECT_FALSE(ini.Delete());
  EXPECT_EQ(ini.LastWriteError(), path + ": the file is gone");
  EXPECT_EQ(ini.Data(), "");
  EXPECT_EQ(ini.INIWrite(path, "SerialPort", "Port", "3"), 0);
}

// A missing file is made in the application folder or the folder given, with one missing level.
TEST_F(Settings, IniObjectPlacesItsFileAndMakesOneMissingFolderLevel) {
  ApplicationFolder(dir.Path() + "/");
  ini.FullPath("/nowhere/f");
  EXPECT_EQ(Where(), (Place{true, "~", "~/f"})) << "the application folder, not the path given";
  ApplicationFolder(dir.File("new"));
  ini.FileName("S.ini");
  EXPECT_EQ(Where(), (Place{true, "~/new", "~/new/S.ini"})) << "one missing level made";
  ApplicationFolder(dir.File("x/y"));
  ini.FileName("S.ini");
  EXPECT_EQ(Where(), (Place{false, "", ""})) << "two missing levels";
  ini.Command(3);
  ini.FilePath(dir.File("s"));
  EXPECT_EQ(Where(), (Place{true, "~/s", "~/s/S.ini"})) << "the folder given";
  ini.FilePath(dir.File("x/y"));
  EXPECT_EQ(Where(), (Place{false, "~/x/y", "~/x/y/S.ini"})) << "kept, though not made";
  EXPECT_FALSE(fs::exists(dir.File("x")));
}

// The file names the devices the program opens: whatever the umask, no other user may write it
// or the folder made for it.
TEST_F(Settings, IniObjectMakesItsFileAndFolderSoNoOtherUserCanWriteThem) {
  const struct {
    const char *name;
    mode_t umask, file, folder;
  } rows[] = {
      {"umask 000", 0, 0644, 0700}, {"umask 022", 022, 0644, 0700}, {"umask 077", 077, 0600, 0700}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    const std::string folder = dir.File(std::string("made ") + row.name);
    ApplicationFolder(folder);
    const mode_t before = ::umask(row.umask);
    ini.FileName("S.ini");
    ::umask(before);
    struct stat file {
    }, made{};
    ASSERT_EQ(::stat((folder + "/S.ini").c_str(), &file), 0);
    ASSERT_EQ(::stat(folder.c_str(), &made), 0);
    EXPECT_EQ(file.st_mode & 07777, row.file);
    EXPECT_EQ(made.st_mode & 07777, row.folder);
  }
}

// As another user (a root run drops to one): a file in a closed folder, a read-only file in an open
// folder and an unreadable file are neither read, written, replaced nor deleted.
TEST_F(Settings, WithoutRightsNothingIsReadWrittenOrDeleted) {
  const std::string shut = dir.File("shut/a"), ro = dir.File("open/ro"),
                    secret = dir.File("open/s");
  fs::create_directory(dir.File("shut"));
  fs::create_directory(dir.File("open"));
  for (const auto &[file, mode] : std::map<std::string, mode_t>{{dir.Path(), 0755},
                                                                {dir.File("open"), 0777},
                                                                {shut, 0666},
                                                                {ro, 0444},
                                                                {secret, 0600}}) {
    if (!fs::is_directory(file))
      WriteFile(file, "[S]\nP=3\n");
    ::chmod(file.c_str(), mode);
  }
  const std::string failed = TextFromChild([&] {
    if (!AsNobody())
      return std::string("no uid 65534");
    std::string failed;
    const auto check = [&failed](bool ok, const char *what) {
      if (!ok)
        failed += std::string(what) + "; ";
    };
    cINI other;
    other.Section("S");
    other.FullPath(shut); // the file writable, its folder not
    check(!other.DataSave("P", "4"), "saved in a closed folder");
    check(!other.LastWriteError().empty(), "no reason given in a closed folder");
    check(!other.Delete(), "deleted in a closed folder");
    other.FullPath(ro); // the folder writable, the file not
    check(!other.DataSave("P", "4"), "saved over a read-only file");
    check(other.Data() == "3", "a read-only file not read");
    other.FullPath(secret);
    other.Item("P");
    check(!other.Exists(), "an unreadable file seen");
    check(other.Data() == "", "an unreadable file read");
    check(other.INIWrite(secret, "S", "P", "4") == 0, "an unreadable file written");
    other.Command(cINI::INICommandFilePath);
    other.FilePath(dir.File("shut"));
    other.FileName("n");
    check(other.FullPath() == "", "a file placed in a closed folder");
    return failed;
  });
  if (failed == "no uid 65534")
    GTEST_SKIP() << "needs root, to drop to uid 65534";
  EXPECT_EQ(failed, "");
  for (const std::string &file : {shut, ro, secret})
    EXPECT_EQ(ReadFile(file), "[S]\nP=3\n") << file;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("open")), fs::directory_iterator()), 2);
}

// The command is 16-bit; with none the file is nowhere. A full path is taken apart as given.
TEST(cINI, CommandIsSixteenBitNoneLocatesNothingAndAPathIsTakenApart) {
  cINI ini;
  EXPECT_TRUE(ini.Command(-32768));
  EXPECT_FALSE(ini.Command(32768));
  EXPECT_FALSE(ini.Command(-40000));
  EXPECT_EQ(ini.Command(), -32768);
  EXPECT_TRUE(ini.Command(cINI::INICommandNone));
  ini.FileName("Serial.ini");
  ini.Section("SerialPort");
  EXPECT_EQ(ini.FullPath(), "");
  EXPECT_EQ(ini.DataRetrieve("Port", "1"), "1");
  EXPECT_FALSE(ini.DataSave("Port", "2"));
  const struct {
    const char *full, *folder, *name;
  } rows[] = {
      {"/data/Serial.ini", "/data", "Serial.ini"},
      {"/Serial.ini", "", "Serial.ini"},
      {"Serial.ini", "", "Serial.ini"},
      {"/a/b/s", "/a/b", "s"},
      {"", "", ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.full);
    ini.FullPath(row.full);
    EXPECT_EQ(ini.FilePath(), row.folder);
    EXPECT_EQ(ini.FileName(), row.name);
    EXPECT_EQ(ini.FullPath(), row.full);
  }
}
