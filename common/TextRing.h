// The display's bytes: appended at the back, dropped at the front, and read
// as one contiguous piece.
//
// A history of a million lines moves through the display at tens of
// megabytes a second, and every search and every repaint wants the text as
// one string_view. A plain string with a moving head must now and then move
// the live text back to its start; with 80 MB held, that copy took about a
// fifth of the time a flood spent in the display. Here the bytes live in a
// ring whose memory (a memfd) is mapped twice, back to back, so the live text
// reads contiguously across the ring's end and nothing is moved except when
// the ring grows or, once the text falls below an eighth of it, shrinks.
//
// Where the system refuses the double mapping (no memfd, a sandbox), the ring
// falls back to a plain string that gives back its dead front once it
// outweighs the live text or passes 32 MB. Both give the same text; only the
// cost differs. Growth that cannot be mapped falls back the same way, so an
// append never fails while memory lasts. Growing extends the ring's file in
// place, so the text is never held twice.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

class TextRing {
public:
  TextRing() = default;
  ~TextRing();
  TextRing(const TextRing &) = delete;
  TextRing &operator=(const TextRing &) = delete;

  std::string_view View() const;
  std::size_t Size() const { return mSize; }
  void Append(std::string_view text);
  // Drops the first count bytes (all of them when count passes the end).
  void DropFront(std::size_t count);
  void Clear();

  // The bytes the ring can hold before it grows; for tests and benchmarks.
  std::size_t Capacity() const;
  // False once the ring runs on the plain-string fallback.
  bool Mapped() const { return !mPlainOnly; }
  // Makes this ring use the fallback from now on, as where mapping is refused.
  void UsePlainString();

private:
  bool Remap(std::size_t capacity);
  void Unmap();
  void CompactPlain();

  // The double mapping: mBase[i] and mBase[i + mCapacity] are one byte.
  char *mBase = nullptr;
  int mFd = -1; // the memfd behind the mapping
  std::size_t mCapacity = 0;
  std::size_t mHead = 0;
  std::size_t mSize = 0;
  bool mPlainOnly = false;
  std::string mPlain;
};

} // namespace kestrel
