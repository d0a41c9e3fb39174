// Send Hex's parser on any text: it takes exactly the texts made of hex pairs
// and blanks, gives their bytes, and refuses every other text with a message,
// no bytes and a place inside the text.
#include "HexInput.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kestrel;

namespace {
int Digit(char32_t ch) {
  if (ch >= U'0' && ch <= U'9')
    return static_cast<int>(ch - U'0');
  if ((ch | 0x20) >= U'a' && (ch | 0x20) <= U'f')
    return static_cast<int>((ch | 0x20) - U'a' + 10);
  return -1;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  // Two bytes a character, so code points past Latin-1 come too.
  std::u32string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<char32_t>(data[i] | (data[i + 1] & 0x7F) << 8);

  // The bytes a hex-pairs text stands for, worked out the plain way.
  bool valid = true;
  std::string expected;
  std::u32string run;
  for (std::size_t i = 0; i <= text.size() && valid; ++i) {
    const bool blank = i == text.size() || text[i] == U' ' || text[i] == U'\t';
    if (!blank) {
      valid = Digit(text[i]) >= 0;
      run += text[i];
      continue;
    }
    valid = run.size() % 2 == 0;
    for (std::size_t k = 0; valid && k < run.size(); k += 2)
      expected += static_cast<char>(Digit(run[k]) << 4 | Digit(run[k + 1]));
    run.clear();
  }
  valid = valid && !expected.empty();

  const HexInput got = ParseHexInput(text);
  if (got.ok != valid)
    std::abort();
  if (got.ok && (got.bytes != expected || !got.message.empty() || got.position != 0))
    std::abort();
  if (!got.ok && (!got.bytes.empty() || got.message.empty() || got.position > text.size()))
    std::abort();
  return 0;
}
