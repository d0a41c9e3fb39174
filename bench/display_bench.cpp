// Bytes per second through the receive display: text lines with the time
// prefix, binary noise and one endless line, each with the log off and on
// (a real file, opened and closed per line), through the window's formatter
// and through the plain model it is checked against.
#include "ReferenceFormatter.h"
#include "SystemRoutines.h"
#include "TerminalFixture.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <unistd.h>

namespace kestrel::test {
namespace {

constexpr std::size_t kChunk = 1024;

enum class Input { Lines, Noise, LongLine };

std::string MakeInput(Input kind, std::size_t size) {
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::string s;
  s.reserve(size + 100);
  while (s.size() < size) {
    switch (kind) {
    case Input::Lines: {
      int n = pick(40, 80);
      for (int k = 0; k < n; ++k)
        s += static_cast<char>(pick(32, 126));
      s += "\r\n";
      break;
    }
    case Input::Noise:
      s += static_cast<char>(pick(0, 255));
      break;
    case Input::LongLine:
      s += static_cast<char>(pick(32, 126));
      break;
    }
  }
  s.resize(size);
  return s;
}

void Truncate(benchmark::State &state, const std::string &path) {
  state.PauseTiming();
  if (::truncate(path.c_str(), 0) != 0)
    state.SkipWithError("cannot truncate the log file");
  state.ResumeTiming();
}

void Display(benchmark::State &state, Input kind, bool log) {
  TempDir dir;
  ApplicationFolder(dir.Path());
  std::string input = MakeInput(kind, 1 << 20);
  Terminal w;
  w.appInfo.folder = dir.Path();
  w.frm.Form_Load();
  w.mnuOptionAddTime.Checked(kind == Input::Lines);
  std::string path = dir.File("log.txt");
  if (log) {
    w.cdlgTop.WillChoose(path);
    w.chkLogEnabled.Value(true);
    w.frm.chkLogEnabled_Click();
  }
  std::string chunk;
  for (auto _ : state) {
    for (std::size_t at = 0; at < input.size(); at += kChunk) {
      chunk.assign(input, at, kChunk);
      w.frm.AddTextToDisplay(chunk);
    }
    if (log)
      Truncate(state, path);
  }
  if (!w.messageBox.shown.empty())
    state.SkipWithError("the log file failed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
  ApplicationFolder("");
}

// The model reads the whole display per character, so it gets a smaller input.
void Reference(benchmark::State &state, Input kind, bool log) {
  TempDir dir;
  std::string input = MakeInput(kind, kind == Input::LongLine ? 1 << 15 : 1 << 18);
  FakeClock clock;
  ReferenceFormatter ref(clock);
  ref.Start("kestrel-terminal");
  ref.addTime = kind == Input::Lines;
  std::string path = dir.File("log.txt");
  if (log)
    ref.StartLogging(path);
  std::string chunk;
  for (auto _ : state) {
    for (std::size_t at = 0; at < input.size(); at += kChunk) {
      chunk.assign(input, at, kChunk);
      ref.AddTextToDisplay(chunk);
    }
    if (log)
      Truncate(state, path);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

struct Case {
  const char *name;
  Input kind;
};
const Case kCases[] = {
    {"Lines", Input::Lines}, {"Noise", Input::Noise}, {"LongLine", Input::LongLine}};

int Register() {
  for (const Case &c : kCases)
    for (bool log : {false, true}) {
      std::string suffix = std::string(c.name) + (log ? "/Log" : "");
      benchmark::RegisterBenchmark(("Display/" + suffix).c_str(), Display, c.kind, log)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("Reference/" + suffix).c_str(), Reference, c.kind, log)
          ->Unit(benchmark::kMillisecond);
    }
  return 0;
}
[[maybe_unused]] const int registered = Register();

} // namespace
} // namespace kestrel::test

BENCHMARK_MAIN();
