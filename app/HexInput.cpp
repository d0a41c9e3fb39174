#include "HexInput.h"

#include <cstdio>

namespace kestrel {

namespace {

int DigitValue(char32_t ch) {
  if (ch >= U'0' && ch <= U'9')
    return static_cast<int>(ch - U'0');
  if (ch >= U'a' && ch <= U'f')
    return static_cast<int>(ch - U'a' + 10);
  if (ch >= U'A' && ch <= U'F')
    return static_cast<int>(ch - U'A' + 10);
  return -1;
}

// A visible character in quotes, any other by its code point.
std::string Named(char32_t ch) {
  if (ch > U' ' && ch < 127)
    return "\"" + std::string(1, static_cast<char>(ch)) + "\"";
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(ch));
  return code;
}

HexInput Refused(std::string message, std::size_t position) {
  return HexInput{false, {}, std::move(message), position};
}

} // namespace

HexInput ParseHexInput(std::u32string_view text) {
  HexInput result{true, {}, {}, 0};
  int high = -1; // the first digit of a pair not yet complete
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t ch = text[i];
    const std::string where = " at character " + std::to_string(i + 1);
    if (ch == U' ' || ch == U'\t') {
      if (high >= 0)
        return Refused("The digit " + Named(text[i - 1]) + " at character " + std::to_string(i) +
                           " has no partner: each byte takes two hex digits, such as 0A.",
                       i);
      continue;
    }
    const int value = DigitValue(ch);
    if (value < 0)
      return Refused(Named(ch) + where +
                         " is not a hex digit. Type bytes as hex pairs, such as 01 A0 ff.",
                     i + 1);
    if (high < 0) {
      high = value;
      continue;
    }
    result.bytes += static_cast<char>(high << 4 | value);
    high = -1;
  }
  if (high >= 0)
    return Refused("The digit " + Named(text.back()) + " at character " +
                       std::to_string(text.size()) +
                       " has no partner: each byte takes two hex digits, such as 0A.",
                   text.size());
  if (result.bytes.empty())
    return Refused("There is nothing to send. Type bytes as hex pairs, such as 01 A0 ff.", 0);
  return result;
}

} // namespace kestrel
