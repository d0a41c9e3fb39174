// The display's lines as a view shows them: wrapped into rows of a fixed
// number of character cells, the width of the widget.
//
// A view of a long history must not lay out its whole text, neither to size
// its scroll bar nor to find what to paint. Here every line's first row is
// kept as a running count, extended for the lines a catch-up brings and cut
// with the lines the display dropped, so the row of any position and the
// line of any row are found by a binary search, and a new width costs one
// pass over the line starts, never over the text. Rows are numbered for the
// life of the view: the display's first row is FirstRow(), which grows as
// its front is cut, so a row number names the same text until it is cut.
//
// A row is a stretch of one line's bytes; the line break (CR LF) is in no
// row. An empty line is one empty row.
#pragma once

#include "LineIndex.h"
#include "TextDisplay.h"

#include <cstddef>
#include <cstdint>
#include <deque>

namespace kestrel {

class WrappedLines {
public:
  struct Row {
    std::size_t line;
    std::uint64_t from; // lifetime positions of its first byte and past its last
    std::uint64_t to;
  };

  // Takes in what the display cut and appended since the last call.
  void Follow(const TextDisplay &display);
  // Wraps every line again at columns cells (at least one).
  void Columns(std::size_t columns);
  std::size_t Columns() const { return mColumns; }

  const LineIndex &Lines() const { return mLines; }
  std::uint64_t FirstRow() const { return mFirstRow.front(); }
  // One past the last row.
  std::uint64_t EndRow() const { return mFirstRow.back() + RowsOf(mLines.Count() - 1); }
  std::uint64_t RowCount() const { return EndRow() - FirstRow(); }
  // The row numbered row, clamped to the rows there are.
  Row RowAt(std::uint64_t row) const;
  // The row showing position (a line break belongs to its line's last row).
  std::uint64_t RowOf(std::uint64_t position) const;
  // Where a line's text ends: before its CR LF.
  std::uint64_t ContentEnd(std::size_t line) const;

private:
  std::uint64_t RowsOf(std::size_t line) const;

  LineIndex mLines;
  std::deque<std::uint64_t> mFirstRow{0};
  std::size_t mColumns = 80;
};

} // namespace kestrel
