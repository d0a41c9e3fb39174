// Files another user planted in a folder all may write in (sticky, as /tmp is): the settings
// file, its lock file and the log are never opened through their links, a settings file they
// can change is never used, and a save keeps the user's own rights. Run as root, with the
// planting done by uid 65534.
#include "Child.h"
#include "IniFile.h"
#include "LogFile.h"
#include "TempDir.h"
#include "TerminalFixture.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
namespace kestrel::test {
namespace {
using Text = std::string;
class PlantedFilesTest : public testing::Test {
protected:
  void SetUp() override {
    if (::geteuid() != 0)
      GTEST_SKIP() << "needs root, to plant files as a second user";
    ASSERT_EQ(::chmod(base.Path().c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    WriteFile(victim, kVictim);
  }
  // Runs plant as uid 65534; true when it did all it meant to.
  static bool AsOtherUser(const std::function<bool()> &plant) {
    return InChild([&] { return AsNobody() && plant() ? 0 : 1; }) == 0;
  }
  static bool Link(const Text &to, const Text &at) {
    return ::symlink(to.c_str(), at.c_str()) == 0;
  }
  static struct stat Stat(const Text &path) {
    struct stat st {};
    (void)::lstat(path.c_str(), &st);
    return st;
  }
  const Text kVictim = "[SerialPort]\nPort=9\nSettings=9600,N,8,1\n";
  TempDir base;
  const Text shared = base.File("shared");
  const Text ini = shared + "/Serial.ini";
  const Text victim = base.File("victim.ini");
};
TEST_F(PlantedFilesTest, ALinkAnotherUserMadeIsNeitherReadNorWrittenThrough) {
  ASSERT_TRUE(
      AsOtherUser([&] { return Link(victim, ini) && Link(victim, shared + "/board.log"); }));
  EXPECT_EQ(IniReadValue(ini, "SerialPort", "Port"), "");
  const IniResult saved = IniWriteValue(ini, "SerialPort", "Port", "3");
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.error, ini + ": it is a link another user made, which is not followed");
  EXPECT_EQ(AppendToFile(shared + "/board.log", "device line\r\n"),
            "it is a link another user made, which is not followed");
  EXPECT_EQ(ReadFile(victim), kVictim);
}
TEST_F(PlantedFilesTest, ALockFileLinkMakesNoFileWhereItPoints) {
  const Text made = base.File("made-by-the-lock");
  ASSERT_TRUE(AsOtherUser([&] { return Link(made, shared + "/.Serial.ini.lock"); }));
  const IniResult saved = IniWriteValue(ini, "SerialPort", "Port", "3");
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.error, "cannot save " + ini + ": its lock file " + shared +
                             "/.Serial.ini.lock is a link, which is not followed");
  EXPECT_NE(::access(made.c_str(), F_OK), 0);
}
TEST_F(PlantedFilesTest, ASettingsFileAnotherUserCanChangeIsNotUsedAndKeptAsItIs) {
  const Text planted = "[SerialPort]\nPort=1\nSettings=9600,N,8,1\n[Devices]\nCOM1=/dev/pts/9\n";
  ASSERT_TRUE(AsOtherUser([&] {
    WriteFile(ini, planted);
    return ::chmod(ini.c_str(), 0666) == 0;
  }));
  EXPECT_EQ(IniReadValue(ini, "SerialPort", "Port"), "");
  EXPECT_TRUE(IniReadSection(ini, "Devices").empty());
  const IniResult saved = IniWriteValue(ini, "SerialPort", "Port", "3");
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.error, ini + ": another user can change it, so it is not used");
  EXPECT_EQ(ReadFile(ini), planted);
  EXPECT_EQ(Stat(ini).st_mode & 07777, 0666u);
  EXPECT_EQ(Stat(ini).st_uid, 65534u);
  // The user meets it on pressing the port button.
  ApplicationFolder(shared);
  {
    Terminal t;
    t.appInfo.folder = shared;
    t.MSComm1.Port(1, FakeCommControl::PortState::Free);
    t.frm.Form_Load();
    t.frm.cmdOpenPort_Click();
    EXPECT_FALSE(t.MSComm1.PortOpen());
    ASSERT_EQ(t.messageBox.shown.size(), 1u);
    EXPECT_EQ(t.messageBox.shown[0].detail,
              "No port was opened: " + ini + ": another user can change it, so it is not used.");
  }
  ApplicationFolder("");
}
// The user's own link to the user's own file, in the same shared folder, keeps working, and a
// save keeps the file's rights as the user set them.
TEST_F(PlantedFilesTest, TheUsersOwnLinkAndRightsStayAsTheUserMadeThem) {
  ASSERT_EQ(::chmod(victim.c_str(), 0640), 0);
  ASSERT_TRUE(Link(victim, ini));
  EXPECT_EQ(IniReadValue(ini, "SerialPort", "Port"), "9");
  EXPECT_TRUE(IniWriteValue(ini, "SerialPort", "Port", "3").ok);
  EXPECT_EQ(IniReadValue(victim, "SerialPort", "Port"), "3");
  EXPECT_TRUE(S_ISLNK(Stat(ini).st_mode));
  EXPECT_EQ(Stat(victim).st_mode & 07777, 0640u);
  EXPECT_EQ(AppendToFile(shared + "/own.log", "line\r\n"), "");
}
} // namespace
} // namespace kestrel::test
