#include "TextDisplay.h"

#include <algorithm>

namespace kestrel {

void TextDisplay::Text(std::string_view text) {
  // text may be a piece of the display's own text, which the clear unmaps.
  const std::string copy(text);
  mOrigin += Length();
  mBuffer.Clear();
  mBuffer.Append(copy);
  mLines.Reset(mOrigin);
  mLines.Append(copy);
  mRuns.clear();
  if (mStyle != 0 && !copy.empty())
    mRuns.push_back({mOrigin, mStyle});
  Changed();
}

void TextDisplay::AppendAtEnd(std::string_view text) {
  if (!text.empty() && (mRuns.empty() ? mStyle != 0 : mRuns.back().style != mStyle))
    mRuns.push_back({mOrigin + Length(), mStyle});
  mBuffer.Append(text);
  mLines.Append(text);
  Changed();
}

void TextDisplay::DropFront(std::size_t count) {
  count = count < Length() ? count : Length();
  mBuffer.DropFront(count);
  mOrigin += count;
  mLines.CutTo(mOrigin);
  while (mRuns.size() > 1 && mRuns[1].from <= mOrigin)
    mRuns.pop_front();
  if (Length() == 0)
    mRuns.clear();
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

} // namespace kestrel
