// The Tools menu's choices that are remembered between runs.
//
// They live in a section of Serial.ini of their own, "[Tools]", apart from the
// window's own options, which are never stored. A missing file, section or
// key, and a value that is not one the choice allows, read as the choice's
// default, which is the window as it is with the Tools menu unused; so a
// first start, and a Serial.ini written by an older copy, give the plain
// window. Each change is saved at once as one entry (IniWriteValue: the rest
// of the file stays byte for byte, and a failed save leaves it whole).
//
// Keys in use: "Reconnect", "History", "Colours", "Hex", "Milliseconds",
// "EnterSends", "LocalEcho". Flags are "1" or "0".
#pragma once

#include "IniFile.h"

#include <map>
#include <string>
#include <vector>

namespace kestrel {

class ToolsChoices {
public:
  static constexpr const char *kSection = "Tools";

  // Remembers nothing: every choice reads as its default, saving does nothing.
  ToolsChoices() = default;
  // Reads the section of the settings file at path once.
  explicit ToolsChoices(std::string path);

  bool Flag(const std::string &key) const;
  IniResult Flag(const std::string &key, bool on);

  // The stored text of key when it is one of allowed; otherwise the first of
  // allowed, the default.
  std::string Choice(const std::string &key, const std::vector<std::string> &allowed) const;
  IniResult Choice(const std::string &key, const std::string &value);

private:
  static std::string Folded(const std::string &key);

  std::string mPath;
  std::map<std::string, std::string> mValues; // by key folded to lower case
};

} // namespace kestrel
