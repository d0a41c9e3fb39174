#include "TextDisplay.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(TextDisplay, AppendsCutsAndRaisesOneChangePerEdit) {
  TextDisplay d;
  int changes = 0;
  d.OnChange([&] { ++changes; });
  d.Text("start\r\n");
  d.AppendAtEnd("abc");
  EXPECT_EQ(d.Text(), "start\r\nabc");
  d.DropFront(7);
  EXPECT_EQ(d.Text(), "abc");
  d.DropFront(99);
  EXPECT_EQ(d.Text(), "");
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(d.Generation(), 4u);
}

// A view that remembers the span it shows learns what was cut and appended.
TEST(TextDisplay, OriginCountsEveryCharacterCutOrReplaced) {
  TextDisplay d;
  struct Step {
    void (*edit)(TextDisplay &);
    std::uint64_t origin;
    std::string_view text;
  } steps[] = {
      {[](TextDisplay &t) { t.AppendAtEnd("hello\r\n"); }, 0, "hello\r\n"},
      {[](TextDisplay &t) { t.DropFront(2); }, 2, "llo\r\n"},
      {[](TextDisplay &t) { t.Text("new"); }, 7, "new"},
      {[](TextDisplay &t) { t.DropFront(50); }, 10, ""},
      {[](TextDisplay &t) { t.AppendAtEnd("z"); }, 10, "z"},
  };
  for (const Step &step : steps) {
    step.edit(d);
    EXPECT_EQ(d.Origin(), step.origin);
    EXPECT_EQ(d.Text(), step.text);
  }
}

TEST(TextDisplay, LongFloodKeepsItsTextExactWhileCompacting) {
  TextDisplay d;
  std::string expected;
  for (int i = 0; i < 100000; ++i) {
    char ch = static_cast<char>('a' + i % 26);
    d.AppendAtEnd(std::string_view(&ch, 1));
    expected += ch;
    if (d.Length() > 1000) {
      d.DropFront(100);
      expected.erase(0, 100);
    }
  }
  EXPECT_EQ(d.Text(), expected);
  EXPECT_EQ(d.Find("xyz", 0), expected.find("xyz"));
}

TEST(TextDisplay, AChangeHandlerMayEmptyTheTextFromInsideAnAppend) {
  TextDisplay d;
  d.OnChange([&] {
    if (d.Length() > 3)
      d.Text("");
  });
  d.AppendAtEnd("abcd");
  EXPECT_EQ(d.Text(), "");
  d.AppendAtEnd("x");
  EXPECT_EQ(d.Text(), "x");
}

} // namespace
} // namespace kestrel
