// Throughput of the display choices against the window's own formatter, in
// one run: an ESP-IDF-style boot log with one line in ten coloured, shown
// plain (the window's own formatter), with Show Colours, and with Show Hex;
// and the escape-sequence parser and the hex rows on their own. The log is
// off; the time prefix is on, as on a bench. Prints each case's MB/s and CPU
// seconds per MB, then each against the window's own formatter.
#include "AnsiColours.h"
#include "DisplayChoices.h"
#include "HexRows.h"
#include "SystemRoutines.h"
#include "TerminalFixture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

namespace kestrel::test {
namespace {

constexpr std::size_t kChunk = 1024;
constexpr std::size_t kInputBytes = 1 << 20;

std::string EspLog() {
  std::mt19937 rng(11);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const char *const tags[] = {"boot", "wifi", "esp_netif", "app_main", "nvs", "phy_init"};
  const char *const colours[] = {"\x1b[0;32m", "\x1b[0;33m", "\x1b[0;31m"};
  const char levels[] = {'I', 'W', 'E'};
  std::string s;
  for (unsigned ms = 0; s.size() < kInputBytes; ms += pick(1, 40)) {
    const bool coloured = pick(0, 9) == 0;
    const int level = coloured ? pick(0, 2) : 0;
    std::string line =
        std::string(1, levels[level]) + " (" + std::to_string(ms) + ") " + tags[pick(0, 5)] + ": ";
    for (int k = pick(20, 70); k > 0; --k)
      line += static_cast<char>(pick(32, 126));
    s += coloured ? colours[level] + line + "\x1b[0m\r\n" : line + "\r\n";
  }
  s.resize(kInputBytes);
  return s;
}

const std::string &Input() {
  static const std::string input = EspLog();
  return input;
}

enum class Shown { Plain, Colours, Hex };

void Window(benchmark::State &state, Shown shown) {
  TempDir dir;
  ApplicationFolder(dir.Path());
  {
    Terminal t;
    t.appInfo.folder = dir.Path();
    t.frm.Form_Load();
    t.mnuOptionAddTime.Checked(true);
    FakeMenuItem colours, hex, milliseconds;
    struct : ITextInput {
      bool Ask(const std::string &, const std::string &, std::u32string &) override {
        return false;
      }
    } input;
    ToolsChoices choices;
    DisplayChoices logic(DisplayChoicesControls{t.frm, t.rtfData, t.MSComm1, colours, hex,
                                                milliseconds, input, t.messageBox, t.appInfo,
                                                choices});
    if (shown == Shown::Colours)
      logic.mnuToolsColours_Click();
    if (shown == Shown::Hex)
      logic.mnuToolsHex_Click();
    for (auto _ : state)
      for (std::size_t at = 0; at < Input().size(); at += kChunk)
        t.MSComm1.Receive(Input().substr(at, kChunk));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Input().size()));
  ApplicationFolder("");
}

void Parser(benchmark::State &state) {
  AnsiColours parser;
  ColouredText out;
  for (auto _ : state)
    for (std::size_t at = 0; at < Input().size(); at += kChunk) {
      parser.Parse(std::string_view(Input()).substr(at, kChunk), out);
      benchmark::DoNotOptimize(out.text.data());
    }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Input().size()));
}

void Rows(benchmark::State &state) {
  HexRows rows;
  std::string out;
  for (auto _ : state)
    for (std::size_t at = 0; at < Input().size(); at += kChunk) {
      out.clear();
      rows.Format(std::string_view(Input()).substr(at, kChunk), out);
      benchmark::DoNotOptimize(out.data());
    }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Input().size()));
}

// Keeps each case's rate for the ratios printed at the end.
class RateReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      auto found = run.counters.find("bytes_per_second");
      if (found != run.counters.end())
        rates[run.benchmark_name()] = found->second.value / 1e6;
    }
  }
  std::map<std::string, double> rates; // MB/s of CPU time
};

} // namespace
} // namespace kestrel::test

int main(int argc, char **argv) {
  using namespace kestrel::test;
  benchmark::RegisterBenchmark("Window/Plain", Window, Shown::Plain)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Window/Colours", Window, Shown::Colours)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Window/Hex", Window, Shown::Hex)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("AnsiColours/Parse", Parser)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("HexRows/Format", Rows)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto plain = reporter.rates.find("Window/Plain");
  if (plain == reporter.rates.end())
    return 0;
  std::printf("\n%-20s %10s %12s %18s\n", "case", "MB/s", "CPU s/MB", "vs Window/Plain");
  for (const auto &[name, rate] : reporter.rates)
    std::printf("%-20s %10.1f %12.4f %17.2fx\n", name.c_str(), rate, 1.0 / rate,
                rate / plain->second);
  return 0;
}
