#include "TextDisplay.h"

namespace kestrel {

void TextDisplay::Text(std::string_view text) {
  mOrigin += Length();
  mBuffer.assign(text);
  mHead = 0;
  Changed();
}

void TextDisplay::AppendAtEnd(std::string_view text) {
  mBuffer.append(text);
  Changed();
}

void TextDisplay::DropFront(std::size_t count) {
  count = count < Length() ? count : Length();
  mHead += count;
  mOrigin += count;
  Compact();
  Changed();
}

std::size_t TextDisplay::Find(std::string_view needle, std::size_t from) const {
  return Text().find(needle, from);
}

void TextDisplay::Changed() {
  ++mGeneration;
  if (mOnDirty)
    mOnDirty();
  if (mOnChange)
    mOnChange();
}

// The dropped front is given back once it outweighs the live text, so the
// buffer stays within twice the text and appends stay amortised O(1).
void TextDisplay::Compact() {
  if (mHead == mBuffer.size()) {
    mBuffer.clear();
    mHead = 0;
  } else if (mHead > 4096 && mHead > mBuffer.size() / 2) {
    mBuffer.erase(0, mHead);
    mHead = 0;
  }
}

} // namespace kestrel
