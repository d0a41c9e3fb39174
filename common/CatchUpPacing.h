// When a view of the receive display catches up with its model: at once, or
// a little later so that a stream is drawn a few times a second instead of
// once per read.
//
// Latency comes first. A change that begins a burst is drawn at once, and so
// are the next few (kEager): the echo of a key and a shell's reply to it come
// in the next frame. A burst begins after kQuietMs without a change, which is
// longer than the serial layer's longest rest (50 ms), so a stream that the
// serial layer hands over in paced takes counts as one stream; and it begins
// whenever the user has just typed, so an echo is never held behind a stream.
// Within a burst the view catches up once a frame (kFrameMs); only a burst
// that has gone on for kSustainedMs is drawn every kStreamMs, which still
// scrolls evenly to the eye and leaves the processor to the rest of the
// system. A pure class: times, in milliseconds of a steady clock, come in as
// arguments.
#pragma once

#include <cstdint>

namespace kestrel {

class CatchUpPacing {
public:
  static constexpr std::int64_t kQuietMs = 100;
  static constexpr int kEager = 4;
  static constexpr std::int64_t kFrameMs = 16;
  static constexpr std::int64_t kSustainedMs = 500;
  static constexpr std::int64_t kStreamMs = 125;

  // The model changed at now: milliseconds until the view should catch up.
  std::int64_t Changed(std::int64_t now);
  // The view caught up at now.
  void CaughtUp(std::int64_t now);
  // The user sent something (a key, a paste): what comes back is an echo or a
  // reply.
  void Typed() { mTyped = true; }

private:
  static constexpr std::int64_t kNever = INT64_MIN;

  std::int64_t mChangedAt = kNever;
  std::int64_t mCaughtUpAt = kNever;
  std::int64_t mBurstAt = kNever;
  bool mTyped = false;
  int mBurstCatchUps = 0;
};

} // namespace kestrel
