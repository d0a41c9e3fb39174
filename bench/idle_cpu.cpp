// What the serial layer costs while nothing happens: the share of one core the
// process uses over five seconds with a port open and idle, and over the five
// seconds after the device went away. Uses a pseudo-terminal, or the device
// given as the first argument (a real adapter also has its line counters read
// every 25 ms).
#include "PosixCommControl.h"
#include "ProcessUsage.h"
#include "Pty.h"
#include "UiQueue.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

using namespace kestrel;
using namespace kestrel::bench;
using namespace std::chrono_literals;

namespace {

double ShareOfACore(test::UiQueue &ui, std::chrono::seconds span) {
  const double cpu0 = CpuSeconds();
  ui.PumpFor(span);
  return (CpuSeconds() - cpu0) / static_cast<double>(span.count());
}
} // namespace

int main(int argc, char **argv) {
  test::Pty pty;
  const std::string device = argc > 1 ? argv[1] : pty.SlavePath();
  if (device.empty()) {
    std::fprintf(stderr, "no pseudo-terminal to be had\n");
    return 2;
  }
  test::UiQueue ui;
  DeviceMap map;
  map.Map(1, device);
  PosixCommControl comm(map, ui.Poster());
  comm.RThreshold(1);
  bool closed = false;
  comm.OnClosedByDevice([&] { closed = true; });
  if (comm.PortOpen(true) != comNoError) {
    std::fprintf(stderr, "%s\n", comm.LastErrorText().c_str());
    return 2;
  }
  std::printf("%s open and idle: %.3f %% of a core\n", device.c_str(), 100 * ShareOfACore(ui, 5s));
  if (argc > 1)
    return 0;
  pty.Close();
  const double after = ShareOfACore(ui, 5s);
  const bool ok = closed && !comm.PortOpen();
  std::printf("after the device went away: %.3f %% of a core; port %s\n", 100 * after,
              ok ? "closed" : "STILL OPEN");
  return ok ? 0 : 1;
}
