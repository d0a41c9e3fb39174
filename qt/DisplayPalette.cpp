#include "DisplayPalette.h"

#include <algorithm>
#include <cmath>

namespace kestrel::qt {

namespace {
constexpr double kMinContrast = 3.0;

double Luminance(const QColor &c) {
  auto channel = [](double v) {
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor &a, const QColor &b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Legible(QColor colour, const QColor &background) {
  const bool darkBackground = Luminance(background) < 0.2;
  float h, s, l, a;
  colour.getHslF(&h, &s, &l, &a);
  for (int step = 0; step < 20 && Contrast(colour, background) < kMinContrast; ++step) {
    l = std::clamp(l + (darkBackground ? 0.05f : -0.05f), 0.0f, 1.0f);
    colour = QColor::fromHslF(h, s, l, a);
  }
  return colour;
}
} // namespace

QColor DisplayPalette::Raw(std::uint16_t index) {
  static constexpr QRgb kSixteen[16] = {0x000000, 0xcd0000, 0x00cd00, 0xcdcd00, 0x0000ee, 0xcd00cd,
                                        0x00cdcd, 0xe5e5e5, 0x7f7f7f, 0xff0000, 0x00ff00, 0xffff00,
                                        0x5c5cff, 0xff00ff, 0x00ffff, 0xffffff};
  index &= 0xFF;
  if (index < 16)
    return QColor(kSixteen[index]);
  if (index < 232) {
    static constexpr int kLevels[6] = {0, 95, 135, 175, 215, 255};
    const int cube = index - 16;
    return QColor(kLevels[cube / 36], kLevels[cube / 6 % 6], kLevels[cube % 6]);
  }
  const int grey = 8 + 10 * (index - 232);
  return QColor(grey, grey, grey);
}

QColor DisplayPalette::TextOn(const QColor &background) {
  return Contrast(Qt::black, background) >= Contrast(Qt::white, background) ? QColor(Qt::black)
                                                                            : QColor(Qt::white);
}

void DisplayPalette::Theme(const QPalette &palette) {
  const QColor base = palette.color(QPalette::Base);
  if (base == mBase && mText.isValid())
    return;
  mBase = base;
  mText = palette.color(QPalette::Text);
  mTyped = Legible(palette.color(QPalette::Link), base);
  for (int i = 0; i < 256; ++i)
    mForeground[static_cast<std::size_t>(i)] = Legible(Raw(static_cast<std::uint16_t>(i)), base);
}

} // namespace kestrel::qt
