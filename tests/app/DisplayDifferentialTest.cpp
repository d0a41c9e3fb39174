// The window's formatter against the plain model: random streams, random
// chunking and random settings between chunks must leave the same display,
// line state, log line and log file in both.
#include "ReferenceFormatter.h"
#include "TerminalFixture.h"

#include <random>
#include <string>
#include <vector>

namespace kestrel::test {
namespace {

void AdvanceOneSecond(LocalTime &t) {
  if (++t.second < 60)
    return;
  t.second = 0;
  if (++t.minute < 60)
    return;
  t.minute = 0;
  t.hour = (t.hour + 1) % 24;
}

class Streams {
public:
  explicit Streams(unsigned seed) : rng_(seed) {}
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }

  std::string Next() {
    switch (Pick(0, 9)) {
    case 0:
    case 1:
    case 2:
      return Lines(Pick(1, 40), 0, 120);
    case 3:
    case 4:
      return Noise(Pick(1, 3000));
    case 5:
      return LongLine(Pick(2000, 14000));
    case 6:
      return Lines(Pick(480, 620), 0, 6);
    case 7:
      return Lines(Pick(100, 200), 40, 80);
    default:
      return Mixed(Pick(1, 2000));
    }
  }

  // Splits a stream as the port might deliver it.
  std::vector<std::string> Chunks(const std::string &stream) {
    std::vector<std::string> chunks;
    int mode = Pick(0, 3);
    for (std::size_t at = 0; at < stream.size();) {
      std::size_t n = mode == 0   ? 1
                      : mode == 1 ? Pick(1, 64)
                      : mode == 2 ? Pick(1, 4096)
                                  : stream.size();
      chunks.push_back(stream.substr(at, n));
      at += n;
    }
    return chunks;
  }

private:
  char Printable() { return static_cast<char>(Pick(32, 126)); }

  std::string Lines(int count, int shortest, int longest) {
    std::string s;
    for (int i = 0; i < count; ++i) {
      int n = Pick(shortest, longest);
      for (int k = 0; k < n; ++k)
        s += Printable();
      s += Chance(0.5) ? "\r\n" : "\n";
    }
    return s;
  }
  std::string Noise(int n) {
    std::string s;
    for (int k = 0; k < n; ++k)
      s += static_cast<char>(Pick(0, 255));
    return s;
  }
  std::string LongLine(int n) {
    std::string s;
    for (int k = 0; k < n; ++k)
      s += Chance(0.01) ? '\t' : Printable();
    return s;
  }
  std::string Mixed(int n) {
    static const char special[] = {'\n', '\r', '\b', '\t', '\x1b', '\0', '\x7f', '\xff'};
    std::string s;
    for (int k = 0; k < n; ++k)
      s += Chance(0.1) ? special[Pick(0, 7)] : Printable();
    return s;
  }

  std::mt19937 rng_;
};

struct StatusEvent {
  int kind;
  const char *line;
};
const StatusEvent kEvents[] = {{comEvCTS, "CTS Changed State\n"},
                               {comEvRing, "Ring Changed State\n"},
                               {comEventRxParity, "Error-Parity\n"},
                               {comEventBreak, nullptr}};
const char *const kSizes[] = {"0", "", "-5", "100", "100abc", "5000", "9990", " 3e3", "10001"};

class FormatterMatchesModel : public TerminalTest, public testing::WithParamInterface<unsigned> {};

TEST_P(FormatterMatchesModel, OnRandomStreams) {
  Streams gen(GetParam());
  Load();
  ReferenceFormatter ref(t->clock);
  ref.Start(t->appInfo.ExeName());
  ASSERT_EQ(Display(), ref.display);
  const std::string fastLog = dir.File("fast.txt");
  const std::string refLog = dir.File("reference.txt");

  for (int step = 0; step < 40; ++step) {
    if (gen.Chance(0.15)) {
      t->frm.mnuOptionAddTime_Click();
      ref.addTime = t->mnuOptionAddTime.Checked();
    }
    if (gen.Chance(0.15)) {
      t->frm.mnuOptionIgnorePinStatus_Click();
      ref.ignorePinStatus = t->mnuOptionIgnorePinStatus.Checked();
    }
    if (gen.Chance(0.2)) {
      bool on = gen.Chance(0.5);
      t->chkAutoClear.Value(on);
      ref.autoClear = on;
    }
    if (gen.Chance(0.2)) {
      // Limits next to the display's length find the edges of the clearing.
      std::string size = gen.Chance(0.5) ? kSizes[gen.Pick(0, 8)]
                         : gen.Chance(0.5)
                             ? std::to_string(gen.Pick(1, 12000))
                             : std::to_string(int(ref.display.size()) + gen.Pick(-2, 2));
      t->txtSize.Text(size);
      ref.size = size;
    }
    if (gen.Chance(0.15)) {
      if (!t->frm.LogEnabled()) {
        if (t->frm.LogFilePath().empty())
          t->cdlgTop.WillChoose(fastLog);
        ClickLog(true);
        ref.StartLogging(refLog);
      } else {
        ClickLog(false);
        ref.StopLogging();
      }
    }
    if (gen.Chance(0.05)) {
      t->frm.cmdClearDisplay_Click();
      ref.SetText("");
    }
    if (gen.Chance(0.3))
      AdvanceOneSecond(t->clock.now);

    std::string stream = gen.Next();
    for (const std::string &chunk : gen.Chunks(stream)) {
      if (gen.Chance(0.02)) {
        const StatusEvent &e = kEvents[gen.Pick(0, 3)];
        t->MSComm1.Raise(e.kind);
        if (e.line)
          ref.AddStatusMessageToDisplay(e.line);
      }
      Receive(chunk);
      ref.AddTextToDisplay(chunk);
      if (gen.Chance(0.05))
        AdvanceOneSecond(t->clock.now);
    }
    ASSERT_EQ(Display(), ref.display) << "step " << step;
    ASSERT_EQ(t->frm.LineStart(), ref.lineStart) << "step " << step;
    ASSERT_EQ(t->frm.LineCount(), ref.lineCount) << "step " << step;
    ASSERT_EQ(t->frm.LogLine(), ref.logLine) << "step " << step;
    ASSERT_EQ(t->frm.LogEnabled(), ref.logEnabled) << "step " << step;
  }
  EXPECT_EQ(ReadFile(fastLog), ReadFile(refLog));
  EXPECT_TRUE(t->messageBox.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Seeds, FormatterMatchesModel, testing::Range(1u, 25u));

// Scripted streams that put a line break, or the clearing limit, within a
// character or two of where the trimming rule changes its mind.
class FormatterMatchesModelAtTheEdges : public TerminalTest,
                                        public testing::WithParamInterface<int> {
protected:
  void Both(const std::string &bytes) {
    Receive(bytes);
    ref->AddTextToDisplay(bytes);
    ASSERT_EQ(Display(), ref->display);
  }
  void Fresh() {
    t->frm.cmdClearDisplay_Click();
    ref->SetText("");
  }
  void AutoClear(const std::string &size) {
    t->chkAutoClear.Value(!size.empty());
    t->txtSize.Text(size);
    ref->autoClear = !size.empty();
    ref->size = size;
  }
  std::unique_ptr<ReferenceFormatter> ref;
};

TEST_P(FormatterMatchesModelAtTheEdges, AroundTheHundredthCharacter) {
  const int d = GetParam();
  Load();
  ref = std::make_unique<ReferenceFormatter>(t->clock);
  ref->Start(t->appInfo.ExeName());
  const std::string tail(10000, 'b');
  for (const char *last : {"c", "\n", "cd"}) {
    // A break d characters into a full display, appended by the formatter.
    Fresh();
    ASSERT_NO_FATAL_FAILURE(Both(std::string(d, 'a') + "\n" + tail.substr(0, 10000 - d - 2)));
    ASSERT_NO_FATAL_FAILURE(Both(last));
    ASSERT_NO_FATAL_FAILURE(Both(tail.substr(0, 300)));
    // The same break moved there by an earlier cut.
    Fresh();
    ASSERT_NO_FATAL_FAILURE(Both(std::string(150, 'a') + "\n" + std::string(d, 'c') + "\n" +
                                 tail.substr(0, 10000 - 154 - d)));
    ASSERT_NO_FATAL_FAILURE(Both("e"));
    ASSERT_NO_FATAL_FAILURE(Both(tail.substr(0, 10000 - ref->display.size())));
    ASSERT_NO_FATAL_FAILURE(Both(last));
    ASSERT_NO_FATAL_FAILURE(Both(tail.substr(0, 300)));
  }
  // A full display and a clearing limit next to its length.
  for (int delta : {-2, -1, 0, 1}) {
    Fresh();
    AutoClear("");
    ASSERT_NO_FATAL_FAILURE(Both(std::string(d, 'a') + "\n" + tail));
    AutoClear(std::to_string(static_cast<int>(ref->display.size()) + delta));
    ASSERT_NO_FATAL_FAILURE(Both("xyz"));
    ASSERT_NO_FATAL_FAILURE(Both(std::string(d, 'f')));
  }
}

INSTANTIATE_TEST_SUITE_P(Offsets, FormatterMatchesModelAtTheEdges, testing::Range(96, 105));

} // namespace
} // namespace kestrel::test
