#include "TypingChoices.h"

namespace kestrel {

namespace {
constexpr const char *kEnterKey = "EnterSends";
constexpr const char *kEchoKey = "LocalEcho";
} // namespace

TypingChoices::TypingChoices(TypingChoicesControls controls) : mControls(controls) {
  const std::string stored = mControls.choices.Choice(kEnterKey, {"CR", "LF", "CRLF"});
  mEnter = stored == "LF" ? Enter::LF : stored == "CRLF" ? Enter::CRLF : Enter::CR;
  ShowEnter();
  mControls.mnuToolsLocalEcho.Checked(mControls.choices.Flag(kEchoKey));
}

void TypingChoices::mnuToolsEnterSends_Click(Enter choice) {
  mEnter = choice;
  ShowEnter();
  Remember(mControls.choices.Choice(kEnterKey, choice == Enter::LF     ? "LF"
                                               : choice == Enter::CRLF ? "CRLF"
                                                                       : "CR"));
}

void TypingChoices::mnuToolsLocalEcho_Click() {
  mControls.mnuToolsLocalEcho.Checked(!mControls.mnuToolsLocalEcho.Checked());
  Remember(mControls.choices.Flag(kEchoKey, mControls.mnuToolsLocalEcho.Checked()));
}

void TypingChoices::rtfData_KeyPress(std::int16_t &KeyAscii) {
  const bool echo = mControls.mnuToolsLocalEcho.Checked();
  if (mEnter == Enter::CR && !echo) {
    mControls.top.rtfData_KeyPress(KeyAscii);
    return;
  }
  if (KeyAscii <= 0 || KeyAscii > 255 || !mControls.MSComm1.PortOpen() ||
      mControls.top.TypingRefused())
    return;
  SendTyped(std::string(1, static_cast<char>(KeyAscii)));
}

void TypingChoices::SendTyped(const std::string &bytes) {
  if (!mControls.MSComm1.PortOpen() || bytes.empty())
    return;
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes)
    out += ch == '\r' ? LineEnding() : std::string(1, ch);
  mControls.MSComm1.Output(out);
  if (mControls.mnuToolsLocalEcho.Checked())
    Echo(bytes);
}

std::string TypingChoices::LineEnding() const {
  switch (mEnter) {
  case Enter::LF:
    return "\n";
  case Enter::CRLF:
    return "\r\n";
  default:
    return "\r";
  }
}

void TypingChoices::ShowEnter() {
  mControls.mnuToolsEnterCR.Checked(mEnter == Enter::CR);
  mControls.mnuToolsEnterLF.Checked(mEnter == Enter::LF);
  mControls.mnuToolsEnterCRLF.Checked(mEnter == Enter::CRLF);
}

// Enter shows as the end of the line whatever it sends: the display drops
// carriage returns, so a CR alone would leave nothing to see.
void TypingChoices::Echo(const std::string &bytes) {
  std::string shown;
  shown.reserve(bytes.size());
  for (char ch : bytes)
    shown += ch == '\r' ? '\n' : ch;
  mControls.top.AddTypedToDisplay(shown);
}

void TypingChoices::Remember(const IniResult &saved) {
  if (!saved.ok)
    mControls.messageBox.Show("The choice could not be remembered for the next start: " +
                                  saved.error,
                              mControls.appInfo.ExeName() + " - Tools", MessageIcon::Exclamation);
}

} // namespace kestrel
