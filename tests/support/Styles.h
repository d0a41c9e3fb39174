// Packed text styles as the display's style runs hold them, for expected values.
#pragma once
#include "TextStyle.h"
#include <cstdint>
namespace kestrel::test {
inline std::uint32_t Fg(std::uint16_t colour, bool bold = false) {
  return TextStyle{colour, TextStyle::kDefaultColour, bold, false}.Packed();
}
} // namespace kestrel::test
