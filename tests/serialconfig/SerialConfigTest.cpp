// The port list; the store, whose scan opens no port, whose file round-trips or reads as nothing
// stored, and whose open uses only what is stored and usable or says why not; and the dialog.
#include "FakeCommControl.h"
#include "FakeControls.h"
#include "PortSettingsText.h"
#include "Rows.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "clsSerialPortConfigINI.h"
#include "colPorts.h"
#include "frmConfigSerial.h"
#include <filesystem>
#include <gtest/gtest.h>
using namespace kestrel;
using namespace kestrel::test;
using Ports = std::vector<std::pair<int, FakeCommControl::PortState>>;
using enum FakeCommControl::PortState;
// Serial.ini in a fresh application folder, the store on it and on a fake control, and the dialog.
class SerialConfig : public testing::Test {
protected:
  void SetUp() override {
    ApplicationFolder(dir.Path()), store.FileNameINI("Serial.ini");
    form.clsSerialPortConfig = &store;
  }
  static std::string S(long n) { return std::to_string(n); }
  void Scan(const Ports &ports) {
    comm.ports.clear();
    for (auto [n, state] : ports)
      comm.Port(n, state);
    store.ComControl(&comm);
  }
  std::string Read() { return store.SettingsRetrieve(port, text) ? port + ' ' + text : "no"; }
  void Dialog(const Ports &ports) { Scan(ports), form.InitForm(); }
  // Picks each named entry in whichever list holds it, or presses the named button; then returns
  // each list's choice and the line under the port list, as the user sees them.
  std::string Do(const std::vector<std::string> &clicks) {
    for (const std::string &click : clicks)
      if (click == "OK" || click == "Cancel")
        form.cmdOK_Click(click == "OK" ? 0 : 1);
      else if (click == "Defaults")
        form.cmdDefaults_Click();
      else
        for (std::int16_t i = 0; i < 5; ++i)
          if (lists[i].Choose(click))
            form.cmbPort_Click(i);
    std::string s;
    for (const FakeComboBox &list : lists)
      s += list.Text() + "|";
    return s + device.Caption();
  }
  TempDir dir;
  const std::string ini = dir.File("Serial.ini");
  FakeCommControl comm;
  clsSerialPortConfigINI store;
  std::string port, text; // what the store reads back
  std::array<FakeComboBox, 5> lists;
  FakeLabel device;
  FakeMessageBox box;
  FakeForm window;
  // clang-format off
  frmConfigSerial form{{{&lists[0], &lists[1], &lists[2], &lists[3], &lists[4]}, device, box,
                        window, [](std::int16_t n) { return "/dev/ttyUSB" + S(n - 5); }}};
  // clang-format on
};
TEST_F(SerialConfig, PortListKeepsOrderAndUniqueKeysAndRefusesWhatItCannotDo) {
  colPorts ports;
  ASSERT_TRUE(ports.Add(3, "3") && ports.Add(1) && ports.Add(7, "7"));
  EXPECT_FALSE(ports.Add(4, "3") || ports.Item(0) || ports.Item(4) || ports.Item("9") ||
               ports.Item("") || ports.Remove(0) || ports.Remove(4) || ports.Remove("9"));
  Expect({R(S(ports.Count()) + S(ports.begin()->port->Port()) + S(ports.Item(2)->Port()) +
                S(ports.Item(3)->Port()) + S(ports.Item("7")->Port()),
            "33177"), // and a removed key is free again:
          R(B(ports.Remove(2) && ports.Remove("3") && ports.Add(3, "3") && ports.Remove(2)), "yes"),
          R(S(ports.Count()) + S(ports.Item(1)->Port()), "17"),
          R((ports.ClearCollection(), S(ports.Count())), "0")});
}
TEST_F(SerialConfig, TheScanListsFreeAndBusyPortsFrom1To20AndOpensNone) {
  Scan({{1, Free}, {4, Busy}, {6, Denied}, {20, Free}, {21, Free}});
  Expect({R(S(store.PortsFound()) + ": " + S(store.Port(1)) + S(store.Port(2)) + S(store.Port(3)),
            "3: 1420"),
          R(S(store.Port(0)) + S(store.Port(4)), "00"),
          R(B(store.PortsDenied() == std::vector<std::int16_t>{6}), "yes"),
          R(B(comm.PortOpen() || !comm.opened.empty()), "no"),
          R(S(comm.probed.size()) + " " + S(comm.CommPort()), "20 1"),
          R(S(store.PortsFindAll(5, 2)), "0"), R(S(store.PortsFindAll(4, 4)), "1"),
          R(B(store.ComPortAlreadyOpened(comm, 4)), "yes"),
          R(B(store.ComPortAlreadyOpened(comm, 1) || comm.PortOpen()), "no"),
          R(B(store.ComPortAlreadyOpened(comm, 9)), "no")});
}
TEST_F(SerialConfig, TheStoreSavesTrimmedSkipsABlankEntryAndTakesNoUnusableFile) {
  const std::string s = "Settings=9600,N,8,1\n";
  Expect({R(B(store.SettingsUpdate(" 3 ", "115200,E,7,2 ")), "yes"), R(Read(), "3 115200,E,7,2"),
          R(B(store.SettingsUpdate("   ", "19200,N,8,1")), "yes"), R(Read(), "3 19200,N,8,1"),
          R(B(store.SettingsUpdate("", "9600,N,8,1") || store.SettingsUpdate("2", "")), "no"),
          R(B(clsSerialPortConfigINI().SettingsUpdate("2", "9600,N,8,1")), "no"), // no file name
          R(B(clsSerialPortConfigINI().SettingsRetrieve(port, text)), "no"),
          R(ReadFile(ini), "[SerialPort]\nPort=3\nSettings=19200,N,8,1\n")});
  for (const std::string &f :
       {std::string(), "Port=3\n" + s, std::string("[SerialPort]\nPort=3\n"),
        "[SerialPort]\nPort=0\n" + s, "[SerialPort]\nPort=abc\n" + s,
        std::string("\x00\xFF[Serial\x01Port]\n\xFE=\x00", 16)}) { // reads as nothing stored
    WriteFile(ini, f);
    Expect({R(Read(), "no"), R(B(store.SettingsUpdate("5", "9600,N,8,1")), "yes"),
            R(Read(), "5 9600,N,8,1")});
  }
  std::filesystem::remove(ini);
  std::filesystem::create_directory(ini); // a folder where the file should be
  Expect({R(B(store.SettingsUpdate("3", "9600,N,8,1")), "no"),
          R(store.LastSaveError(), "no settings file"),
          R(B(std::filesystem::is_directory(ini)), "yes")});
}
// A failed open tells that attempt's own reason, or says that nothing was attempted; an unusable
// stored port or settings the control refuses open nothing, whichever port the control is on.
TEST_F(SerialConfig, AnOpenUsesOnlyWhatIsStoredAndUsableOrSaysWhyNot) {
  const std::string no = "No port was opened: ", stored = no + "the stored port \"";
  const std::string from = "\" does not name a port from COM1 upwards.", s = "Settings=9,N,8,1\n";
  // clang-format off
  for (const auto &[file, reason] : Rows{{"Port=0.4\n" + s, stored + "0.4" + from},
           {"Port=0.5\n" + s, stored + "0.5" + from}, {"Port=70000\n" + s, stored + "70000" + from},
           {"Port=1\nSettings=9,X,8,1\n", "invalid settings"},
           {"Port=-0.2\n" + s, stored + "-0.2\" is not a port number."},
           {"Port=COM3\n" + s, stored + "COM3\" is not a port number."},
           {"Port=3\n", no + "no line settings are stored."}}) {
    // clang-format on
    WriteFile(ini, "[SerialPort]\n" + file);
    Scan({{1, Free}, {20, Free}});
    comm.CommPort(7);
    comm.PortOpen(true); // an earlier failure with its own words
    comm.CommPort(20);   // where the control was left
    store.ComPortOpen(true);
    const bool tried = !reason.starts_with(no); // else the control is asked for nothing it refuses
    Expect({R(B(comm.PortOpen() || !comm.opened.empty()), "no"), R(store.LastOpenError(), reason),
            R(comm.LastErrorText(), tried ? reason : "/dev/fake7: no such device")});
  }
  WriteFile(ini, "[SerialPort]\nPort=20\nSettings=57600,O,7,1\n"); // opened once, input whole
  comm.RTSEnable(true), comm.InputLen(5), store.ComPortOpen(true), store.ComPortOpen(true);
  Expect({R(S(comm.opened.size()) + " " + S(comm.CommPort()) + " " + comm.Settings() + " " +
                S(comm.InputLen()) + B(comm.RTSEnable()) + B(store.ComPortOpen()),
            "1 20 57600,O,7,1 0noyes")});
}
// Parity words read and write in any case, others as they are; a short port name has no number.
// (Fields, tokens and round trips are the settings text fuzzer's, on its corpus.)
TEST(PortSettingsText, ParityWordsAndShortPortNames) {
  EXPECT_EQ(ParityRead("n") + ParityRead("NONE") + ParityRead("o") + ParityRead("Even") +
                ParityRead("M") + "|" + ParityWrite("none") + ParityWrite("ODD") +
                ParityWrite("Even") + ParityWrite("Mark") + "|" + PortTextFromName("CO"),
            "NoneNoneOddEvenM|NOEMark|");
}
// Stored values are preselected, else the defaults; Defaults keeps the port; Cancel only closes.
TEST_F(SerialConfig, TheDialogAsTheUserMeetsIt) {
  Dialog({{5, Free}, {2, Busy}, {7, Free}});
  std::string items;
  for (const FakeComboBox &list : lists)
    for (const std::string &item : list.items)
      items += item + (&item == &list.items.back() ? "|" : " ");
  Expect({R(items, "COM2 COM5 COM7|None Even Odd|8 7|1 2|115200 57600 38400 19200 9600 4800 2400 "
                   "1200 600|"),
          R(Do({}), "|None|8|1|19200|"), R(B(store.SettingsUpdate("7", "57600,o,7,2")), "yes"),
          R((form.InitForm(), Do({})), "COM7|Odd|7|2|57600|/dev/ttyUSB2"),
          R(Do({"COM5"}), "COM5|Odd|7|2|57600|/dev/ttyUSB0"),
          R(Do({"600", "Defaults", "Even"}), "COM5|Even|8|1|19200|/dev/ttyUSB0")});
  Do({"Cancel"});
  EXPECT_EQ(S(window.unloads) + ReadFile(ini), "1[SerialPort]\nPort=7\nSettings=57600,o,7,2\n");
  Do({"OK"});
  form.cmdOK_Click(2);
  EXPECT_EQ(S(window.unloads) + S(box.shown.size()) + ReadFile(ini),
            "20[SerialPort]\nPort=5\nSettings=19200,E,8,1\n");
  // A value no list holds, or the stand-in "NONE", is no valid choice; a failed save is shown;
  // either way nothing is saved and the dialog stays. Denied devices are named, with the remedy.
  window.unloads = 0;
  std::filesystem::remove(ini);
  Dialog({});
  EXPECT_EQ(Do({"NONE", "OK"}), "NONE|None|8|1|19200|");
  ASSERT_TRUE(store.SettingsUpdate("9", "250000,M,8,1"));
  Dialog({{1, Free}});
  EXPECT_EQ(Do({"OK"}), "||8|1||");
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\nPort=9\nSettings=250000,M,8,1\n");
  std::filesystem::remove(ini), std::filesystem::create_directory(ini);
  EXPECT_EQ(Do({"COM1", "Defaults", "OK"}), "COM1|None|8|1|19200|/dev/ttyUSB-4");
  std::string shown = S(window.unloads) + " " + S(lists[ListPort].focused) + "\n";
  for (const auto &m : box.shown)
    shown += m.text + "|" + m.title + "|" + m.detail + (m.icon == MessageIcon::Stop ? "!\n" : "\n");
  const std::string invalid = "Please select valid Port Data|QuillonD - Port Configuration|!\n";
  EXPECT_EQ(shown, "0 2\n" + invalid + invalid + "The settings could not be saved to " + ini +
                       ".|QuillonD - Port Configuration|no settings file\n");
  std::filesystem::remove(ini);
  Dialog({{6, Denied}, {13, Denied}});
  EXPECT_EQ(Do({}), "|None|8|1|19200|Found COM6 (/dev/ttyUSB1), COM13 (/dev/ttyUSB8), but you may "
                    "not open them: add yourself to the dialout group (sudo adduser $USER dialout) "
                    "and log in again.");
  Dialog({{6, Denied}, {7, Free}}); // a port to offer: its device instead
  EXPECT_EQ(Do({"COM7"}), "COM7|None|8|1|19200|/dev/ttyUSB2");
}
