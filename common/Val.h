// Reading the number at the start of a text, as a classic BASIC Val does:
// leading blanks are skipped, then an optional sign, digits, one decimal point
// and an exponent are read; the first other character ends the number. A text
// with no number at its start is 0. "100abc" is 100, "-5" is -5, "1e3" is
// 1000, "COM3" is 0.
#pragma once

#include <string_view>

namespace kestrel {

double Val(std::string_view text);

} // namespace kestrel
