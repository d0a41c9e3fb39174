// The INI reader and writer on any file content: reading never fails, and a
// write followed by a read gives the value written while every other entry
// reads as before.
#include "IniFile.h"
#include "TempDir.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kestrel;

namespace {
const std::array<const char *, 3> kSections = {"SerialPort", "Devices", "A"};
const std::array<const char *, 4> kKeys = {"Port", "Settings", "COM1", "k"};

std::string Trim(const std::string &s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos)
    return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static test::TempDir dir;
  if (size < 2)
    return 0;
  const std::string path = dir.File("fuzz.ini");
  const unsigned pick = data[0];
  const std::string value(reinterpret_cast<const char *>(data + 1),
                          std::min<std::size_t>(size - 1, 12));
  const std::string original(reinterpret_cast<const char *>(data + 1), size - 1);
  test::WriteFile(path, original);

  std::array<std::string, kSections.size() * kKeys.size()> before;
  for (std::size_t s = 0; s < kSections.size(); ++s)
    for (std::size_t k = 0; k < kKeys.size(); ++k)
      before[s * kKeys.size() + k] = IniReadValue(path, kSections[s], kKeys[k]);

  const std::size_t ws = pick % kSections.size(), wk = (pick / 3) % kKeys.size();
  const IniResult written = IniWriteValue(path, kSections[ws], kKeys[wk], value);
  if (!written.ok && test::ReadFile(path) != original)
    std::abort(); // a refused or failed write leaves the file as it was

  for (std::size_t s = 0; s < kSections.size(); ++s)
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
      const std::string now = IniReadValue(path, kSections[s], kKeys[k]);
      if (written.ok && s == ws && k == wk) {
        if (now != Trim(value))
          std::abort();
      } else if (now != before[s * kKeys.size() + k]) {
        std::abort();
      }
    }
  return 0;
}
