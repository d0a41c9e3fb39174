#include "DisplayChoices.h"

#include "DisplayWriter.h"
#include "HexInput.h"

namespace kestrel {

DisplayChoices::DisplayChoices(DisplayChoicesControls controls) : mControls(controls) {
  mControls.mnuToolsColours.Checked(mControls.choices.Flag("Colours"));
  mControls.mnuToolsHex.Checked(mControls.choices.Flag("Hex"));
  mControls.mnuToolsMilliseconds.Checked(mControls.choices.Flag("Milliseconds"));
  mControls.top.Milliseconds(mControls.mnuToolsMilliseconds.Checked());
  Route();
}

DisplayChoices::~DisplayChoices() {
  mControls.top.ReceivedBy(nullptr);
  mControls.rtfData.Style(0);
}

void DisplayChoices::mnuToolsColours_Click() {
  mControls.mnuToolsColours.Checked(!mControls.mnuToolsColours.Checked());
  mColours.Reset();
  Route();
  Remember(mControls.choices.Flag("Colours", mControls.mnuToolsColours.Checked()));
}

void DisplayChoices::mnuToolsHex_Click() {
  mControls.mnuToolsHex.Checked(!mControls.mnuToolsHex.Checked());
  mRows.Restart();
  // A sequence cut by hex rows is never finished: the text after them starts afresh.
  mColours.Reset();
  Route();
  Remember(mControls.choices.Flag("Hex", mControls.mnuToolsHex.Checked()));
}

void DisplayChoices::mnuToolsMilliseconds_Click() {
  mControls.mnuToolsMilliseconds.Checked(!mControls.mnuToolsMilliseconds.Checked());
  mControls.top.Milliseconds(mControls.mnuToolsMilliseconds.Checked());
  Remember(mControls.choices.Flag("Milliseconds", mControls.mnuToolsMilliseconds.Checked()));
}

// A text that is refused is offered again as typed, so the user can mend it.
void DisplayChoices::mnuToolsSendHex_Click() {
  const std::string title = mControls.appInfo.ExeName() + " - Send Hex";
  if (!mControls.MSComm1.PortOpen()) {
    mControls.messageBox.Show("Open the port before sending hex.", title, MessageIcon::Exclamation);
    return;
  }
  if (mControls.top.TypingRefused(kSendHexHeld))
    return;
  std::u32string text = mSendHexText;
  while (mControls.txtSendHex.Ask(title, "Bytes to send, as hex pairs (01 A0 ff):", text)) {
    HexInput parsed = ParseHexInput(text);
    if (!parsed.ok) {
      mControls.messageBox.Show(parsed.message + " Nothing was sent.", title,
                                MessageIcon::Exclamation);
      continue;
    }
    mSendHexText = text;
    // The dialog's event loop may have seen the port go, or a file start.
    if (mControls.top.TypingRefused(kSendHexHeld))
      return;
    if (mControls.MSComm1.Output(parsed.bytes) != comNoError)
      mControls.messageBox.Show("The port closed before the bytes were sent.", title,
                                MessageIcon::Exclamation);
    return;
  }
}

// The window's own formatter receives unless a choice needs this one.
void DisplayChoices::Route() {
  mControls.rtfData.Style(0);
  if (mControls.mnuToolsHex.Checked() || mControls.mnuToolsColours.Checked())
    mControls.top.ReceivedBy([this](const std::string &bytes) { Receive(bytes); });
  else
    mControls.top.ReceivedBy(nullptr);
}

void DisplayChoices::Receive(const std::string &bytes) {
  if (mControls.mnuToolsHex.Checked())
    ReceiveHex(bytes);
  else
    ReceiveColoured(bytes);
  mControls.top.EndOfReceived();
}

// Line by line, so each log line is written after its display line has
// ended, as the window's own formatter does.
void DisplayChoices::ReceiveColoured(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t lineFeed = bytes.find('\n');
    const std::size_t end = lineFeed == std::string_view::npos ? bytes.size() : lineFeed + 1;
    const std::string_view line = bytes.substr(0, end);
    mColours.Parse(line, mColoured);
    ShowColoured();
    mControls.top.CollectForLog(line);
    bytes.remove_prefix(end);
  }
}

// The display side of the window's rules on the text left, each printable
// run in its style; the time prefix and line breaks are plain. The display
// is left plain for whatever else writes to it.
void DisplayChoices::ShowColoured() {
  const std::string &text = mColoured.text;
  const auto &changes = mColoured.changes;
  std::uint32_t style = mColoured.style;
  std::size_t next = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    while (next < changes.size() && changes[next].at <= i)
      style = changes[next++].style;
    const auto ch = static_cast<unsigned char>(text[i]);
    if (IsPrintable(ch)) {
      const std::size_t limit = next < changes.size() ? changes[next].at : text.size();
      std::size_t end = i + 1;
      while (end < limit && IsPrintable(static_cast<unsigned char>(text[end])))
        ++end;
      mControls.rtfData.Style(0);
      mControls.top.StartDisplayLine();
      mControls.rtfData.Style(style);
      mControls.top.ShowPrintableRun(std::string_view(text).substr(i, end - i));
      i = end;
      continue;
    }
    if (ch == '\n') {
      mControls.rtfData.Style(0);
      mControls.top.ShowLineBreak();
    }
    ++i;
  }
  mControls.rtfData.Style(0);
}

void DisplayChoices::ReceiveHex(std::string_view bytes) {
  const std::string_view shown = mControls.rtfData.Text();
  if (!shown.empty() && !shown.ends_with(kLineBreak))
    mControls.top.ShowLineBreak();
  mRowText.clear();
  mRows.Format(bytes, mRowText);
  std::string_view rows = mRowText;
  while (!rows.empty()) {
    const std::size_t end = rows.find('\n');
    mControls.top.StartDisplayLine();
    mControls.top.ShowPrintableRun(rows.substr(0, end));
    mControls.top.ShowLineBreak();
    rows.remove_prefix(end + 1);
  }
  mControls.top.CollectForLog(bytes);
}

// The choice holds for this run either way; the user learns that the next
// start will not have it.
void DisplayChoices::Remember(const IniResult &saved) {
  if (!saved.ok)
    mControls.messageBox.Show("The choice could not be remembered for the next start: " +
                                  saved.error,
                              mControls.appInfo.ExeName() + " - Tools", MessageIcon::Exclamation);
}

} // namespace kestrel
