// The real terminal in a dark palette, for looking at: Fusion with light
// text on dark ground, as a dark desktop theme gives it. Not installed.
#include "Program.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  const QColor text(230, 230, 230), window(45, 45, 48), base(30, 30, 30), muted(120, 120, 120);
  // Window text, button, light, dark, mid, text, bright text, base, window.
  QPalette dark(text, window, text, QColor(20, 20, 22), QColor(35, 35, 38), text, Qt::white, base,
                window);
  dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
  dark.setColor(QPalette::PlaceholderText, muted);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    dark.setColor(QPalette::Disabled, role, muted);
  QApplication::setPalette(dark);
  return kestrel::qt::RunTerminal();
}
