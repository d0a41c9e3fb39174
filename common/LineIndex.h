// Where the lines of the display's text start, by lifetime position.
//
// The display's text is cut at the front and grows at the end, and every
// character keeps the position it had from the start of the display's life
// (TextDisplay). This index follows those two changes at the cost of the
// text appended and the lines cut, so a view can find the line of any
// position, and the history limit can count lines, without reading the text
// again. A line runs from its start up to and including its line feed; the
// last line is the one being received and may be empty. There is always at
// least one line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>

namespace kestrel {

class LineIndex {
public:
  // The text is empty and begins at origin.
  void Reset(std::uint64_t origin);
  // Text appended at End().
  void Append(std::string_view text);
  // The text before origin is gone; an origin past End() leaves it empty.
  void CutTo(std::uint64_t origin);

  std::uint64_t Origin() const { return mOrigin; }
  std::uint64_t End() const { return mEnd; }
  std::size_t Count() const { return mStarts.size(); }
  // Line feeds in the text: the lines received whole.
  std::size_t Breaks() const { return mStarts.size() - 1; }
  // The first line starts at Origin(), also when it was cut inside.
  std::uint64_t Start(std::size_t line) const { return line == 0 ? mOrigin : mStarts[line]; }
  // Where the next line starts, or End() for the last.
  std::uint64_t Finish(std::size_t line) const {
    return line + 1 < mStarts.size() ? mStarts[line + 1] : mEnd;
  }
  // The line holding position (the first or the last for positions outside).
  std::size_t LineOf(std::uint64_t position) const;

private:
  std::deque<std::uint64_t> mStarts{0};
  std::uint64_t mOrigin = 0;
  std::uint64_t mEnd = 0;
};

} // namespace kestrel
