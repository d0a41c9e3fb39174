// What the Tools paths do with what the user and the board send, in figures: bytes typed and
// pasted that land inside a file being sent, the outcome of a file that shrinks or grows while
// sending, lines glued together across 20 unplugs, and what files another user planted in a
// sticky shared folder make the program do (planting needs root). Prints one line a figure.
#include "Child.h"
#include "IniFile.h"
#include "LogFile.h"
#include "ToolsOnPty.h"
#include <cstdio>
#include <memory>
#include <thread>
using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;
namespace {
using Text = std::string;
void Interleaving() {
  TempDir dir;
  ToolsOnPty p(dir);
  Text file(2u << 20, '\0');
  for (std::size_t i = 0, seed = 7; i < file.size(); ++i)
    file[i] = char(((seed = seed * 1103515245u + 12345u) >> 16) & 0x3F);
  WriteFile(p.x->chooser.path = dir.File("image.bin"), file);
  Text arrived;
  std::thread reader([&] { arrived = p.pty->Read(file.size() * 2, 20s); });
  p.x->menu.mnuToolsSendFile_Click();
  for (int tick = 0; p.x->progress.shown && tick < 20000; ++tick, p.x->Advance(5)) {
    p.ui.PumpFor(5ms);
    std::int16_t key = 'k';
    if (tick % 7 == 0)
      p.t->frm.rtfData_KeyPress(key);
    else if (tick % 7 == 3)
      p.x->menu.mnuToolsPaste_Click(U"PASTED\n");
  }
  p.ui.PumpFor(500ms);
  p.pty->Close(); // ends the reader once all has come
  reader.join();
  const auto diff = std::mismatch(file.begin(), file.end(), arrived.begin(), arrived.end());
  std::printf("send file: %zu bytes typed or pasted inside the file (first at %s); the file "
              "arrived %s\n",
              arrived.size() - std::min(arrived.size(), file.size()),
              diff.first == file.end()
                  ? "none"
                  : ("offset " + std::to_string(diff.first - file.begin())).c_str(),
              arrived == file ? "byte-exact" : "changed");
}
void SizeChange(const char *name, std::size_t newSize) {
  TempDir dir;
  ApplicationFolder(dir.Path());
  WriteFile(dir.File("Serial.ini"), Ini("3"));
  {
    Terminal t;
    t.appInfo.folder = dir.Path();
    t.MSComm1.Port(3, FakeCommControl::PortState::Free);
    ToolsOn x(t);
    t.frm.Form_Load();
    t.frm.cmdOpenPort_Click();
    WriteFile(x.chooser.path = dir.File("image.bin"), Text(2u << 20, 'f'));
    x.menu.mnuToolsSendFile_Click();
    for (int tick = 0; tick < 5; ++tick) {
      t.MSComm1.Drain(30000);
      x.Advance(ToolsMenu::kSendTickMs);
    }
    (void)!::truncate(dir.File("image.bin").c_str(), static_cast<off_t>(newSize));
    for (int tick = 0; x.progress.shown && tick < 10000; ++tick) {
      t.MSComm1.Drain(30000);
      x.Advance(ToolsMenu::kSendTickMs);
    }
    std::printf("file %s to %zu bytes while sending 2097152: %zu bytes sent, %s\n", name, newSize,
                t.MSComm1.sent.size(),
                t.messageBox.shown.empty() ? "no word"
                                           : ("\"" + t.messageBox.shown[0].text + "\"").c_str());
  }
  ApplicationFolder("");
}
void CutLines(bool statusShown) {
  TempDir dir;
  ToolsOnPty p(dir);
  p.LogToBoardLog();
  p.x->menu.mnuToolsReconnect_Click();
  p.t->mnuOptionIgnorePinStatus.Checked(!statusShown);
  Text lines;
  for (int i = 0; statusShown && i < 501; ++i)
    lines += "line " + std::to_string(i) + "\n";
  int cycles = 0;
  for (int cycle = 1; cycle <= 20; ++cycle, ++cycles) {
    const Text n = std::to_string(cycle), cut = statusShown ? "abcdefghijklmn" : "PART" + n;
    if (!p.Send(lines + cut, [&] { return p.t->frm.LogLine().ends_with(cut); }) || !p.Unplug() ||
        !p.PlugIn())
      break;
    if (!statusShown && !p.Send("MARK" + n + "\n", [&] { return p.t->frm.LogLine().empty(); }))
      break;
  }
  p.ui.PumpFor(100ms);
  const std::vector<Text> texts = LogTexts(dir.File("board.log"));
  std::printf("%s: %d of %d cycles glued the cut line to what followed\n",
              statusShown ? "status lines shown, after the 500-line clear"
                          : "Ignore Pin Status Messages checked",
              statusShown ? Glued(texts, "mn", "Device") : Glued(texts, "PART", "MARK"), cycles);
}
void Planted() {
  if (::geteuid() != 0) {
    std::printf("planted files: not probed (needs root)\n");
    return;
  }
  TempDir base;
  const Text shared = base.File("shared"), ini = shared + "/Serial.ini", victim = base.File("v");
  const Text kVictim = "[SerialPort]\nPort=9\n";
  auto fresh = [&] {
    (void)!::system(("rm -rf '" + shared + "'").c_str());
    (void)::chmod(base.Path().c_str(), 0755);
    (void)::mkdir(shared.c_str(), 0777), (void)::chmod(shared.c_str(), 01777);
    WriteFile(victim, kVictim);
  };
  auto as = [](const std::function<void()> &plant) {
    InChild([&] { return AsNobody() ? (plant(), 0) : 1; });
  };
  fresh();
  as([&] { (void)!::symlink(victim.c_str(), ini.c_str()); });
  const Text read = IniReadValue(ini, "SerialPort", "Port");
  const bool saved = IniWriteValue(ini, "SerialPort", "Port", "3").ok;
  std::printf("planted Serial.ini link: read Port \"%s\", save %s, other file %s\n", read.c_str(),
              saved ? "done" : "refused", ReadFile(victim) == kVictim ? "untouched" : "rewritten");
  fresh();
  as([&] { (void)!::symlink(victim.c_str(), (shared + "/board.log").c_str()); });
  const Text logged = AppendToFile(shared + "/board.log", "device line\r\n");
  std::printf("planted log link: %s, other file %s\n",
              logged.empty() ? "appended" : ("refused: " + logged).c_str(),
              ReadFile(victim) == kVictim ? "untouched" : "appended to");
  fresh();
  const Text made = base.File("made");
  as([&] { (void)!::symlink(made.c_str(), (shared + "/.Serial.ini.lock").c_str()); });
  (void)IniWriteValue(ini, "SerialPort", "Port", "3");
  std::printf("planted lock link: file at its target %s\n",
              ::access(made.c_str(), F_OK) == 0 ? "created" : "not created");
  fresh();
  as([&] { WriteFile(ini, "[Devices]\nCOM1=/dev/pts/9\n"), (void)::chmod(ini.c_str(), 0666); });
  const std::size_t devices = IniReadSection(ini, "Devices").size();
  const bool savedOver = IniWriteValue(ini, "SerialPort", "Port", "3").ok;
  struct stat st {};
  (void)::stat(ini.c_str(), &st);
  std::printf("planted 0666 Serial.ini: %zu [Devices] entries used, save %s, mode after %o\n",
              devices, savedOver ? "done" : "refused", st.st_mode & 07777);
}
} // namespace
int main() {
  Interleaving();
  SizeChange("shrinking", 458752);
  SizeChange("growing", 3u << 20);
  CutLines(false);
  CutLines(true);
  Planted();
}
