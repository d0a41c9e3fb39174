#include "TerminalFixture.h"
#include "SystemRoutines.h"

namespace kestrel::test {

TerminalTest::TerminalTest() {
  ApplicationFolder(dir.Path());
  t = std::make_unique<Terminal>();
  t->appInfo.folder = dir.Path();
}
TerminalTest::~TerminalTest() {
  t.reset();
  ApplicationFolder("");
}

void TerminalTest::Load(const std::string &port, const std::string &settings) {
  if (!port.empty())
    WriteFile(dir.File("Serial.ini"), Ini(port, settings));
  t->frm.Form_Load();
  startLine = Display();
}

} // namespace kestrel::test
