// The Tools menu's History submenu: how much of the received text the
// display keeps.
//
// Four exclusive choices: the display's own limit (about 10000 characters,
// emptied after 500 line feeds), which is the first and the default, or the
// last 10,000, 100,000 or 1,000,000 lines. With a line count chosen the
// display drops its oldest line as each new one ends; the automatic clearing
// still applies. The choice is remembered in ToolsChoices under "History"
// ("Standard", "10000", "100000", "1000000"); a missing or unknown value is
// the default, so a first start keeps the display's own limit.
#pragma once

#include "Controls.h"
#include "ToolsChoices.h"
#include "frmTop.h"

#include <array>
#include <cstddef>

namespace kestrel {

struct HistoryMenuControls {
  frmTop &top;
  // In the order of kHistoryChoices.
  std::array<IMenuItem *, 4> mnuToolsHistory;
  ToolsChoices &choices;
  IMessageBox &messageBox;
  IAppInfo &appInfo;
};

struct HistoryChoice {
  const char *caption;
  const char *stored;
  std::size_t lines; // 0: the display's own limit
};
inline constexpr std::array<HistoryChoice, 4> kHistoryChoices = {{
    {"Standard (10,000 Characters)", "Standard", 0},
    {"10,000 Lines", "10000", 10000},
    {"100,000 Lines", "100000", 100000},
    {"1,000,000 Lines", "1000000", 1000000},
}};

class HistoryMenu {
public:
  // Applies the remembered choice.
  explicit HistoryMenu(HistoryMenuControls controls);

  // The user picked entry index of kHistoryChoices.
  void mnuToolsHistory_Click(std::size_t index);

private:
  void Show(std::size_t index);

  HistoryMenuControls mControls;
};

} // namespace kestrel
