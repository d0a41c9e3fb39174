#include "ToolsText.h"

#include <algorithm>
#include <cstring>

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
    } else if (ch >= 1 && ch <= 255) {
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

char Unfold(char ch) {
  return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
}

// The places where the needle's first character (in either case, unless
// matchCase) stands are found with memchr and memrchr, which read a long
// history many times faster than a comparison per character; only there is
// the whole needle compared.
class Candidates {
public:
  Candidates(std::string_view text, char first, bool matchCase)
      : mText(text), mLower(matchCase ? first : Fold(first)),
        mUpper(matchCase ? first : Unfold(mLower)) {}
  // The first candidate at or after from, or npos.
  std::size_t Next(std::size_t from) const {
    return std::min(Scan(mLower, from), mLower == mUpper ? npos : Scan(mUpper, from));
  }
  // The last candidate before end, or npos.
  std::size_t Previous(std::size_t end) const {
    const std::size_t a = ScanBack(mLower, end);
    const std::size_t b = mLower == mUpper ? npos : ScanBack(mUpper, end);
    return a == npos ? b : b == npos ? a : std::max(a, b);
  }

private:
  static constexpr std::size_t npos = std::string_view::npos;
  std::size_t Scan(char ch, std::size_t from) const {
    const void *at = std::memchr(mText.data() + from, ch, mText.size() - from);
    return at ? static_cast<std::size_t>(static_cast<const char *>(at) - mText.data()) : npos;
  }
  std::size_t ScanBack(char ch, std::size_t end) const {
    const void *at = memrchr(mText.data(), ch, end);
    return at ? static_cast<std::size_t>(static_cast<const char *>(at) - mText.data()) : npos;
  }
  std::string_view mText;
  char mLower;
  char mUpper;
};
} // namespace

std::size_t FindInText(std::string_view text, std::string_view needle, std::size_t from,
                       bool forward, bool matchCase) {
  constexpr std::size_t npos = std::string_view::npos;
  if (needle.empty() || needle.size() > text.size())
    return npos;
  auto same = [matchCase](char a, char b) { return matchCase ? a == b : Fold(a) == Fold(b); };
  auto matchesAt = [&](std::size_t at) {
    return at + needle.size() <= text.size() &&
           std::equal(needle.begin(), needle.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                      same);
  };
  const Candidates candidates(text, needle.front(), matchCase);
  if (forward) {
    if (from > text.size())
      return npos;
    const std::size_t last = text.size() - needle.size();
    for (std::size_t at = candidates.Next(from); at != npos && at <= last;
         at = at + 1 < text.size() ? candidates.Next(at + 1) : npos)
      if (matchesAt(at))
        return at;
    return npos;
  }
  const std::size_t end = std::min(from, text.size());
  if (end < needle.size())
    return npos;
  for (std::size_t at = candidates.Previous(end - needle.size() + 1); at != npos;
       at = at > 0 ? candidates.Previous(at) : npos)
    if (matchesAt(at))
      return at;
  return npos;
}

} // namespace kestrel
