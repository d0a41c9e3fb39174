#include "PortSession.h"

#include "CommControl.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kestrel::serial {

namespace {

using Clock = std::chrono::steady_clock;

// How often the line counters (or levels) are read while the port is open.
constexpr auto kLineTick = std::chrono::milliseconds(25);
// How long the levels are kept fresh after LineLevels was last asked.
constexpr auto kWatchFor = std::chrono::seconds(1);
// Bytes read from the device per system call.
constexpr std::size_t kReadChunk = 65536;
// Received bytes held for the window at most. Past this the I/O thread stops
// reading until the window has taken some: memory stays bounded when a sender
// outruns the window (a pseudo-terminal can), and on a real line the window
// would have to stall for seconds before the driver's own buffer fills.
constexpr std::size_t kInputHeld = 4u << 20;

bool ReadCounters(int fd, LineCounters &out) {
  serial_icounter_struct c{};
  if (Ioctl(fd, TIOCGICOUNT, &c) != 0)
    return false;
  out =
      LineCounters{c.cts, c.dsr, c.dcd, c.rng, c.frame, c.parity, c.overrun, c.buf_overrun, c.brk};
  return true;
}

bool SameLines(const LineCounters &a, const LineCounters &b) {
  return a.cts == b.cts && a.dsr == b.dsr && a.dcd == b.dcd && a.rng == b.rng &&
         a.overrun == b.overrun && a.bufOverrun == b.bufOverrun;
}

std::int64_t Ticks(Clock::time_point t) {
  return t.time_since_epoch().count();
}

} // namespace

struct PortSession::Pass {
  bool readable = false, writable = false, hangup = false, resting = false;
  bool wantRead = false, wantWrite = false, linesDue = false, forceRead = false;
  bool gone = false, didRead = false;
  std::string data;
  LineErrorDecoder::Marks marks;
  LineCounters before, after;
  bool countersRead = false;
  LineCounters atLastRead; // as the read before this pass's left them
  bool countedAfterRead = false;
  std::vector<int> lineKinds; // modem lines and overruns, after the data
};

PortSession::PortSession(int fd, std::string device, const LineSettings &settings, Hooks hooks)
    : mFd(fd), mDevice(std::move(device)), mHooks(std::move(hooks)) {
  // A thread without its wake-up would never hear that it is to stop.
  if (mWake.Fd() < 0)
    return;
  SettingsChanged(settings);
  mHaveCounters = ReadCounters(mFd, mCounters);
  mCountsAtRead = mCounters;
  int levels = 0;
  const bool lines = Ioctl(mFd, TIOCMGET, &levels) == 0;
  mLevels = lines ? levels : -1;
  mLastLevels = levels;
  mHaveLevels = !mHaveCounters && lines;
  if (lines) {
    const int f = mFd;
    mWaiter = std::make_unique<LineWaiter>(
        [f] {
          const unsigned long mask = TIOCM_RNG | TIOCM_DSR | TIOCM_CD | TIOCM_CTS;
          return ::ioctl(f, TIOCMIWAIT, mask) < 0 ? errno : 0;
        },
        [this] {
          mLinesMoved = true;
          Wake();
        });
  }
  mThread = std::thread([this] { Run(); });
}

PortSession::~PortSession() {
  mStop = true;
  Wake();
  if (mThread.joinable())
    mThread.join();
  // The waiter's wait holds the descriptor's number: it ends before that is closed.
  if (mWaiter)
    mWaiter->Stop();
  CloseDescriptor();
}

void PortSession::CloseDescriptor() {
  std::lock_guard lock(mIoMutex);
  if (mFd < 0)
    return;
  if (mBreakOn)
    (void)Ioctl(mFd, TIOCCBRK, nullptr);
  mBreakOn = false;
  // Exclusive mode left set would outlive us and keep others out.
  (void)Ioctl(mFd, TIOCNXCL, nullptr);
  // The last close waits until the driver has sent all it holds, up to 30 s
  // (its closing wait) on a slow or stalled line, with the window held. What
  // is still to send goes, as what Output still held has gone.
  (void)FlushOutput(mFd);
  ::flock(mFd, LOCK_UN);
  ::close(mFd);
  mFd = -1;
}

void PortSession::Wake() {
  mWake.Signal();
}

void PortSession::SettingsChanged(const LineSettings &settings) {
  mBaud = settings.baud;
  mParityOn = settings.parity != 'N';
  // The 8250 driver turns its modem-status interrupts off with new settings;
  // a new wait turns them on again.
  if (mWaiter)
    mWaiter->Renew();
  Wake();
}

int PortSession::Output(const std::string &text) {
  bool pending = false;
  {
    std::lock_guard ioLock(mIoMutex);
    if (mFd < 0)
      return comPortNotOpen;
    if (text.empty())
      return comNoError;
    std::lock_guard lock(mBufMutex);
    if (mOutput.empty()) {
      // Most of the time the driver takes it all at once.
      int error = 0;
      const std::size_t done = WriteSome(mFd, text, error);
      mOutput.append(text, done, std::string::npos);
    } else {
      mOutput += text;
    }
    pending = !mOutput.empty();
  }
  // The reply comes soon: the I/O thread ends any rest and reads at once. A
  // thread already waiting to read learns of the send on its next pass; not
  // waking it leaves the processor to the board's side of the echo.
  mSentAt = Ticks(Clock::now());
  if (pending || !mReadsAtOnce)
    Wake();
  return comNoError;
}

std::string PortSession::Input(std::size_t limit, bool &more) {
  std::string out;
  {
    std::lock_guard lock(mBufMutex);
    out = mReceived.Take(limit);
    more = mReceived.Ready() > 0;
  }
  if (mInputFull)
    Wake();
  return out;
}

bool PortSession::EventDelivered() {
  std::lock_guard lock(mBufMutex);
  (void)mReceived.TakeEvent();
  return mReceived.Ready() > 0;
}

std::size_t PortSession::Ready() {
  std::lock_guard lock(mBufMutex);
  return mReceived.Ready();
}

std::size_t PortSession::OutputHeld() {
  std::lock_guard lock(mBufMutex);
  return mOutput.size();
}

void PortSession::DiscardOutput() {
  std::lock_guard ioLock(mIoMutex);
  {
    std::lock_guard lock(mBufMutex);
    mOutput.clear();
  }
  if (mFd >= 0)
    (void)FlushOutput(mFd);
}

int PortSession::Break(bool on, int &err) {
  std::lock_guard lock(mIoMutex);
  if (mFd < 0)
    return comPortNotOpen;
  if ((err = Ioctl(mFd, on ? TIOCSBRK : TIOCCBRK, nullptr)) != 0)
    return comDeviceError;
  mBreakOn = on;
  return comNoError;
}

int PortSession::Levels() {
  // Every change of a line is followed by a reading, so what was last read
  // holds even when nobody asked for a while.
  mWatchedAt = Ticks(Clock::now());
  return mLevels;
}

void PortSession::ReadLevels() {
  int levels = 0;
  if (Ioctl(mFd, TIOCMGET, &levels) == 0)
    mLevels = levels;
}

// Step 1: wait for the device, the wake-up, the end of a rest or the line tick.
bool PortSession::Wait(Pass &pass) {
  // Cleared before the last send is looked at and set after: a send either
  // is seen here or finds the flag clear and wakes the thread.
  mReadsAtOnce = false;
  {
    std::lock_guard lock(mBufMutex);
    pass.wantWrite = !mOutput.empty();
    pass.wantRead = mReceived.Held() < kInputHeld;
    mInputFull = !pass.wantRead;
  }
  if (const std::int64_t sent = mSentAt; sent != mSentSeen) {
    mSentSeen = sent;
    mPacing.Sent(Clock::time_point(Clock::duration(sent)));
  }
  mPacing.Rate(mBaud);
  const bool ticking = mHaveCounters || mHaveLevels;
  auto now = Clock::now();
  const auto restUntil = mPacing.RestUntil();
  pass.resting = pass.wantRead && now < restUntil;
  Clock::time_point until = Clock::time_point::max();
  if (ticking)
    until = mNextTick;
  if (pass.resting)
    until = std::min(until, std::min(restUntil, now + ReadPacing::kRestLook));
  mReadsAtOnce = pass.wantRead && !pass.resting;
  int timeout = -1;
  if (until != Clock::time_point::max())
    timeout = static_cast<int>(std::max<std::int64_t>(
        0, std::chrono::ceil<std::chrono::milliseconds>(until - now).count()));
  // Hang-ups are reported whatever is asked for, so a full buffer still
  // notices a device that goes away.
  pollfd fds[2] = {{mFd,
                    static_cast<short>((pass.wantRead && !pass.resting ? POLLIN : 0) |
                                       (pass.wantWrite ? POLLOUT : 0)),
                    0},
                   {mWake.Fd(), POLLIN, 0}};
  if (::poll(fds, 2, timeout) < 0) {
    if (errno == EINTR)
      return true;
    pass.gone = true;
    return false;
  }
  if (fds[1].revents & POLLIN)
    mWake.Drain();
  if (mStop)
    return false;
  now = Clock::now();
  pass.hangup = fds[0].revents & (POLLHUP | POLLERR | POLLNVAL);
  pass.readable = pass.wantRead && (fds[0].revents & POLLIN);
  pass.writable = pass.wantWrite && (fds[0].revents & POLLOUT);
  if (pass.resting) {
    int waiting = 0;
    if (Ioctl(mFd, FIONREAD, &waiting) == 0)
      mPacing.Waiting(static_cast<std::size_t>(std::max(waiting, 0)), now);
    // A send, a paused stream or a full take ends the rest.
    if (mSentAt != mSentSeen || now >= mPacing.RestUntil())
      pass.readable = pass.wantRead && waiting > 0;
  }
  pass.linesDue = mLinesMoved.exchange(false) || (ticking && now >= mNextTick);
  if (pass.linesDue)
    mNextTick = now + kLineTick;
  return true;
}

// Step 2: drain what the driver holds; marks are decoded, their places kept.
void PortSession::ReadIn(Pass &pass) {
  if (!pass.hangup && !pass.forceRead && !pass.readable)
    return;
  std::string &chunk = mChunk;
  chunk.resize(kReadChunk);
  std::size_t got = 0;
  for (;;) {
    ssize_t n = ::read(mFd, chunk.data(), chunk.size());
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      mDecoder.Decode(std::string_view(chunk.data(), static_cast<std::size_t>(n)), pass.data,
                      pass.marks);
      if (static_cast<std::size_t>(n) < chunk.size())
        break;
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      break;
    // With VMIN 1 a read of nothing means the device is gone, as does EIO.
    pass.gone = true;
    break;
  }
  pass.didRead = true;
  mPacing.Read(got, Clock::now());
  if (pass.hangup)
    pass.gone = true;
}

// Step 3: the line counters, or the levels where the driver has none. A
// change seen before the read forces one, so that the bytes before it go first.
void PortSession::CheckLines(Pass &pass, bool afterRead) {
  if (pass.gone)
    return;
  if (mHaveCounters && (pass.linesDue || afterRead)) {
    LineCounters now;
    if (!ReadCounters(mFd, now)) {
      if (errno == EIO || errno == ENODEV)
        pass.gone = true;
      return;
    }
    if (!afterRead && !SameLines(now, mCounters))
      pass.forceRead = true;
    if (!pass.countersRead)
      pass.before = mCounters;
    pass.countersRead = true;
    pass.after = now;
    mCounters = now;
    if (afterRead) {
      pass.atLastRead = mCountsAtRead;
      pass.countedAfterRead = true;
      mCountsAtRead = now;
    }
  } else if (mHaveLevels && pass.linesDue && !afterRead) {
    int levels = 0;
    if (Ioctl(mFd, TIOCMGET, &levels) != 0) {
      if (errno == EIO || errno == ENODEV)
        pass.gone = true;
      return;
    }
    mLevels = levels;
    if (levels != mLastLevels) {
      pass.forceRead = true;
      LevelEvents(mLastLevels, levels, pass.lineKinds);
      mLastLevels = levels;
    }
    return;
  }
  if (afterRead || !pass.linesDue)
    return;
  // The levels for the Line Levels window, while it asks, and after a change.
  const bool watched = Clock::now() - Clock::time_point(Clock::duration(mWatchedAt)) < kWatchFor;
  if (mHaveCounters && (watched || pass.forceRead))
    ReadLevels();
}

// Step 4: what Output could not write at once.
void PortSession::WriteOut(Pass &pass) {
  if (pass.gone || !pass.writable)
    return;
  std::lock_guard lock(mBufMutex);
  int error = 0;
  mOutput.erase(0, WriteSome(mFd, mOutput, error));
  if (error != 0 && error != EAGAIN && error != EWOULDBLOCK)
    pass.gone = true;
}

// Step 5: the bytes with the error marks in their places, then the line
// events, then the posts, in that order.
void PortSession::HandOver(Pass &pass) {
  std::vector<int> kinds;
  // Parity or framing: how the counters moved from the last read to the one
  // right after this read tells, where the driver has them; otherwise whether
  // parity is on. A bad byte is counted when it comes and may be read only
  // after line ticks have read the counters (a rest under a stream).
  const int dParity = pass.after.parity - pass.atLastRead.parity;
  const int dFrame = pass.after.frame - pass.atLastRead.frame;
  const bool counted = pass.countedAfterRead;
  const int errorKind = counted && dFrame > 0 && dParity == 0   ? comEventFrame
                        : counted && dParity > 0 && dFrame == 0 ? comEventRxParity
                        : mParityOn                             ? comEventRxParity
                                                                : comEventFrame;
  if (pass.countersRead) {
    // Errors and breaks are told by their marks, in their places.
    LineCounters was = pass.before;
    was.frame = pass.after.frame;
    was.parity = pass.after.parity;
    was.brk = pass.after.brk;
    CounterEvents(was, pass.after, pass.lineKinds);
  }
  const bool data = !pass.data.empty();
  {
    std::lock_guard lock(mBufMutex);
    std::size_t from = 0;
    for (const auto &mark : pass.marks.where) {
      mReceived.Append(std::string_view(pass.data).substr(from, mark.at - from));
      from = mark.at;
      const int kind = mark.isBreak ? comEventBreak : errorKind;
      mReceived.Mark(kind);
      kinds.push_back(kind);
    }
    mReceived.Append(std::string_view(pass.data).substr(from));
    for (int kind : pass.lineKinds) {
      mReceived.Mark(kind);
      kinds.push_back(kind);
    }
  }
  if (data && ClaimReceivePost())
    mHooks.post(comEvReceive);
  for (int kind : kinds)
    mHooks.post(kind);
}

void PortSession::Run() {
  mNextTick = Clock::now() + kLineTick;
  bool gone = false;
  while (!mStop && !gone) {
    Pass pass;
    if (!Wait(pass)) {
      gone = pass.gone;
      break;
    }
    CheckLines(pass, false);
    ReadIn(pass);
    if (pass.didRead)
      CheckLines(pass, true);
    WriteOut(pass);
    HandOver(pass);
    gone = pass.gone;
  }
  if (gone && !mStop) {
    // Closed at once: a descriptor held on an unplugged adapter makes it come
    // back under another name.
    mOpen = false;
    if (mWaiter)
      mWaiter->Stop();
    CloseDescriptor();
    mHooks.gone();
  }
}

} // namespace kestrel::serial
