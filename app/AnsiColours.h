// The terminal escape sequences in received bytes, for showing a board's
// coloured log in colour: the sequences are taken out of the text and their
// colour changes kept beside it.
//
// SGR sequences (ESC [ ... m) set the style of the text that follows: bold
// (1, 22), the eight colours and their bright forms for the foreground (30-37,
// 90-97) and the background (40-47, 100-107), the 256-colour palette (38;5;n,
// 48;5;n), 24-bit colours mapped to the palette's colour cube (38;2;r;g;b),
// the defaults (39, 49) and reset (0, or none). Other attributes are taken
// out and change nothing. Every other sequence is taken out and shows
// nothing: CSI sequences (cursor moves, erasing, bracketed-paste marks),
// OSC and other string sequences up to BEL or ESC \, and two-byte ESC x.
//
// The state (the style, and a sequence cut short by the end of a chunk) is
// kept from one call to the next, so colours hold across lines and reads,
// and a sequence split between two reads is taken out whole.
//
// Control codes inside a sequence act as they do outside it and stay in the
// text, as terminals treat them; a line feed also ends whatever sequence it
// interrupts, so a stray or cut-short ESC never swallows the next line. Every
// line feed received is in the text, in its place. Bytes from 128 up end a
// sequence and stay in the text.
#pragma once

#include "TextStyle.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

struct ColouredText {
  // The bytes received, less the escape sequences.
  std::string text;
  // The style of the text's start, until the first change.
  std::uint32_t style = 0;
  struct Change {
    std::size_t at;      // position in text where the style begins
    std::uint32_t style; // TextStyle, packed
    bool operator==(const Change &) const = default;
  };
  // In position order, at most one per position, each a real change.
  std::vector<Change> changes;
};

class AnsiColours {
public:
  // Replaces out with what bytes bring, after everything fed before.
  void Parse(std::string_view bytes, ColouredText &out);
  // The style in effect after the last byte parsed.
  std::uint32_t Style() const { return mPacked; }
  // Back to plain text, outside any sequence.
  void Reset();

private:
  enum class State { Text, Escape, EscapeIntermediate, Csi, String, StringEscape };
  static constexpr std::size_t kMaxParameters = 32;

  void Byte(unsigned char ch, ColouredText &out);
  void CsiByte(unsigned char ch, ColouredText &out);
  void Stray(unsigned char ch, ColouredText &out);
  void StartCsi();
  void ApplySgr();
  std::size_t ExtendedColour(std::size_t i, std::uint16_t &colour) const;
  void Emit(unsigned char ch, ColouredText &out);

  State mState = State::Text;
  TextStyle mStyle;
  std::uint32_t mPacked = 0;  // mStyle, packed
  std::uint32_t mEmitted = 0; // the style of the text given out last
  // The CSI sequence being read: its numbers (an empty one is 0), and whether
  // it carries a private mark or an intermediate byte, which SGR never does.
  std::uint16_t mParameters[kMaxParameters] = {};
  std::size_t mParameterCount = 0;
  bool mOddCsi = false;
};

} // namespace kestrel
