#include "TextRing.h"

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace kestrel {

namespace {

// A multiple of every page size Linux uses for ordinary mappings.
constexpr std::size_t kGrain = 64u << 10;

std::size_t RoundUp(std::size_t bytes) {
  return (bytes + kGrain - 1) / kGrain * kGrain;
}

// Room for the text and a quarter more, so that growth stays amortised O(1)
// while a full history of a million lines holds little unused memory.
std::size_t GrownCapacity(std::size_t needed) {
  return RoundUp(needed + needed / 4);
}

} // namespace

TextRing::~TextRing() {
  Unmap();
}

std::string_view TextRing::View() const {
  if (mPlainOnly)
    return std::string_view(mPlain).substr(mHead);
  return mSize == 0 ? std::string_view() : std::string_view(mBase + mHead, mSize);
}

void TextRing::Append(std::string_view text) {
  if (text.empty())
    return;
  if (!mPlainOnly && mSize + text.size() > mCapacity && !Remap(GrownCapacity(mSize + text.size())))
    UsePlainString();
  if (mPlainOnly) {
    mPlain.append(text);
    mSize += text.size();
    return;
  }
  std::size_t tail = mHead + mSize;
  if (tail >= mCapacity)
    tail -= mCapacity;
  // The second mapping takes what passes the ring's end.
  std::memcpy(mBase + tail, text.data(), text.size());
  mSize += text.size();
}

void TextRing::DropFront(std::size_t count) {
  count = count < mSize ? count : mSize;
  mSize -= count;
  if (mPlainOnly) {
    mHead += count;
    CompactPlain();
    return;
  }
  mHead = mSize == 0 ? 0 : (mHead + count) % mCapacity;
  if (mCapacity > kGrain && mSize < mCapacity / 8)
    Remap(GrownCapacity(2 * mSize));
}

void TextRing::Clear() {
  DropFront(mSize);
}

std::size_t TextRing::Capacity() const {
  return mPlainOnly ? mPlain.capacity() : mCapacity;
}

void TextRing::UsePlainString() {
  if (mPlainOnly)
    return;
  std::string live(View());
  Unmap();
  mPlain = std::move(live);
  mHead = 0;
  mPlainOnly = true;
}

// A new ring of capacity bytes holding the live text from its start; false,
// with the old ring kept, where the system refuses it.
bool TextRing::Remap(std::size_t capacity) {
  capacity = RoundUp(capacity < kGrain ? kGrain : capacity);
  if (capacity == mCapacity)
    return true;
  int fd = memfd_create("kestrel-display", MFD_CLOEXEC);
  if (fd < 0)
    return false;
  void *base = MAP_FAILED;
  if (ftruncate(fd, static_cast<off_t>(capacity)) == 0)
    base = mmap(nullptr, 2 * capacity, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  bool mapped = base != MAP_FAILED;
  char *at = static_cast<char *>(base);
  if (mapped)
    mapped = mmap(at, capacity, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) == at &&
             mmap(at + capacity, capacity, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) ==
                 at + capacity;
  close(fd);
  if (!mapped) {
    if (base != MAP_FAILED)
      munmap(base, 2 * capacity);
    return false;
  }
  if (mSize > 0)
    std::memcpy(at, mBase + mHead, mSize);
  Unmap();
  mBase = at;
  mCapacity = capacity;
  mHead = 0;
  return true;
}

void TextRing::Unmap() {
  if (mBase != nullptr)
    munmap(mBase, 2 * mCapacity);
  mBase = nullptr;
  mCapacity = 0;
}

// The dropped front is given back once it outweighs the live text, or passes
// 32 MB for a long history, so the string stays within the text and a few
// megabytes more and appends stay amortised O(1).
void TextRing::CompactPlain() {
  constexpr std::size_t kDeadFront = 32u << 20;
  if (mSize == 0) {
    mPlain.clear();
    mHead = 0;
  } else if (mHead > 4096 && (mHead > mPlain.size() / 2 || mHead > kDeadFront)) {
    mPlain.erase(0, mHead);
    mHead = 0;
  }
}

} // namespace kestrel
