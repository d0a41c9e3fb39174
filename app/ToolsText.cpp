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
      : mText(text), mChars{matchCase ? first : Fold(first),
                            matchCase ? first : Unfold(Fold(first))} {}
  // The first candidate at or after from, or npos. Calls go forward only.
  std::size_t Next(std::size_t from) {
    std::size_t best = npos;
    for (int i = 0; i < Kinds(); ++i) {
      // A place found before is still the next one until from passes it.
      if (mFound[i] == kUnknown || (mFound[i] != npos && mFound[i] < from))
        mFound[i] = Scan(mChars[i], from);
      best = std::min(best, mFound[i]);
    }
    return best;
  }
  // The last candidate before end, or npos. Calls go backward only.
  std::size_t Previous(std::size_t end) {
    std::size_t best = npos;
    for (int i = 0; i < Kinds(); ++i) {
      if (mFound[i] == kUnknown || (mFound[i] != npos && mFound[i] >= end))
        mFound[i] = ScanBack(mChars[i], end);
      if (mFound[i] != npos)
        best = best == npos ? mFound[i] : std::max(best, mFound[i]);
    }
    return best;
  }

private:
  static constexpr std::size_t npos = std::string_view::npos;
  static constexpr std::size_t kUnknown = npos - 1;
  int Kinds() const { return mChars[0] == mChars[1] ? 1 : 2; }
  std::size_t Scan(char ch, std::size_t from) const {
    if (from >= mText.size())
      return npos;
    const void *at = std::memchr(mText.data() + from, ch, mText.size() - from);
    return at ? static_cast<std::size_t>(static_cast<const char *>(at) - mText.data()) : npos;
  }
  std::size_t ScanBack(char ch, std::size_t end) const {
    const void *at = memrchr(mText.data(), ch, end);
    return at ? static_cast<std::size_t>(static_cast<const char *>(at) - mText.data()) : npos;
  }
  std::string_view mText;
  char mChars[2];
  std::size_t mFound[2] = {kUnknown, kUnknown};
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
  Candidates candidates(text, needle.front(), matchCase);
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
