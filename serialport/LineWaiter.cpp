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

// Whether the wake signal ends a wait: ours does, and so does another
// handler installed without SA_RESTART. One with SA_RESTART would have the
// driver start the wait again, and the thread could never be stopped. Looked
// at for every waiter, as the program may have changed it since the last.
bool InstallHandler() {
  struct sigaction old {};
  if (::sigaction(kWakeSignal, nullptr, &old) != 0)
    return false;
  const bool theirs =
      (old.sa_flags & SA_SIGINFO)
          ? old.sa_sigaction != nullptr
          : old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN && old.sa_handler != Nothing;
  if (theirs)
    return !(old.sa_flags & SA_RESTART);
  struct sigaction act {};
  act.sa_handler = Nothing;
  sigemptyset(&act.sa_mask);
  act.sa_flags = 0; // no SA_RESTART: the wait must return
  return ::sigaction(kWakeSignal, &act, nullptr) == 0;
}

} // namespace

LineWaiter::LineWaiter(std::function<int()> wait, std::function<void()> changed)
    : mWait(std::move(wait)), mChanged(std::move(changed)) {
  if (!InstallHandler()) {
    mUnsupported = true;
    mDone = true;
    return;
  }
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
