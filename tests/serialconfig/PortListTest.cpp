#include "colPorts.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(PortList, KeepsOrderAndFindsByPositionAndKey) {
  colPorts ports;
  ASSERT_NE(ports.Add(3, "3"), nullptr);
  ASSERT_NE(ports.Add(1), nullptr);
  ASSERT_NE(ports.Add(7, "7"), nullptr);
  EXPECT_EQ(ports.Count(), 3);
  EXPECT_EQ(ports.Item(1)->Port(), 3);
  EXPECT_EQ(ports.Item(2)->Port(), 1);
  EXPECT_EQ(ports.Item("7")->Port(), 7);
  std::vector<int> seen;
  for (const auto &entry : ports)
    seen.push_back(entry.port->Port());
  EXPECT_EQ(seen, (std::vector<int>{3, 1, 7}));
}

TEST(PortList, RefusesWhatItCannotDoWithoutChangingAnything) {
  colPorts ports;
  ports.Add(3, "3");
  EXPECT_EQ(ports.Add(4, "3"), nullptr); // key taken
  EXPECT_EQ(ports.Count(), 1);
  EXPECT_EQ(ports.Item(0), nullptr);
  EXPECT_EQ(ports.Item(2), nullptr);
  EXPECT_EQ(ports.Item("9"), nullptr);
  EXPECT_FALSE(ports.Remove(5));
  EXPECT_FALSE(ports.Remove("9"));
  EXPECT_EQ(ports.Count(), 1);
}

TEST(PortList, RemoveAndClear) {
  colPorts ports;
  ports.Add(1, "1");
  ports.Add(2, "2");
  ports.Add(3, "3");
  EXPECT_TRUE(ports.Remove(2));
  EXPECT_TRUE(ports.Remove("3"));
  ASSERT_EQ(ports.Count(), 1);
  EXPECT_EQ(ports.Item(1)->Port(), 1);
  EXPECT_NE(ports.Add(3, "3"), nullptr); // a removed key is free again
  ports.ClearCollection();
  EXPECT_EQ(ports.Count(), 0);
}

} // namespace
} // namespace kestrel
