#include "HexRows.h"

#include <algorithm>

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
  constexpr std::size_t kHexStart = 2, kTextStart = kHexStart + 3 * kRowBytes + 2;
  char line[16 + kTextStart + kRowBytes + 1];
  std::size_t digits = 8;
  while (digits < 16 && (mOffset >> (4 * digits)) != 0)
    ++digits;
  for (std::size_t d = 0; d < digits; ++d)
    line[d] = kHexDigits[(mOffset >> (4 * (digits - 1 - d))) & 15];
  char *const hex = line + digits + kHexStart;
  char *const text = line + digits + kTextStart;
  std::fill(line + digits, text + column, ' ');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto ch = static_cast<unsigned char>(bytes[i]);
    const std::size_t c = column + i;
    char *at = hex + 3 * c + (c >= kRowBytes / 2 ? 1 : 0);
    at[0] = kHexDigits[ch >> 4];
    at[1] = kHexDigits[ch & 15];
    text[c] = (ch >= 32 && ch <= 126) ? static_cast<char>(ch) : '.';
  }
  char *const end = text + column + bytes.size();
  *end = '\n';
  rows.append(line, end + 1);
}

} // namespace kestrel
