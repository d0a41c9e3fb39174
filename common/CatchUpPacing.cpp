#include "CatchUpPacing.h"

#include <algorithm>

namespace kestrel {

std::int64_t CatchUpPacing::Changed(std::int64_t now) {
  if (mTyped || mChangedAt == kNever || now - mChangedAt >= kQuietMs) {
    mBurstAt = now;
    mBurstCatchUps = 0;
    mTyped = false;
  }
  mChangedAt = now;
  if (mBurstCatchUps < kEager || mCaughtUpAt == kNever)
    return 0;
  const std::int64_t spacing = now - mBurstAt >= kSustainedMs ? kStreamMs : kFrameMs;
  return std::max<std::int64_t>(0, spacing - (now - mCaughtUpAt));
}

void CatchUpPacing::CaughtUp(std::int64_t now) {
  mCaughtUpAt = now;
  ++mBurstCatchUps;
}

} // namespace kestrel
