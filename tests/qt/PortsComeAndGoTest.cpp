// Ports that come and go, for real: the configuration dialog following a device link made and
// removed while it is open; the Choose Device list as plain text; and the program itself started
// on a pseudo-terminal by path, by a by-id style link and by port number, saving nothing.
#include "ChooseDevice.h"
#include "PosixCommControl.h"
#include "Pty.h"
#include "QtConfigSerialWindow.h"
#include "QtControls.h"
#include "SerialDevices.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "clsSerialPortConfigINI.h"
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
extern char **environ;
namespace kestrel::test {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A program started with args, found on the PATH unless named by a path; -1 when it cannot be.
pid_t Spawn(std::vector<std::string> args) {
  std::vector<char *> argv;
  for (std::string &a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  return ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

QStringList Items(const QComboBox &list) {
  QStringList items;
  for (int i = 0; i < list.count(); ++i)
    items << list.itemText(i);
  return items;
}

TEST(PortsComeAndGo, TheDialogListsADeviceLinkWithinASecondOfItsMakingAndDropsItAgain) {
  Pty pty;
  if (!pty.Ok())
    GTEST_SKIP() << "no pseudo-terminal to be had here";
  TempDir dir;
  ApplicationFolder(dir.Path());
  WriteFile(dir.File("Serial.ini"), "[SerialPort]\r\nPort=7\r\nSettings=9600,N,8,1\r\n");
  fs::create_directories(dir.File("by-id"));
  const std::string link = dir.File("by-id/usb-Board_0042-if00");
  DeviceMap map; // only COM7 may ever name a device: the link, once it is there
  for (std::int16_t n = 1; n <= 20; ++n)
    map.Map(n, n == 7 ? link : dir.File("none"));
  PosixCommControl comm(map, qt::PostToUi);
  clsSerialPortConfigINI store;
  store.FileNameINI("Serial.ini");
  store.ComControl(&comm);
  qt::QtConfigSerialWindow window(nullptr,
                                  [&](std::int16_t n) { return comm.Devices().Describe(n); });
  window.WatchFolders([&] { return serial::WatchedFolders(comm.Devices(), dir.File("dev")); });
  window.Form().clsSerialPortConfig = &store;
  window.Form().InitForm();
  auto *ports = window.Dialog().findChildren<QComboBox *>().value(0);
  ASSERT_TRUE(ports && ports->accessibleName() == "Port");
  EXPECT_EQ(Items(*ports), QStringList{"NONE"});

  QStringList seen, afterRemoval;
  qint64 appearedIn = -1, wentIn = -1;
  int chosenWhenSeen = -2;
  QElapsedTimer clock;
  QTimer poll;
  QTimer::singleShot(200, &window.Dialog(), [&] {
    fs::create_symlink(pty.SlavePath(), link);
    clock.start();
    poll.start(10);
  });
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (appearedIn < 0 && Items(*ports).contains("COM7")) {
      appearedIn = clock.elapsed();
      seen = Items(*ports);
      chosenWhenSeen = ports->currentIndex();
      fs::remove(link);
      clock.restart();
    } else if (appearedIn >= 0 && !Items(*ports).contains("COM7")) {
      wentIn = clock.elapsed();
      afterRemoval = Items(*ports);
      window.Dialog().reject();
    }
  });
  QTimer::singleShot(5000, &window.Dialog(), [&] { window.Dialog().reject(); });
  window.ShowModal();
  EXPECT_EQ(seen, QStringList{"COM7"});
  EXPECT_EQ(chosenWhenSeen, -1) << "a port the user had not chosen is chosen";
  EXPECT_GE(appearedIn, 0);
  EXPECT_LT(appearedIn, 1000) << "ms from the link's making to the list";
  EXPECT_GE(wentIn, 0);
  EXPECT_LT(wentIn, 1000) << "ms from the link's removal to the list";
  RecordProperty("appeared_ms", std::to_string(appearedIn));
  RecordProperty("went_ms", std::to_string(wentIn));
  EXPECT_EQ(afterRemoval, QStringList{"NONE"});
  EXPECT_FALSE(comm.PortOpen()) << "following devices opens none";
  ApplicationFolder("");
}

TEST(PortsComeAndGo, ChooseDeviceShowsSystemTextsAsPlainText) {
  qt::ChooseDeviceDialog dialog(nullptr);
  serial::SerialDevice device;
  device.path = "/dev/ttyACM0";
  device.driver = "cdc_acm";
  device.product = "<b>Uno</b> &amp;";
  dialog.Fill({device}, "The device for <i>COM3</i>:");
  ASSERT_EQ(dialog.List().count(), 1);
  EXPECT_EQ(dialog.List().item(0)->text(), "/dev/ttyACM0 - cdc_acm - <b>Uno</b> &amp;");
  auto *caption = dialog.findChild<QLabel *>();
  ASSERT_TRUE(caption);
  EXPECT_EQ(caption->textFormat(), Qt::PlainText);
  QPushButton *ok = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
  EXPECT_EQ(dialog.Chosen(), -1) << "nothing chosen yet";
  // As the list does when it takes the focus: the first row current, not selected.
  dialog.List().selectionModel()->setCurrentIndex(dialog.List().model()->index(0, 0),
                                                  QItemSelectionModel::NoUpdate);
  EXPECT_EQ(dialog.Chosen(), -1) << "a current row is no choice";
  EXPECT_FALSE(ok->isEnabled());
  dialog.List().setCurrentRow(0);
  EXPECT_EQ(dialog.Chosen(), 0);
  EXPECT_TRUE(ok->isEnabled());
  dialog.Fill({}, "");
  EXPECT_EQ(dialog.List().item(0)->text(), "No serial device found");
  EXPECT_EQ(dialog.Chosen(), -1);
}

// The program copied into a folder of its own, so that its Serial.ini lies beside it.
class Program : public testing::Test {
protected:
  void SetUp() override {
    if (!pty.Ok())
      GTEST_SKIP() << "no pseudo-terminal to be had here";
    fs::copy_file(KESTREL_PROGRAM, exe);
  }
  void TearDown() override { Stop(); }
  pid_t Start(std::vector<std::string> args) {
    args.insert(args.begin(), exe);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return child = Spawn(std::move(args));
  }
  void Stop() {
    if (child > 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
      child = -1;
    }
  }
  // Whether the program holds device (by default the pty's slave) open within the time given.
  bool HoldsTheDevice(std::chrono::milliseconds within, const std::string &device = {}) {
    const std::string slave = fs::canonical(device.empty() ? pty.SlavePath() : device);
    for (auto until = std::chrono::steady_clock::now() + within;
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(20ms)) {
      std::error_code ec;
      for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(child) + "/fd", ec))
        if (fs::read_symlink(fd.path(), ec) == slave)
          return true;
    }
    return false;
  }
  speed_t Speed() {
    termios line{};
    return ::tcgetattr(pty.Master(), &line) == 0 ? cfgetospeed(&line) : 0;
  }
  Pty pty;
  TempDir dir;
  const std::string exe = dir.File("kestrel-terminal");
  const std::string ini = dir.File("Serial.ini");
  pid_t child = -1;
};

TEST_F(Program, StartsOnADeviceByPathByIdLinkAndPortNumberAndSavesNothing) {
  fs::create_directories(dir.File("by-id"));
  fs::create_symlink(pty.SlavePath(), dir.File("by-id/usb-Board_0042-if00"));
  const std::string stored = "[SerialPort]\r\nPort=3\r\nSettings=9600,N,8,1\r\n"
                             "[Devices]\r\nCOM3=" +
                             pty.SlavePath() + "\r\n";
  struct Row {
    const char *name;
    std::vector<std::string> args;
    speed_t speed;
  } rows[] = {
      {"a path and a rate", {pty.SlavePath(), "-b", "115200"}, B115200},
      {"a by-id style link and settings",
       {dir.File("by-id/usb-Board_0042-if00"), "-s", "57600,E,7,1"},
       B57600},
      {"a port number at the stored settings", {"COM3"}, B9600},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(ini, stored);
    ASSERT_GT(Start(row.args), 0);
    EXPECT_TRUE(HoldsTheDevice(10s));
    EXPECT_EQ(Speed(), row.speed);
    Stop();
    EXPECT_EQ(ReadFile(ini), stored) << "nothing given on the command line is saved";
  }
}

// A virtual port pair made by socat, which keeps both ends open itself: the program opens its
// end as any other device and the maker goes on serving it.
TEST_F(Program, OpensAVirtualPortThatSocatMadeAndKeepsOpen) {
  const std::string ends[] = {dir.File("board"), dir.File("bench")};
  const pid_t socat =
      Spawn({"socat", "pty,raw,echo=0,link=" + ends[0], "pty,raw,echo=0,link=" + ends[1]});
  if (socat < 0)
    GTEST_SKIP() << "socat is not installed";
  for (int i = 0; i < 250 && !(fs::exists(ends[0]) && fs::exists(ends[1])); ++i)
    std::this_thread::sleep_for(20ms);
  const bool made = fs::exists(ends[0]) && fs::exists(ends[1]);
  if (made) {
    ASSERT_GT(Start({ends[0], "-b", "115200"}), 0);
    EXPECT_TRUE(HoldsTheDevice(10s, ends[0])) << "the program did not open socat's end";
    Stop();
  }
  ::kill(socat, SIGTERM);
  ::waitpid(socat, nullptr, 0);
  if (!made)
    GTEST_SKIP() << "socat could not be started here";
}

TEST_F(Program, ABadCommandLineEndsWithStatusTwoAndOneLineBeforeAnyWindow) {
  ::setenv("QT_QPA_PLATFORM", "no-such-platform", 1); // a window would fail quite differently
  const std::string out = dir.File("stderr.txt");
  const std::string command = "'" + exe + "' -b fast /dev/ttyUSB0 2>'" + out + "'";
  const int status = std::system(command.c_str());
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
  EXPECT_EQ(ReadFile(out), "kestrel-terminal: the baud rate \"fast\" is not a whole number from 1 "
                           "to 999999999 (see --help)\n");
  EXPECT_FALSE(fs::exists(ini)) << "no settings file made";
}

} // namespace
} // namespace kestrel::test
