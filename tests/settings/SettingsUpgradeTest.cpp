// Settings that survive an upgrade and the people using them: an installed copy takes over once
// the Serial.ini an earlier copy kept beside itself, never touching it; root run with a user's
// environment makes nothing in that user's home; port and settings are saved in one replacement.
#include "Child.h"
#include "IniFile.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "clsSerialPortConfigINI.h"
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
using namespace kestrel;
using namespace kestrel::test;
namespace fs = std::filesystem;
namespace {
const std::string kOld = "[SerialPort]\nPort=3\nSettings=115200,N,8,1\n[Devices]\n3=/dev/ttyUSB0\n";
// A home with an installed copy in ~/.local/bin (a share folder beside it, so no portable copy).
class Upgrade : public testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(program);
    fs::create_directories(dir.File(".local/share"));
  }
  std::string Start() { return SettingsFolderTakingOver(program, user, "Serial.ini"); }
  TempDir dir;
  const std::string program = dir.File(".local/bin"), user = dir.File(".config/kestrel-terminal");
  const std::string oldFile = program + "/Serial.ini", newFile = user + "/Serial.ini";
};
struct Before {
  const char *name;
  const char *besideProgram; // nullptr: none there
  const char *inUserFolder;  // nullptr: none there
  const char *after;         // the user folder's Serial.ini after the start; nullptr: none
};
TEST_F(Upgrade, ACopyKeptBesideTheProgramIsTakenOverOnceAndNeverChanged) {
  const Before cases[] = {
      {"only beside the program", kOld.c_str(), nullptr, kOld.c_str()},
      {"an empty one made by a start before the take-over", kOld.c_str(), "", kOld.c_str()},
      {"settings of its own already", kOld.c_str(), "[SerialPort]\nPort=7\n",
       "[SerialPort]\nPort=7\n"},
      {"none beside the program", nullptr, nullptr, nullptr},
      {"an empty one beside the program", "", nullptr, nullptr},
  };
  for (const Before &c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir.File(".config"));
    fs::remove(oldFile);
    if (c.besideProgram) {
      WriteFile(oldFile, c.besideProgram);
      fs::permissions(oldFile, fs::perms(0640));
    }
    if (c.inUserFolder) {
      fs::create_directories(user);
      WriteFile(newFile, c.inUserFolder);
    }
    const auto oldTime = c.besideProgram ? fs::last_write_time(oldFile) : fs::file_time_type();
    EXPECT_EQ(Start(), user);
    EXPECT_EQ(fs::exists(newFile), c.after != nullptr);
    if (c.after) {
      EXPECT_EQ(ReadFile(newFile), c.after);
    }
    if (c.besideProgram) {
      EXPECT_EQ(ReadFile(oldFile), c.besideProgram);
      EXPECT_EQ(fs::status(oldFile).permissions(), fs::perms(0640));
      EXPECT_EQ(fs::last_write_time(oldFile), oldTime);
    }
    // A second start, the settings changed meanwhile: nothing is taken over again.
    if (c.after) {
      WriteFile(newFile, "[SerialPort]\nPort=9\n");
      Start();
      EXPECT_EQ(ReadFile(newFile), "[SerialPort]\nPort=9\n");
    }
  }
}
TEST_F(Upgrade, WhatIsNoSettingsFileIsNotTakenOver) {
  ASSERT_EQ(::mkfifo(oldFile.c_str(), 0600), 0);
  ::alarm(20); // a read that waits for a writer would hang here for good
  EXPECT_EQ(Start(), user);
  ::alarm(0);
  EXPECT_FALSE(fs::exists(newFile));
  fs::remove(oldFile);
  fs::create_directory(oldFile);
  EXPECT_FALSE(IniTakeOver(oldFile, newFile).ok);
  EXPECT_FALSE(fs::exists(newFile));
}
// A build or portable copy reads its settings where they are; nothing is copied.
TEST_F(Upgrade, APortableCopyKeepsItsSettingsBesideItself) {
  const std::string portable = dir.File("portable");
  fs::create_directories(portable);
  WriteFile(portable + "/Serial.ini", kOld);
  EXPECT_EQ(SettingsFolderTakingOver(portable, user, "Serial.ini"), portable);
  EXPECT_FALSE(fs::exists(user));
}
// Run through sudo -E: root with the user's $HOME (and maybe $XDG_CONFIG_HOME).
class OtherHome : public testing::Test {
protected:
  void SetUp() override {
    if (::geteuid() != 0)
      GTEST_SKIP() << "needs root, to own a home of uid 65534";
    for (const char *name : {"HOME", "XDG_CONFIG_HOME"})
      if (const char *v = std::getenv(name))
        saved.emplace_back(name, v);
    ASSERT_EQ(::chown(dir.Path().c_str(), 65534, 65534), 0);
    const passwd *pw = ::getpwuid(0);
    ASSERT_TRUE(pw && pw->pw_dir);
    rootsOwn = std::string(pw->pw_dir) + "/.config/kestrel-terminal";
  }
  void TearDown() override {
    ::unsetenv("HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    for (const auto &[name, value] : saved)
      ::setenv(name.c_str(), value.c_str(), 1);
  }
  static void Environment(const std::string &home, const std::string &config) {
    ::setenv("HOME", home.c_str(), 1);
    config.empty() ? ::unsetenv("XDG_CONFIG_HOME") : ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  TempDir dir, mine;
  std::string rootsOwn;
  std::vector<std::pair<std::string, std::string>> saved;
};
TEST_F(OtherHome, RootNeverMakesItsFolderInAnotherUsersHome) {
  struct Case {
    const char *name;
    std::string home, config, folder;
  };
  fs::create_directories(dir.File(".config"));
  ASSERT_EQ(::chown(dir.File(".config").c_str(), 65534, 65534), 0);
  const Case cases[] = {
      {"the user's home", dir.Path(), "", rootsOwn},
      {"the user's configuration home", mine.Path(), dir.File(".config"),
       mine.Path() + "/.config/kestrel-terminal"},
      {"both the user's", dir.Path(), dir.File(".config"), rootsOwn},
      {"a home of root's own", mine.Path(), "", mine.Path() + "/.config/kestrel-terminal"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Environment(c.home, c.config);
    EXPECT_EQ(UserSettingsFolder(), c.folder);
  }
}
// The user themselves, in their own home: the folder and file made are theirs.
TEST_F(OtherHome, TheUsersOwnStartMakesFolderAndFileTheyOwn) {
  Environment(dir.Path(), "");
  const std::string program = dir.File(".local/bin");
  fs::create_directories(program);
  fs::create_directories(dir.File(".local/share"));
  WriteFile(program + "/Serial.ini", kOld);
  const std::string folder = dir.File(".config/kestrel-terminal");
  EXPECT_EQ(InChild([&] {
              if (!AsNobody())
                return 2;
              return SettingsFolderTakingOver(program, UserSettingsFolder(), "Serial.ini") == folder
                         ? 0
                         : 1;
            }),
            0);
  for (const std::string &made : {dir.File(".config"), folder, folder + "/Serial.ini"}) {
    SCOPED_TRACE(made);
    struct stat st {};
    ASSERT_EQ(::stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
  }
  EXPECT_EQ(ReadFile(folder + "/Serial.ini"), kOld);
}
// Each replacement of Serial.ini is a new file made beside it and renamed over it (a file of its
// own name each time, so the system reports every one); one replacement means a reader or a
// second copy sees the new port with its settings, never the one without the other.
TEST(SettingsSave, PortAndSettingsAreSavedInOneReplacement) {
  TempDir dir;
  ApplicationFolder(dir.Path());
  WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=1\nSettings=9600,N,8,1\n");
  clsSerialPortConfigINI store;
  store.FileNameINI("Serial.ini");
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, dir.Path().c_str(), IN_CREATE), 0);
  EXPECT_TRUE(store.SettingsUpdate("4", "19200,E,7,2"));
  alignas(inotify_event) char events[4096];
  int replacements = 0;
  for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;)
    for (char *p = events; p < events + n;
         p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len)
      replacements +=
          std::string(reinterpret_cast<inotify_event *>(p)->name).starts_with(".Serial.ini.tmp-");
  ::close(watch);
  EXPECT_EQ(replacements, 1);
  EXPECT_EQ(ReadFile(dir.File("Serial.ini")), "[SerialPort]\nPort=4\nSettings=19200,E,7,2\n");
  ApplicationFolder("");
}
} // namespace
