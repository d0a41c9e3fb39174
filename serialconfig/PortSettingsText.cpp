// The settings text is taken apart by commas only: no field is trimmed, so a
// blank in a stored text stays in its field and selects nothing in the
// dialog's lists. Parity is written as one letter and read as a letter or a
// word, in any case.
#include "PortSettingsText.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kestrel {

namespace {

constexpr const char *kPortPrefix = "COM";

} // namespace

bool DigitsOnly(const std::string &text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

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

bool ParseSettings(const std::string &text, LineSettings &s) {
  std::string f[4];
  int n = 0;
  for (char ch : text) {
    if (ch == ',') {
      if (++n > 3)
        return false;
    } else if (ch != ' ') {
      f[n] += ch;
    }
  }
  if (n != 3 || !DigitsOnly(f[0]) || f[0].size() > 9 || f[1].size() != 1 || !DigitsOnly(f[2]))
    return false;
  // Data bits are read past any leading zeros, so that no number of digits
  // can overflow the conversion.
  const std::size_t lead = std::min(f[2].find_first_not_of('0'), f[2].size() - 1);
  if (f[2].size() - lead != 1)
    return false;
  const unsigned long baud = std::stoul(f[0]);
  if (baud == 0)
    return false;
  const char parity = static_cast<char>(std::toupper(static_cast<unsigned char>(f[1][0])));
  if (std::string_view("NEOMS").find(parity) == std::string_view::npos)
    return false;
  const int data = f[2][lead] - '0';
  if (data < 5 || data > 8)
    return false;
  int stop;
  if (f[3] == "1")
    stop = 1;
  else if (f[3] == "2" && data != 5)
    stop = 2;
  else if (f[3] == "1.5" && data == 5)
    stop = 2;
  else
    return false;
  s.baud = static_cast<std::uint32_t>(baud);
  s.parity = parity;
  s.dataBits = data;
  s.stopBits = stop;
  return true;
}

std::int16_t PortNumberFromName(const std::string &name) {
  const std::size_t prefix = std::char_traits<char>::length(kPortPrefix);
  if (name.size() <= prefix || Upper(name.substr(0, prefix)) != kPortPrefix)
    return 0;
  const std::string digits = PortTextFromName(name);
  if (digits.size() > 5 || !DigitsOnly(digits))
    return 0;
  const long n = std::stol(digits);
  return n > 0 && n <= 32767 ? static_cast<std::int16_t>(n) : 0;
}

} // namespace kestrel
