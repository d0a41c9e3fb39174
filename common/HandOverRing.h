// Where in a ring of shared memory the next image can go while the reader
// (the X server) still holds earlier ones.
//
// Stretches are handed over in order and the reader is done with them in the
// same order, so the stretches held lie between a tail and a head; a new one
// goes after the head, or at the start of the ring when the end has no room,
// and never over a stretch still held. Nothing waits: a stretch that fits
// nowhere is refused, and its image goes another way.
#pragma once

#include <cstddef>
#include <deque>

namespace kestrel {

class HandOverRing {
public:
  static constexpr std::size_t npos = ~std::size_t{0};

  // A ring of bytes bytes, with nothing held.
  void Size(std::size_t bytes);
  std::size_t Size() const { return mBytes; }
  // Takes bytes at the returned offset, held until Done; npos where they fit
  // nowhere now (nothing is taken then).
  std::size_t Take(std::size_t bytes);
  // The reader is done with the oldest stretch held.
  void Done();
  bool Idle() const { return mHeld.empty(); }

private:
  struct Held {
    std::size_t offset;
    std::size_t bytes;
  };
  std::size_t mBytes = 0;
  std::deque<Held> mHeld;
};

} // namespace kestrel
