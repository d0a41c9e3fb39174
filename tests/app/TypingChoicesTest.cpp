// Enter Sends and Local Echo around the window on a fake port: what goes out for each choice,
// the echo drawn as typed and kept out of the log, the choices kept between runs; and the
// endings arriving at a pseudo-terminal as chosen.
#include "TypingChoices.h"
#include "TextStyle.h"
#include "ToolsOnPty.h"
namespace kestrel::test {
namespace {
using Enter = TypingChoices::Enter;

// The typing choices on fake menu items, around a terminal window.
struct Typing {
  template <class Window>
  explicit Typing(Window &t, const std::string &ini)
      : choices(ini), typing(TypingChoicesControls{t.frm, t.MSComm1, cr, lf, crlf, echo, choices,
                                                   t.messageBox, t.appInfo}) {}
  void Type(const std::string &keys) {
    for (char key : keys) {
      std::int16_t code = static_cast<unsigned char>(key);
      typing.rtfData_KeyPress(code);
    }
  }
  FakeMenuItem cr, lf, crlf, echo;
  ToolsChoices choices;
  TypingChoices typing;
};

class TypingTest : public TerminalTest {
protected:
  TypingTest() {
    t->MSComm1.Port(3, FakeCommControl::PortState::Free);
    Load("3", "115200,N,8,1");
    t->frm.cmdOpenPort_Click();
  }
  std::string Ini() const { return dir.File("Serial.ini"); }
  std::string Sent() const { return t->MSComm1.sent; }
  // The shown text of the typed style only.
  std::string TypedShown() const {
    std::string typed;
    const std::string_view text = t->rtfData.Text();
    for (std::size_t i = 0; i < text.size(); ++i)
      if (TextStyle::Unpacked(t->rtfData.StyleAt(t->rtfData.Origin() + i)).typed)
        typed += text[i];
    return typed;
  }
};

TEST_F(TypingTest, AFirstStartSendsOneCrAndShowsNothingAsTheWindowAlwaysDid) {
  Typing x(*t, Ini());
  EXPECT_TRUE(x.cr.Checked());
  EXPECT_FALSE(x.lf.Checked() || x.crlf.Checked() || x.echo.Checked());
  x.Type("ls\r");
  EXPECT_EQ(Sent(), "ls\r");
  EXPECT_EQ(Shown(), "");
  EXPECT_EQ(ReadFile(Ini()).find("[Tools]"), std::string::npos) << "nothing chosen, nothing saved";
}

TEST_F(TypingTest, EnterSendsTheChosenEndingAndOtherKeysAsTheyAre) {
  struct Row {
    const char *name;
    Enter enter;
    bool echo;
    const char *sent;
  } rows[] = {
      {"CR", Enter::CR, false, "ok\r"},          {"LF", Enter::LF, false, "ok\n"},
      {"CR LF", Enter::CRLF, false, "ok\r\n"},   {"CR with echo", Enter::CR, true, "ok\r"},
      {"LF with echo", Enter::LF, true, "ok\n"}, {"CR LF with echo", Enter::CRLF, true, "ok\r\n"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    t->MSComm1.sent.clear();
    Typing x(*t, "");
    x.typing.mnuToolsEnterSends_Click(row.enter);
    if (row.echo)
      x.typing.mnuToolsLocalEcho_Click();
    x.Type("ok\r");
    EXPECT_EQ(Sent(), row.sent);
    EXPECT_EQ(x.cr.Checked(), row.enter == Enter::CR);
    EXPECT_EQ(x.lf.Checked(), row.enter == Enter::LF);
    EXPECT_EQ(x.crlf.Checked(), row.enter == Enter::CRLF);
  }
}

TEST_F(TypingTest, KeysTypedWhileAFileSendsAreHeldWhateverEnterSendsOrTheEcho) {
  ToolsOn tools(*t);
  WriteFile(tools.chooser.path = dir.File("image.bin"), std::string(2u << 20, 'f'));
  tools.menu.mnuToolsSendFile_Click();
  ASSERT_TRUE(tools.progress.shown);
  const std::size_t went = Sent().size();
  struct Row {
    const char *name;
    Enter enter;
    bool echo;
  } rows[] = {{"LF", Enter::LF, false}, {"CR LF", Enter::CRLF, false}, {"echo", Enter::CR, true}};
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    Typing x(*t, "");
    x.typing.mnuToolsEnterSends_Click(row.enter);
    if (row.echo)
      x.typing.mnuToolsLocalEcho_Click();
    t->sbTop.PanelText(1, "Serial Port Active");
    x.Type("k\r");
    EXPECT_EQ(Sent().substr(went), "");
    EXPECT_EQ(TypedShown(), "");
    EXPECT_EQ(t->sbTop.PanelText(1), "Typed keys are not sent while a file is sending");
  }
}

TEST_F(TypingTest, AClosedPortTakesNoKeysAndEchoesNone) {
  Typing x(*t, Ini());
  x.typing.mnuToolsEnterSends_Click(Enter::CRLF);
  x.typing.mnuToolsLocalEcho_Click();
  t->frm.cmdOpenPort_Click(); // closes
  x.Type("ab\r");
  x.typing.SendTyped("pasted\r");
  EXPECT_EQ(Sent(), "");
  EXPECT_EQ(Shown(), "");
}

TEST_F(TypingTest, TheEchoIsShownAsTypedBetweenTheBoardsLinesAndNeverLogged) {
  Typing x(*t, Ini());
  x.typing.mnuToolsLocalEcho_Click();
  const std::string log = LogTo("session.txt");
  Receive("login: ");
  x.Type("root\r");
  Receive("\nwelcome\n");
  EXPECT_EQ(Shown(), "login: root\r\n\r\nwelcome\r\n");
  EXPECT_EQ(TypedShown(), "root\r\n");
  EXPECT_EQ(t->rtfData.Style(), 0u) << "received text goes on plain";
  const std::string logged = ReadFile(log);
  EXPECT_NE(logged.find("\tlogin: \r\n"), std::string::npos) << logged;
  EXPECT_NE(logged.find("\twelcome\r\n"), std::string::npos) << logged;
  EXPECT_EQ(logged.find("root"), std::string::npos) << logged;
}

TEST_F(TypingTest, PastedLineBreaksGoOutAsTheChosenEndingAndEchoAsLines) {
  Typing x(*t, Ini());
  x.typing.mnuToolsEnterSends_Click(Enter::LF);
  x.typing.mnuToolsLocalEcho_Click();
  x.typing.SendTyped("set a 1\rset b 2\r");
  EXPECT_EQ(Sent(), "set a 1\nset b 2\n");
  EXPECT_EQ(TypedShown(), "set a 1\r\nset b 2\r\n");
}

TEST_F(TypingTest, ChoicesAreRememberedForTheNextStartAndAStrangeValueReadsAsCr) {
  {
    Typing x(*t, Ini());
    x.typing.mnuToolsEnterSends_Click(Enter::CRLF);
    x.typing.mnuToolsLocalEcho_Click();
  }
  EXPECT_NE(ReadFile(Ini()).find("EnterSends=CRLF"), std::string::npos);
  EXPECT_NE(ReadFile(Ini()).find("LocalEcho=1"), std::string::npos);
  {
    Typing next(*t, Ini());
    EXPECT_TRUE(next.crlf.Checked());
    EXPECT_TRUE(next.echo.Checked());
    EXPECT_EQ(next.typing.LineEnding(), "\r\n");
  }
  WriteFile(Ini(), ::kestrel::test::Ini("3") + "[Tools]\r\nEnterSends=TAB\r\nLocalEcho=yes\r\n");
  Typing strange(*t, Ini());
  EXPECT_TRUE(strange.cr.Checked());
  EXPECT_FALSE(strange.echo.Checked());
}

TEST_F(TypingTest, AChoiceThatCannotBeSavedHoldsForThisRunAndSaysSo) {
  Typing x(*t, dir.File("no-such-folder/Serial.ini"));
  x.typing.mnuToolsEnterSends_Click(Enter::LF);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text.rfind("The choice could not be remembered", 0), 0u);
  x.Type("\r");
  EXPECT_EQ(Sent(), "\n");
}

// Not typing, but the same window: the dialog's port list is made afresh at every opening.
TEST_F(TypingTest, APortPluggedInBetweenOpeningsOfTheDialogIsListedAtTheNext) {
  std::vector<std::string> shown;
  t->host.configWhileShown = [&](FakeConfigSerialWindow &w) {
    std::string ports;
    for (const std::string &item : w.lists[ListPort].items)
      ports += item + " ";
    shown.push_back(ports);
  };
  t->frm.mnuOptionSerialPort_Click();
  t->MSComm1.Port(12, FakeCommControl::PortState::Free);
  t->frm.mnuOptionSerialPort_Click();
  EXPECT_EQ(shown, (std::vector<std::string>{"COM3 ", "COM3 COM12 "}));
  EXPECT_TRUE(t->MSComm1.PortOpen()) << "the open port stays open";
}

TEST(TypingOnPty, LfAndCrLfArriveAtTheDeviceAsChosen) {
  TempDir dir;
  ToolsOnPty p(dir);
  if (!p.Ok())
    GTEST_SKIP() << "no pseudo-terminal to be had here";
  ASSERT_TRUE(p.t->MSComm1.PortOpen());
  Typing x(*p.t, dir.File("Serial.ini"));
  struct Row {
    const char *name;
    Enter enter;
    const char *arrives;
  } rows[] = {
      {"LF", Enter::LF, "at\n"}, {"CR LF", Enter::CRLF, "at\r\n"}, {"CR", Enter::CR, "at\r"}};
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    x.typing.mnuToolsEnterSends_Click(row.enter);
    x.Type("at\r");
    EXPECT_EQ(p.pty->Read(std::string(row.arrives).size()), row.arrives);
  }
}

} // namespace
} // namespace kestrel::test
