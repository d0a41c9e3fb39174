// When the I/O thread reads what the driver received: at once, or after a
// short rest that lets a steady stream gather so that both threads wake once
// per take instead of once per few bytes.
//
// Latency comes first. Input is read at once after a quiet spell (the echo of
// a typed key, a prompt), while the user types or right after a send (the
// board's reply), and when a read is large (a flood). Only a sustained stream
// of small reads rests, and the rest is bounded three ways: by kRestMost, by
// the time the stream takes to bring about kRestGathers bytes at its pace, and
// by the time the line takes to bring kRestAtRate bytes at the configured
// rate, which stays far inside what the tty layer buffers without throttling.
// During a rest the thread looks at the bytes waiting every kRestLook: a
// stream that paused (nothing more came for kQuiet) ends the rest, as does a
// full take. The read that ends a rest is still part of the stream: the wait
// was the rest's own, not a pause of the sender.
// A pure class: times come in as arguments.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace kestrel::serial {

class ReadPacing {
public:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kQuiet = std::chrono::milliseconds(20);
  static constexpr auto kAfterSend = std::chrono::milliseconds(250);
  static constexpr auto kRestMost = std::chrono::milliseconds(50);
  static constexpr auto kRestLeast = std::chrono::milliseconds(2);
  static constexpr auto kRestLook = std::chrono::milliseconds(20);
  static constexpr std::size_t kRestGathers = 2048;
  static constexpr std::size_t kRestAtRate = 4096;
  static constexpr std::size_t kFlood = 3072;

  // The configured line rate in baud (10 bits a byte on the line).
  void Rate(std::uint32_t baud) { mBaud = baud == 0 ? 1 : baud; }
  // A read at `at` brought `bytes` (0: nothing was waiting).
  void Read(std::size_t bytes, Clock::time_point at);
  // Something was sent, or a key typed, at `at`.
  void Sent(Clock::time_point at);
  // During a rest: `bytes` wait in the driver at `at`.
  void Waiting(std::size_t bytes, Clock::time_point at);
  // Until when input is left to gather; a time before now means read at once.
  Clock::time_point RestUntil() const { return mRestUntil; }

private:
  std::uint32_t mBaud = 9600;
  Clock::time_point mLastRead{};
  Clock::time_point mLastSent{};
  Clock::time_point mRestUntil{};
  Clock::time_point mRestEnd{}; // where the last rest was to end
  bool mStreaming = false;      // the last read came close after the one before
  std::size_t mLastWaiting = 0;
  Clock::time_point mLastGrowth{}; // when the bytes waiting last grew
};

} // namespace kestrel::serial
