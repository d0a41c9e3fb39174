// The port list; the store, whose scan opens no port, whose file round-trips or reads as nothing
// stored, and whose open uses only what is stored and usable or says why not; and the dialog.
#include "FakeCommControl.h"
#include "FakeControls.h"
#include "PortSettingsText.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "clsSerialPortConfigINI.h"
#include "colPorts.h"
#include "frmConfigSerial.h"
#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>
namespace kestrel::test {
namespace {
using Ports = std::vector<std::pair<int, FakeCommControl::PortState>>;
using Items = std::vector<std::string>;
using Box = FakeMessageBox::Shown;
using enum FakeCommControl::PortState;

// What the dialog's lists show chosen, and the line under the port list.
struct Choices {
  std::string port, parity, dataBits, stopBits, baud, line;
  bool operator==(const Choices &) const = default;
};
std::ostream &operator<<(std::ostream &out, const Choices &c) {
  return out << "{" << c.port << "|" << c.parity << "|" << c.dataBits << "|" << c.stopBits << "|"
             << c.baud << ", line \"" << c.line << "\"}";
}

// Serial.ini in a fresh application folder, the store on it and on a fake control, and the dialog.
class SerialConfig : public testing::Test {
protected:
  void SetUp() override {
    ApplicationFolder(dir.Path());
    store.FileNameINI("Serial.ini");
    form.clsSerialPortConfig = &store;
  }
  void Scan(const Ports &ports) {
    comm.ports.clear();
    for (auto [n, state] : ports)
      comm.Port(n, state);
    store.ComControl(&comm);
  }
  // What the store reads back as "port settings"; "nothing" when it reads nothing.
  std::string Read() {
    std::string port, text;
    return store.SettingsRetrieve(port, text) ? port + ' ' + text : "nothing";
  }
  void Dialog(const Ports &ports) {
    Scan(ports);
    form.InitForm();
  }
  // Picks each named entry in whichever list holds it, or presses the named button; then returns
  // what the user sees chosen.
  Choices Do(const std::vector<std::string> &clicks) {
    for (const std::string &click : clicks)
      if (click == "OK" || click == "Cancel")
        form.cmdOK_Click(click == "OK" ? 0 : 1);
      else if (click == "Defaults")
        form.cmdDefaults_Click();
      else
        for (std::int16_t i = 0; i < 5; ++i)
          if (lists[i].Choose(click))
            form.cmbPort_Click(i);
    return {lists[0].Text(), lists[1].Text(), lists[2].Text(),
            lists[3].Text(), lists[4].Text(), device.Caption()};
  }
  TempDir dir;
  const std::string ini = dir.File("Serial.ini");
  FakeCommControl comm;
  clsSerialPortConfigINI store;
  std::array<FakeComboBox, 5> lists;
  FakeLabel device;
  FakeMessageBox box;
  FakeForm window;
  frmConfigSerial form{{{&lists[0], &lists[1], &lists[2], &lists[3], &lists[4]},
                        device,
                        box,
                        window,
                        [](std::int16_t n) { return "/dev/ttyUSB" + std::to_string(n - 5); }}};
};

TEST_F(SerialConfig, PortListKeepsOrderAndUniqueKeysAndRefusesWhatItCannotDo) {
  colPorts ports;
  ASSERT_TRUE(ports.Add(3, "3"));
  ASSERT_TRUE(ports.Add(1));
  ASSERT_TRUE(ports.Add(7, "7"));
  EXPECT_FALSE(ports.Add(4, "3")) << "a key taken";
  for (int index : {0, 4}) {
    EXPECT_FALSE(ports.Item(index)) << index;
    EXPECT_FALSE(ports.Remove(index)) << index;
  }
  for (const char *key : {"9", ""})
    EXPECT_FALSE(ports.Item(key)) << key;
  EXPECT_FALSE(ports.Remove("9"));
  EXPECT_EQ(ports.Count(), 3);
  EXPECT_EQ(ports.begin()->port->Port(), 3);
  EXPECT_EQ(ports.Item(2)->Port(), 1);
  EXPECT_EQ(ports.Item(3)->Port(), 7);
  EXPECT_EQ(ports.Item("7")->Port(), 7);
  // A removed key is free again.
  EXPECT_TRUE(ports.Remove(2));
  EXPECT_TRUE(ports.Remove("3"));
  EXPECT_TRUE(ports.Add(3, "3"));
  EXPECT_TRUE(ports.Remove(2));
  EXPECT_EQ(ports.Count(), 1);
  EXPECT_EQ(ports.Item(1)->Port(), 7);
  ports.ClearCollection();
  EXPECT_EQ(ports.Count(), 0);
}

TEST_F(SerialConfig, TheScanListsFreeAndBusyPortsFrom1To20AndOpensNone) {
  Scan({{1, Free}, {4, Busy}, {6, Denied}, {20, Free}, {21, Free}});
  EXPECT_EQ(store.PortsFound(), 3);
  EXPECT_EQ(store.Port(1), 1);
  EXPECT_EQ(store.Port(2), 4);
  EXPECT_EQ(store.Port(3), 20);
  EXPECT_EQ(store.Port(0), 0);
  EXPECT_EQ(store.Port(4), 0);
  EXPECT_EQ(store.PortsDenied(), std::vector<std::int16_t>{6});
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_TRUE(comm.opened.empty());
  EXPECT_EQ(comm.probed.size(), 20u);
  EXPECT_EQ(comm.CommPort(), 1);
  EXPECT_EQ(store.PortsFindAll(5, 2), 0);
  EXPECT_EQ(store.PortsFindAll(4, 4), 1);
  EXPECT_TRUE(store.ComPortAlreadyOpened(comm, 4));
  EXPECT_FALSE(store.ComPortAlreadyOpened(comm, 1));
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_FALSE(store.ComPortAlreadyOpened(comm, 9));
}

TEST_F(SerialConfig, TheStoreSavesTrimmedSkipsABlankEntryAndTakesNoUnusableFile) {
  EXPECT_TRUE(store.SettingsUpdate(" 3 ", "115200,E,7,2 "));
  EXPECT_EQ(Read(), "3 115200,E,7,2");
  EXPECT_TRUE(store.SettingsUpdate("   ", "19200,N,8,1")) << "a blank port is skipped";
  EXPECT_EQ(Read(), "3 19200,N,8,1");
  EXPECT_FALSE(store.SettingsUpdate("", "9600,N,8,1"));
  EXPECT_FALSE(store.SettingsUpdate("2", ""));
  EXPECT_FALSE(clsSerialPortConfigINI().SettingsUpdate("2", "9600,N,8,1")) << "no file name";
  std::string port, text;
  EXPECT_FALSE(clsSerialPortConfigINI().SettingsRetrieve(port, text)) << "no file name";
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\nPort=3\nSettings=19200,N,8,1\n");
  const std::string s = "Settings=9600,N,8,1\n";
  const struct {
    const char *name;
    std::string file;
  } nothingStored[] = {
      {"empty", ""},
      {"outside the section", "Port=3\n" + s},
      {"no settings", "[SerialPort]\nPort=3\n"},
      {"port 0", "[SerialPort]\nPort=0\n" + s},
      {"no number", "[SerialPort]\nPort=abc\n" + s},
      {"binary", std::string("\x00\xFF[Serial\x01Port]\n\xFE=\x00", 16)},
  };
  for (const auto &row : nothingStored) {
    SCOPED_TRACE(row.name);
    WriteFile(ini, row.file);
    EXPECT_EQ(Read(), "nothing");
    EXPECT_TRUE(store.SettingsUpdate("5", "9600,N,8,1"));
    EXPECT_EQ(Read(), "5 9600,N,8,1");
  }
  std::filesystem::remove(ini);
  std::filesystem::create_directory(ini); // a folder where the file should be
  EXPECT_FALSE(store.SettingsUpdate("3", "9600,N,8,1"));
  EXPECT_EQ(store.LastSaveError(), "no settings file");
  EXPECT_TRUE(std::filesystem::is_directory(ini));
}

// A failed open tells that attempt's own reason, or says that nothing was attempted; an unusable
// stored port or settings the control refuses open nothing, whichever port the control is on.
TEST_F(SerialConfig, AnOpenUsesOnlyWhatIsStoredAndUsableOrSaysWhyNot) {
  const std::string no = "No port was opened: ", stored = no + "the stored port \"";
  const std::string from = "\" does not name a port from COM1 upwards.", s = "Settings=9,N,8,1\n";
  const struct {
    const char *name;
    std::string file, reason;
  } rows[] = {
      {"rounds to 0", "Port=0.4\n" + s, stored + "0.4" + from},
      {"rounds to 1", "Port=0.5\n" + s, stored + "0.5" + from},
      {"past 16 bits", "Port=70000\n" + s, stored + "70000" + from},
      {"settings refused", "Port=1\nSettings=9,X,8,1\n", "invalid settings"},
      {"negative", "Port=-0.2\n" + s, stored + "-0.2\" is not a port number."},
      {"a name", "Port=COM3\n" + s, stored + "COM3\" is not a port number."},
      {"no settings", "Port=3\n", no + "no line settings are stored."},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(ini, "[SerialPort]\n" + row.file);
    Scan({{1, Free}, {20, Free}});
    comm.CommPort(7);
    comm.PortOpen(true); // an earlier failure with its own words
    comm.CommPort(20);   // where the control was left
    store.ComPortOpen(true);
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_TRUE(comm.opened.empty());
    EXPECT_EQ(store.LastOpenError(), row.reason);
    // Where nothing was attempted the control is asked for nothing it refuses.
    const bool tried = !row.reason.starts_with(no);
    EXPECT_EQ(comm.LastErrorText(), tried ? row.reason : "/dev/fake7: no such device");
  }
  WriteFile(ini, "[SerialPort]\nPort=20\nSettings=57600,O,7,1\n"); // opened once, input whole
  comm.RTSEnable(true);
  comm.InputLen(5);
  store.ComPortOpen(true);
  store.ComPortOpen(true);
  EXPECT_EQ(comm.opened.size(), 1u);
  EXPECT_EQ(comm.CommPort(), 20);
  EXPECT_EQ(comm.Settings(), "57600,O,7,1");
  EXPECT_EQ(comm.InputLen(), 0);
  EXPECT_FALSE(comm.RTSEnable());
  EXPECT_TRUE(store.ComPortOpen());
}

// Parity words read and write in any case, others as they are; a short port name has no number.
// (Fields, tokens and round trips are the settings text fuzzer's, on its corpus.)
TEST(PortSettingsText, ParityWordsAndShortPortNames) {
  const std::pair<const char *, const char *> reads[] = {
      {"n", "None"}, {"NONE", "None"}, {"o", "Odd"}, {"Even", "Even"}, {"M", "M"}};
  for (const auto &[field, shown] : reads)
    EXPECT_EQ(ParityRead(field), shown) << field;
  const std::pair<const char *, const char *> writes[] = {
      {"none", "N"}, {"ODD", "O"}, {"Even", "E"}, {"Mark", "Mark"}};
  for (const auto &[shown, field] : writes)
    EXPECT_EQ(ParityWrite(shown), field) << shown;
  EXPECT_EQ(PortTextFromName("CO"), "");
}

// Stored values are preselected, else the defaults; Defaults keeps the port; Cancel only closes.
TEST_F(SerialConfig, TheDialogAsTheUserMeetsIt) {
  Dialog({{5, Free}, {2, Busy}, {7, Free}});
  EXPECT_EQ(lists[0].items, (Items{"COM2", "COM5", "COM7"}));
  EXPECT_EQ(lists[1].items, (Items{"None", "Even", "Odd"}));
  EXPECT_EQ(lists[2].items, (Items{"8", "7"}));
  EXPECT_EQ(lists[3].items, (Items{"1", "2"}));
  EXPECT_EQ(lists[4].items,
            (Items{"115200", "57600", "38400", "19200", "9600", "4800", "2400", "1200", "600"}));
  EXPECT_EQ(Do({}), (Choices{"", "None", "8", "1", "19200", ""}));
  ASSERT_TRUE(store.SettingsUpdate("7", "57600,o,7,2"));
  form.InitForm();
  EXPECT_EQ(Do({}), (Choices{"COM7", "Odd", "7", "2", "57600", "/dev/ttyUSB2"}));
  EXPECT_EQ(Do({"COM5"}), (Choices{"COM5", "Odd", "7", "2", "57600", "/dev/ttyUSB0"}));
  EXPECT_EQ(Do({"600", "Defaults", "Even"}),
            (Choices{"COM5", "Even", "8", "1", "19200", "/dev/ttyUSB0"}));
  Do({"Cancel"});
  EXPECT_EQ(window.unloads, 1);
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\nPort=7\nSettings=57600,o,7,2\n");
  Do({"OK"});
  form.cmdOK_Click(2);
  EXPECT_EQ(window.unloads, 2);
  EXPECT_TRUE(box.shown.empty());
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\nPort=5\nSettings=19200,E,8,1\n");
  // A value no list holds, or the stand-in "NONE", is no valid choice; a failed save is shown;
  // either way nothing is saved and the dialog stays. Denied devices are named, with the remedy.
  window.unloads = 0;
  std::filesystem::remove(ini);
  Dialog({});
  EXPECT_EQ(Do({"NONE", "OK"}), (Choices{"NONE", "None", "8", "1", "19200", ""}));
  ASSERT_TRUE(store.SettingsUpdate("9", "250000,M,8,1"));
  Dialog({{1, Free}});
  EXPECT_EQ(Do({"OK"}), (Choices{"", "", "8", "1", "", ""}));
  EXPECT_EQ(ReadFile(ini), "[SerialPort]\nPort=9\nSettings=250000,M,8,1\n");
  std::filesystem::remove(ini);
  std::filesystem::create_directory(ini);
  EXPECT_EQ(Do({"COM1", "Defaults", "OK"}),
            (Choices{"COM1", "None", "8", "1", "19200", "/dev/ttyUSB-4"}));
  EXPECT_EQ(window.unloads, 0);
  EXPECT_EQ(lists[ListPort].focused, 2);
  const std::string title = "QuillonD - Port Configuration";
  const Box invalid{"Please select valid Port Data", title, MessageIcon::Stop, ""};
  EXPECT_EQ(box.shown, (std::vector<Box>{invalid,
                                         invalid,
                                         {"The settings could not be saved to " + ini + ".", title,
                                          MessageIcon::Exclamation, "no settings file"}}));
  std::filesystem::remove(ini);
  Dialog({{6, Denied}, {13, Denied}});
  const std::string remedy = "Found COM6 (/dev/ttyUSB1), COM13 (/dev/ttyUSB8), but you may not "
                             "open them: add yourself to the dialout group (sudo adduser $USER "
                             "dialout) and log in again.";
  EXPECT_EQ(Do({}), (Choices{"", "None", "8", "1", "19200", remedy}));
  Dialog({{6, Denied}, {7, Free}}); // a port to offer: its device instead
  EXPECT_EQ(Do({"COM7"}), (Choices{"COM7", "None", "8", "1", "19200", "/dev/ttyUSB2"}));
}

} // namespace
} // namespace kestrel::test
