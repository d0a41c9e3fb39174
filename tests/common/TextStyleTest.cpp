// The display's styles: a style packs and unpacks to itself with plain text as 0, and the runs
// follow the text through appends, cuts at the front and replacement.
#include "TextStyle.h"
#include "TextDisplay.h"
#include <gtest/gtest.h>
using namespace kestrel;
namespace {
TEST(TextStyle, PacksToItselfAndPlainIsZero) {
  const struct {
    const char *name;
    TextStyle style;
  } rows[] = {
      {"plain", {}},
      {"red on default", {1, TextStyle::kDefaultColour, false, false}},
      {"black on white bold", {0, 15, true, false}},
      {"palette end, typed", {255, 255, false, true}},
  };
  EXPECT_EQ(TextStyle{}.Packed(), 0u);
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(TextStyle::Unpacked(row.style.Packed()), row.style);
  }
}

TEST(TextStyle, RunsFollowTheTextThroughAppendsCutsAndReplacement) {
  TextDisplay display;
  display.AppendAtEnd("plain ");
  EXPECT_TRUE(display.StyleRuns().empty());
  display.Style(7);
  display.AppendAtEnd("seven");
  display.AppendAtEnd("more");
  display.Style(0);
  display.AppendAtEnd("back");
  display.Style(9);
  display.AppendAtEnd(""); // no text, no run
  ASSERT_EQ(display.StyleRuns().size(), 2u);
  EXPECT_EQ(display.StyleAt(5), 0u);
  EXPECT_EQ(display.StyleAt(6), 7u);
  EXPECT_EQ(display.StyleAt(14), 7u);
  EXPECT_EQ(display.StyleAt(15), 0u);
  display.DropFront(10); // into the middle of the first run
  EXPECT_EQ(display.StyleRuns().front().from, 6u);
  EXPECT_EQ(display.StyleAt(display.Origin()), 7u);
  display.DropFront(6); // past it: it goes
  ASSERT_EQ(display.StyleRuns().size(), 1u);
  EXPECT_EQ(display.StyleAt(display.Origin()), 0u);
  display.Text("new"); // style 9 is current
  ASSERT_EQ(display.StyleRuns().size(), 1u);
  EXPECT_EQ(display.StyleRuns().front().from, display.Origin());
  EXPECT_EQ(display.StyleAt(display.Origin() + 2), 9u);
  display.DropFront(3);
  EXPECT_TRUE(display.StyleRuns().empty());
}
} // namespace
