// The escape-sequence parser on any bytes: fed whole or cut into reads at any
// points, it must give the same text and style changes; the text holds no
// ESC, keeps every line feed, and is the input less some of its bytes; the
// changes stand in order, each a real change.
#include "AnsiColours.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::size_t step = data[0] % 9 + 1; // the length of each read
  const std::string_view bytes(reinterpret_cast<const char *>(data + 1), size - 1);

  AnsiColours whole;
  ColouredText all;
  whole.Parse(bytes, all);

  AnsiColours cut;
  ColouredText joined, one;
  for (std::size_t at = 0; at < bytes.size(); at += step) {
    cut.Parse(bytes.substr(at, step), one);
    for (const ColouredText::Change &c : one.changes)
      joined.changes.push_back({joined.text.size() + c.at, c.style});
    joined.text += one.text;
  }
  if (joined.text != all.text || joined.changes != all.changes || cut.Style() != whole.Style())
    std::abort();

  if (all.text.find('\x1b') != std::string::npos)
    std::abort();
  if (std::count(all.text.begin(), all.text.end(), '\n') !=
      std::count(bytes.begin(), bytes.end(), '\n'))
    std::abort();
  std::size_t from = 0;
  for (char ch : all.text) {
    from = bytes.find(ch, from);
    if (from == std::string_view::npos)
      std::abort();
    ++from;
  }
  std::uint32_t style = all.style;
  std::size_t last = 0;
  for (std::size_t i = 0; i < all.changes.size(); ++i) {
    const ColouredText::Change &c = all.changes[i];
    if (c.at >= all.text.size() || (i > 0 && c.at <= last) || c.style == style)
      std::abort();
    last = c.at;
    style = c.style;
  }
  return 0;
}
