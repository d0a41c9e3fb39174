// The processor time of a catch-up of the receive display at 115200 baud: a
// stream of 80-character lines arrives through the window's formatter, and
// eight times a second the view takes in what changed and renders itself
// (offscreen, with QWidget::grab). The painted view against the text edit it
// replaced, with the display's own limit and with a long history held.
//
//   QT_QPA_PLATFORM=offscreen paint_bench [frames, default 200]
#include "DisplayView.h"
#include "TerminalFixture.h"
#include "TextDisplay.h"
#include "TextEditView.h"
#include "frmTop.h"

#include <QApplication>
#include <QFontDatabase>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

namespace kestrel::test {
namespace {

// 115200 baud, 10 bits a byte, eight catch-ups a second.
constexpr std::size_t kFrameBytes = 115200 / 10 / 8;

// The terminal window on fake controls, as the tests build it.
using Window = Terminal;

std::string Stream(std::size_t bytes) {
  std::string s;
  for (std::size_t line = 0; s.size() < bytes; ++line) {
    std::string text = "line " + std::to_string(line) + " ";
    while (text.size() < 78)
      text += static_cast<char>(33 + (line + text.size()) % 94);
    s += text + "\r\n";
  }
  return s;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Milliseconds of processor time per catch-up and render.
// With stream false, nothing arrives: what a render costs the widget's frame
// and scroll bar alone.
template <class View> double PerFrame(std::size_t history, int frames, bool stream = true) {
  Window w;
  w.frm.Form_Load();
  w.frm.HistoryLines(history);
  View view(w.rtfData, nullptr);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSizeF(9.75);
  font.setStyleStrategy(QFont::PreferNoShaping); // as the main window sets it
  view.setFont(font);
  view.resize(820, 360);
  view.show();
  if (history > 0)
    w.frm.AddTextToDisplay(Stream(history * 80));
  view.Sync();
  (void)view.grab();
  const std::string input = Stream(kFrameBytes * static_cast<std::size_t>(frames) + 1);
  double spent = 0;
  for (int frame = 0; frame < frames; ++frame) {
    if (stream)
      w.frm.AddTextToDisplay(
          input.substr(static_cast<std::size_t>(frame) * kFrameBytes, kFrameBytes));
    const double start = CpuSeconds();
    view.Sync();
    (void)view.grab();
    spent += CpuSeconds() - start;
  }
  return spent * 1000 / frames;
}

int Run(int frames) {
  const double idle = PerFrame<qt::DisplayView>(0, frames, false);
  const double editOwn = PerFrame<bench::TextEditView>(0, frames);
  const double editHeld = PerFrame<bench::TextEditView>(100000, frames);
  const double paintOwn = PerFrame<qt::DisplayView>(0, frames);
  const double paintHeld = PerFrame<qt::DisplayView>(1000000, frames);
  std::printf("per catch-up at 115200 baud (%zu bytes), processor ms:\n", kFrameBytes);
  std::printf("  render of the painted view with nothing new: %.3f\n", idle);
  std::printf("  text edit,     display's own limit: %.3f\n", editOwn);
  std::printf("  text edit,     100,000 lines held:  %.3f\n", editHeld);
  std::printf("  painted view,  display's own limit: %.3f (%.2f of the text edit's)\n", paintOwn,
              paintOwn / editOwn);
  std::printf("  painted view,  1,000,000 lines held: %.3f (%.2f of the text edit's own limit)\n",
              paintHeld, paintHeld / editOwn);
  return 0;
}

} // namespace
} // namespace kestrel::test

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  return kestrel::test::Run(argc > 1 ? std::atoi(argv[1]) : 200);
}
