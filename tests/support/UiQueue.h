// The user-interface thread's event loop: tasks posted from any thread run in order on the pumper.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
namespace kestrel::test {
class UiQueue {
public:
  using Clock = std::chrono::steady_clock;
  void Post(std::function<void()> task) {
    std::lock_guard lock(mMutex);
    mTasks.push_back(std::move(task));
    mWoken.notify_one();
  }
  std::function<void(std::function<void()>)> Poster() {
    return [this](std::function<void()> task) { Post(std::move(task)); };
  }
  // Runs tasks until done() holds (true) or the time runs out (false).
  bool PumpUntil(const std::function<bool()> &done,
                 std::chrono::milliseconds within = std::chrono::seconds(10)) {
    for (auto until = Clock::now() + within; !done();
         RunOne(std::min(until, Clock::now() + std::chrono::milliseconds(20))))
      if (Clock::now() >= until)
        return false;
    return true;
  }
  void PumpFor(std::chrono::milliseconds span) {
    PumpUntil([] { return false; }, span);
  }

private:
  void RunOne(Clock::time_point until) {
    std::unique_lock lock(mMutex);
    if (mWoken.wait_until(lock, until, [&] { return !mTasks.empty(); })) {
      auto task = std::move(mTasks.front());
      mTasks.pop_front();
      lock.unlock();
      task();
    }
  }
  std::mutex mMutex;
  std::condition_variable mWoken;
  std::deque<std::function<void()>> mTasks;
};
} // namespace kestrel::test
