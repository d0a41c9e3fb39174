// The port settings text rules on any text: fields never hold a comma, the
// fields and their commas give back the text they came from, and composing
// the fields read from a text the program wrote gives that text again.
#include "PortSettingsText.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  const std::string settings = text + ",";

  std::string rebuilt;
  std::size_t commas = 0;
  for (char ch : text)
    commas += ch == ',';
  for (std::int16_t n = 1; n <= static_cast<std::int16_t>(std::min<std::size_t>(commas + 2, 40));
       ++n) {
    const std::string field = SettingsToken(n, settings);
    if (field.find(',') != std::string::npos)
      std::abort();
    if (n <= static_cast<std::int16_t>(commas + 1))
      rebuilt += (n > 1 ? "," : "") + field;
    else if (!field.empty())
      std::abort(); // past the last comma there is no field
  }
  if (commas < 40 && rebuilt != text)
    std::abort();

  for (std::int32_t kind : {0, 5, -1})
    if (!SettingsField(kind, settings).empty())
      std::abort();

  // A text of the program's own form survives reading and writing.
  const std::string parity = SettingsField(Parity, settings);
  const std::string shown = ParityRead(parity);
  if (commas == 3 && (parity == "N" || parity == "O" || parity == "E") &&
      SettingsCompose(SettingsField(Baud, settings), shown, SettingsField(DataBits, settings),
                      SettingsField(StopBits, settings)) != text)
    std::abort();

  // Port names and port texts are each other's inverse.
  if (PortTextFromName(PortNameFromText(text)) != text)
    std::abort();
  return 0;
}
