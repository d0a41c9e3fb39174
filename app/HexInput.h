// Bytes typed as hexadecimal pairs, for Send Hex: "01 A0 ff" and "01A0ff"
// are the same three bytes. Blanks (spaces and tabs) may stand between
// pairs, never inside one; digits are of either case. Anything else (a
// letter past F, a "0x", a digit without its partner, nothing at all) is
// refused as a whole, with a message that names the character and where it
// stands (counted from 1), so nothing is sent from a text the user did not
// mean.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

struct HexInput {
  bool ok = false;
  std::string bytes;        // when ok
  std::string message;      // when not
  std::size_t position = 0; // of the refused character, from 1; 0 when the text is empty
};

HexInput ParseHexInput(std::u32string_view text);

} // namespace kestrel
