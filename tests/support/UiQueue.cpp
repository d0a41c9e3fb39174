#include "UiQueue.h"

namespace kestrel::test {

void UiQueue::Post(std::function<void()> task) {
  {
    std::lock_guard lock(m_);
    q_.push_back(std::move(task));
  }
  cv_.notify_one();
}

std::function<void(std::function<void()>)> UiQueue::Poster() {
  return [this](std::function<void()> task) { Post(std::move(task)); };
}

bool UiQueue::RunOne(std::chrono::steady_clock::time_point until) {
  std::function<void()> task;
  {
    std::unique_lock lock(m_);
    if (!cv_.wait_until(lock, until, [&] { return !q_.empty(); }))
      return false;
    task = std::move(q_.front());
    q_.pop_front();
  }
  task();
  return true;
}

bool UiQueue::PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds within) {
  auto until = std::chrono::steady_clock::now() + within;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= until)
      return false;
    RunOne(std::min(until, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)));
  }
  return true;
}

void UiQueue::PumpFor(std::chrono::milliseconds span) {
  auto until = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < until)
    RunOne(until);
}

} // namespace kestrel::test
