#include "ReadPacing.h"

#include <algorithm>

namespace kestrel::serial {

void ReadPacing::Read(std::size_t bytes, Clock::time_point at) {
  using Ms = std::chrono::duration<double, std::milli>;
  mRestUntil = Clock::time_point();
  mLastWaiting = 0;
  mLastGrowth = at;
  if (bytes == 0)
    return;
  const bool first = mLastRead == Clock::time_point();
  // A rest of our own is no pause of the stream: the gap counts from its end.
  const auto gap = at - std::max(mLastRead, std::min(mRestEnd, at));
  const auto brought = at - mLastRead; // the time these bytes took to come
  mLastRead = at;
  mRestEnd = Clock::time_point();
  const bool wasStreaming = mStreaming;
  mStreaming = !first && gap < kQuiet;
  const bool sentLately = mLastSent != Clock::time_point() && at - mLastSent < kAfterSend;
  // A read after a quiet spell, the first of a stream and a flood's are
  // handed over and followed at once.
  if (!mStreaming || !wasStreaming || sentLately || bytes >= kFlood)
    return;
  const Ms paced = Ms(brought) * (static_cast<double>(kRestGathers) / static_cast<double>(bytes));
  const Ms atRate = Ms(1000.0 * 10.0 * static_cast<double>(kRestAtRate) / mBaud);
  const Ms rest = std::min({Ms(kRestMost), paced, atRate});
  if (rest < kRestLeast)
    return;
  mRestUntil = mRestEnd = at + std::chrono::duration_cast<Clock::duration>(rest);
}

void ReadPacing::Sent(Clock::time_point at) {
  mLastSent = at;
  mRestUntil = Clock::time_point();
}

void ReadPacing::Waiting(std::size_t bytes, Clock::time_point at) {
  if (at >= mRestUntil)
    return;
  if (bytes > mLastWaiting)
    mLastGrowth = at;
  // Bytes wait and nothing more came for a quiet spell: the stream paused.
  if (bytes >= kRestGathers || (bytes > 0 && at - mLastGrowth >= kQuiet))
    mRestUntil = Clock::time_point();
  mLastWaiting = bytes;
}

} // namespace kestrel::serial
