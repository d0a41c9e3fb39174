#include "LineEvents.h"
#include "CommControl.h"

#include <gtest/gtest.h>

#include <ostream>

#include <random>
#include <sys/ioctl.h>

namespace kestrel::serial {
namespace {

using namespace std::string_literals;

struct MarkCase {
  const char *label;
  std::string marked; // as the driver hands it over
  std::string data;   // as it was sent
  std::size_t errors, breaks;
};

// Shown in test names and failures.
void PrintTo(const MarkCase &c, std::ostream *os) {
  *os << c.label;
}

class MarkDecoding : public ::testing::TestWithParam<MarkCase> {};

TEST_P(MarkDecoding, StripsMarksAndCountsThemWhateverTheSplit) {
  const auto &c = GetParam();
  // Every split into two reads gives the same result as one read.
  for (std::size_t cut = 0; cut <= c.marked.size(); ++cut) {
    LineErrorDecoder decoder;
    LineErrorDecoder::Marks marks;
    std::string out;
    decoder.Decode(std::string_view(c.marked).substr(0, cut), out, marks);
    decoder.Decode(std::string_view(c.marked).substr(cut), out, marks);
    EXPECT_EQ(out, c.data) << "cut at " << cut;
    EXPECT_EQ(marks.errors, c.errors) << "cut at " << cut;
    EXPECT_EQ(marks.breaks, c.breaks) << "cut at " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, MarkDecoding,
    ::testing::Values(MarkCase{"plain", "hello\r\n", "hello\r\n", 0, 0},
                      MarkCase{"real_ff",
                               "a\xFF\xFF"
                               "b",
                               "a\xFF"
                               "b",
                               0, 0},
                      MarkCase{"ff_pairs", "\xFF\xFF\xFF\xFF", "\xFF\xFF", 0, 0},
                      MarkCase{"error_byte", "a\xFF\x00Zb"s, "aZb", 1, 0},
                      MarkCase{"error_on_ff", "\xFF\x00\xFF"s, "\xFF", 1, 0},
                      MarkCase{"break", "x\xFF\x00\x00y"s, "xy", 0, 1},
                      MarkCase{"nul_data", "\x00\x00"s, "\x00\x00"s, 0, 0},
                      MarkCase{"unknown_mark_passes",
                               "\xFF"
                               "A",
                               "\xFF"
                               "A",
                               0, 0},
                      MarkCase{"mixed", "\xFF\x00\x00\xFF\xFF\xFF\x00!"s, "\xFF!", 1, 1}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(MarkDecoding, RandomStreamsSurviveMarkingAndAnyChunking) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::string data, marked;
    std::size_t errors = 0;
    int length = static_cast<int>(rng() % 300);
    for (int i = 0; i < length; ++i) {
      char ch = static_cast<char>(rng() % 256);
      bool bad = rng() % 17 == 0 && ch != '\0';
      data += ch;
      if (bad) {
        marked += "\xFF\x00"s + ch;
        ++errors;
      } else if (ch == '\xFF') {
        marked += "\xFF\xFF";
      } else {
        marked += ch;
      }
    }
    LineErrorDecoder decoder;
    LineErrorDecoder::Marks marks;
    std::string out;
    for (std::size_t pos = 0; pos < marked.size();) {
      std::size_t n = std::min<std::size_t>(1 + rng() % 5, marked.size() - pos);
      decoder.Decode(std::string_view(marked).substr(pos, n), out, marks);
      pos += n;
    }
    ASSERT_EQ(out, data) << "round " << round;
    ASSERT_EQ(marks.errors, errors);
  }
}

TEST(MarkDecoding, ResetForgetsAHalfMark) {
  LineErrorDecoder decoder;
  LineErrorDecoder::Marks marks;
  std::string out;
  decoder.Decode("\xFF", out, marks);
  decoder.Reset();
  decoder.Decode("\xFF\xFF", out, marks);
  EXPECT_EQ(out, "\xFF");
}

TEST(LineCounterEvents, EachMovedCounterGivesItsEventOnce) {
  LineCounters before;
  LineCounters after = before;
  after.cts += 2; // a pulse: up and down between two readings
  after.dcd += 1;
  after.frame += 5;
  after.parity += 1;
  after.overrun += 1;
  after.bufOverrun += 1;
  after.brk += 1;
  std::vector<int> kinds;
  CounterEvents(before, after, kinds);
  EXPECT_EQ(kinds, (std::vector<int>{comEvCTS, comEvCD, comEventFrame, comEventRxParity,
                                     comEventOverrun, comEventRxOver, comEventBreak}));
  kinds.clear();
  CounterEvents(after, after, kinds);
  EXPECT_TRUE(kinds.empty());
}

TEST(LineCounterEvents, CounterWrapStillCounts) {
  LineCounters before, after;
  before.dsr = 2147483647;
  after.dsr = static_cast<int>(static_cast<unsigned>(before.dsr) + 1u);
  std::vector<int> kinds;
  CounterEvents(before, after, kinds);
  EXPECT_EQ(kinds, std::vector<int>{comEvDSR});
}

TEST(LineLevelEvents, OnlyChangedInputLinesReport) {
  std::vector<int> kinds;
  LevelEvents(TIOCM_CTS | TIOCM_RTS, TIOCM_DSR | TIOCM_RI, kinds);
  EXPECT_EQ(kinds, (std::vector<int>{comEvCTS, comEvDSR, comEvRing}));
}

TEST(LineMarkEvents, WithoutCountersParitySettingTellsTheKind) {
  std::vector<int> kinds;
  MarkEvents({2, 1}, false, kinds);
  MarkEvents({1, 0}, true, kinds);
  MarkEvents({0, 0}, true, kinds);
  EXPECT_EQ(kinds, (std::vector<int>{comEventFrame, comEventBreak, comEventRxParity}));
}

} // namespace
} // namespace kestrel::serial
