#include "TextRing.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
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

// The file mapped twice, back to back, or nullptr.
char *MapTwice(int fd, std::size_t capacity) {
  void *base = mmap(nullptr, 2 * capacity, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED)
    return nullptr;
  char *at = static_cast<char *>(base);
  const int access = PROT_READ | PROT_WRITE;
  if (mmap(at, capacity, access, MAP_SHARED | MAP_FIXED, fd, 0) != at ||
      mmap(at + capacity, capacity, access, MAP_SHARED | MAP_FIXED, fd, 0) != at + capacity) {
    munmap(base, 2 * capacity);
    return nullptr;
  }
  return at;
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

// The ring at capacity bytes; false, with the old ring kept, where the system
// refuses it. Growing extends the same file, so the text stays where it is
// and only a text that wrapped round the old end has its front moved, to the
// new end; the pages that front leaves are given back. Growth never holds the
// text twice, which for a full history of a million lines would be 80 MB
// more at the moment of growing. Shrinking copies the text to a new file.
bool TextRing::Remap(std::size_t capacity) {
  capacity = RoundUp(capacity < kGrain ? kGrain : capacity);
  if (capacity == mCapacity)
    return true;
  const bool grow = mFd >= 0 && capacity > mCapacity;
  const int fd = grow ? mFd : memfd_create("kestrel-display", MFD_CLOEXEC);
  if (fd < 0)
    return false;
  char *at = ftruncate(fd, static_cast<off_t>(capacity)) == 0 ? MapTwice(fd, capacity) : nullptr;
  if (at == nullptr) {
    if (!grow)
      close(fd);
    return false;
  }
  std::size_t head = 0;
  if (!grow) {
    if (mSize > 0)
      std::memcpy(at, mBase + mHead, mSize);
  } else if (mHead + mSize <= mCapacity) {
    head = mHead;
  } else {
    const std::size_t front = mCapacity - mHead;
    head = capacity - front;
    std::memmove(at + head, at + mHead, front);
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t from = (mHead + page - 1) / page * page;
    const std::size_t to = std::min(mCapacity, head) / page * page;
    if (to > from)
      fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(from),
                static_cast<off_t>(to - from));
  }
  // The old file is kept from Unmap, which would close it, and closed here
  // unless it is the file just grown.
  const int old = mFd;
  mFd = -1;
  Unmap();
  if (!grow && old >= 0)
    close(old);
  mFd = fd;
  mBase = at;
  mCapacity = capacity;
  mHead = head;
  return true;
}

void TextRing::Unmap() {
  if (mBase != nullptr)
    munmap(mBase, 2 * mCapacity);
  if (mFd >= 0)
    close(mFd);
  mFd = -1;
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
