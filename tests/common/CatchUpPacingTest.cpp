// When the display view catches up with its model: an echo or a reply at once, a paced or
// flooding stream a few times a second, a typed key never held behind a stream.
#include "CatchUpPacing.h"
#include <algorithm>
#include <gtest/gtest.h>
using namespace kestrel;
namespace {
struct Seen {
  int catchUps = 0;             // in the window measured
  std::int64_t longestWait = 0; // from a change to the catch-up that showed it
};

// The model changes every gap ms from 0 to until; the view catches up when told. Counts the
// catch-ups from countFrom on.
Seen Stream(CatchUpPacing &pacing, std::int64_t gap, std::int64_t until, std::int64_t countFrom) {
  Seen seen;
  std::int64_t due = -1, oldestUnshown = -1;
  for (std::int64_t t = 0; t <= until; ++t) {
    if (t % gap == 0) {
      const std::int64_t at = t + pacing.Changed(t);
      due = due < 0 ? at : std::min(due, at);
      if (oldestUnshown < 0)
        oldestUnshown = t;
    }
    if (due >= 0 && t >= due) {
      pacing.CaughtUp(t);
      seen.longestWait = std::max(seen.longestWait, t - oldestUnshown);
      seen.catchUps += t >= countFrom;
      due = oldestUnshown = -1;
    }
  }
  return seen;
}

TEST(CatchUpPacing, AStreamIsDrawnAFewTimesASecondAndALoneLineAtOnce) {
  const struct {
    const char *name;
    std::int64_t gap;
    std::int64_t until;
    std::int64_t countFrom;
    int catchUps;
    std::int64_t longestWait;
  } rows[] = {
      {"takes paced 50 ms apart are one stream", 50, 3000, 2000, 8, 100},
      {"a flood", 1, 3000, 2000, 8, 124},
      {"a line every 100 ms is drawn at once", 100, 3000, 2000, 11, 0},
      {"the first half second of a stream: once a frame", 4, 499, 0, 34, 12},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    CatchUpPacing pacing;
    const Seen seen = Stream(pacing, row.gap, row.until, row.countFrom);
    EXPECT_EQ(seen.catchUps, row.catchUps);
    EXPECT_EQ(seen.longestWait, row.longestWait);
  }
}

TEST(CatchUpPacing, AnEchoAndTheReplyAfterAKeyAreDrawnAtOnceEvenDuringAStream) {
  CatchUpPacing pacing;
  (void)Stream(pacing, 10, 2000, 0); // sustained: every 125 ms
  EXPECT_GT(pacing.Changed(2001), 0);
  pacing.Typed();
  EXPECT_EQ(pacing.Changed(2002), 0); // the echo
  pacing.CaughtUp(2002);
  EXPECT_EQ(pacing.Changed(2006), 0); // the reply, 4 ms later
  pacing.CaughtUp(2006);
}

TEST(CatchUpPacing, TheFirstChangeEverAndOneAfterAQuietSpellAreDrawnAtOnce) {
  CatchUpPacing pacing;
  EXPECT_EQ(pacing.Changed(5), 0);
  pacing.CaughtUp(5);
  (void)Stream(pacing, 10, 2000, 0);
  EXPECT_EQ(pacing.Changed(2000 + CatchUpPacing::kQuietMs), 0);
}
} // namespace
