// What received bytes do to the display and the log line.
#include "SystemRoutines.h"
#include "TerminalFixture.h"
namespace kestrel::test {
// Each row starts on a fresh line of the display as given: the time prefix on or off, received
// bytes, what shows. Past 10000 characters the oldest lines go up to the first line break at least
// 100 characters in (101 for a line break), or else one character per character; the prefix is not
// trimmed for. Past 500 line feeds the display is emptied, at the end of that call.
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
// With "Automatically Clear Display" ticked, the display is emptied as soon as it holds more
// characters than the size says, character by character; no size, 0 or a negative one never clears.
TEST_F(TerminalTest, AutomaticClearingEmptiesTheDisplayPastItsSize) {
  std::string alphabet; // 105 characters, each telling its place
  for (int i = 0; i < 105; ++i)
    alphabet += static_cast<char>('a' + i % 26);
  const struct {
    const char *name;
    bool ticked;
    std::string size;
    std::string received;
    std::string shown;
  } rows[] = {
      {"not ticked", false, "100", alphabet, alphabet},
      {"no size", true, "", alphabet, alphabet},
      {"a size of 0", true, "0", alphabet, alphabet},
      {"a negative size", true, "-5", alphabet, alphabet},
      {"100: emptied at the 101st character", true, "100", alphabet, alphabet.substr(101)},
      {"100abc reads as 100", true, "100abc", alphabet, alphabet.substr(101)},
      {"1: every second character empties it", true, "1", "abcde", "e"},
      {"half a character: every character empties it", true, "0.5", "abc", ""},
  };
  Load();
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    t->chkAutoClear.Value(false);
    t->rtfData.Text("");
    t->txtSize.Text(row.size);
    t->chkAutoClear.Value(row.ticked);
    Receive(row.received);
    EXPECT_EQ(Display(), row.shown);
  }
}
// The second formatter shows codes as tokens, honours backspace and never trims.
TEST_F(TerminalTest, SecondFormatterShowsCodesAndHonoursBackspace) {
  t->frm.AddTextToDisplayA(std::string("ab\bc\x1b\r\n", 7) + std::string(10050, 'z'));
  EXPECT_EQ(Display(), "ac <0x1B>\r\n" + std::string(10050, 'z'));
  EXPECT_EQ(t->frm.LogLine(), " <0x1B>");
}
} // namespace kestrel::test
