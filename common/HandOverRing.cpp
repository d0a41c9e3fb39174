#include "HandOverRing.h"

namespace kestrel {

void HandOverRing::Size(std::size_t bytes) {
  mBytes = bytes;
  mHeld.clear();
}

std::size_t HandOverRing::Take(std::size_t bytes) {
  if (bytes == 0 || bytes > mBytes)
    return npos;
  std::size_t at = 0;
  if (!mHeld.empty()) {
    const std::size_t tail = mHeld.front().offset;
    const std::size_t head = mHeld.back().offset + mHeld.back().bytes;
    if (head > tail)
      at = mBytes - head >= bytes ? head : (tail >= bytes ? 0 : npos);
    else
      at = tail - head >= bytes ? head : npos;
  }
  if (at != npos)
    mHeld.push_back({at, bytes});
  return at;
}

void HandOverRing::Done() {
  if (!mHeld.empty())
    mHeld.pop_front();
}

} // namespace kestrel
