#include "LineIndex.h"

#include <algorithm>
#include <cstring>

namespace kestrel {

void LineIndex::Reset(std::uint64_t origin) {
  mStarts.assign(1, origin);
  mOrigin = mEnd = origin;
}

void LineIndex::Append(std::string_view text) {
  const char *const begin = text.data();
  const char *const end = begin + text.size();
  for (const char *p = begin; p < end;) {
    const void *found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (!found)
      break;
    p = static_cast<const char *>(found) + 1;
    mStarts.push_back(mEnd + static_cast<std::uint64_t>(p - begin));
  }
  mEnd += text.size();
}

void LineIndex::CutTo(std::uint64_t origin) {
  if (origin <= mOrigin)
    return;
  if (origin > mEnd) {
    Reset(origin);
    return;
  }
  while (mStarts.size() > 1 && mStarts[1] <= origin)
    mStarts.pop_front();
  mStarts.front() = origin;
  mOrigin = origin;
}

std::size_t LineIndex::LineOf(std::uint64_t position) const {
  const auto after = std::upper_bound(mStarts.begin() + 1, mStarts.end(), position);
  return static_cast<std::size_t>(after - mStarts.begin()) - 1;
}

} // namespace kestrel
