#include "WrappedLines.h"

#include <algorithm>

namespace kestrel {

void WrappedLines::Follow(const TextDisplay &display) {
  const std::uint64_t origin = display.Origin();
  if (origin > mLines.End()) {
    const std::uint64_t next = EndRow();
    mLines.Reset(origin);
    mFirstRow.assign(1, next);
  } else if (origin > mLines.Origin()) {
    const std::size_t before = mLines.Count();
    mLines.CutTo(origin);
    for (std::size_t gone = before - mLines.Count(); gone > 0; --gone)
      mFirstRow.pop_front();
    // The first line may have lost its head.
    if (mLines.Count() > 1)
      mFirstRow[0] = mFirstRow[1] - RowsOf(0);
  }
  const std::uint64_t end = origin + display.Length();
  if (end <= mLines.End())
    return;
  std::size_t last = mLines.Count() - 1;
  mLines.Append(display.Text().substr(static_cast<std::size_t>(mLines.End() - origin)));
  for (; last + 1 < mLines.Count(); ++last)
    mFirstRow.push_back(mFirstRow[last] + RowsOf(last));
}

void WrappedLines::Columns(std::size_t columns) {
  mColumns = std::max<std::size_t>(1, columns);
  for (std::size_t line = 0; line + 1 < mLines.Count(); ++line)
    mFirstRow[line + 1] = mFirstRow[line] + RowsOf(line);
}

WrappedLines::Row WrappedLines::RowAt(std::uint64_t row) const {
  row = std::clamp(row, FirstRow(), EndRow() - 1);
  const auto after = std::upper_bound(mFirstRow.begin(), mFirstRow.end(), row);
  const auto line = static_cast<std::size_t>(after - mFirstRow.begin()) - 1;
  const std::uint64_t from = mLines.Start(line) + (row - mFirstRow[line]) * mColumns;
  return {line, from, std::min(from + mColumns, ContentEnd(line))};
}

std::uint64_t WrappedLines::RowOf(std::uint64_t position) const {
  const std::size_t line = mLines.LineOf(position);
  const std::uint64_t start = mLines.Start(line);
  const std::uint64_t inner = position > start ? (position - start) / mColumns : 0;
  return mFirstRow[line] + std::min(inner, RowsOf(line) - 1);
}

// A whole line ends in CR LF; the one being received has no break yet.
std::uint64_t WrappedLines::ContentEnd(std::size_t line) const {
  const std::uint64_t start = mLines.Start(line);
  if (line + 1 == mLines.Count())
    return mLines.End();
  const std::uint64_t finish = mLines.Finish(line);
  return finish - start >= 2 ? finish - 2 : start;
}

std::uint64_t WrappedLines::RowsOf(std::size_t line) const {
  const std::uint64_t length = ContentEnd(line) - mLines.Start(line);
  return length == 0 ? 1 : (length + mColumns - 1) / mColumns;
}

} // namespace kestrel
