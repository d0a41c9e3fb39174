// The receive display's text, kept apart from any widget.
//
// The terminal appends to its display one character at a time and trims it
// from the front, many million times a minute at high line rates. A widget
// cannot take that, so the text lives here: appends are amortised O(1), a cut
// at the front moves an offset instead of the text (TextRing), and nothing reads more of
// the text than the caller asks for. The widget that shows it repaints from
// this model at its own pace (OnDirty tells it there is something new) and
// edits only what changed: every character carries a position counted from
// the start of the display's life, so a view that remembers the span it shows
// learns from Origin() how much was cut at the front and from the end how
// much was appended. Replacing the whole text counts as cutting all of it.
//
// Every change of the text raises the change event synchronously, before the
// changing call returns, as a rich-text box raises its Change event; a change
// handler may itself change the text (the terminal's automatic clearing empties
// it from inside an append), and the changing call then simply returns.
//
// The text carries a style (TextStyle, packed) as runs: each run holds from
// its lifetime position to the next run's. Appended text takes the style set
// last; a display that never sets one has no runs and is all plain text.
//
// Lines() follows every change, so where each line starts is known without
// reading the text.
#pragma once

#include "LineIndex.h"
#include "TextRing.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace kestrel {

class TextDisplay {
public:
  std::string_view Text() const { return mBuffer.View(); }
  // Replaces the whole text.
  void Text(std::string_view text);
  std::size_t Length() const { return mBuffer.Size(); }
  // Lifetime position of the first character of Text(); grows with every cut.
  std::uint64_t Origin() const { return mOrigin; }

  // Puts the caret at the end and inserts there.
  void AppendAtEnd(std::string_view text);
  // Drops the first count characters (all of them when count passes the end).
  void DropFront(std::size_t count);
  // Position (from 0) of the first occurrence of needle at or after from, or
  // npos.
  std::size_t Find(std::string_view needle, std::size_t from) const;

  // Where its lines start; up to date when the change events are raised.
  const LineIndex &Lines() const { return mLines; }

  // Raised after every change, inside the changing call.
  void OnChange(std::function<void()> handler) { mOnChange = std::move(handler); }
  // Raised after every change, for a view that repaints lazily.
  void OnDirty(std::function<void()> handler) { mOnDirty = std::move(handler); }
  // Grows by one with every change.
  std::uint64_t Generation() const { return mGeneration; }

  // The style of text appended from now on (0: plain).
  std::uint32_t Style() const { return mStyle; }
  void Style(std::uint32_t style) { mStyle = style; }
  struct StyleRun {
    std::uint64_t from; // lifetime position
    std::uint32_t style;
  };
  // In position order; the first may begin before Origin().
  const std::deque<StyleRun> &StyleRuns() const { return mRuns; }
  // The style of the character at lifetime position.
  std::uint32_t StyleAt(std::uint64_t position) const;

  static constexpr std::size_t npos = std::string_view::npos;

private:
  void Changed();

  TextRing mBuffer;
  std::uint64_t mOrigin = 0;
  std::uint64_t mGeneration = 0;
  std::uint32_t mStyle = 0;
  std::deque<StyleRun> mRuns;
  LineIndex mLines;
  std::function<void()> mOnChange;
  std::function<void()> mOnDirty;
};

} // namespace kestrel
