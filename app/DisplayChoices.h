// The Tools menu's choices of how received data is shown: "Show Colours",
// "Show Hex" and "Milliseconds in Time Prefix", and "Send Hex...", which
// sends bytes typed as hex pairs. Each choice is remembered in ToolsChoices
// ("Colours", "Hex", "Milliseconds") and starts off on a first start.
//
// With neither Colours nor Hex chosen the window receives with its own
// formatter, untouched: this class then plays no part in the receive path.
// With one chosen, it formats received chunks beside that formatter, through
// frmTop's receive steps, so the display keeps its rules (time prefix at a
// line start, trimming, the 500-line clear, automatic clearing) and the log
// collects the bytes exactly as they came: the log's lines are the same
// whatever is shown.
//
// Colours: escape sequences are taken out of what is shown (AnsiColours) and
// their colours set on the display's text as styles; what remains is shown by
// the window's rules (printable characters, a line break per line feed). The
// time prefix is plain text.
//
// Hex: from the moment it is chosen, every received byte shows in rows of 16
// (HexRows), each row a display line with the time prefix when that option is
// on; the rows start on a line of their own. Status lines stay text lines
// between the rows. Hex takes precedence over colours: the rows show the
// bytes as they came, sequences and all.
#pragma once

#include "AnsiColours.h"
#include "CommControl.h"
#include "Controls.h"
#include "HexRows.h"
#include "TextDisplay.h"
#include "ToolsChoices.h"
#include "frmTop.h"

#include <string>

namespace kestrel {

// A small dialog asking for one line of text; false when the user cancelled.
// text holds what the line starts with and, when the user accepts, what was
// typed, one code point per character.
class ITextInput {
public:
  virtual ~ITextInput() = default;
  virtual bool Ask(const std::string &title, const std::string &prompt, std::u32string &text) = 0;
};

struct DisplayChoicesControls {
  frmTop &top;
  TextDisplay &rtfData;
  ICommControl &MSComm1;
  IMenuItem &mnuToolsColours;
  IMenuItem &mnuToolsHex;
  IMenuItem &mnuToolsMilliseconds;
  ITextInput &txtSendHex;
  IMessageBox &messageBox;
  IAppInfo &appInfo;
  ToolsChoices &choices;
};

class DisplayChoices {
public:
  // Status panel 1 when Send Hex is refused: the bytes would land inside a
  // file being sent.
  static constexpr const char *kSendHexHeld = "Send Hex: nothing sent while a file is sending";

  explicit DisplayChoices(DisplayChoicesControls controls);
  ~DisplayChoices();
  DisplayChoices(const DisplayChoices &) = delete;
  DisplayChoices &operator=(const DisplayChoices &) = delete;

  void mnuToolsColours_Click();
  void mnuToolsHex_Click();
  void mnuToolsMilliseconds_Click();
  void mnuToolsSendHex_Click();

  // The next offset of the hex rows.
  std::uint64_t HexOffset() const { return mRows.Offset(); }

private:
  void Receive(const std::string &bytes);
  void ReceiveColoured(std::string_view bytes);
  void ReceiveHex(std::string_view bytes);
  void ShowColoured();
  void Route();
  void Remember(const IniResult &saved);

  DisplayChoicesControls mControls;
  AnsiColours mColours;
  ColouredText mColoured;
  HexRows mRows;
  std::string mRowText;
  std::u32string mSendHexText;
};

} // namespace kestrel
