// How a stretch of the display's text is drawn, packed into one number so
// that the display can keep it as runs beside its text (TextDisplay).
//
// 0 is the plain text, the display as it is without colours or echo: the
// desktop theme's own text colour on its own background. Colours are indexes
// into the 256-colour terminal palette (0-15 the eight colours and their
// bright forms); the view maps them to colours legible on the light and the
// dark themes. Typed marks text the user typed and the display shows as a
// local echo, so it is told apart from what the board sent.
#pragma once

#include <cstdint>

namespace kestrel {

struct TextStyle {
  static constexpr std::uint16_t kDefaultColour = 256;
  std::uint16_t foreground = kDefaultColour;
  std::uint16_t background = kDefaultColour;
  bool bold = false;
  bool typed = false;

  // Bits 0-8 the foreground, 9-17 the background, 18 bold, 19 typed; kept
  // so that the plain style packs to 0.
  std::uint32_t Packed() const {
    return static_cast<std::uint32_t>(foreground ^ kDefaultColour) |
           static_cast<std::uint32_t>(background ^ kDefaultColour) << 9 |
           static_cast<std::uint32_t>(bold) << 18 | static_cast<std::uint32_t>(typed) << 19;
  }
  static TextStyle Unpacked(std::uint32_t packed) {
    TextStyle style;
    style.foreground = static_cast<std::uint16_t>((packed & 0x1FF) ^ kDefaultColour);
    style.background = static_cast<std::uint16_t>(((packed >> 9) & 0x1FF) ^ kDefaultColour);
    style.bold = (packed >> 18) & 1;
    style.typed = (packed >> 19) & 1;
    return style;
  }
  bool operator==(const TextStyle &) const = default;
};

} // namespace kestrel
