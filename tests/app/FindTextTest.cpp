// Find over the display's text: forwards and backwards, in any case or the
// exact one, where the needle's first letter stands in only one case or in
// both, many times over.
#include "ToolsText.h"

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

struct FindRow {
  const char *name;
  std::string_view text;
  std::string_view needle;
  std::size_t from;
  bool forward;
  bool matchCase;
  std::size_t at;
};

constexpr std::size_t npos = std::string_view::npos;

TEST(FindInText, FindsTheNextOrThePreviousMatchPastFalseStarts) {
  const FindRow rows[] = {
      {"forward past lower-case false starts", "lint lint line", "line", 0, true, false, 10},
      {"forward, the other case", "lint LINE line", "line", 0, true, false, 5},
      {"forward, exact case only", "lint LINE line", "line", 0, true, true, 10},
      {"forward from inside a match", "line line", "line", 1, true, false, 5},
      {"forward, none left", "line lint", "line", 1, true, false, npos},
      {"backward, the last match ending before from", "line line line", "line", 13, false, false,
       5},
      {"backward, the other case", "Line lint", "line", 9, false, false, 0},
      {"backward, exact case skips", "line LINE", "LINE", 9, false, true, 5},
      {"backward, none before", "lint line", "line", 8, false, false, npos},
      {"a needle longer than the text", "li", "line", 0, true, false, npos},
  };
  for (const FindRow &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FindInText(row.text, row.needle, row.from, row.forward, row.matchCase), row.at);
  }
}

} // namespace
} // namespace kestrel::test
