// Floods a pseudo-terminal with text lines while the terminal window's logic
// has the port open through the real serial layer, logging on, and reports
// MB/s drained, CPU seconds per MB and peak resident memory. Passes only when
// the log file holds exactly the expected transform of what was written.
//
// Usage: pty_flood [megabytes] [--no-log] [--stamp] [--held N]
// --held N: the display keeps N lines and holds N lines of 80 characters
// before the flood begins.
// The window runs on fake controls (no widgets): what is measured is the
// serial layer, the event delivery, the formatter and the log writer.
#include "FakeControls.h"
#include "FakeWindowHost.h"
#include "PosixCommControl.h"
#include "ProcessUsage.h"
#include "Pty.h"
#include "SystemRoutines.h"
#include "TempDir.h"
#include "TextDisplay.h"
#include "UiQueue.h"
#include "frmTop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::bench;
using namespace kestrel::test;

namespace {

// What the log holds for one received line: printable bytes as they are,
// CR and BS dropped, every other code as its token.
void LogTransform(const std::string &line, std::string &out) {
  static const char *hex = "0123456789ABCDEF";
  for (unsigned char c : line) {
    if (c >= 32 && c <= 126)
      out += static_cast<char>(c);
    else if (c == 13 || c == 8)
      continue;
    else {
      out += " <0x";
      if (c >= 16)
        out += hex[c >> 4];
      out += hex[c & 15];
      out += '>';
    }
  }
}

// The real control, counting the bytes that the window takes from it.
class CountingComm : public ICommControl {
public:
  explicit CountingComm(ICommControl &c) : c_(c) {}
  std::int16_t CommPort() const override { return c_.CommPort(); }
  int CommPort(std::int16_t p) override { return c_.CommPort(p); }
  std::string Settings() const override { return c_.Settings(); }
  int Settings(const std::string &s) override { return c_.Settings(s); }
  std::int16_t InputLen() const override { return c_.InputLen(); }
  int InputLen(std::int16_t n) override { return c_.InputLen(n); }
  bool RTSEnable() const override { return c_.RTSEnable(); }
  int RTSEnable(bool v) override { return c_.RTSEnable(v); }
  bool DTREnable() const override { return c_.DTREnable(); }
  int DTREnable(bool v) override { return c_.DTREnable(v); }
  std::int16_t RThreshold() const override { return c_.RThreshold(); }
  int RThreshold(std::int16_t n) override { return c_.RThreshold(n); }
  bool PortOpen() const override { return c_.PortOpen(); }
  int PortOpen(bool v) override { return c_.PortOpen(v); }
  int PortProbe(std::int16_t p) override { return c_.PortProbe(p); }
  int Output(const std::string &t) override { return c_.Output(t); }
  std::string Input() override {
    std::string s = c_.Input();
    taken += s.size();
    return s;
  }
  std::int16_t CommEvent() const override { return c_.CommEvent(); }
  void OnComm(std::function<void()> h) override { c_.OnComm(std::move(h)); }
  std::string LastErrorText() const override { return c_.LastErrorText(); }
  bool Break() const override { return c_.Break(); }
  int Break(bool on) override { return c_.Break(on); }
  std::int32_t OutBufferCount() const override { return c_.OutBufferCount(); }
  int OutBufferCount(std::int32_t n) override { return c_.OutBufferCount(n); }
  int LineLevels(ModemLines &l) const override { return c_.LineLevels(l); }
  std::size_t taken = 0;

private:
  ICommControl &c_;
};

} // namespace

int main(int argc, char **argv) {
  std::size_t megabytes = 100;
  bool logging = true, stamp = false;
  std::size_t held = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--held") && i + 1 < argc)
      held = std::strtoul(argv[++i], nullptr, 10);
    else if (!std::strcmp(argv[i], "--no-log"))
      logging = false;
    else if (!std::strcmp(argv[i], "--stamp"))
      stamp = true;
    else
      megabytes = std::strtoul(argv[i], nullptr, 10);
  }

  Pty pty;
  if (!pty.Ok()) {
    std::fprintf(stderr, "no pseudo-terminal to be had\n");
    return 2;
  }
  const std::string device = pty.SlavePath();

  TempDir dir;
  ApplicationFolder(dir.Path());
  WriteFile(dir.File("Serial.ini"), "[SerialPort]\nPort=1\nSettings=115200,N,8,1\n");
  DeviceMap devices;
  devices.Map(1, device);
  UiQueue ui;
  PosixCommControl serial(devices, ui.Poster());
  CountingComm comm(serial);

  FakeCheckBox chkLogEnabled{"Log To: "};
  FakeButton cmdClearDisplay{"Clear Display"};
  TextDisplay rtfData;
  FakeCheckBox chkAutoClear;
  FakeTextBox txtSize{"0"};
  FakeButton cmdOpenPort{"OpenPort"};
  FakeStatusBar sbTop;
  FakeFileChooser cdlgTop;
  FakeMenuItem addTime{stamp}, ignorePin{true}, rts, dtr;
  FakeMessageBox messageBox;
  FakeClock clock;
  FakeAppInfo appInfo;
  appInfo.folder = dir.Path();
  FakeWindowHost host(clock, appInfo);
  frmTop frm({chkLogEnabled, cmdClearDisplay, rtfData, chkAutoClear, txtSize, cmdOpenPort, sbTop,
              cdlgTop, comm, addTime, ignorePin, rts, dtr, messageBox, clock, appInfo, host});
  comm.OnComm([&frm] { frm.MSComm1_OnComm(); });
  frm.Form_Load();
  if (held > 0) {
    frm.HistoryLines(held);
    const std::string line = std::string(78, 'h') + "\r\n";
    for (std::size_t n = 0; n < held; ++n)
      frm.AddTextToDisplay(line);
  }
  frm.cmdOpenPort_Click();
  if (!comm.PortOpen()) {
    std::fprintf(stderr, "the port did not open: %s\n", comm.LastErrorText().c_str());
    return 2;
  }
  const std::string log = dir.File("flood.log");
  if (logging) {
    cdlgTop.WillChoose(log);
    chkLogEnabled.Value(true);
    frm.chkLogEnabled_Click();
  }

  // 40 to 80 characters a line with a control byte now and then.
  std::mt19937 rng(11);
  std::string expected = logging ? "2026/12/05 03:46:54\t*** Logging Started ***\r\n" : "";
  std::string input;
  const std::size_t total = megabytes << 20;
  input.reserve(total + 200);
  long rssAfter10MB = 0;
  while (input.size() < total) {
    std::string line;
    const int n = std::uniform_int_distribution<int>(40, 80)(rng);
    for (int k = 0; k < n; ++k) {
      const int r = std::uniform_int_distribution<int>(0, 99)(rng);
      line += r == 0 ? '\x1b' : r == 1 ? '\t' : static_cast<char>(32 + r % 95);
    }
    line += "\r\n";
    input += line;
    if (logging) {
      expected += "2026/12/05 03:46:54\t";
      LogTransform(line.substr(0, line.size() - 1), expected);
      expected += "\r\n";
    }
  }

  const auto start = std::chrono::steady_clock::now();
  const double cpu0 = CpuSeconds();
  std::thread writer([&] { pty.Write(input); });

  const std::size_t expectedLines =
      static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n'));
  ui.PumpUntil(
      [&] {
        if (!rssAfter10MB && comm.taken > (10u << 20))
          rssAfter10MB = RssKb();
        return comm.taken >= input.size();
      },
      std::chrono::minutes(30));
  writer.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = CpuSeconds() - cpu0;
  frm.cmdOpenPort_Click();
  pty.Close();

  const double mb = input.size() / 1048576.0;
  std::printf("input %.1f MB, %zu lines, logging %s, time prefix %s\n", mb, expectedLines,
              logging ? "on" : "off", stamp ? "on" : "off");
  std::printf("drained %.1f MB/s, %.4f CPU s/MB, peak RSS %.1f MB (after 10 MB %.1f MB)\n",
              mb / seconds, cpu / mb, PeakRssKb() / 1024.0, rssAfter10MB / 1024.0);
  bool ok = comm.taken == input.size();
  std::printf("bytes taken %zu of %zu\n", comm.taken, input.size());
  if (logging) {
    const std::string got = ReadFile(log);
    ok = ok && got == expected;
    std::printf("log %s: %zu bytes, expected %zu\n", got == expected ? "exact" : "DIFFERS",
                got.size(), expected.size());
  }
  std::printf("%s\n", ok ? "PASS: nothing lost" : "FAIL");
  return ok ? 0 : 1;
}
