// What the port received and has not handed over yet, with the line events
// in their places among the bytes: a parity error sits after the bytes that
// came before it, so the window shows it on the line where it occurred.
//
// Take never hands over bytes past the next event; the event is taken (in the
// order posted) before the bytes after it. Memory grows only with what is
// held: taken bytes are dropped in large steps, so taking in small slices
// stays linear. Not thread-safe; the port guards it with its buffer mutex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace kestrel::serial {

class ReceiveQueue {
public:
  void Append(std::string_view data) { mData.append(data); }
  // An event after everything appended so far.
  void Mark(int kind) { mEvents.push_back({mTaken + Held(), kind}); }
  // Bytes not yet taken, before and after events.
  std::size_t Held() const { return mData.size() - mFrom; }
  // Bytes that can be taken before the next event.
  std::size_t Ready() const;
  // Up to limit bytes, never past the next event.
  std::string Take(std::size_t limit);
  // The next event's kind, 0 when none waits. Bytes before it that were not
  // taken stay, and come next.
  int TakeEvent();
  void Clear();

private:
  struct Event {
    std::uint64_t at; // bytes received before it, counted from the open
    int kind;
  };
  std::string mData;
  std::size_t mFrom = 0;    // where the bytes not yet taken begin in mData
  std::uint64_t mTaken = 0; // bytes taken since the open
  std::deque<Event> mEvents;
};

} // namespace kestrel::serial
