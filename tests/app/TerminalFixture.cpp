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
    WriteFile(dir.File("Serial.ini"),
              "[SerialPort]\r\nPort=" + port + "\r\nSettings=" + settings + "\r\n");
  t->frm.Form_Load();
  startLine = Display();
}

void TerminalTest::ClickLog(bool ticked) {
  t->chkLogEnabled.Value(ticked);
  t->frm.chkLogEnabled_Click();
}

std::string TerminalTest::Shown() const {
  std::string text = Display();
  return text.compare(0, startLine.size(), startLine) == 0 ? text.substr(startLine.size()) : text;
}

} // namespace kestrel::test
