#include "HistoryMenu.h"

#include <string>
#include <vector>

namespace kestrel {

HistoryMenu::HistoryMenu(HistoryMenuControls controls) : mControls(controls) {
  std::vector<std::string> allowed;
  for (const HistoryChoice &choice : kHistoryChoices)
    allowed.emplace_back(choice.stored);
  const std::string stored = mControls.choices.Choice("History", allowed);
  for (std::size_t i = 0; i < kHistoryChoices.size(); ++i)
    if (stored == kHistoryChoices[i].stored)
      Show(i);
}

// The choice holds for this run even when it cannot be saved; the user
// learns that the next start will not have it.
void HistoryMenu::mnuToolsHistory_Click(std::size_t index) {
  if (index >= kHistoryChoices.size())
    return;
  Show(index);
  const IniResult saved = mControls.choices.Choice("History", kHistoryChoices[index].stored);
  if (!saved.ok)
    mControls.messageBox.Show("The choice could not be remembered for the next start: " +
                                  saved.error,
                              mControls.appInfo.ExeName() + " - Tools", MessageIcon::Exclamation);
}

void HistoryMenu::Show(std::size_t index) {
  for (std::size_t i = 0; i < kHistoryChoices.size(); ++i)
    mControls.mnuToolsHistory[i]->Checked(i == index);
  mControls.top.HistoryLines(kHistoryChoices[index].lines);
}

} // namespace kestrel
