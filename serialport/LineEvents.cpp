#include "LineEvents.h"

#include "CommControl.h"

#include <sys/ioctl.h>

namespace kestrel::serial {

void LineErrorDecoder::Decode(std::string_view chunk, std::string &out, Marks &marks) {
  out.reserve(out.size() + chunk.size());
  for (char ch : chunk) {
    auto byte = static_cast<unsigned char>(ch);
    switch (mState) {
    case State::Data:
      if (byte == 0xFF)
        mState = State::AfterFF;
      else
        out += ch;
      break;
    case State::AfterFF:
      if (byte == 0xFF) {
        out += ch;
        mState = State::Data;
      } else if (byte == 0x00) {
        mState = State::AfterFF00;
      } else {
        // Not a mark the driver makes; the bytes are passed on as they came.
        out += '\xFF';
        out += ch;
        mState = State::Data;
      }
      break;
    case State::AfterFF00:
      if (byte == 0x00) {
        ++marks.breaks;
        marks.where.push_back({out.size(), true});
      } else {
        ++marks.errors;
        out += ch;
        marks.where.push_back({out.size(), false});
      }
      mState = State::Data;
      break;
    }
  }
}

void CounterEvents(const LineCounters &before, const LineCounters &after, std::vector<int> &kinds) {
  const std::pair<bool, int> moved[] = {
      {after.cts != before.cts, comEvCTS},
      {after.dsr != before.dsr, comEvDSR},
      {after.dcd != before.dcd, comEvCD},
      {after.rng != before.rng, comEvRing},
      {after.frame != before.frame, comEventFrame},
      {after.parity != before.parity, comEventRxParity},
      {after.overrun != before.overrun, comEventOverrun},
      {after.bufOverrun != before.bufOverrun, comEventRxOver},
      {after.brk != before.brk, comEventBreak},
  };
  for (auto [changed, kind] : moved)
    if (changed)
      kinds.push_back(kind);
}

void LevelEvents(int before, int after, std::vector<int> &kinds) {
  const std::pair<int, int> lines[] = {
      {TIOCM_CTS, comEvCTS}, {TIOCM_DSR, comEvDSR}, {TIOCM_CD, comEvCD}, {TIOCM_RI, comEvRing}};
  for (auto [bit, kind] : lines)
    if ((before ^ after) & bit)
      kinds.push_back(kind);
}

void MarkEvents(const LineErrorDecoder::Marks &marks, bool parityOn, std::vector<int> &kinds) {
  if (marks.errors)
    kinds.push_back(parityOn ? comEventRxParity : comEventFrame);
  if (marks.breaks)
    kinds.push_back(comEventBreak);
}

} // namespace kestrel::serial
