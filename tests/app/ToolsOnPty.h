// The terminal window and its Tools menu on the real serial layer, the far end a
// pseudo-terminal. Port 1 is a link to the pty of the moment, so that a device unplugged
// (the far end closed) and plugged in again (a new pty) comes back under the same name.
#pragma once
#include "PosixCommControl.h"
#include "Pty.h"
#include "ToolsFixture.h"
#include "UiQueue.h"
#include <memory>
namespace kestrel::test {
struct ToolsOnPty {
  explicit ToolsOnPty(TempDir &folder) : dir(folder) {
    if (!pty->Ok())
      return;
    ApplicationFolder(dir.Path());
    WriteFile(dir.File("Serial.ini"), "[SerialPort]\r\nPort=1\r\nSettings=115200,N,8,1\r\n");
    Relink();
    DeviceMap map;
    for (std::int16_t port = 1; port <= 20; ++port)
      map.Map(port, port == 1 ? dir.File("dev1") : dir.File("none"));
    t = std::make_unique<TerminalOn<PosixCommControl>>(map, ui.Poster());
    t->MSComm1.OnClosedByDevice([this] { x->menu.MSComm1_Closed(); });
    x = std::make_unique<ToolsOn>(*t);
    t->frm.Form_Load();
    x->menu.cmdOpenPort_Click();
  }
  ~ToolsOnPty() {
    x.reset();
    t.reset();
    ApplicationFolder("");
  }
  // False where no pseudo-terminal could be had.
  bool Ok() const { return t != nullptr; }
  void Relink() {
    (void)::unlink(dir.File("dev1").c_str());
    (void)!::symlink(pty->SlavePath().c_str(), dir.File("dev1").c_str());
  }
  // The far end sends bytes; the window has them all once arrived() holds.
  bool Send(const std::string &bytes, const std::function<bool()> &arrived) {
    return pty->Write(bytes) && ui.PumpUntil(arrived, std::chrono::seconds(5));
  }
  bool Unplug() {
    pty->Close();
    return ui.PumpUntil([&] { return x->menu.Waiting(); }, std::chrono::seconds(5));
  }
  // Reconnect Automatically finds the device back at its next try.
  bool PlugIn() {
    pty = std::make_unique<Pty>();
    Relink();
    x->Advance(ToolsMenu::kReconnectMs);
    return ui.PumpUntil([&] { return !x->menu.Waiting(); }, std::chrono::seconds(5));
  }
  // Chooses board.log in the folder and ticks the log box.
  void LogToBoardLog() {
    t->cdlgTop.WillChoose(dir.File("board.log"));
    t->chkLogEnabled.Value(true);
    t->frm.chkLogEnabled_Click();
  }
  TempDir &dir;
  UiQueue ui;
  std::unique_ptr<Pty> pty = std::make_unique<Pty>();
  std::unique_ptr<TerminalOn<PosixCommControl>> t;
  std::unique_ptr<ToolsOn> x;
};
// How many lines hold both a and b: lines glued together.
inline int Glued(const std::vector<std::string> &texts, const std::string &a,
                 const std::string &b) {
  int glued = 0;
  for (const std::string &line : texts)
    glued += line.find(a) != std::string::npos && line.find(b) != std::string::npos;
  return glued;
}
} // namespace kestrel::test
