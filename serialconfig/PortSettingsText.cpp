// The settings text is taken apart by commas only: no field is trimmed, so a
// blank in a stored text stays in its field and selects nothing in the
// dialog's lists. Parity is written as one letter and read as a letter or a
// word, in any case.
#include "PortSettingsText.h"

#include <algorithm>
#include <cctype>

namespace kestrel {

namespace {

constexpr const char *kPortPrefix = "COM";

} // namespace

std::string Upper(std::string text) {
  for (char &ch : text)
    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return text;
}

std::string SettingsToken(std::int16_t n, const std::string &text) {
  std::size_t p = 0;
  std::size_t s = 0;
  std::size_t e = 0;
  for (std::int16_t i = 1; i <= n; ++i) {
    std::size_t f = text.find(',', p);
    if (f == std::string::npos)
      return {};
    s = p;
    e = f;
    p = f + 1;
  }
  return text.substr(s, e - s);
}

std::string SettingsField(std::int32_t kind, const std::string &settings) {
  if (kind < Baud || kind > StopBits)
    return {};
  return SettingsToken(static_cast<std::int16_t>(kind), settings);
}

namespace {
// The parities the dialog offers: letter, word in capitals, word as shown.
struct ParityName {
  const char *letter, *upper, *shown;
};
constexpr ParityName kParities[] = {
    {"N", "NONE", "None"}, {"O", "ODD", "Odd"}, {"E", "EVEN", "Even"}};

const ParityName *FindParity(const std::string &text) {
  const std::string upper = Upper(text);
  for (const ParityName &p : kParities)
    if (upper == p.letter || upper == p.upper)
      return &p;
  return nullptr;
}
} // namespace

std::string ParityRead(const std::string &field) {
  const ParityName *p = FindParity(field);
  return p ? p->shown : field;
}

std::string ParityWrite(const std::string &shown) {
  const ParityName *p = FindParity(shown);
  return p ? p->letter : shown;
}

std::string SettingsCompose(const std::string &baud, const std::string &parityShown,
                            const std::string &dataBits, const std::string &stopBits) {
  return baud + "," + ParityWrite(parityShown) + "," + dataBits + "," + stopBits;
}

std::string PortNameFromNumber(std::int16_t port) {
  return kPortPrefix + std::to_string(port);
}

std::string PortNameFromText(const std::string &portText) {
  return kPortPrefix + portText;
}

std::string PortTextFromName(const std::string &name) {
  const std::size_t prefix = std::char_traits<char>::length(kPortPrefix);
  return name.size() > prefix ? name.substr(prefix) : std::string();
}

std::int16_t PortNumberFromName(const std::string &name) {
  const std::size_t prefix = std::char_traits<char>::length(kPortPrefix);
  if (name.size() <= prefix || Upper(name.substr(0, prefix)) != kPortPrefix)
    return 0;
  const std::string digits = PortTextFromName(name);
  if (digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](unsigned char ch) { return std::isdigit(ch); }))
    return 0;
  const long n = std::stol(digits);
  return n > 0 && n <= 32767 ? static_cast<std::int16_t>(n) : 0;
}

} // namespace kestrel
