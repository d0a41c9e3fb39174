#include "DisplayWriter.h"

#include "Val.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace kestrel {

namespace {

constexpr std::size_t kDisplayLimit = 10000;
constexpr std::size_t kHistoryBytesPerLine = 512;
// The trim looks for the first line break at least this far past the length
// of the text being appended (counted from 0, so 100 for one character).
constexpr std::size_t kTrimSearchStart = 99;

struct Token {
  char text[8];
  unsigned char length;
};

constexpr std::array<Token, 256> MakeTokens() {
  std::array<Token, 256> tokens{};
  constexpr char hex[] = "0123456789ABCDEF";
  for (int code = 0; code < 256; ++code) {
    Token &t = tokens[code];
    unsigned char n = 0;
    for (char ch : {' ', '<', '0', 'x'})
      t.text[n++] = ch;
    if (code >= 16)
      t.text[n++] = hex[code >> 4];
    t.text[n++] = hex[code & 15];
    t.text[n++] = '>';
    t.length = n;
  }
  return tokens;
}

constexpr std::array<Token, 256> kTokens = MakeTokens();

} // namespace

std::string_view CodeToken(unsigned char ch) {
  return {kTokens[ch].text, kTokens[ch].length};
}

DisplayWriter::DisplayWriter(TextDisplay &rtfData, ICheckBox &chkAutoClear, ITextBox &txtSize)
    : mDisplay(rtfData), mAutoClear(chkAutoClear), mSize(txtSize) {}

// Past 10000 characters the display first drops its oldest lines, up to the
// first line break at least about 100 characters in, or else its first
// character alone.
void DisplayWriter::RichTextAppend(std::string_view text) {
  if (mHistoryLines > 0) {
    AppendTracked(text);
    DropPastHistory();
    return;
  }
  if (mDisplay.Length() + text.size() > kDisplayLimit) {
    std::size_t from = text.size() + kTrimSearchStart;
    std::size_t cut = 1;
    std::size_t last = LastLineBreak();
    if (last != TextDisplay::npos && last >= from) {
      std::size_t at = mDisplay.Find(kLineBreak, from);
      if (at != TextDisplay::npos)
        cut = at + kLineBreak.size();
    }
    DropFrontTracked(cut);
  }
  AppendTracked(text);
}

// Two stretches go in whole: those that neither reach the trimming limit nor
// pass the automatic-clearing limit, and, on a full display without a line
// break far enough in, those where every character would only have pushed out
// the first one (the run brings no line break, so none can appear). Wherever
// a character could trim at a line break or clear the display, it goes alone.
void DisplayWriter::ShowPrintable(std::string_view run) {
  while (!run.empty()) {
    std::size_t length = mDisplay.Length();
    std::size_t room = AutoClearRoom();
    std::size_t take = 0;
    if (length < Limit()) {
      if (room > length)
        take = std::min({run.size(), Limit() - length, room - length});
      if (take > 0) {
        AppendTracked(run.substr(0, take));
        run.remove_prefix(take);
        continue;
      }
    } else if (room >= length) {
      std::size_t last = LastLineBreak();
      if (last == TextDisplay::npos || last < 1 + kTrimSearchStart) {
        take = std::min(run.size(), length);
        DropFrontTracked(take);
        AppendTracked(run.substr(0, take));
        run.remove_prefix(take);
        continue;
      }
    }
    RichTextAppend(run.substr(0, 1));
    run.remove_prefix(1);
  }
  if (mHistoryLines > 0)
    DropPast(mHistoryLines * kHistoryBytesPerLine);
}

// The display's own appends and cuts keep the position of its last line
// break up to date. Any other change of the display, a clearing from inside
// the change event included, leaves it to be found again.
void DisplayWriter::AppendTracked(std::string_view text) {
  std::size_t last = LastLineBreak();
  std::size_t at = mDisplay.Length();
  std::uint64_t expected = mDisplay.Generation() + 1;
  mDisplay.AppendAtEnd(text);
  if (mDisplay.Generation() != expected)
    return;
  if (text == kLineBreak)
    last = at;
  mLastBreak = last;
  mBreakGeneration = expected;
}

double DisplayWriter::AutoClearLimit() {
  std::string text = mSize.Text();
  if (text != mSizeText) {
    mSizeValue = Val(text);
    mSizeText = std::move(text);
  }
  return mSizeValue;
}

void DisplayWriter::HistoryLines(std::size_t lines) {
  const bool backToLimit = lines == 0 && mHistoryLines > 0;
  mHistoryLines = lines;
  if (backToLimit)
    DropPastLimit();
  else
    DropPastHistory();
}

std::size_t DisplayWriter::Limit() const {
  return mHistoryLines > 0 ? std::numeric_limits<std::size_t>::max() : kDisplayLimit;
}

// A board that never sends a line feed (binary data, a wrong rate) would grow
// the line being received without end: the history also keeps no more than
// kHistoryBytesPerLine characters for each line of its count.
void DisplayWriter::DropPastHistory() {
  if (mHistoryLines == 0)
    return;
  const LineIndex &lines = mDisplay.Lines();
  if (lines.Breaks() > mHistoryLines)
    DropFrontTracked(
        static_cast<std::size_t>(lines.Start(lines.Breaks() - mHistoryLines) - lines.Origin()));
  DropPast(mHistoryLines * kHistoryBytesPerLine);
}

void DisplayWriter::DropPastLimit() {
  DropPast(kDisplayLimit);
}

void DisplayWriter::DropPast(std::size_t limit) {
  const LineIndex &lines = mDisplay.Lines();
  if (mDisplay.Length() <= limit)
    return;
  const std::uint64_t keepFrom = lines.End() - limit;
  const std::size_t line = lines.LineOf(keepFrom);
  std::uint64_t from = lines.Start(line);
  if (from < keepFrom && line + 1 < lines.Count())
    from = lines.Start(line + 1);
  if (from < keepFrom || from >= lines.End())
    from = keepFrom;
  DropFrontTracked(static_cast<std::size_t>(from - lines.Origin()));
}

void DisplayWriter::DropFrontTracked(std::size_t count) {
  std::size_t last = LastLineBreak();
  std::uint64_t expected = mDisplay.Generation() + 1;
  mDisplay.DropFront(count);
  if (mDisplay.Generation() != expected)
    return;
  mLastBreak = (last != TextDisplay::npos && last >= count) ? last - count : TextDisplay::npos;
  mBreakGeneration = expected;
}

std::size_t DisplayWriter::LastLineBreak() {
  if (mBreakGeneration != mDisplay.Generation()) {
    mLastBreak = mDisplay.Text().rfind(kLineBreak);
    mBreakGeneration = mDisplay.Generation();
  }
  return mLastBreak;
}

// The longest the display may grow before the automatic clearing empties it.
std::size_t DisplayWriter::AutoClearRoom() {
  constexpr std::size_t unlimited = std::numeric_limits<std::size_t>::max();
  if (!mAutoClear.Value())
    return unlimited;
  double n = AutoClearLimit();
  if (!(n > 0) || n >= 1e18)
    return unlimited;
  return static_cast<std::size_t>(std::floor(n));
}

} // namespace kestrel
