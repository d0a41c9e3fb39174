#include "ToolsChoices.h"

#include <algorithm>
#include <cctype>

namespace kestrel {

ToolsChoices::ToolsChoices(std::string path) : mPath(std::move(path)) {
  for (const auto &[key, value] : IniReadSection(mPath, kSection))
    mValues.emplace(Folded(key), value); // the first of duplicates wins, as in reading
}

bool ToolsChoices::Flag(const std::string &key) const {
  return Choice(key, {"0", "1"}) == "1";
}

IniResult ToolsChoices::Flag(const std::string &key, bool on) {
  return Choice(key, on ? "1" : "0");
}

std::string ToolsChoices::Choice(const std::string &key,
                                 const std::vector<std::string> &allowed) const {
  if (allowed.empty())
    return {};
  const auto found = mValues.find(Folded(key));
  if (found != mValues.end() &&
      std::find(allowed.begin(), allowed.end(), found->second) != allowed.end())
    return found->second;
  return allowed.front();
}

IniResult ToolsChoices::Choice(const std::string &key, const std::string &value) {
  mValues[Folded(key)] = value;
  if (mPath.empty())
    return {true, {}};
  return IniWriteValue(mPath, kSection, key, value);
}

std::string ToolsChoices::Folded(const std::string &key) {
  std::string folded = key;
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return folded;
}

} // namespace kestrel
