// Received bytes as rows of 16, and bytes typed as hex pairs for Send Hex.
#include "HexRows.h"
#include "HexInput.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>
namespace kestrel::test {
namespace {
std::string Rows(HexRows &rows, const std::vector<std::string> &reads) {
  std::string out;
  for (const std::string &read : reads)
    rows.Format(read, out);
  return out;
}
TEST(HexRows, BytesShowAsRowsOfSixteenInTheColumnsTheirOffsetsGive) {
  const struct {
    const char *name;
    std::vector<std::string> reads;
    std::string rows;
  } cases[] = {
      {"one full row",
       {"ABCDEFGHIJKLMNOP"},
       "00000000  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP\n"},
      {"unprintable bytes as dots",
       {std::string("\0\x1b\r\n \x7e\x7f\xff", 8)},
       "00000000  00 1B 0D 0A 20 7E 7F FF                           .... ~..\n"},
      {"a read past a row goes on in the next",
       {"0123456789abcdefXY"},
       "00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  0123456789abcdef\n"
       "00000010  58 59                                             XY\n"},
      {"a short read, then the rest of its row in its columns",
       {"ABCDE", "FGHIJKLMNOPQ"},
       "00000000  41 42 43 44 45                                    ABCDE\n"
       "00000005                 46 47 48  49 4A 4B 4C 4D 4E 4F 50       FGHIJKLMNOP\n"
       "00000010  51                                                Q\n"},
      {"an empty read adds nothing", {""}, ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    HexRows rows;
    EXPECT_EQ(Rows(rows, c.reads), c.rows);
  }
}
TEST(HexRows, OffsetsCountFromTheMomentOfChoosing) {
  HexRows rows;
  std::string out;
  rows.Format(std::string(40, 'x'), out);
  EXPECT_EQ(rows.Offset(), 40u);
  rows.Restart();
  out.clear();
  rows.Format("z", out);
  EXPECT_EQ(out, "00000000  7A                                                z\n");
}
TEST(HexInput, PairsWithOrWithoutBlanksBecomeTheirBytes) {
  const std::pair<std::u32string, std::string> cases[] = {
      {U"01 A0 ff", std::string("\x01\xA0\xFF", 3)},
      {U"01A0ff", std::string("\x01\xA0\xFF", 3)},
      {U"  00\t7e  ", std::string("\x00\x7E", 2)},
      {U"0a0B", "\x0A\x0B"},
  };
  for (const auto &[typed, bytes] : cases) {
    SCOPED_TRACE(std::string(typed.begin(), typed.end()));
    HexInput got = ParseHexInput(typed);
    EXPECT_TRUE(got.ok);
    EXPECT_EQ(got.bytes, bytes);
    EXPECT_EQ(got.message, "");
  }
}
TEST(HexInput, EveryOtherTextIsRefusedNamingWhatAndWhere) {
  const struct {
    const char *name;
    std::u32string typed;
    std::string message;
    std::size_t position;
  } cases[] = {
      {"empty", U"", "There is nothing to send. Type bytes as hex pairs, such as 01 A0 ff.", 0},
      {"blanks only", U"  \t ",
       "There is nothing to send. Type bytes as hex pairs, such as 01 A0 ff.", 0},
      {"letter past F", U"01 g2",
       "\"g\" at character 4 is not a hex digit. Type bytes as hex pairs, such as 01 A0 ff.", 4},
      {"0x prefix", U"0x41",
       "\"x\" at character 2 is not a hex digit. Type bytes as hex pairs, such as 01 A0 ff.", 2},
      {"comma", U"01,02",
       "\",\" at character 3 is not a hex digit. Type bytes as hex pairs, such as 01 A0 ff.", 3},
      {"non-ASCII letter", U"01 \u00e9",
       "U+00E9 at character 4 is not a hex digit. Type bytes as hex pairs, such as 01 A0 ff.", 4},
      {"line break", U"01\n02",
       "U+000A at character 3 is not a hex digit. Type bytes as hex pairs, such as 01 A0 ff.", 3},
      {"lone digit at the end", U"01 A",
       "The digit \"A\" at character 4 has no partner: each byte takes two hex digits, such as 0A.",
       4},
      {"odd run", U"01A 02",
       "The digit \"A\" at character 3 has no partner: each byte takes two hex digits, such as 0A.",
       3},
      {"pair split by a blank", U"0 1",
       "The digit \"0\" at character 1 has no partner: each byte takes two hex digits, such as 0A.",
       1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    HexInput got = ParseHexInput(c.typed);
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(got.bytes, "");
    EXPECT_EQ(got.message, c.message);
    EXPECT_EQ(got.position, c.position);
  }
}
} // namespace
} // namespace kestrel::test
