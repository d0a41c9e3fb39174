// The Tools menu of the terminal window: reconnecting automatically, pasting
// to the port, sending a file, sending a break and the line-levels window.
//
// Everything here is an addition to the window: with no tool used, the port
// button and the device-loss report reach frmTop unchanged, and the window
// behaves as it would without this class. Its choices start off on a first
// start; those kept in ToolsChoices ("Reconnect Automatically" among them)
// start as the user last left them.
//
// Reconnecting: with "Reconnect Automatically" checked, losing the open
// port's device leaves the window waiting ("Waiting for Device", the button
// still "Close Port") and tries the stored port again every 250 ms, which
// costs one failed open of a missing file. The loss and the return are
// status lines, so "Ignore Pin Status Messages" hides them as it hides line
// events, and the log records them when shown. Pressing the button while
// waiting stops the waiting and shows the port closed.
#pragma once

#include "CommControl.h"
#include "Controls.h"
#include "FileSender.h"
#include "TextDisplay.h"
#include "ToolsChoices.h"
#include "ToolsControls.h"
#include "TypingChoices.h"
#include "frmTop.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestrel {

struct ToolsMenuControls {
  frmTop &top;
  TextDisplay &rtfData;
  ICommControl &MSComm1;
  IMenuItem &mnuToolsReconnect;
  IMenuItem &mnuToolsLineLevels;
  ITimer &tmrReconnect;
  ITimer &tmrBreak;
  ITimer &tmrSendFile;
  ITimer &tmrLineLevels;
  IOpenFileChooser &cdlgSendFile;
  ISendProgress &sendProgress;
  ILineLevelsView &lineLevels;
  IQuestionBox &question;
  IMessageBox &messageBox;
  IAppInfo &appInfo;
  ToolsChoices &choices;
  // Milliseconds of a steady clock, for the send rate.
  std::function<std::int64_t()> milliseconds;
};

class ToolsMenu {
public:
  static constexpr int kReconnectMs = 250;
  static constexpr int kBreakMs = 250;
  static constexpr int kSendTickMs = 10;
  static constexpr int kLevelsTickMs = 25;
  // Pasted text longer than this asks first.
  static constexpr std::size_t kPasteAskBytes = 64 * 1024;
  // Status panel 1 while a file is sending, for a key or a paste refused:
  // waiting would send them at a moment the user cannot see coming (after a
  // new image has started, say), so they are refused and the user told.
  static constexpr const char *kTypingHeld = "Typed keys are not sent while a file is sending";
  static constexpr const char *kPasteHeld = "Paste to Port: nothing sent while a file is sending";
  static constexpr const char *kBreakHeld = "Send Break: no break while a file is sending";

  explicit ToolsMenu(ToolsMenuControls controls);
  ~ToolsMenu();
  ToolsMenu(const ToolsMenu &) = delete;
  ToolsMenu &operator=(const ToolsMenu &) = delete;

  // The port button and the loss of the device go through here.
  void cmdOpenPort_Click();
  void MSComm1_Closed();

  void mnuToolsReconnect_Click();
  // Text as the clipboard holds it, one code point per character.
  void mnuToolsPaste_Click(const std::u32string &text);
  void mnuToolsSendFile_Click();
  void cmdSendCancel_Click();
  void mnuToolsSendBreak_Click();
  void mnuToolsLineLevels_Click();
  void LineLevels_Closed();

  // Pasted text goes out through typing's line ending and echo when given.
  void Typing(TypingChoices *typing) { mTyping = typing; }

  bool Waiting() const { return mWaiting; }
  const FileSender &Sender() const { return mSender; }

private:
  void tmrReconnect_Timer();
  void tmrBreak_Timer();
  void tmrSendFile_Timer();
  void tmrLineLevels_Timer();
  void StopWaiting();
  void StatusLine(const std::string &text);
  void SendFinished();
  void Remember(const IniResult &saved);

  ToolsMenuControls mControls;
  bool mWaiting = false;
  // The port whose device went away, as it was: what a reconnect reopens.
  std::int16_t mLostPort = 0;
  std::string mLostSettings;
  bool mLostRts = false;
  FileSender mSender;
  std::string mSendName;
  std::int64_t mSendStart = 0;
  std::int64_t mLastProgress = 0;
  ModemLines mShownLevels;
  bool mShownEnabled = false;
  bool mLevelsShownOnce = false;
  TypingChoices *mTyping = nullptr;
  // Status panel 1's note of what the last paste left out, until the next paste.
  std::string mPasteNote;
};

} // namespace kestrel
