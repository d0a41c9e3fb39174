// Text work of the Tools menu: turning pasted text into the bytes typed keys
// would send, and finding text in the display.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

struct PastedBytes {
  std::string bytes;
  // Characters outside the single-byte code page, not sent.
  std::size_t leftOut = 0;
};

// One byte per character for codes 0 to 255, NUL among them: it is a Latin-1
// character the line carries like any other, and text that holds one was
// put there on purpose (a terminator a device waits for). Each line break
// (CR LF, LF or CR) becomes one CR, as Enter sends; codes past 255 are left
// out and counted.
PastedBytes PasteToBytes(std::u32string_view text);

// Where needle next occurs in text: forwards from from, or backwards ending
// before from. Letters A-Z match a-z unless matchCase. npos when there is no
// match or needle is empty.
std::size_t FindInText(std::string_view text, std::string_view needle, std::size_t from,
                       bool forward, bool matchCase);

} // namespace kestrel
