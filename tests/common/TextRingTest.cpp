// The display's byte ring, on the double mapping and on the plain-string
// fallback: the text it reads back is the text appended, minus what was
// dropped, across the ring's end, through growth and shrinking.
#include "TextRing.h"
#include "TextDisplay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel::test {
namespace {

constexpr std::size_t kK = 1024;

// One step: append that many bytes (a repeating pattern that starts where the
// last append ended), or drop that many from the front.
struct Step {
  enum { Append, Drop } kind;
  std::size_t bytes;
};

struct RingRow {
  const char *name;
  std::vector<Step> steps;
  std::size_t size;
};

class TextRingRows : public ::testing::TestWithParam<bool> {};

TEST_P(TextRingRows, ReadsBackWhatWasAppendedLessWhatWasDropped) {
  const RingRow rows[] = {
      {"empty", {}, 0},
      {"one append", {{Step::Append, 10}}, 10},
      {"an empty append", {{Step::Append, 0}}, 0},
      {"a drop past the end", {{Step::Append, 10}, {Step::Drop, 11}}, 0},
      {"across the ring's end",
       {{Step::Append, 60 * kK}, {Step::Drop, 50 * kK}, {Step::Append, 30 * kK}},
       40 * kK},
      {"growing while wrapped",
       {{Step::Append, 60 * kK},
        {Step::Drop, 50 * kK},
        {Step::Append, 30 * kK},
        {Step::Append, 200 * kK}},
       240 * kK},
      {"growing a little while wrapped: the front moves over itself",
       {{Step::Append, 1000 * kK},
        {Step::Drop, 500 * kK},
        {Step::Append, 700 * kK},
        {Step::Append, 200 * kK}},
       1400 * kK},
      {"shrinking after a large drop",
       {{Step::Append, 1024 * kK}, {Step::Drop, 1000 * kK}, {Step::Append, 5}},
       24 * kK + 5},
      {"emptied and filled again",
       {{Step::Append, 300 * kK}, {Step::Drop, 300 * kK}, {Step::Append, 70 * kK}},
       70 * kK},
  };
  for (const RingRow &row : rows) {
    SCOPED_TRACE(row.name);
    TextRing ring;
    if (!GetParam())
      ring.UsePlainString();
    std::string model;
    std::size_t written = 0;
    for (const Step &step : row.steps) {
      if (step.kind == Step::Append) {
        std::string bytes;
        for (std::size_t i = 0; i < step.bytes; ++i)
          bytes += static_cast<char>('a' + (written + i) % 23);
        written += step.bytes;
        ring.Append(bytes);
        model += bytes;
      } else {
        ring.DropFront(step.bytes);
        model.erase(0, step.bytes);
      }
      ASSERT_EQ(ring.Size(), model.size());
      ASSERT_TRUE(ring.View() == model);
    }
    EXPECT_EQ(ring.Size(), row.size);
  }
}

INSTANTIATE_TEST_SUITE_P(Storage, TextRingRows, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Mapped" : "PlainString"; });

TEST(TextRing, AStreamThroughAFullRingNeitherGrowsNorFallsBack) {
  TextRing ring;
  const std::string line(80, 'x');
  for (int i = 0; i < 4000; ++i)
    ring.Append(line);
  ASSERT_TRUE(ring.Mapped()) << "the system refused the double mapping";
  const std::size_t capacity = ring.Capacity();
  for (int i = 0; i < 100000; ++i) {
    ring.Append(line);
    ring.DropFront(line.size());
  }
  EXPECT_EQ(ring.Capacity(), capacity);
  EXPECT_TRUE(ring.Mapped());
  EXPECT_EQ(ring.Size(), 4000u * 80u);
}

TEST(TextRing, ShrinksOnceTheTextFallsBelowAnEighthOfIt) {
  TextRing ring;
  ring.Append(std::string(8 * kK * kK, 'x'));
  const std::size_t large = ring.Capacity();
  ring.DropFront(6 * kK * kK);
  EXPECT_EQ(ring.Capacity(), large);
  ring.DropFront(2 * kK * kK - 100 * kK);
  EXPECT_LT(ring.Capacity(), large / 8);
  EXPECT_EQ(ring.View(), std::string(100 * kK, 'x'));
}

TEST(TextDisplay, TakesAPieceOfItsOwnTextAsItsNewText) {
  TextDisplay display;
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += "line " + std::to_string(i) + "\r\n";
  display.AppendAtEnd(text);
  const std::string_view tail = display.Text().substr(display.Length() - 12);
  const std::string expected(tail);
  display.Text(tail);
  EXPECT_EQ(display.Text(), expected);
  EXPECT_EQ(display.Lines().Breaks(), 1u);
}

} // namespace
} // namespace kestrel::test
