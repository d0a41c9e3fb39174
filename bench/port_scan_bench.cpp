// The port scan at start: twenty port numbers tried through the real serial
// layer, with no device behind any of them, and with this machine's own table.
#include "PosixCommControl.h"
#include "clsSerialPortConfigINI.h"

#include <benchmark/benchmark.h>

#include <deque>
#include <functional>

using namespace kestrel;

namespace {

void Scan(benchmark::State &state, const DeviceMap &devices) {
  std::deque<std::function<void()>> posted;
  PosixCommControl comm(devices,
                        [&](std::function<void()> task) { posted.push_back(std::move(task)); });
  clsSerialPortConfigINI store;
  store.ComControl(&comm);
  for (auto _ : state) {
    benchmark::DoNotOptimize(store.PortsFindAll(1, 20));
    posted.clear();
  }
  state.counters["found"] = store.PortsFound();
}

void ScanAbsent(benchmark::State &state) {
  DeviceMap devices;
  for (std::int16_t n = 1; n <= 20; ++n)
    devices.Map(n, "/dev/kestrel-absent-" + std::to_string(n));
  Scan(state, devices);
}

void ScanThisMachine(benchmark::State &state) {
  Scan(state, DeviceMap());
}

} // namespace

BENCHMARK(ScanAbsent)->Unit(benchmark::kMicrosecond);
BENCHMARK(ScanThisMachine)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
