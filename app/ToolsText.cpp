#include "ToolsText.h"

#include <algorithm>

namespace kestrel {

PastedBytes PasteToBytes(std::u32string_view text) {
  PastedBytes out;
  out.bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t ch = text[i];
    if (ch == U'\r' || ch == U'\n') {
      out.bytes += '\r';
      if (ch == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
        ++i;
    } else if (ch <= 255) {
      out.bytes += static_cast<char>(ch);
    } else {
      ++out.leftOut;
    }
  }
  return out;
}

namespace {
char Fold(char ch) {
  return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}
} // namespace

std::size_t FindInText(std::string_view text, std::string_view needle, std::size_t from,
                       bool forward, bool matchCase) {
  if (needle.empty() || needle.size() > text.size())
    return std::string_view::npos;
  auto same = [matchCase](char a, char b) { return matchCase ? a == b : Fold(a) == Fold(b); };
  if (forward) {
    if (from > text.size())
      return std::string_view::npos;
    auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                          needle.begin(), needle.end(), same);
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
  }
  std::size_t end = std::min(from, text.size());
  if (end < needle.size())
    return std::string_view::npos;
  auto it = std::find_end(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end),
                          needle.begin(), needle.end(), same);
  return it == text.begin() + static_cast<std::ptrdiff_t>(end)
             ? std::string_view::npos
             : static_cast<std::size_t>(it - text.begin());
}

} // namespace kestrel
