// The list of serial ports found at start: clsPort holds one port number,
// colPorts keeps them in the order they were added, each optionally under a
// text key unique within the list.
//
// Positions count from 1. A position outside 1 to Count, a key no entry has,
// or a key already taken is reported to the caller by the result (a null
// entry, false); nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {

class clsPort {
public:
  void Port(std::int16_t vData) { mPort = vData; }
  std::int16_t Port() const { return mPort; }

private:
  std::int16_t mPort = 0;
};

class colPorts {
public:
  struct Entry {
    std::unique_ptr<clsPort> port;
    std::string key;
  };
  using const_iterator = std::vector<Entry>::const_iterator;

  // The new entry, or null when sKey is already taken (nothing is added).
  clsPort *Add(std::int16_t Port, const std::string &sKey = {});
  // Null for a position outside 1 to Count or an unknown key.
  clsPort *Item(std::int32_t index) const;
  clsPort *Item(const std::string &key) const;
  std::int32_t Count() const;
  // False for a position outside 1 to Count or an unknown key.
  bool Remove(std::int32_t index);
  bool Remove(const std::string &key);
  // NewEnum: iteration over the entries in order.
  const_iterator begin() const { return mCol.begin(); }
  const_iterator end() const { return mCol.end(); }
  void ClearCollection();

private:
  std::vector<Entry> mCol;
};

} // namespace kestrel
