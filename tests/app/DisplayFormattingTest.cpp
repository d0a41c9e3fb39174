// What received bytes do to the display and the log line: the rules, then the
// fast formatter against the plain model on random streams and settings.
#include "ReferenceFormatter.h"
#include "SystemRoutines.h"
#include "TerminalFixture.h"
#include <random>
namespace kestrel::test {
// Each row starts on a fresh line of the display as given: the time prefix on
// or off, received bytes, what shows. Past 10000 characters the oldest lines
// go up to the first line break at least 100 characters in (101 for a line
// break), or else one character per character; the prefix is not trimmed for.
// Past 500 line feeds the display is emptied, at the end of that call.
TEST_F(TerminalTest, ReceivedBytesShowAsTheyShould) {
  const std::string p = "2026/12/05 03:46:54 - ", e = std::string(100, 'e') + "\r\n", f(9898, 'f'),
                    x(9997, 'x');
  std::string lines; // with the fresh line's, 501 line feeds
  for (int i = 0; i < 499; ++i)
    lines += "x\n";
  const std::tuple<std::string, bool, std::string, std::string> rows[] = {
      {"", false, lines + "y\nafter", ""},
      {"", true, "AB\nZ", p + "AB\r\n" + p + "Z"},
      {"", false, "a\r\nb\rc", "a\r\nbc"},                         // a lone CR shows nothing
      {"", true, "a\n\nb", p + "a\r\n\r\n" + p + "b"},             // an empty line has no stamp
      {"", false, std::string("a\b\x07\t\x1b\0\xc8\x7f", 8), "a"}, // nor do codes show
      {"", true, "\x01\x02", ""},                                  // the stamp waits for text
      {"aaa" + x, false, "bc", "a" + x + "bc"},
      {e + f, false, "k", f + "k"},
      {e + f, false, "\n", e.substr(1) + f + "\r\n"},
      {x.substr(7), true, "b", x.substr(8) + p + "b"},
  };
  Load();
  for (const auto &[before, addTime, received, shown] : rows) {
    t->mnuOptionAddTime.Checked(false);
    Receive("\n");
    t->rtfData.Text(before);
    t->mnuOptionAddTime.Checked(addTime);
    Receive(received);
    EXPECT_EQ(Display(), shown) << before.size() << " characters, then " << received;
  }
}
// The second formatter shows codes as tokens, honours backspace and never trims.
TEST_F(TerminalTest, SecondFormatterShowsCodesAndHonoursBackspace) {
  t->frm.AddTextToDisplayA(std::string("ab\bc\x1b\r\n", 7) + std::string(10050, 'z'));
  EXPECT_EQ(Display() + "|" + t->frm.LogLine(),
            "ac <0x1B>\r\n" + std::string(10050, 'z') + "| <0x1B>");
}
class FormatterMatchesModel : public TerminalTest, public testing::WithParamInterface<int> {
protected:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  std::mt19937 rng{static_cast<unsigned>(GetParam())};
};
// Lines, noise, text with a few codes or without a break, in chunks of any size,
// settings, log and clock changing between: the same display, state and log.
TEST_P(FormatterMatchesModel, OnRandomStreams) {
  Load();
  ReferenceFormatter ref{t->clock};
  ref.Start(t->appInfo.ExeName());
  for (int step = 0; step < 40; ++step) {
    if (Pick(0, 5) == 0)
      t->frm.mnuOptionAddTime_Click(), ref.addTime = !ref.addTime;
    if (Pick(0, 5) == 0)
      t->frm.mnuOptionIgnorePinStatus_Click(), ref.ignorePinStatus = !ref.ignorePinStatus;
    if (Pick(0, 4) == 0) // limits next to the display's length find the edges of the clearing
      t->chkAutoClear.Value(ref.autoClear = Pick(0, 1)),
          t->txtSize.Text(ref.size =
                              std::to_string(Pick(0, 1) ? Pick(-5, 12000)
                                                        : int(ref.display.size()) + Pick(-2, 2)));
    if (Pick(0, 5) == 0) {
      t->cdlgTop.WillChoose(dir.File("fast.txt"));
      ClickLog(!ref.logEnabled);
      ref.logEnabled ? ref.StopLogging() : ref.StartLogging(dir.File("reference.txt"));
    }
    if (Pick(0, 19) == 0)
      t->frm.cmdClearDisplay_Click(), ref.SetText("");
    const int kind = Pick(0, 4), n = kind == 0 ? Pick(1, 620) : Pick(1, 14000), mode = Pick(0, 3);
    std::string s;
    for (int i = 0; i < n; ++i)
      s += kind == 0 ? std::string(Pick(0, Pick(0, 1) ? 6 : 120), char(Pick(32, 126))) +
                           (Pick(0, 1) ? "\r\n" : "\n")
           : kind == 1 ? std::string(1, char(Pick(0, 255)))
           : kind == 2 && Pick(0, 9) == 0
               ? std::string(1, "\n\r\b\t\x1b\x7f\xff"[Pick(0, 7)])
               : std::string(1, kind == 3 && Pick(0, 99) == 0 ? '\t' : char(Pick(32, 126)));
    for (std::size_t at = 0, chunk; at < s.size(); at += chunk) {
      chunk = mode == 0 ? 1 : mode == 1 ? Pick(1, 64) : mode == 2 ? Pick(1, 4096) : s.size();
      if (Pick(0, 99) == 0)
        t->MSComm1.Raise(comEvRing), ref.AddStatusMessageToDisplay("Ring Changed State\n");
      Receive(s.substr(at, chunk));
      ref.AddTextToDisplay(s.substr(at, chunk));
      ASSERT_EQ(Display(), ref.display) << "step " << step;
      ASSERT_EQ(std::tuple(t->frm.LineStart(), t->frm.LineCount(), t->frm.LogLine()),
                std::tuple(ref.lineStart, ref.lineCount, ref.logLine));
      if (Pick(0, 19) == 0) // both read the same clock, so the minute need not carry
        t->clock.now.second = (t->clock.now.second + 1) % 60;
    }
    ASSERT_EQ(t->frm.LogEnabled(), ref.logEnabled);
  }
  EXPECT_EQ(ReadFile(dir.File("fast.txt")), ReadFile(dir.File("reference.txt")));
  EXPECT_TRUE(t->messageBox.shown.empty());
}
INSTANTIATE_TEST_SUITE_P(Seeds, FormatterMatchesModel, testing::Range(1, 25));
} // namespace kestrel::test
