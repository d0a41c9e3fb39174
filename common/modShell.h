// Opening documents and web addresses with the desktop's default handler.
//
// ShellOpen hands the target to the platform's IShell (the Qt layer uses the
// desktop services, never a command shell). An empty target does nothing and a
// failure is silent, as callers show nothing when a browser will not start.
#pragma once

#include "Controls.h"

#include <string>

namespace kestrel {

void ShellOpen(IShell &shell, const std::string &target);

} // namespace kestrel
