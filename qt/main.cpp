// Kestrel Terminal: the program.
#include "Program.h"

#include <QApplication>

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  return kestrel::qt::RunTerminal();
}
