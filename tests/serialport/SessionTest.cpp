// The open port's parts on their own: when the I/O thread reads (the pacing), the order of bytes
// and line events as the window takes them, the modem-line waiter's end at close, the order of
// received bytes and events on a pseudo-terminal, and the kind each bad byte is told as.
#include "Child.h"
#include "CommControl.h"
#include "LineWaiter.h"
#include "PosixCommControl.h"
#include "Pty.h"
#include "ReadPacing.h"
#include "ReceiveQueue.h"
#include "UartShim.h"
#include "UiQueue.h"
#include <atomic>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
namespace kestrel::serial {
namespace {
using namespace std::chrono_literals;
using Clock = ReadPacing::Clock;
using Ms = std::chrono::milliseconds;
const Clock::time_point t0 = Clock::time_point(std::chrono::hours(1));
struct Read {
  Ms at;
  std::size_t bytes;
};
struct PacingRow {
  const char *name;
  std::uint32_t baud;
  std::vector<Read> reads;
  std::optional<Ms> sentAt;
  Ms rest; // after the last read; 0 is read again at once
};
// The rest after a row's reads, in whole milliseconds rounded down.
Ms RestAfter(const PacingRow &row) {
  ReadPacing pacing;
  pacing.Rate(row.baud);
  for (const Read &read : row.reads) {
    if (row.sentAt && *row.sentAt <= read.at)
      pacing.Sent(t0 + *row.sentAt);
    pacing.Read(read.bytes, t0 + read.at);
  }
  const auto last = t0 + row.reads.back().at;
  return std::max(Ms(0), std::chrono::floor<Ms>(pacing.RestUntil() - last));
}
TEST(ReadPacing, RestsOnlyUnderASustainedStreamAndNeverLongerThanItsBounds) {
  const PacingRow rows[] = {
      {"the first bytes", 115200, {{0ms, 1}}, {}, 0ms},
      {"after a quiet spell", 115200, {{0ms, 40}, {10ms, 40}, {200ms, 1}}, {}, 0ms},
      {"the second read of a stream", 115200, {{0ms, 100}, {5ms, 100}}, {}, 0ms},
      {"a sustained stream", 115200, {{0ms, 100}, {5ms, 100}, {10ms, 100}}, {}, 50ms},
      {"a pace that gathers in 12 ms", 115200, {{0ms, 500}, {3ms, 500}, {6ms, 512}}, {}, 12ms},
      {"the reply after Enter", 115200, {{0ms, 1}, {4ms, 30}, {8ms, 30}}, 0ms, 0ms},
      {"a stream 250 ms after a send",
       115200,
       {{0ms, 100}, {260ms, 100}, {265ms, 100}, {270ms, 100}},
       0ms,
       50ms},
      {"the read that ends a rest rests again",
       115200,
       {{0ms, 100}, {5ms, 100}, {10ms, 100}, {60ms, 1000}},
       {},
       50ms},
      {"a flood", 115200, {{0ms, 100}, {1ms, 100}, {2ms, 4000}}, {}, 0ms},
      {"at 3 Mbaud, 4 KB at the line rate", 3000000, {{0ms, 10}, {1ms, 10}, {2ms, 10}}, {}, 13ms},
      {"a rest too short to pay", 115200, {{0ms, 1500}, {1ms, 1500}, {2ms, 1500}}, {}, 0ms},
      {"an empty read", 115200, {{0ms, 100}, {5ms, 100}, {10ms, 0}}, {}, 0ms},
  };
  for (const PacingRow &row : rows)
    EXPECT_EQ(RestAfter(row), row.rest) << row.name;
}
TEST(ReadPacing, ARestEndsWhenTheStreamPausesOrATakeHasGathered) {
  const struct {
    const char *name;
    std::vector<std::size_t> looks; // bytes waiting at each look, 8 ms apart
    bool resting;
  } rows[] = {{"still growing", {200, 400, 600}, true},
              {"nothing yet", {0, 0}, true},
              {"no more for one look", {200, 200}, true},
              {"no more for a quiet spell", {200, 200, 200, 200}, false},
              {"a full take", {2048}, false}};
  for (const auto &row : rows) {
    ReadPacing pacing;
    pacing.Rate(115200);
    for (Ms at : {0ms, 5ms, 10ms})
      pacing.Read(100, t0 + at);
    Ms at = 10ms;
    for (std::size_t bytes : row.looks)
      pacing.Waiting(bytes, t0 + (at += 8ms));
    EXPECT_EQ(pacing.RestUntil() > t0 + at, row.resting) << row.name;
  }
}
// What the window is handed, one take or event per entry: text, or "<kind>".
std::vector<std::string> Taken(ReceiveQueue &queue, std::size_t limit) {
  std::vector<std::string> out;
  for (int guard = 0; guard < 20 && queue.Held() + (queue.Ready() == 0) > 0; ++guard) {
    if (queue.Ready() > 0)
      out.push_back(queue.Take(limit));
    else if (int kind = queue.TakeEvent())
      out.push_back("<" + std::to_string(kind) + ">");
    else
      break;
  }
  return out;
}
TEST(ReceiveQueue, EventsAreTakenBetweenTheBytesTheyCameBetween) {
  ReceiveQueue queue;
  queue.Append("abc");
  queue.Mark(comEventRxParity);
  queue.Append("def\n");
  queue.Mark(comEvCTS);
  queue.Mark(comEvDSR);
  queue.Append("gh");
  EXPECT_EQ(Taken(queue, 1000),
            (std::vector<std::string>{"abc", "<1009>", "def\n", "<3>", "<4>", "gh"}));
  queue.Append("12345");
  queue.Mark(comEvCD);
  queue.Append("6");
  EXPECT_EQ(Taken(queue, 2), (std::vector<std::string>{"12", "34", "5", "<5>", "6"}));
  // An event delivered before its bytes were taken lets them through with the rest.
  queue.Append("xy");
  queue.Mark(comEvRing);
  queue.Append("z");
  EXPECT_EQ(queue.TakeEvent(), comEvRing);
  EXPECT_EQ(queue.Take(100), "xyz");
  EXPECT_EQ(std::pair(queue.Held(), queue.TakeEvent()), std::pair(std::size_t{0}, 0));
}
int Threads() {
  int n = 0;
  for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/task"))
    ++n;
  return n;
}
// A wait that only a signal ends, as TIOCMIWAIT on a line that never changes.
int BlockUntilSignalled() {
  return ::ppoll(nullptr, 0, nullptr, nullptr) < 0 ? errno : 0;
}
TEST(LineWaiter, TellsEachChangeAndEndsAtStopWithoutLeavingAThread) {
  const int before = Threads();
  std::atomic<int> changes{0}, waits{0};
  {
    LineWaiter waiter([&] { return ++waits <= 3 ? 0 : BlockUntilSignalled(); }, [&] { ++changes; });
    for (int i = 0; i < 500 && waits < 4; ++i)
      std::this_thread::sleep_for(1ms);
    waiter.Renew(); // ends the wait in progress; the next begins
    for (int i = 0; i < 500 && waits < 5; ++i)
      std::this_thread::sleep_for(1ms);
    EXPECT_EQ(std::pair(changes.load(), waits.load()), std::pair(3, 5));
    EXPECT_EQ(Threads(), before + 1);
  } // stopped here while waiting
  EXPECT_EQ(Threads(), before);
  // A driver without the wait answers at once; the thread ends by itself.
  LineWaiter unsupported([] { return ENOTTY; }, [] {});
  for (int i = 0; i < 500 && !unsupported.Unsupported(); ++i)
    std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(unsupported.Unsupported());
  unsupported.Stop();
  EXPECT_EQ(Threads(), before);
}
// A handler of the program's own for the wake signal is kept. One that restarts interrupted
// calls would have the driver wait on for ever, so the waiter starts no wait at all and the
// port does without it; the waiter stops at once either way.
struct WakeOutcome {
  bool waited;
  bool unsupported;
  bool handlerKept;
  bool operator==(const WakeOutcome &) const = default;
};
void PrintTo(const WakeOutcome &o, std::ostream *os) {
  *os << "waited " << o.waited << ", unsupported " << o.unsupported << ", handler kept "
      << o.handlerKept;
}
void TheirHandler(int) {}
void TheirInfoHandler(int, siginfo_t *, void *) {}
TEST(LineWaiter, KeepsTheProgramsOwnWakeHandlerAndNeverHangsOnOne) {
  struct Row {
    const char *name;
    bool install;
    int flags;
    WakeOutcome expected;
  };
  const Row rows[] = {
      {"no handler before", false, 0, {true, false, false}},
      {"a handler that restarts calls", true, SA_RESTART, {false, true, true}},
      {"a siginfo handler that does not restart", true, SA_SIGINFO, {true, false, true}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const auto outcome = test::ValueFromChild<WakeOutcome>([&] {
      ::alarm(10); // a waiter that cannot be stopped ends the child, not the test
      struct sigaction theirs {};
      sigemptyset(&theirs.sa_mask);
      theirs.sa_flags = row.flags;
      if (row.flags & SA_SIGINFO)
        theirs.sa_sigaction = TheirInfoHandler;
      else
        theirs.sa_handler = TheirHandler;
      if (row.install)
        ::sigaction(SIGURG, &theirs, nullptr);
      int never[2];
      if (::pipe(never) != 0)
        return WakeOutcome{};
      // A read that a restarting handler resumes, as the driver resumes its wait.
      std::atomic<bool> waited{false};
      LineWaiter waiter(
          [&] {
            waited = true;
            char byte;
            return ::read(never[0], &byte, 1) < 0 ? errno : 0;
          },
          [] {});
      for (int i = 0; i < 500 && !waited && !waiter.Unsupported(); ++i)
        std::this_thread::sleep_for(1ms);
      WakeOutcome got{waited, waiter.Unsupported(), false};
      waiter.Stop();
      struct sigaction now {};
      ::sigaction(SIGURG, nullptr, &now);
      got.handlerKept = (row.flags & SA_SIGINFO) ? now.sa_sigaction == TheirInfoHandler
                                                 : now.sa_handler == TheirHandler;
      return got;
    });
    if (outcome)
      EXPECT_EQ(*outcome, row.expected);
    else
      ADD_FAILURE() << "the waiter did not stop";
  }
}
// Received bytes reach the window whole and in order, however they are split, and the echo of
// a typed key is handed over while the I/O thread would otherwise rest.
TEST(SessionOrder, BytesArriveInOrderAndAnEchoIsNotHeldBack) {
  test::Pty pty;
  if (!pty.Ok())
    GTEST_SKIP() << "no pseudo-terminal to be had here";
  DeviceMap devices;
  devices.Map(1, pty.SlavePath());
  test::UiQueue ui;
  PosixCommControl comm(devices, ui.Poster());
  std::string got;
  comm.OnComm([&] { got += comm.Input(); });
  ASSERT_EQ(comm.RThreshold(1), comNoError);
  ASSERT_EQ(comm.Settings("115200,N,8,1"), comNoError);
  ASSERT_EQ(comm.PortOpen(true), comNoError);
  std::string sent;
  for (int i = 0; i < 200; ++i) { // a steady stream in small pieces
    const std::string piece = "line " + std::to_string(i) + "\r\n";
    sent += piece;
    pty.Write(piece);
    ui.PumpFor(1ms);
  }
  ASSERT_EQ(comm.Output("k"), comNoError);
  EXPECT_EQ(pty.Read(1), "k");
  pty.Write("k");
  sent += "k";
  ASSERT_TRUE(ui.PumpUntil([&] { return got.size() >= sent.size(); }, 5s));
  EXPECT_EQ(got, sent);
}
// A byte with an error, on a line with parity on, is told by the counter that moved since the
// last read, also when it waits to be read (a rest under a stream) while line ticks read the
// counters.
TEST(SessionErrors, EachBadByteIsToldByTheCounterThatMovedSinceTheLastRead) {
  const struct {
    const char *name;
    bool framing;
    Ms wait;
    const char *told;
  } rows[] = {{"a framing error read at once", true, 0ms, "X[frame] rest"},
              {"a framing error read after three ticks", true, 75ms, "X[frame] rest"},
              {"a parity error read after three ticks", false, 75ms, "X[parity] rest"}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    test::Pty pty;
    if (!pty.Ok())
      GTEST_SKIP() << "no pseudo-terminal to be had here";
    test::UartShim uart(pty.SlavePath());
    DeviceMap devices;
    devices.Map(1, pty.SlavePath());
    test::UiQueue ui;
    PosixCommControl comm(devices, ui.Poster());
    std::string told;
    comm.OnComm([&] {
      const int kind = comm.CommEvent();
      told += kind == comEvReceive       ? comm.Input()
              : kind == comEventFrame    ? "[frame]"
              : kind == comEventRxParity ? "[parity]"
                                         : "[" + std::to_string(kind) + "]";
    });
    ASSERT_EQ(comm.RThreshold(1), comNoError);
    ASSERT_EQ(comm.Settings("9600,E,8,1"), comNoError);
    ASSERT_EQ(comm.PortOpen(true), comNoError);
    row.framing ? uart.CountFramingError() : uart.CountParityError();
    std::this_thread::sleep_for(row.wait);
    pty.Write(std::string("\xFF\0X rest", 8)); // marked as the driver marks a bad byte
    ui.PumpUntil([&] { return told.ends_with("rest"); }, 5s);
    EXPECT_EQ(told, row.told);
  }
}
} // namespace
} // namespace kestrel::serial
