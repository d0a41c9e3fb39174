// The window's receive display against the plain model, on any bytes, any
// chunking and any switching of the options between chunks: display text,
// line state, log line and log file must stay identical.
//
// Input layout: a stream of commands. Each command byte's low three bits say
// what to do; a chunk command takes its length from the next byte.
#include "ReferenceFormatter.h"
#include "SystemRoutines.h"
#include "TerminalFixture.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

using namespace kestrel;
using namespace kestrel::test;

namespace {
const char *const kSizes[] = {"0", "", "-5", "100", "100abc", "5000", "9990", " 3e3"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static TempDir dir;
  ApplicationFolder(dir.Path());
  const std::string fastLog = dir.File("fast.txt"), refLog = dir.File("reference.txt");
  std::remove(fastLog.c_str());
  std::remove(refLog.c_str());

  auto t = std::make_unique<Terminal>();
  t->appInfo.folder = dir.Path();
  t->frm.Form_Load();
  ReferenceFormatter ref(t->clock);
  ref.Start(t->appInfo.ExeName());

  for (std::size_t at = 0; at < size;) {
    const std::uint8_t op = data[at++];
    switch (op & 7) {
    case 0:
      t->frm.mnuOptionAddTime_Click();
      ref.addTime = t->mnuOptionAddTime.Checked();
      break;
    case 1:
      t->frm.mnuOptionIgnorePinStatus_Click();
      ref.ignorePinStatus = t->mnuOptionIgnorePinStatus.Checked();
      break;
    case 2:
      t->chkAutoClear.Value(!t->chkAutoClear.Value());
      ref.autoClear = t->chkAutoClear.Value();
      t->txtSize.Text(kSizes[(op >> 3) % 8]);
      ref.size = t->txtSize.Text();
      break;
    case 3:
      if (!t->frm.LogEnabled()) {
        if (t->frm.LogFilePath().empty())
          t->cdlgTop.WillChoose(fastLog);
        t->chkLogEnabled.Value(true);
        t->frm.chkLogEnabled_Click();
        ref.StartLogging(refLog);
      } else {
        t->chkLogEnabled.Value(false);
        t->frm.chkLogEnabled_Click();
        ref.StopLogging();
      }
      break;
    case 4:
      t->MSComm1.Raise(comEvCTS);
      ref.AddStatusMessageToDisplay("CTS Changed State\n");
      break;
    case 5:
      ++t->clock.now.second %= 60;
      break;
    default: {
      // A chunk; lengths past the input's end take what is left, and a
      // repeat count builds floods past the display's limits.
      std::size_t n = at < size ? data[at++] : 0;
      const std::size_t repeat = (op >> 3) + 1;
      n = std::min(n, size - at);
      const std::string chunk(reinterpret_cast<const char *>(data + at), n);
      at += n;
      for (std::size_t r = 0; r < repeat; ++r) {
        t->MSComm1.Receive(chunk);
        ref.AddTextToDisplay(chunk);
      }
    }
    }
    if (std::string(t->rtfData.Text()) != ref.display || t->frm.LineStart() != ref.lineStart ||
        t->frm.LineCount() != ref.lineCount || t->frm.LogLine() != ref.logLine)
      std::abort();
  }
  if (ReadFile(fastLog) != ReadFile(refLog))
    std::abort();
  ApplicationFolder("");
  return 0;
}
