#include "TextDisplay.h"

#include <algorithm>

namespace kestrel {

void TextDisplay::Text(std::string_view text) {
  mOrigin += Length();
  mBuffer.assign(text);
  mHead = 0;
  mLines.Reset(mOrigin);
  mLines.Append(mBuffer);
  mRuns.clear();
  if (mStyle != 0 && !text.empty())
    mRuns.push_back({mOrigin, mStyle});
  Changed();
}

void TextDisplay::AppendAtEnd(std::string_view text) {
  if (!text.empty() && (mRuns.empty() ? mStyle != 0 : mRuns.back().style != mStyle))
    mRuns.push_back({mOrigin + Length(), mStyle});
  mBuffer.append(text);
  mLines.Append(text);
  Changed();
}

void TextDisplay::DropFront(std::size_t count) {
  count = count < Length() ? count : Length();
  mHead += count;
  mOrigin += count;
  mLines.CutTo(mOrigin);
  while (mRuns.size() > 1 && mRuns[1].from <= mOrigin)
    mRuns.pop_front();
  if (Length() == 0)
    mRuns.clear();
  Compact();
  Changed();
}

std::size_t TextDisplay::Find(std::string_view needle, std::size_t from) const {
  return Text().find(needle, from);
}

std::uint32_t TextDisplay::StyleAt(std::uint64_t position) const {
  const auto after =
      std::upper_bound(mRuns.begin(), mRuns.end(), position,
                       [](std::uint64_t at, const StyleRun &run) { return at < run.from; });
  return after == mRuns.begin() ? 0 : std::prev(after)->style;
}

void TextDisplay::Changed() {
  ++mGeneration;
  if (mOnDirty)
    mOnDirty();
  if (mOnChange)
    mOnChange();
}

// The dropped front is given back once it outweighs the live text, or passes
// kDeadFront for a long history, so the buffer stays within the text and a
// few megabytes more and appends stay amortised O(1).
void TextDisplay::Compact() {
  constexpr std::size_t kDeadFront = 32u << 20;
  if (mHead == mBuffer.size()) {
    mBuffer.clear();
    mHead = 0;
  } else if (mHead > 4096 && (mHead > mBuffer.size() / 2 || mHead > kDeadFront)) {
    mBuffer.erase(0, mHead);
    mHead = 0;
  }
}

} // namespace kestrel
