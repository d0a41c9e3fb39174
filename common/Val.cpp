#include "Val.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace kestrel {

double Val(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  std::string number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    number += text[i++];
  auto digit = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
  bool any = false;
  while (digit(i)) {
    number += text[i++];
    any = true;
  }
  if (i < text.size() && text[i] == '.') {
    number += text[i++];
    while (digit(i)) {
      number += text[i++];
      any = true;
    }
  }
  if (!any)
    return 0.0;
  // An exponent counts only when digits follow it.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    std::size_t k = i + 1;
    std::string exponent = "e";
    if (k < text.size() && (text[k] == '+' || text[k] == '-'))
      exponent += text[k++];
    if (digit(k)) {
      while (digit(k))
        exponent += text[k++];
      number += exponent;
    }
  }
  double value = std::strtod(number.c_str(), nullptr);
  return std::isfinite(value) ? value : 0.0;
}

} // namespace kestrel
