// The Tools menu: find and progress texts; reconnect, paste, send file, break and line
// levels around the window on fake controls; a file sent whole to a pseudo-terminal.
#include "ToolsMenu.h"
#include "FakeToolsControls.h"
#include "IniFile.h"
#include "ToolsOnPty.h"
#include "ToolsText.h"
#include <thread>
namespace kestrel::test {
namespace {
using namespace std::chrono_literals;
using Text = std::string;
constexpr auto kFree = FakeCommControl::PortState::Free;

TEST(ToolsText, FindGoesForwardsAndBackwardsIgnoringCaseByDefault) {
  const Text text = "Boot OK\r\nboot failed\r\nBOOT ok";
  const struct {
    const char *name, *needle;
    std::size_t from;
    bool forward, matchCase;
    std::size_t at;
  } rows[] = {
      {"first, any case", "boot", 0, true, false, 0},
      {"next after the start", "boot", 1, true, false, 9},
      {"next, case matched", "boot", 1, true, true, 9},
      {"capitals, case matched", "BOOT", 0, true, true, 22},
      {"backwards from past the end", "boot", 30, false, false, 22},
      {"backwards from a match", "boot", 22, false, false, 9},
      {"backwards to the first", "boot", 9, false, false, 0},
      {"backwards, none before", "boot", 3, false, false, Text::npos},
      {"forwards to the last line", "ok", 8, true, false, 27},
      {"empty needle", "", 0, true, false, Text::npos},
      {"start past the end", "boot", 99, true, false, Text::npos},
      {"backwards from far past the end", "Ok", 999, false, false, 27},
      {"not there", "nix", 0, true, false, Text::npos},
      {"across a line break", "ok\r\nboot", 0, true, false, 5},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FindInText(text, row.needle, row.from, row.forward, row.matchCase), row.at);
  }
}

TEST(ToolsText, SendProgressSaysAmountRateAndTimeLeft) {
  const struct {
    const char *name;
    std::uint64_t sent, size;
    std::int64_t ms;
    const char *text;
  } rows[] = {
      {"nothing yet", 0, 10 << 20, 0, "0 bytes of 10.0 MB sent"},
      {"half way", 512 << 10, 1 << 20, 1000, "512.0 KB of 1.0 MB sent, 512.0 KB/s, 1 s left"},
      {"all sent", 1 << 20, 1 << 20, 2000, "1.0 MB of 1.0 MB sent, 512.0 KB/s"},
      {"hours left", 1152, 1ull << 30, 1000, "1.1 KB of 1.00 GB sent, 1.1 KB/s, 258 h 54 min left"},
      {"minutes left", 960, 96000, 1000, "960 bytes of 93.8 KB sent, 960 bytes/s, 1 min 39 s left"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SendProgressText(row.sent, row.size, row.ms), row.text);
  }
}

using Tools = ToolsOn;

// What the window shows of the port while it reconnects.
struct PortSeen {
  std::string panel;          // status panel 1
  bool settingsShown = false; // status panel 2 not greyed
  std::string button;
  bool portOpen = false;
  bool waiting = false; // for the device to come back
  int retryMs = 0;      // the reconnect timer, 0 when stopped
  std::string display;  // without the start line
  bool operator==(const PortSeen &) const = default;
};
std::ostream &operator<<(std::ostream &out, const PortSeen &s) {
  return out << "{\"" << s.panel << "\"" << (s.settingsShown ? "" : " greyed") << ", button \""
             << s.button << "\", port " << (s.portOpen ? "open" : "closed")
             << (s.waiting ? ", waiting" : "") << ", retry " << s.retryMs << " ms, display \""
             << s.display << "\"}";
}
PortSeen Closed(const Text &display) {
  return {"Serial Port Closed", false, "Open Port", false, false, 0, display};
}
PortSeen Waiting(const Text &display) {
  return {"Waiting for Device", false, "Close Port", false, true, 250, display};
}
PortSeen Active(const Text &display) {
  return {"Serial Port Active", true, "Close Port", true, false, 0, display};
}

class ToolsTest : public TerminalTest {
protected:
  ToolsTest() {
    c.Port(3, kFree);
    Load("3", "115200,N,8,1");
  }
  void Open() {
    m.cmdOpenPort_Click();
    ASSERT_TRUE(c.PortOpen());
  }
  void DeviceGoes() {
    c.Vanish();
    m.MSComm1_Closed();
  }
  void SendFile(const Text &bytes) {
    WriteFile(dir.File("image.bin"), bytes);
    x.chooser.path = dir.File("image.bin");
    m.mnuToolsSendFile_Click();
  }
  PortSeen Seen() const {
    return {t->sbTop.PanelText(1),
            t->sbTop.PanelEnabled(2),
            t->cmdOpenPort.Caption(),
            c.PortOpen(),
            m.Waiting(),
            x.tmrReconnect.Interval(),
            Shown()};
  }
  FakeCommControl &c = t->MSComm1;
  Tools x{*t};
  ToolsMenu &m = x.menu;
};

TEST_F(ToolsTest, ReconnectWaitsForTheDeviceReopensItAndStopsOnTheButtonOrTheOption) {
  Open();
  DeviceGoes();
  EXPECT_EQ(Seen(), Closed(""));
  t->mnuOptionIgnorePinStatus.Checked(false);
  m.mnuToolsReconnect_Click();
  c.Port(3, kFree);
  Open();
  Receive("partial");
  DeviceGoes();
  const Text lost = "partial\r\nDevice Disconnected\r\n";
  EXPECT_EQ(Seen(), Waiting(lost));
  x.Advance(1000);
  EXPECT_EQ(x.tmrReconnect.fired, 4);
  EXPECT_EQ(Seen(), Waiting(lost));
  c.Port(3, kFree);
  x.Advance(250);
  Receive("more\n");
  const Text back = lost + "Device Reconnected\r\nmore\r\n";
  EXPECT_EQ(Seen(), Active(back));
  EXPECT_EQ(c.Settings(), "115200,N,8,1");
  // With pin status messages ignored the same happens without the lines.
  t->mnuOptionIgnorePinStatus.Checked(true);
  DeviceGoes();
  c.Port(3, kFree);
  x.Advance(250);
  EXPECT_EQ(Seen(), Active(back));
  for (bool byButton : {true, false}) {
    SCOPED_TRACE(byButton ? "stopped by the button" : "stopped by the option");
    DeviceGoes();
    if (byButton)
      m.cmdOpenPort_Click();
    else
      m.mnuToolsReconnect_Click();
    c.Port(3, kFree);
    x.Advance(1000);
    EXPECT_EQ(Seen(), Closed(back));
    Open();
  }
}

// What comes back is the port that was lost, with RTS as it was: at the settings the file holds for
// it now, never the port the file names now (saved meanwhile, or by another running copy).
TEST_F(ToolsTest, ReconnectReopensTheLostPortAsItWasAndNoOtherPortTheFileNamesNow) {
  const struct {
    const char *name;
    const char *port, *settings, *reopenedAt;
  } rows[] = {{"the file names another port now", "2", "9600,N,8,1", "115200,N,8,1"},
              {"the file has new settings for the lost port", "3", "9600,E,7,1", "9600,E,7,1"}};
  m.mnuToolsReconnect_Click();
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    Load("3", "115200,N,8,1");
    c.Port(2, kFree);
    c.Port(3, kFree);
    Open();
    if (t->mnuRTSLevel.Checked()) // the open dropped RTS; the item raises it again
      t->frm.mnuRTSLevel_Click();
    t->frm.mnuRTSLevel_Click();
    ASSERT_TRUE(c.RTSEnable());
    DeviceGoes();
    ASSERT_TRUE(IniWriteValues(dir.File("Serial.ini"), "SerialPort",
                               {{"Port", row.port}, {"Settings", row.settings}})
                    .ok);
    x.Advance(250);
    EXPECT_FALSE(c.PortOpen()) << "another port was opened";
    c.Port(3, kFree);
    x.Advance(250);
    EXPECT_TRUE(c.PortOpen());
    EXPECT_EQ(c.CommPort(), 3);
    EXPECT_EQ(c.Settings(), row.reopenedAt);
    EXPECT_TRUE(c.RTSEnable()) << "RTS high as before the loss";
    m.cmdOpenPort_Click();
  }
}
TEST_F(ToolsTest, ReconnectAutomaticallyStartsAsTheUserLastLeftIt) {
  EXPECT_FALSE(x.mnuToolsReconnect.Checked());
  m.mnuToolsReconnect_Click();
  EXPECT_EQ(IniReadValue(dir.File("Serial.ini"), "Tools", "Reconnect"), "1");
  EXPECT_EQ(IniReadValue(dir.File("Serial.ini"), "SerialPort", "Port"), "3");
  Tools nextRun{*t};
  EXPECT_TRUE(nextRun.mnuToolsReconnect.Checked());
  nextRun.menu.mnuToolsReconnect_Click();
  EXPECT_FALSE(Tools{*t}.mnuToolsReconnect.Checked());
  EXPECT_EQ(t->messageBox.shown.size(), 0u);
}

// Lines end in CR as typed keys do; what is not Latin-1 is left out and told.
TEST_F(ToolsTest, PasteSendsWhatTypedKeysWouldWhileOpenAndAsksWhenLarge) {
  m.mnuToolsPaste_Click(U"closed\n");
  EXPECT_EQ(c.sent, "");
  Open();
  const Text active = "Serial Port Active", left = " left out (not in Latin-1)";
  const std::u32string big(ToolsMenu::kPasteAskBytes + 1, U'x');
  const struct {
    const char *name;
    std::u32string text;
    Text sent;
    Text panel; // empty: whatever the panel said before
  } rows[] = {
      {"every line end as CR", U"one\r\ntwo\nthree\rfour", "one\rtwo\rthree\rfour", active},
      {"blank lines kept", U"\r\r\n\n", "\r\r\r", ""},
      {"Latin-1 letters", U"caf\u00e9 \u00ff", "caf\xe9 \xff", ""},
      {"tabs and escapes", U"\t\x1b[0m", "\t\x1b[0m", ""},
      {"nothing", U"", "", active},
      {"beyond Latin-1", U"5 \u20ac, \U0001F600!", "5 , !", "Paste to Port: 2 characters" + left},
      {"one beyond Latin-1", U"\u20ac", "", "Paste to Port: 1 character" + left},
      {"the next paste ends the note", std::u32string(U"a\0b", 3), Text("a\0b", 3), active},
      {"the most sent unasked", std::u32string(ToolsMenu::kPasteAskBytes, U'y'), Text(65536, 'y'),
       ""},
      {"larger: asked, declined", big, "", ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    c.sent.clear();
    m.mnuToolsPaste_Click(row.text);
    EXPECT_TRUE(c.sent == row.sent) << c.sent.size() << " bytes sent";
    if (!row.panel.empty()) {
      EXPECT_EQ(t->sbTop.PanelText(1), row.panel);
    }
  }
  EXPECT_EQ(x.question.asked, std::vector<Text>{"kestrel-terminal - Paste to Port: The text to "
                                                "paste is 65537 characters long. Send all of it "
                                                "to the port?"});
  x.question.answer = true;
  m.mnuToolsPaste_Click(big);
  EXPECT_EQ(c.sent.size(), big.size());
}

const Text kSendTitle = "kestrel-terminal - Send File";

TEST_F(ToolsTest, SendFileIsPacedAndArrivesWhole) {
  Open();
  SendFile(Text(1 << 20, 'p'));
  EXPECT_EQ(x.progress.fileName, "image.bin");
  for (int tick = 0; tick < 1000 && x.progress.shown; ++tick) {
    EXPECT_LE(c.pending, FileSender::kHighWater + FileSender::kChunk);
    c.Drain(30000);
    x.Advance(ToolsMenu::kSendTickMs);
  }
  EXPECT_FALSE(x.progress.shown);
  EXPECT_EQ(x.tmrSendFile.Interval(), 0);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(c.sent, Text(1 << 20, 'p'));
  EXPECT_EQ(m.Sender().Status(), FileSender::State::Done);
}

// Cancel throws away what is queued: nothing more reaches the line.
TEST_F(ToolsTest, SendFileCancelledStopsAtOnce) {
  Open();
  SendFile(Text(2 << 20, 'z'));
  c.Drain(100000);
  x.Advance(200);
  EXPECT_NE(x.progress.text.find(" of 2.0 MB sent"), Text::npos) << x.progress.text;
  EXPECT_GT(x.progress.permille, 0);
  m.cmdSendCancel_Click();
  EXPECT_FALSE(x.progress.shown);
  EXPECT_EQ(c.OutBufferCount(), 0);
  EXPECT_GT(c.discarded, 0u);
  x.Advance(100);
  EXPECT_EQ(c.sent, Text(100000, 'z'));
}

TEST_F(ToolsTest, SendFileSaysWhyNot) {
  const Text unable = "Unable to read the file ";
  const auto warning = [](const Text &text, const Text &detail) {
    return Box{text, kSendTitle, MessageIcon::Exclamation, detail};
  };
  const struct {
    const char *name;
    bool open;
    Text path;
    std::vector<Box> boxes;
  } rows[] = {
      {"port closed", false, dir.File("x"), {warning("Open the port before sending a file.", "")}},
      {"no such file",
       true,
       dir.File("none"),
       {warning(unable + dir.File("none") + ".", "No such file or directory")}},
      {"a folder",
       true,
       dir.Path(),
       {{dir.Path() + " is a folder, not a file. Choose a file to send.", kSendTitle,
         MessageIcon::Exclamation, ""}}},
      {"chooser cancelled", true, "", {}},
      {"longer than its size, as a file of /proc is",
       true,
       "/proc/version",
       {warning("version is longer than the 0 bytes the system says it holds, so it cannot be sent "
                "as it stands. Sending stopped after 0 bytes.",
                "")}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    if (row.open != c.PortOpen())
      m.cmdOpenPort_Click();
    t->messageBox.shown.clear();
    x.chooser.path = row.path;
    m.mnuToolsSendFile_Click();
    EXPECT_EQ(Boxes(), row.boxes);
    EXPECT_FALSE(x.progress.shown);
  }
}

TEST_F(ToolsTest, SendFileSaysSoWhenThePortCloses) {
  Open();
  SendFile(Text(2 << 20, 'z'));
  DeviceGoes();
  x.Advance(ToolsMenu::kSendTickMs);
  EXPECT_FALSE(x.progress.shown);
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"The port closed before all of image.bin was sent.",
                                        kSendTitle, MessageIcon::Exclamation, ""}}));
}

// The chooser's and the question's event loops run while they are open.
TEST_F(ToolsTest, APortLostWhileTheChooserOrTheQuestionIsOpenIsToldAndNothingGoes) {
  const struct {
    const char *name;
    bool paste;
    Box told;
  } rows[] = {
      {"file chooser",
       false,
       {"The port closed before image.bin was sent.", kSendTitle, MessageIcon::Exclamation, ""}},
      {"question before a long paste",
       true,
       {"The port closed before the text was sent.", "kestrel-terminal - Paste to Port",
        MessageIcon::Exclamation, ""}},
  };
  WriteFile(x.chooser.path = dir.File("image.bin"), Text(1000, 'i'));
  x.question.answer = true;
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    c.Port(3, kFree);
    Open();
    t->messageBox.shown.clear();
    x.chooser.meanwhile = x.question.meanwhile = [this] { DeviceGoes(); };
    if (row.paste)
      m.mnuToolsPaste_Click(std::u32string(ToolsMenu::kPasteAskBytes + 1, U'x'));
    else
      m.mnuToolsSendFile_Click();
    x.chooser.meanwhile = x.question.meanwhile = nullptr;
    EXPECT_EQ(Boxes(), std::vector<Box>{row.told});
    EXPECT_EQ(c.sent, "");
    EXPECT_FALSE(x.progress.shown);
  }
}

// What each lamp reads is pinned by the Qt window's test; here, the timers.
TEST_F(ToolsTest, ABreakLastsAQuarterSecondAndTheLampsAreRedrawnOnlyWhenTheyChange) {
  m.mnuToolsSendBreak_Click(); // closed: nothing
  Open();
  m.mnuToolsSendBreak_Click();
  m.mnuToolsSendBreak_Click(); // while one lasts: nothing more
  x.Advance(249);
  EXPECT_EQ(c.breakHistory, std::vector<bool>{true});
  x.Advance(1);
  EXPECT_EQ(c.breakHistory, (std::vector<bool>{true, false}));
  const FakeLineLevelsView &v = x.levels;
  m.mnuToolsLineLevels_Click();
  c.inputs.ri = true;
  t->frm.mnuDTRLevel_Click();
  x.Advance(ToolsMenu::kLevelsTickMs);
  EXPECT_TRUE(v.visible);
  EXPECT_TRUE(v.enabled);
  EXPECT_TRUE(v.levels.ri);
  EXPECT_TRUE(v.levels.dtr);
  EXPECT_FALSE(v.levels.cts);
  const int updates = v.updates;
  x.Advance(1000);
  EXPECT_EQ(v.updates, updates) << "no change, no redraw";
  m.LineLevels_Closed();
  EXPECT_FALSE(x.mnuToolsLineLevels.Checked());
  EXPECT_EQ(x.tmrLineLevels.Interval(), 0);
}

TEST(ToolsOnPty, TenMegabytesOfFileArriveByteExactAtTheDevice) {
  TempDir dir;
  ToolsOnPty p(dir);
  if (!p.Ok())
    GTEST_SKIP() << "no pseudo-terminal to be had here";
  ASSERT_TRUE(p.t->MSComm1.PortOpen());
  ToolsOn &x = *p.x;
  Text file(10u << 20, '\0');
  std::uint32_t seed = 1;
  for (char &byte : file) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 16);
  }
  x.chooser.path = dir.File("upload.bin");
  WriteFile(x.chooser.path, file);
  Text arrived;
  std::thread reader([&] { arrived = p.pty->Read(file.size(), 120s); });
  x.menu.mnuToolsSendFile_Click();
  const auto end = std::chrono::steady_clock::now() + 120s;
  while (x.progress.shown && std::chrono::steady_clock::now() < end) {
    p.ui.PumpFor(5ms);
    x.Advance(5);
  }
  reader.join();
  EXPECT_EQ(x.menu.Sender().Status(), FileSender::State::Done);
  EXPECT_TRUE(arrived == file) << arrived.size() << " bytes arrived";
}

} // namespace
} // namespace kestrel::test
