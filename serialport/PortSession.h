// One open port: the descriptor, its wake-up, the I/O thread, the modem-line
// waiter and the buffers, created by the control's open and destroyed by its
// close, so nothing of one open outlives it or leaks into the next. Events are
// handed to the control through Hooks; the control tags them with the session
// they came from and drops those of a session that is gone.
//
// The I/O thread's loop is five steps: Wait (poll the device, the wake-up and
// the rest or line tick), ReadIn (drain what the driver holds, decode the
// error marks), CheckLines (the driver's line counters, or its levels where it
// has none), WriteOut (what Output could not write at once) and HandOver (the
// bytes and events of this pass, in the order they happened, then one post).
// A change of counters or levels ends a rest: the bytes received before it are
// read and posted first, then its event. Error marks keep their place among
// the bytes (see ReceiveQueue).
//
// Modem lines are read (TIOCMGET, a USB control transfer on many adapters)
// only where needed: at each line tick where the driver has no counters,
// after a line event, and while LineLevels is being asked (the Line Levels
// window is open).
//
// Lock order: mIoMutex (the descriptor) before mBufMutex (the buffers), never
// the other way round. The I/O thread reads mFd without the lock: only the
// thread itself closes it, or the destructor after joining the thread.
#pragma once

#include "LineEvents.h"
#include "LineWaiter.h"
#include "PosixFile.h"
#include "ReadPacing.h"
#include "ReceiveQueue.h"
#include "Termios2.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::serial {

class PortSession {
public:
  struct Hooks {
    // One event of the port (comEv*), called on the I/O thread in order.
    std::function<void(int kind)> post;
    // The device went away; its descriptor is closed already.
    std::function<void()> gone;
  };

  // Takes over fd, opened, locked and set up; starts the threads.
  PortSession(int fd, std::string device, const LineSettings &settings, Hooks hooks);
  // Stops the threads, ends a break, gives up exclusive mode and the lock, closes.
  ~PortSession();
  PortSession(const PortSession &) = delete;
  PortSession &operator=(const PortSession &) = delete;

  // The system's error number where the session's wake-up could not be had
  // (no descriptor left): then no thread runs, and the port is closed again.
  int StartError() const { return mWake.Error(); }
  // False once the device went away.
  bool Open() const { return mOpen; }
  const std::string &Device() const { return mDevice; }

  // Runs f with the descriptor held (-1 once the device went away).
  template <typename F> auto WithFd(F f) {
    std::lock_guard lock(mIoMutex);
    return f(mFd);
  }
  // Line settings now in force on the device.
  void SettingsChanged(const LineSettings &settings);

  // comNoError, or comPortNotOpen once the device went away.
  int Output(const std::string &text);
  // Up to limit bytes, never past the next line event; more tells whether
  // bytes are ready after them.
  std::string Input(std::size_t limit, bool &more);
  // The next line event is being delivered: later bytes may now be taken.
  // True when bytes wait after it.
  bool EventDelivered();
  // Bytes that can be taken before the next line event.
  std::size_t Ready();
  // Whether a receive event may be posted now (none is pending).
  bool ClaimReceivePost() { return !mReceivePosted.exchange(true); }
  void ReceiveDelivered() { mReceivePosted = false; }

  std::size_t OutputHeld();
  void DiscardOutput();
  int Break(bool on, int &err);
  bool BreakOn() const { return mBreakOn; }
  // TIOCM_* bits as last read, -1 where the device has no modem lines; asking
  // keeps them read at every line tick for a while.
  int Levels();

private:
  struct Pass; // what one turn of the loop found
  void Run();
  bool Wait(Pass &pass);
  void ReadIn(Pass &pass);
  void CheckLines(Pass &pass, bool afterRead);
  void WriteOut(Pass &pass);
  void HandOver(Pass &pass);
  void ReadLevels();
  void Wake();
  void CloseDescriptor();

  std::mutex mIoMutex;
  int mFd = -1;
  WakeEvent mWake; // output waiting, a send, a line change, or stop
  const std::string mDevice;
  Hooks mHooks;
  std::atomic<bool> mOpen{true};
  std::atomic<bool> mStop{false};
  std::atomic<bool> mBreakOn{false};
  std::atomic<bool> mParityOn{false};
  std::atomic<std::uint32_t> mBaud{9600};
  std::atomic<std::int64_t> mSentAt{0};    // steady clock ticks of the last send
  std::atomic<std::int64_t> mWatchedAt{0}; // of the last Levels call
  std::atomic<bool> mLinesMoved{false};    // the waiter saw a change
  std::atomic<int> mLevels{-1};

  std::mutex mBufMutex;
  ReceiveQueue mReceived;
  std::string mOutput; // given to Output, not yet taken by the driver
  std::atomic<bool> mReceivePosted{false};
  std::atomic<bool> mInputFull{false};
  // The I/O thread waits on the device for reading: a send need not wake it,
  // since the reply is read as soon as it comes.
  std::atomic<bool> mReadsAtOnce{false};

  // The I/O thread's own.
  bool mHaveCounters = false;
  bool mHaveLevels = false;
  LineCounters mCounters;
  LineCounters mCountsAtRead; // as read right after the last read of the device
  int mLastLevels = 0;
  LineErrorDecoder mDecoder;
  ReadPacing mPacing;
  std::string mChunk;
  std::int64_t mSentSeen = 0;
  std::chrono::steady_clock::time_point mNextTick{};

  std::unique_ptr<LineWaiter> mWaiter;
  std::thread mThread;
};

} // namespace kestrel::serial
