// A helper thread of an open port that sleeps in the driver until a modem
// line (CTS, DSR, CD, RI) changes (TIOCMIWAIT) and then tells the port.
//
// Why a waiter at all: the port is opened with CLOCAL and without CRTSCTS, and
// some drivers (the kernel's 8250 UART driver) then leave modem-status
// interrupts off, so their counters never move and no change would be seen.
// A TIOCMIWAIT waiter turns them on. A driver that has no such wait answers at
// once with an error and the thread ends; the port then reads counters or
// levels on its own.
//
// Stopping: the wait does not end when the descriptor is closed, so Stop sends
// the thread a signal with a handler that does nothing and no SA_RESTART; the
// wait returns EINTR and the thread sees that it is to stop. The signal is
// sent again until the thread has left, so one that lands just before the wait
// begins is not lost. Nothing but this thread is ever signalled. Where the
// process already has a handler of its own for that signal it is kept; one
// that restarts interrupted calls could not end the wait, so then no thread
// starts and the waiter counts as unsupported.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace kestrel::serial {

class LineWaiter {
public:
  // wait: blocks until a change and returns 0, or returns an errno (EINTR when
  // interrupted). changed: called on the waiter's thread after each change.
  LineWaiter(std::function<int()> wait, std::function<void()> changed);
  ~LineWaiter() { Stop(); }
  LineWaiter(const LineWaiter &) = delete;
  LineWaiter &operator=(const LineWaiter &) = delete;

  // Ends a wait in progress so that the next one starts afresh (a settings
  // change turned the driver's modem-status interrupts off again).
  void Renew();
  // Ends the thread and joins it; returns at once when it has ended already.
  void Stop();
  // Whether the driver answered with an error other than EINTR, or the wait
  // could not have been ended and never began.
  bool Unsupported() const { return mUnsupported; }

private:
  void Run();
  void Interrupt();
  std::function<int()> mWait;
  std::function<void()> mChanged;
  std::atomic<bool> mStop{false};
  std::atomic<bool> mDone{false};
  std::atomic<bool> mUnsupported{false};
  std::mutex mThreadMutex; // Renew and Stop may come from two threads
  std::thread mThread;
};

} // namespace kestrel::serial
