// What the line tells besides its data: error marks in the received stream,
// and changes of the driver's line counters and levels, turned into the
// control's event kinds.
//
// Error marks.
// With PARMRK the driver marks what it could not receive cleanly: a byte with
// a parity or framing error arrives as 0xFF 0x00 byte, a break as 0xFF 0x00
// 0x00, and a real 0xFF as 0xFF 0xFF. The decoder returns the data as it was
// sent (the marked byte kept, the marks removed), counts the marks and notes
// where they were: just after the marked byte, or where the break fell. A mark
// may be split across two reads, so the decoder keeps its state between calls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::serial {

class LineErrorDecoder {
public:
  struct Mark {
    std::size_t at; // where in the decoded data, counted from the start of out
    bool isBreak;   // a break; otherwise a byte with a parity or framing error
  };
  struct Marks {
    std::size_t errors = 0; // bytes received with a parity or framing error
    std::size_t breaks = 0;
    std::vector<Mark> where; // in the order found
  };

  // Appends the data of chunk to out and adds the marks found to marks.
  void Decode(std::string_view chunk, std::string &out, Marks &marks);

private:
  enum class State { Data, AfterFF, AfterFF00 };
  State mState = State::Data;
};

// The driver's running counts of line events (TIOCGICOUNT).
struct LineCounters {
  int cts = 0, dsr = 0, dcd = 0, rng = 0;
  int frame = 0, parity = 0, overrun = 0, bufOverrun = 0, brk = 0;
};

// One event kind for each counter that moved between the two readings, in
// the order modem lines, then errors, then break. Counters, not levels: a
// pulse shorter than the reading interval still counts.
void CounterEvents(const LineCounters &before, const LineCounters &after, std::vector<int> &kinds);
// One event kind for each of CTS, DSR, CD and ring whose level differs
// between the two TIOCM_* bit sets; for drivers without counters.
void LevelEvents(int before, int after, std::vector<int> &kinds);
// The events for the marks found where the driver has no counters to tell
// parity from framing errors: framing without parity, parity with it.
void MarkEvents(const LineErrorDecoder::Marks &marks, bool parityOn, std::vector<int> &kinds);

} // namespace kestrel::serial
