// The port list keeps its entries in a vector in the order they were added;
// a key, when given, is unique among the entries. It holds twenty entries at
// most, so keys are found by walking the list.
#include "colPorts.h"

#include <algorithm>

namespace kestrel {

clsPort *colPorts::Add(std::int16_t Port, const std::string &sKey) {
  if (!sKey.empty() && Item(sKey) != nullptr)
    return nullptr;
  auto port = std::make_unique<clsPort>();
  port->Port(Port);
  mCol.push_back(Entry{std::move(port), sKey});
  return mCol.back().port.get();
}

clsPort *colPorts::Item(std::int32_t index) const {
  if (index < 1 || index > Count())
    return nullptr;
  return mCol[static_cast<std::size_t>(index - 1)].port.get();
}

clsPort *colPorts::Item(const std::string &key) const {
  if (key.empty())
    return nullptr;
  auto it = std::find_if(mCol.begin(), mCol.end(), [&](const Entry &e) { return e.key == key; });
  return it == mCol.end() ? nullptr : it->port.get();
}

std::int32_t colPorts::Count() const {
  return static_cast<std::int32_t>(mCol.size());
}

bool colPorts::Remove(std::int32_t index) {
  if (index < 1 || index > Count())
    return false;
  mCol.erase(mCol.begin() + (index - 1));
  return true;
}

bool colPorts::Remove(const std::string &key) {
  if (key.empty())
    return false;
  auto it = std::find_if(mCol.begin(), mCol.end(), [&](const Entry &e) { return e.key == key; });
  if (it == mCol.end())
    return false;
  mCol.erase(it);
  return true;
}

void colPorts::ClearCollection() {
  mCol = std::vector<Entry>();
}

} // namespace kestrel
