#include "LineWaiter.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <pthread.h>

namespace kestrel::serial {

namespace {

// SIGURG is ignored by default, so nothing changes for a process that never
// expected it; the handler only makes the wait return.
constexpr int kWakeSignal = SIGURG;

void Nothing(int) {}

void InstallHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction old {};
    if (::sigaction(kWakeSignal, nullptr, &old) != 0)
      return;
    if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN)
      return; // somebody else's handler; theirs interrupts the wait just as well
    struct sigaction act {};
    act.sa_handler = Nothing;
    sigemptyset(&act.sa_mask);
    act.sa_flags = 0; // no SA_RESTART: the wait must return
    ::sigaction(kWakeSignal, &act, nullptr);
  });
}

} // namespace

LineWaiter::LineWaiter(std::function<int()> wait, std::function<void()> changed)
    : mWait(std::move(wait)), mChanged(std::move(changed)) {
  InstallHandler();
  // The thread starts with the wake signal unblocked whatever its creator
  // has blocked.
  sigset_t all, before;
  sigemptyset(&all);
  sigaddset(&all, kWakeSignal);
  pthread_sigmask(SIG_UNBLOCK, &all, &before);
  mThread = std::thread([this] { Run(); });
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

void LineWaiter::Run() {
  while (!mStop) {
    const int err = mWait();
    if (err == 0) {
      if (!mStop)
        mChanged();
    } else if (err != EINTR) {
      mUnsupported = true;
      break;
    }
  }
  mDone = true;
}

void LineWaiter::Interrupt() {
  std::lock_guard lock(mThreadMutex);
  if (!mDone && mThread.joinable())
    pthread_kill(mThread.native_handle(), kWakeSignal);
}

void LineWaiter::Renew() {
  Interrupt();
}

void LineWaiter::Stop() {
  mStop = true;
  while (!mDone) {
    Interrupt();
    for (int i = 0; i < 20 && !mDone; ++i)
      std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  std::lock_guard lock(mThreadMutex);
  if (mThread.joinable())
    mThread.join();
}

} // namespace kestrel::serial
