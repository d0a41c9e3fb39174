// The display's line index and its wrapping into rows, followed through the
// display's appends, cuts and replacements.
#include "LineIndex.h"
#include "TextDisplay.h"
#include "WrappedLines.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kestrel::test {
namespace {

using Starts = std::vector<std::uint64_t>;

Starts StartsOf(const LineIndex &index) {
  Starts out;
  for (std::size_t line = 0; line < index.Count(); ++line)
    out.push_back(index.Start(line));
  return out;
}

struct IndexRow {
  const char *name;
  std::function<void(TextDisplay &)> change;
  Starts starts;
  std::uint64_t origin;
  std::uint64_t end;
};

TEST(LineIndex, FollowsTheDisplaysAppendsCutsAndReplacements) {
  const IndexRow rows[] = {
      {"empty", [](TextDisplay &) {}, {0}, 0, 0},
      {"a partial line", [](TextDisplay &d) { d.AppendAtEnd("abc"); }, {0}, 0, 3},
      {"two whole lines and an empty one",
       [](TextDisplay &d) { d.AppendAtEnd("ab\r\ncd\r\n"); },
       {0, 4, 8},
       0,
       8},
      {"a break split over two appends",
       [](TextDisplay &d) {
         d.AppendAtEnd("ab\r");
         d.AppendAtEnd("\ncd");
       },
       {0, 4},
       0,
       6},
      {"a cut inside the first line",
       [](TextDisplay &d) {
         d.AppendAtEnd("ab\r\ncd");
         d.DropFront(1);
       },
       {1, 4},
       1,
       6},
      {"a cut through the first break",
       [](TextDisplay &d) {
         d.AppendAtEnd("ab\r\ncd\r\nef");
         d.DropFront(4);
       },
       {4, 8},
       4,
       10},
      {"a cut of everything",
       [](TextDisplay &d) {
         d.AppendAtEnd("ab\r\ncd");
         d.DropFront(100);
       },
       {6},
       6,
       6},
      {"a replacement counts as cutting all",
       [](TextDisplay &d) {
         d.AppendAtEnd("ab\r\n");
         d.Text("x\r\ny");
       },
       {4, 7},
       4,
       8},
      {"a clear then new text",
       [](TextDisplay &d) {
         d.AppendAtEnd("abc");
         d.Text("");
         d.AppendAtEnd("\r\n");
       },
       {3, 5},
       3,
       5},
  };
  for (const IndexRow &row : rows) {
    SCOPED_TRACE(row.name);
    TextDisplay display;
    row.change(display);
    const LineIndex &index = display.Lines();
    EXPECT_EQ(StartsOf(index), row.starts);
    EXPECT_EQ(index.Origin(), row.origin);
    EXPECT_EQ(index.End(), row.end);
    EXPECT_EQ(index.Breaks(), row.starts.size() - 1);
  }
}

TEST(LineIndex, FindsTheLineOfAPosition) {
  TextDisplay display;
  display.AppendAtEnd("ab\r\n\r\ncd");
  const struct {
    std::uint64_t position;
    std::size_t line;
  } rows[] = {{0, 0}, {3, 0}, {4, 1}, {5, 1}, {6, 2}, {8, 2}, {99, 2}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.position);
    EXPECT_EQ(display.Lines().LineOf(row.position), row.line);
  }
}

// Each row as its text, with the rows' numbers from FirstRow().
std::vector<std::string> Shown(const WrappedLines &rows, const TextDisplay &display) {
  std::vector<std::string> out;
  for (std::uint64_t r = rows.FirstRow(); r < rows.EndRow(); ++r) {
    const WrappedLines::Row row = rows.RowAt(r);
    out.emplace_back(display.Text().substr(row.from - display.Origin(), row.to - row.from));
  }
  return out;
}

struct WrapRow {
  const char *name;
  std::size_t columns;
  std::function<void(TextDisplay &, WrappedLines &)> steps;
  std::vector<std::string> shown;
  std::uint64_t firstRow;
};

TEST(WrappedLines, WrapsEachLineIntoRowsOfTheWidthAndFollowsCuts) {
  const WrapRow rows[] = {
      {"short lines, one row each",
       10,
       [](TextDisplay &d, WrappedLines &w) {
         d.AppendAtEnd("ab\r\n\r\ncd");
         w.Follow(d);
       },
       {"ab", "", "cd"},
       0},
      {"a long line in rows of the width",
       4,
       [](TextDisplay &d, WrappedLines &w) {
         d.AppendAtEnd("abcdefghij\r\nk");
         w.Follow(d);
       },
       {"abcd", "efgh", "ij", "k"},
       0},
      {"a line of exactly the width is one row",
       4,
       [](TextDisplay &d, WrappedLines &w) {
         d.AppendAtEnd("abcd\r\n");
         w.Follow(d);
       },
       {"abcd", ""},
       0},
      {"the line being received grows across catch-ups",
       4,
       [](TextDisplay &d, WrappedLines &w) {
         d.AppendAtEnd("abc");
         w.Follow(d);
         d.AppendAtEnd("defg\r\nh");
         w.Follow(d);
       },
       {"abcd", "efg", "h"},
       0},
      {"cut lines take their rows with them",
       4,
       [](TextDisplay &d, WrappedLines &w) {
         d.AppendAtEnd("abcdefgh\r\nij\r\nkl");
         w.Follow(d);
         d.DropFront(10);
         w.Follow(d);
       },
       {"ij", "kl"},
       2},
      {"a cut inside the first line drops its first rows",
       2,
       [](TextDisplay &d, WrappedLines &w) {
         d.AppendAtEnd("abcdef\r\ng");
         w.Follow(d);
         d.DropFront(3);
         w.Follow(d);
       },
       {"de", "f", "g"},
       1},
      {"a new width wraps again",
       2,
       [](TextDisplay &d, WrappedLines &w) {
         d.AppendAtEnd("abcdef\r\ng");
         w.Follow(d);
         w.Columns(3);
       },
       {"abc", "def", "g"},
       0},
      {"the display cut and refilled between catch-ups",
       4,
       [](TextDisplay &d, WrappedLines &w) {
         d.AppendAtEnd("ab\r\n");
         w.Follow(d);
         d.Text("");
         d.AppendAtEnd("cd\r\nef");
         d.DropFront(4);
         w.Follow(d);
       },
       {"ef"},
       2},
  };
  for (const WrapRow &row : rows) {
    SCOPED_TRACE(row.name);
    TextDisplay display;
    WrappedLines wrapped;
    wrapped.Columns(row.columns);
    row.steps(display, wrapped);
    EXPECT_EQ(Shown(wrapped, display), row.shown);
    EXPECT_EQ(wrapped.FirstRow(), row.firstRow);
  }
}

TEST(WrappedLines, FindsTheRowOfAPositionWithTheLineBreakInTheLastRow) {
  TextDisplay display;
  display.AppendAtEnd("abcdefghij\r\nk");
  WrappedLines wrapped;
  wrapped.Columns(4);
  wrapped.Follow(display);
  const struct {
    std::uint64_t position;
    std::uint64_t row;
  } rows[] = {{0, 0}, {3, 0}, {4, 1}, {9, 2}, {10, 2}, {11, 2}, {12, 3}, {13, 3}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.position);
    EXPECT_EQ(wrapped.RowOf(row.position), row.row);
  }
}

} // namespace
} // namespace kestrel::test
