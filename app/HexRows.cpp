#include "HexRows.h"

#include <algorithm>
#include <cstdio>

namespace kestrel {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
} // namespace

void HexRows::Format(std::string_view bytes, std::string &rows) {
  while (!bytes.empty()) {
    const std::size_t column = static_cast<std::size_t>(mOffset % kRowBytes);
    const std::size_t take = std::min(bytes.size(), kRowBytes - column);
    Row(bytes.substr(0, take), column, rows);
    bytes.remove_prefix(take);
    mOffset += take;
  }
}

// Offset, two blanks, the 16 hex columns (one more blank between the halves),
// one blank and the characters; blanks stand for the columns the row does not
// hold, and nothing follows its last character.
void HexRows::Row(std::string_view bytes, std::size_t column, std::string &rows) {
  char offset[24];
  int n =
      std::snprintf(offset, sizeof offset, "%08llX  ", static_cast<unsigned long long>(mOffset));
  rows.append(offset, n > 0 ? static_cast<std::size_t>(n) : 0);
  for (std::size_t c = 0; c < kRowBytes; ++c) {
    if (c == kRowBytes / 2)
      rows += ' ';
    if (c < column || c >= column + bytes.size()) {
      rows.append(3, ' ');
      continue;
    }
    auto ch = static_cast<unsigned char>(bytes[c - column]);
    rows += kHexDigits[ch >> 4];
    rows += kHexDigits[ch & 15];
    rows += ' ';
  }
  rows += ' ';
  rows.append(column, ' ');
  for (char byte : bytes) {
    auto ch = static_cast<unsigned char>(byte);
    rows += (ch >= 32 && ch <= 126) ? byte : '.';
  }
  rows += '\n';
}

} // namespace kestrel
