// Checks written as rows of what came out and what it must be; a braced list of rows is evaluated
// in the order written. The settings and serial configuration suites use them.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>
namespace kestrel::test {
using Row = std::pair<std::string, std::string>;
using Rows = std::vector<Row>;
inline std::string B(bool b) {
  return b ? "yes" : "no";
}
inline Row R(const std::string &got, const std::string &want) {
  return {got, want};
}
inline void Expect(const Rows &rows) {
  for (const auto &[got, want] : rows)
    EXPECT_EQ(got, want);
}
} // namespace kestrel::test
