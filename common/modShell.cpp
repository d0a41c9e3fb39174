#include "modShell.h"

namespace kestrel {

void ShellOpen(IShell &shell, const std::string &target) {
  if (target.empty())
    return;
  (void)shell.Open(target);
}

} // namespace kestrel
