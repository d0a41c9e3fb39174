// Where the display's next image goes in the memory it shares with the X
// server: after the images the server still holds, never over one of them.
#include "HandOverRing.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestrel;
namespace {

constexpr std::size_t kNone = HandOverRing::npos;

TEST(HandOverRing, AnImageGoesAfterThoseStillHeldOrAtTheStartButNeverOverOne) {
  const struct {
    const char *name;
    std::vector<std::size_t> first; // taken in turn
    int done;                       // then the server is done with this many
    std::vector<std::size_t> then;  // then taken in turn
    std::size_t next;
    std::size_t at;
  } rows[] = {
      {"an idle ring takes from the start", {}, 0, {}, 100, 0},
      {"after the last one held", {100, 200}, 0, {}, 300, 300},
      {"exactly the room left at the end", {400, 400}, 0, {}, 200, 800},
      {"no room at the end, the start freed", {400, 400}, 1, {}, 300, 0},
      {"no room at the end, exactly the room at the start", {400, 400}, 1, {}, 400, 0},
      {"no room at the end, the start still held", {400, 400}, 0, {}, 300, kNone},
      {"gone round: between the newest and the oldest", {400, 400}, 1, {300}, 100, 300},
      {"gone round: not past the oldest", {400, 400}, 1, {300}, 200, kNone},
      {"a refusal takes nothing", {400, 400}, 0, {300}, 200, 800},
      {"every one done: from the start again", {400, 400}, 2, {}, 900, 0},
      {"bigger than the ring", {}, 0, {}, 1001, kNone},
      {"nothing to hand over", {}, 0, {}, 0, kNone},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    HandOverRing ring;
    ring.Size(1000);
    for (std::size_t bytes : row.first)
      ring.Take(bytes);
    for (int i = 0; i < row.done; ++i)
      ring.Done();
    for (std::size_t bytes : row.then)
      ring.Take(bytes);
    EXPECT_EQ(ring.Take(row.next), row.at);
  }
}

TEST(HandOverRing, ANewSizeHoldsNothingAndDoneOnAnIdleRingIsHarmless) {
  HandOverRing ring;
  ring.Size(1000);
  EXPECT_EQ(ring.Take(600), 0u);
  EXPECT_FALSE(ring.Idle());
  ring.Size(2000);
  EXPECT_TRUE(ring.Idle());
  ring.Done();
  EXPECT_EQ(ring.Take(2000), 0u);
  EXPECT_EQ(ring.Take(1), kNone);
}

} // namespace
