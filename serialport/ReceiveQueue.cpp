#include "ReceiveQueue.h"

#include <algorithm>

namespace kestrel::serial {

namespace {
// Taken bytes are dropped from the front once this many have gathered.
constexpr std::size_t kCompactAt = 1u << 20;
} // namespace

std::size_t ReceiveQueue::Ready() const {
  if (mEvents.empty() || mEvents.front().at < mTaken)
    return Held();
  return static_cast<std::size_t>(std::min<std::uint64_t>(Held(), mEvents.front().at - mTaken));
}

std::string ReceiveQueue::Take(std::size_t limit) {
  const std::size_t n = std::min(limit, Ready());
  std::string out;
  if (mFrom == 0 && n == mData.size()) {
    out.swap(mData);
  } else {
    out.assign(mData, mFrom, n);
    mFrom += n;
  }
  mTaken += n;
  if (mFrom == mData.size()) {
    mData.clear();
    mFrom = 0;
  } else if (mFrom >= kCompactAt) {
    mData.erase(0, mFrom);
    mFrom = 0;
  }
  return out;
}

int ReceiveQueue::TakeEvent() {
  if (mEvents.empty())
    return 0;
  const int kind = mEvents.front().kind;
  mEvents.pop_front();
  return kind;
}

void ReceiveQueue::Clear() {
  mData.clear();
  mFrom = 0;
  mTaken = 0;
  mEvents.clear();
}

} // namespace kestrel::serial
