// Appending received text to the terminal's display with its limits: past
// 10000 characters the display first drops its oldest lines, and the
// automatic clearing (the display's change event) may empty it after any
// change.
//
// The result is, character for character, what appending every character on
// its own would give, but at a cost that does not grow with the display: runs
// of printable characters go in as one append wherever no single character of
// the run could have trimmed or cleared the display differently, and the
// position of the display's last line break is kept instead of searched for.
//
// With a history of n lines chosen (HistoryLines), the display instead keeps
// its last n whole lines and the one being received, and drops the oldest
// line as each new one ends; the 10000-character limit does not apply, but
// no more than 512 characters a line of n are kept (a line that never ends).
//
// Also here: which received codes are shown, and the token a code that is not
// shown stands as in the log (" <0x1B>").
#pragma once

#include "Controls.h"
#include "TextDisplay.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

inline constexpr std::string_view kLineBreak = "\r\n";

inline bool IsPrintable(unsigned char ch) {
  return ch >= 32 && ch <= 126;
}

// " <0xHH>": upper-case hexadecimal without leading zeros.
std::string_view CodeToken(unsigned char ch);

class DisplayWriter {
public:
  DisplayWriter(TextDisplay &rtfData, ICheckBox &chkAutoClear, ITextBox &txtSize);

  // Appends text as one piece, trimming the display first when it would pass
  // its limit.
  void RichTextAppend(std::string_view text);
  // Appends a run of printable characters as appending them one by one would.
  void ShowPrintable(std::string_view run);
  // Appends text without trimming.
  void AppendTracked(std::string_view text);
  // The number typed into txtSize, read again only when its text changes.
  double AutoClearLimit();
  // Whole lines the display keeps; 0 for the 10000-character limit. A
  // smaller count drops the lines past it at once; the limit keeps the lines
  // that start in the last 10000 characters (or those characters, where no
  // line starts in them).
  std::size_t HistoryLines() const { return mHistoryLines; }
  void HistoryLines(std::size_t lines);

private:
  std::size_t Limit() const;
  void DropPastHistory();
  void DropPastLimit();
  // Keeps the lines that start in the last limit characters, or those
  // characters where none does.
  void DropPast(std::size_t limit);
  void DropFrontTracked(std::size_t count);
  std::size_t LastLineBreak();
  std::size_t AutoClearRoom();

  TextDisplay &mDisplay;
  ICheckBox &mAutoClear;
  ITextBox &mSize;
  // Where the display's last CR LF starts, valid while the display's
  // generation is mBreakGeneration.
  std::size_t mLastBreak = TextDisplay::npos;
  std::uint64_t mBreakGeneration = ~std::uint64_t{0};
  std::string mSizeText;
  double mSizeValue = 0;
  std::size_t mHistoryLines = 0;
};

} // namespace kestrel
