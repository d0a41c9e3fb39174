// The port settings text ("19200,N,8,1": baud rate, parity letter, data bits,
// stop bits) and the port name ("COM3"), and the rules that take them apart
// and put them together. Pure functions on texts: nothing here fails, a text
// that does not fit simply yields fields that select nothing.
#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

enum PortSettingsField : std::int32_t { Baud = 1, Parity = 2, DataBits = 3, StopBits = 4 };

// The n-th field of a text in which every field, the last one included, ends
// in a comma; empty when there are fewer than n fields. Nothing is trimmed.
std::string SettingsToken(std::int16_t n, const std::string &text);
// SettingsToken of positions 1 to 4; empty for any other kind. The text must
// already carry the extra comma at its end.
std::string SettingsField(std::int32_t kind, const std::string &settings);

// "N"/"NONE" to "None", "O"/"ODD" to "Odd", "E"/"EVEN" to "Even", in any case;
// anything else unchanged.
std::string ParityRead(const std::string &field);
// "None" to "N", "Odd" to "O", "Even" to "E", in any case; anything else unchanged.
std::string ParityWrite(const std::string &shown);
// baud + "," + parity letter + "," + data bits + "," + stop bits.
std::string SettingsCompose(const std::string &baud, const std::string &parityShown,
                            const std::string &dataBits, const std::string &stopBits);

// The line settings a settings text stands for.
struct LineSettings {
  std::uint32_t baud = 9600;
  char parity = 'N'; // N, E, O, M (mark) or S (space)
  int dataBits = 8;  // 5 to 8
  int stopBits = 1;  // 1 or 2; 2 with 5 data bits is 1.5 on the line
};
// "19200,N,8,1" to its values, blanks allowed and the parity letter in any
// case; false when the text cannot be used. Stop bits 1.5 exist only with 5
// data bits, where the line takes them for 2. The one rule for the port and
// for the command line.
bool ParseSettings(const std::string &text, LineSettings &settings);

// "COM" + the number ("COM3").
std::string PortNameFromNumber(std::int16_t port);
// "COM" + the stored port text as the store returns it.
std::string PortNameFromText(const std::string &portText);
// The name less its first three characters ("COM12" gives "12").
std::string PortTextFromName(const std::string &name);
// The port number a name such as "COM12" or "com12" stands for: "COM" in any
// case and 1 to 5 digits of a value from 1 to 32767; 0 for anything else.
std::int16_t PortNumberFromName(const std::string &name);

// How a user who may not open a serial device gets the right to: the end of
// the advice both the open's refusal and the configuration dialog give.
inline constexpr const char *kDialoutAdvice =
    "the dialout group (sudo adduser $USER dialout) and log in again.";

// Whether text is one or more of the digits 0 to 9 and nothing else.
bool DigitsOnly(const std::string &text);
// The text with its ASCII letters in upper case.
std::string Upper(std::string text);

} // namespace kestrel
