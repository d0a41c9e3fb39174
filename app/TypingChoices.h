// What Enter sends and whether typed keys are shown: the Tools menu's
// "Enter Sends" (CR, LF or CR LF) and "Local Echo", remembered between runs
// in ToolsChoices ("EnterSends" = CR, LF or CRLF; "LocalEcho" = 1 or 0).
//
// Left as they start on a first start (CR, no echo), every key reaches the
// window's own rtfData_KeyPress and the window types exactly as without this
// class. Otherwise Enter sends the chosen ending, and with the echo on what
// is typed or pasted is shown in the display too, drawn as typed text. The
// echo is shown only: the log copies what the board sent, so a board that
// echoes as well is not logged twice over.
#pragma once

#include "CommControl.h"
#include "Controls.h"
#include "ToolsChoices.h"
#include "frmTop.h"

#include <cstdint>
#include <string>

namespace kestrel {

struct TypingChoicesControls {
  frmTop &top;
  ICommControl &MSComm1;
  IMenuItem &mnuToolsEnterCR;
  IMenuItem &mnuToolsEnterLF;
  IMenuItem &mnuToolsEnterCRLF;
  IMenuItem &mnuToolsLocalEcho;
  ToolsChoices &choices;
  IMessageBox &messageBox;
  IAppInfo &appInfo;
};

class TypingChoices {
public:
  enum class Enter { CR, LF, CRLF };

  explicit TypingChoices(TypingChoicesControls controls);

  void mnuToolsEnterSends_Click(Enter choice);
  void mnuToolsLocalEcho_Click();
  // A key typed into the display, as the window's own handler takes it.
  void rtfData_KeyPress(std::int16_t &KeyAscii);
  // Bytes pasted as typed keys, each line break as one CR: sent with the
  // chosen ending, and echoed when asked for.
  void SendTyped(const std::string &bytes);

  Enter EnterSends() const { return mEnter; }
  // The bytes Enter sends.
  std::string LineEnding() const;

private:
  void ShowEnter();
  void Echo(const std::string &bytes);
  void Remember(const IniResult &saved);

  TypingChoicesControls mControls;
  Enter mEnter = Enter::CR;
};

} // namespace kestrel
