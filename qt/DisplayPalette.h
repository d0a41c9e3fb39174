// The colours of the display's styles (TextStyle) on the desktop theme.
//
// The 256-colour terminal palette is made for one background; on the other a
// dark blue or a bright yellow can hardly be read. Each colour is moved in
// lightness, away from the theme's background, until it stands out from it
// as well as grey text does (a contrast ratio of at least 3), so the text
// stays legible on the light and the dark themes. Typed text (the local
// echo) takes the theme's link colour and italics.
#pragma once

#include <QColor>
#include <QPalette>

#include <array>
#include <cstdint>

namespace kestrel::qt {

class DisplayPalette {
public:
  // Colours for text on the palette's base colour.
  void Theme(const QPalette &palette);

  QColor Background() const { return mBase; }
  QColor Text() const { return mText; }
  QColor Typed() const { return mTyped; }
  // A colour of the 256 for text on the display's background.
  QColor Foreground(std::uint16_t index) const { return mForeground[index & 0xFF]; }
  // A colour of the 256 as a background, as it is.
  static QColor Raw(std::uint16_t index);
  // Black or white, whichever reads better on background.
  static QColor TextOn(const QColor &background);

private:
  QColor mBase;
  QColor mText;
  QColor mTyped;
  std::array<QColor, 256> mForeground{};
};

} // namespace kestrel::qt
