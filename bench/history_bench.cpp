// The long history against the display's own limit, in one run: the drain
// rate of a flood of 80-character lines through the window's formatter with
// the display's limit and with 1,000,000 lines held, the memory the held
// lines take (in use, after each further million lines, so that it shows
// flat), and Find over the full history.
//
//   history_bench [megabytes of flood, default 64]
#include "TerminalFixture.h"
#include "TextDisplay.h"
#include "ToolsText.h"
#include "frmTop.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace kestrel::test {
namespace {

constexpr std::size_t kChunk = 1024;
constexpr std::size_t kHistory = 1000000;

// The terminal window on fake controls, as the tests build it.
using Window = Terminal;

// Lines of 78 printable characters and CR LF, each line different.
std::string Flood(std::size_t bytes) {
  std::string s;
  s.reserve(bytes + 80);
  for (std::size_t line = 0; s.size() < bytes; ++line) {
    char head[16];
    int n = std::snprintf(head, sizeof head, "%09zu ", line);
    s.append(head, static_cast<std::size_t>(n));
    for (int i = n; i < 78; ++i)
      s += static_cast<char>(33 + (line * 7 + static_cast<std::size_t>(i)) % 94);
    s += "\r\n";
  }
  return s;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double StatusMb(const char *key) {
  std::ifstream status("/proc/self/status");
  std::string name;
  double kb = 0;
  while (status >> name) {
    if (name == key) {
      status >> kb;
      return kb / 1024;
    }
    status.ignore(1 << 10, '\n');
  }
  return 0;
}

void Feed(Window &w, const std::string &input) {
  std::string chunk;
  for (std::size_t at = 0; at < input.size(); at += kChunk) {
    chunk.assign(input, at, kChunk);
    w.frm.AddTextToDisplay(chunk);
  }
}

// MB/s of CPU time through the formatter.
double Drain(Window &w, const std::string &input) {
  const double start = CpuSeconds();
  Feed(w, input);
  return static_cast<double>(input.size()) / 1e6 / (CpuSeconds() - start);
}

template <class F> double Milliseconds(F &&f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The display's ring is a memfd: its pages count as resident only while
// mapped in, and after the ring grows the pages not touched since are out of
// VmRSS but still in memory. In use: what is resident apart from shared
// memory, and every page of the process's memfds.
double InUseMb() {
  double memfds = 0;
  for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
    struct stat st {};
    if (!error && target.rfind("/memfd:", 0) == 0 && stat(fd.path().c_str(), &st) == 0)
      memfds += static_cast<double>(st.st_blocks) * 512 / (1 << 20);
  }
  return StatusMb("VmRSS:") - StatusMb("RssShmem:") + memfds;
}

int Run(std::size_t megabytes) {
  const std::string million = Flood(kHistory * 80);
  const std::string flood = Flood(megabytes << 20);
  std::printf("baseline resident %.1f MB (the two inputs: %.1f MB)\n", StatusMb("VmRSS:"),
              static_cast<double>(million.size() + flood.size()) / (1 << 20));

  auto held = std::make_unique<Window>();
  held->frm.Form_Load();
  held->frm.HistoryLines(kHistory);
  for (int round = 1; round <= 3; ++round) {
    Feed(*held, million);
    std::printf("history after %d million lines: %zu lines, %.1f MB text, in use %.1f MB "
                "(resident %.1f MB, peak %.1f MB)\n",
                round, held->rtfData.Lines().Breaks(),
                static_cast<double>(held->rtfData.Length()) / (1 << 20), InUseMb(),
                StatusMb("VmRSS:"), StatusMb("VmHWM:"));
  }

  const std::string_view text = held->rtfData.Text();
  std::size_t found = 0;
  std::printf("find, absent, match case:   %.1f ms\n",
              Milliseconds([&] { found = FindInText(text, "not in the history", 0, true, true); }));
  std::printf("find, absent, any case:     %.1f ms\n", Milliseconds([&] {
                found = FindInText(text, "not in the history", 0, true, false);
              }));
  std::printf("find, first line, backward: %.1f ms\n", Milliseconds([&] {
                found = FindInText(text, text.substr(0, 20), text.size(), false, false);
              }));
  if (found != 0)
    std::printf("(the backward find missed the first line)\n");

  auto own = std::make_unique<Window>();
  own->frm.Form_Load();
  const double ownRate = Drain(*own, flood);
  const double heldRate = Drain(*held, flood);
  std::printf("drain, the display's own limit: %.1f MB/s\n", ownRate);
  std::printf("drain, 1,000,000 lines held:    %.1f MB/s (%.2f of the own limit's)\n", heldRate,
              heldRate / ownRate);
  return 0;
}

} // namespace
} // namespace kestrel::test

int main(int argc, char **argv) {
  return kestrel::test::Run(argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64);
}
