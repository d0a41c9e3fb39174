// A stand-in for the user-interface thread's event loop: tasks posted from
// any thread, run in order by whoever calls Pump, on that caller's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace kestrel::test {

class UiQueue {
public:
  void Post(std::function<void()> task);
  // The poster for a communications control.
  std::function<void(std::function<void()>)> Poster();
  // Runs tasks until done() holds or the time runs out; true when done() held.
  bool PumpUntil(const std::function<bool()> &done,
                 std::chrono::milliseconds within = std::chrono::seconds(10));
  // Runs tasks for the given time, whatever comes.
  void PumpFor(std::chrono::milliseconds span);

private:
  bool RunOne(std::chrono::steady_clock::time_point until);
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> q_;
};

} // namespace kestrel::test
