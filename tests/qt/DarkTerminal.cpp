// The real terminal in a dark palette, for looking at: Fusion with light
// text on dark ground, as a dark desktop theme gives it. Not installed.
#include "Program.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette dark;
  const QColor window(45, 45, 48), base(30, 30, 30), text(230, 230, 230), muted(120, 120, 120);
  dark.setColor(QPalette::Window, window);
  dark.setColor(QPalette::WindowText, text);
  dark.setColor(QPalette::Base, base);
  dark.setColor(QPalette::AlternateBase, window);
  dark.setColor(QPalette::Text, text);
  dark.setColor(QPalette::Button, window);
  dark.setColor(QPalette::ButtonText, text);
  dark.setColor(QPalette::ToolTipBase, base);
  dark.setColor(QPalette::ToolTipText, text);
  dark.setColor(QPalette::PlaceholderText, muted);
  dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  dark.setColor(QPalette::Light, QColor(230, 230, 230));
  dark.setColor(QPalette::Midlight, QColor(70, 70, 74));
  dark.setColor(QPalette::Mid, QColor(35, 35, 38));
  dark.setColor(QPalette::Dark, QColor(20, 20, 22));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    dark.setColor(QPalette::Disabled, role, muted);
  QApplication::setPalette(dark);
  return kestrel::qt::RunTerminal();
}
