// The port scan at start: twenty port numbers tried through the real serial
// layer, with no device behind any of them, with this machine's own table,
// and with three present ports (pseudo-terminals) on a crowded machine: 400
// other processes holding 250 open files each, as a busy desktop has. The
// crowded figure is what the scan adds to the start on such a machine.
//
// Usage: port_scan_bench [--processes=N] [--files=N] [benchmark options]
#include "PosixCommControl.h"
#include "clsSerialPortConfigINI.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace kestrel;

namespace {

int gProcesses = 400;
int gFiles = 250;

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

// Children that each hold files open until they are killed.
class Crowd {
public:
  Crowd(int processes, int files) {
    for (int i = 0; i < processes; ++i) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        for (int f = 0; f < files; ++f)
          if (::open("/dev/null", O_RDONLY) < 0)
            break;
        ::pause();
        ::_exit(0);
      }
      if (pid > 0)
        mChildren.push_back(pid);
    }
    ::usleep(200000); // until they have opened their files
  }
  ~Crowd() {
    for (pid_t pid : mChildren)
      ::kill(pid, SIGKILL);
    for (pid_t pid : mChildren)
      ::waitpid(pid, nullptr, 0);
  }

private:
  std::vector<pid_t> mChildren;
};

void ScanPresentCrowded(benchmark::State &state) {
  int masters[3], slave = -1;
  char name[256];
  DeviceMap devices;
  for (std::int16_t n = 1; n <= 20; ++n)
    devices.Map(n, "/dev/kestrel-absent-" + std::to_string(n));
  for (int i = 0; i < 3; ++i) {
    if (::openpty(&masters[i], &slave, name, nullptr, nullptr) != 0) {
      state.SkipWithError("no pseudo-terminal to be had");
      return;
    }
    ::close(slave);
    devices.Map(static_cast<std::int16_t>(i + 1), name);
  }
  {
    Crowd crowd(state.range(0) < 0 ? gProcesses : static_cast<int>(state.range(0)), gFiles);
    // A control of its own each time, as at a start: nothing kept from before.
    for (auto _ : state) {
      std::deque<std::function<void()>> posted;
      PosixCommControl comm(devices, [&](std::function<void()> t) { posted.push_back(t); });
      clsSerialPortConfigINI store;
      store.ComControl(&comm);
      state.counters["found"] = store.PortsFound();
    }
  }
  for (int m : masters)
    ::close(m);
}

} // namespace

BENCHMARK(ScanAbsent)->Unit(benchmark::kMicrosecond);
BENCHMARK(ScanThisMachine)->Unit(benchmark::kMicrosecond);
// processes:-1 stands for --processes (400 unless told).
BENCHMARK(ScanPresentCrowded)
    ->Arg(0)
    ->Arg(-1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->ArgName("processes");

int main(int argc, char **argv) {
  std::vector<char *> rest;
  for (int i = 0; i < argc; ++i) {
    if (!std::strncmp(argv[i], "--processes=", 12))
      gProcesses = std::atoi(argv[i] + 12);
    else if (!std::strncmp(argv[i], "--files=", 8))
      gFiles = std::atoi(argv[i] + 8);
    else
      rest.push_back(argv[i]);
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
