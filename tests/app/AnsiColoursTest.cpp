// Escape sequences taken out of received text: SGR colours kept as style
// changes across reads, sequences split between reads, every other sequence
// shown as nothing, line feeds never lost.
#include "AnsiColours.h"
#include "Styles.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>
namespace kestrel::test {
namespace {
using Change = ColouredText::Change;
std::uint32_t FgBg(std::uint16_t fg, std::uint16_t bg) {
  return TextStyle{fg, bg, false, false}.Packed();
}
constexpr std::uint32_t kPlain = 0;
const std::uint32_t kBold =
    TextStyle{TextStyle::kDefaultColour, TextStyle::kDefaultColour, true, false}.Packed();
// Feeds the reads in order; the texts joined, the changes placed in the joined text.
ColouredText Feed(AnsiColours &parser, const std::vector<std::string> &reads) {
  ColouredText all, one;
  for (const std::string &read : reads) {
    parser.Parse(read, one);
    for (const Change &c : one.changes)
      all.changes.push_back({all.text.size() + c.at, c.style});
    all.text += one.text;
  }
  return all;
}
struct Case {
  const char *name;
  std::vector<std::string> reads;
  std::string text;
  std::vector<Change> changes;
  std::uint32_t styleAfter;
};
TEST(AnsiColours, SgrColoursTheTextThatFollowsAcrossLinesAndReads) {
  const Case cases[] = {
      {"esp-idf info line",
       {"\x1b[0;32mI (31) boot: ok\x1b[0m\r\n"},
       "I (31) boot: ok\r\n",
       {{0, Fg(2)}, {15, kPlain}},
       kPlain},
      {"colour held across lines",
       {"\x1b[31mone\ntwo\x1b[m\n"},
       "one\ntwo\n",
       {{0, Fg(1)}, {7, kPlain}},
       kPlain},
      {"colour held across reads",
       {"\x1b[33mwarn", "ing\n", "\x1b[0m."},
       "warning\n.",
       {{0, Fg(3)}, {8, kPlain}},
       kPlain},
      {"style left set at the end", {"a\x1b[1;34m"}, "a", {}, Fg(4, true)},
      {"bold, then normal intensity",
       {"\x1b[1mB\x1b[22mn"},
       "Bn",
       {{0, kBold}, {1, kPlain}},
       kPlain},
      {"bright foreground and background", {"\x1b[91;104mX"}, "X", {{0, FgBg(9, 12)}}, FgBg(9, 12)},
      {"background alone", {"\x1b[42mX"}, "X", {{0, FgBg(256, 2)}}, FgBg(256, 2)},
      {"256 colours", {"\x1b[38;5;208;48;5;17mX"}, "X", {{0, FgBg(208, 17)}}, FgBg(208, 17)},
      {"colons as separators", {"\x1b[38:5:208mX"}, "X", {{0, Fg(208)}}, Fg(208)},
      {"24-bit colour to the cube", {"\x1b[38;2;255;0;0mX"}, "X", {{0, Fg(196)}}, Fg(196)},
      {"39 and 49 return to the defaults",
       {"\x1b[31;42mA\x1b[39mB\x1b[49mC"},
       "ABC",
       {{0, FgBg(1, 2)}, {1, FgBg(256, 2)}, {2, kPlain}},
       kPlain},
      {"empty SGR resets", {"\x1b[35mA\x1b[mB"}, "AB", {{0, Fg(5)}, {1, kPlain}}, kPlain},
      {"changes without text between count once",
       {"\x1b[31m\x1b[32m\x1b[33mA"},
       "A",
       {{0, Fg(3)}},
       Fg(3)},
      {"a change back to the same style is none",
       {"\x1b[31mA\x1b[0;31mB"},
       "AB",
       {{0, Fg(1)}},
       Fg(1)},
      {"other attributes change nothing", {"\x1b[4;5;7mA"}, "A", {}, kPlain},
      {"256-colour cut short ends the list", {"\x1b[38;5mA"}, "A", {}, kPlain},
      {"palette index past 255 is 255", {"\x1b[38;5;999mA"}, "A", {{0, Fg(255)}}, Fg(255)},
      {"private SGR-like sequence is no SGR", {"\x1b[>4;2mA"}, "A", {}, kPlain},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    AnsiColours parser;
    ColouredText got = Feed(parser, c.reads);
    EXPECT_EQ(got.text, c.text);
    EXPECT_EQ(got.changes, c.changes);
    EXPECT_EQ(parser.Style(), c.styleAfter);
  }
}
TEST(AnsiColours, ASequenceSplitAtAnyByteIsTakenOutWhole) {
  const std::string stream = "A\x1b[1;38;5;120mB\x1b]0;title\x1b\\C\x1b[2KD\x1b[0mE";
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    AnsiColours parser;
    ColouredText got = Feed(parser, {stream.substr(0, cut), stream.substr(cut)});
    EXPECT_EQ(got.text, "ABCDE");
    EXPECT_EQ(got.changes, (std::vector<Change>{{1, Fg(120, true)}, {4, kPlain}}));
  }
}
TEST(AnsiColours, EveryOtherSequenceShowsNothing) {
  const std::pair<const char *, std::string> cases[] = {
      {"cursor up", "\x1b[2A"},
      {"cursor position", "\x1b[12;40H"},
      {"erase line", "\x1b[K"},
      {"erase display", "\x1b[2J"},
      {"private mode (cursor hidden)", "\x1b[?25l"},
      {"bracketed paste on", "\x1b[?2004h"},
      {"bracketed paste marks", "\x1b[200~\x1b[201~"},
      {"intermediate byte", "\x1b[0 q"},
      {"OSC title ended by BEL", "\x1b]0;my board\x07"},
      {"OSC title ended by ESC \\", "\x1b]2;title\x1b\\"},
      {"OSC hyperlink", "\x1b]8;;http://x\x1b\\"},
      {"DCS string", "\x1bPq#0;2;0;0;0\x1b\\"},
      {"APC string", "\x1b_anything\x1b\\"},
      {"two-byte ESC x", "\x1b"
                         "7\x1b"
                         "8\x1b"
                         "c\x1b"
                         "="},
      {"charset designation", "\x1b(B\x1b)0"},
      {"ESC ESC restarts", "\x1b\x1b[1A"},
      {"DEL inside CSI ignored", "\x1b[1\x7f"
                                 "A"},
      {"CAN cancels a sequence", "\x1b[12\x18"},
      {"SUB cancels a string", "\x1b]0;t\x1a"},
  };
  for (const auto &[name, sequence] : cases) {
    SCOPED_TRACE(name);
    AnsiColours parser;
    ColouredText got = Feed(parser, {"<" + sequence + ">"});
    EXPECT_EQ(got.text, "<>");
    EXPECT_EQ(got.changes, std::vector<Change>{});
  }
}
TEST(AnsiColours, ControlCodesAndHighBytesStayInTheTextAndLineFeedsEndSequences) {
  const struct {
    const char *name;
    std::string bytes;
    std::string text;
  } rows[] = {
      {"CR inside CSI acts and the CSI goes on", "\x1b[3\r2mA", "\rA"},
      {"tab and bell outside sequences stay",
       "a\tb\x07"
       "c",
       "a\tb\x07"
       "c"},
      {"line feed ends a cut-short CSI", "\x1b[31\nnext", "\nnext"},
      {"line feed ends an unended OSC", "\x1b]0;title\nnext", "\nnext"},
      {"line feed after a lone ESC", "x\x1b\nI (5) ok", "x\nI (5) ok"},
      {"high byte ends a CSI and stays", "\x1b[1\xe9z", "\xe9z"},
      {"high byte after ESC stays", "\x1b\xb0z", "\xb0z"},
      {"NUL inside CSI stays", std::string("\x1b[\0m", 4) + "z", std::string("\0z", 2)},
      {"lone ESC at the end waits", "ab\x1b", "ab"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    AnsiColours parser;
    ColouredText got = Feed(parser, {row.bytes});
    EXPECT_EQ(got.text, row.text);
  }
}
TEST(AnsiColours, ResetForgetsTheStyleAndAHalfReadSequence) {
  AnsiColours parser;
  ColouredText out;
  parser.Parse("\x1b[31mA\x1b[", out);
  parser.Reset();
  parser.Parse("1mB", out);
  EXPECT_EQ(out.text, "1mB");
  EXPECT_EQ(out.style, kPlain);
  EXPECT_EQ(parser.Style(), kPlain);
}
TEST(AnsiColours, ManyParametersKeepTheFirstThirtyTwo) {
  std::string sgr = "\x1b[";
  for (int i = 0; i < 40; ++i)
    sgr += "1;";
  AnsiColours parser;
  ColouredText out;
  parser.Parse(sgr + "31mA", out); // the 31 is past the kept ones
  EXPECT_EQ(out.text, "A");
  EXPECT_EQ(parser.Style(), kBold);
}
} // namespace
} // namespace kestrel::test
