#include "PortSettingsText.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kestrel {
namespace {

struct FieldCase {
  std::string settings; // with the extra comma
  std::string baud, parity, data, stop;
};

void PrintTo(const FieldCase &c, std::ostream *os) {
  *os << '"' << c.settings << '"';
}

class SettingsFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(SettingsFields, SplitAtCommasWithoutTrimming) {
  const auto &c = GetParam();
  EXPECT_EQ(SettingsField(Baud, c.settings), c.baud);
  EXPECT_EQ(SettingsField(Parity, c.settings), c.parity);
  EXPECT_EQ(SettingsField(DataBits, c.settings), c.data);
  EXPECT_EQ(SettingsField(StopBits, c.settings), c.stop);
}

INSTANTIATE_TEST_SUITE_P(Texts, SettingsFields,
                         ::testing::Values(FieldCase{"19200,N,8,1,", "19200", "N", "8", "1"},
                                           FieldCase{"9600, E ,7,2,", "9600", " E ", "7", "2"},
                                           FieldCase{"9600,N,", "9600", "N", "", ""},
                                           FieldCase{",", "", "", "", ""},
                                           FieldCase{"", "", "", "", ""},
                                           FieldCase{"1,2,3,4,5,", "1", "2", "3", "4"}));

TEST(SettingsFields, OtherKindsAndPositionsAreEmpty) {
  EXPECT_EQ(SettingsField(0, "19200,N,8,1,"), "");
  EXPECT_EQ(SettingsField(5, "19200,N,8,1,"), "");
  EXPECT_EQ(SettingsToken(5, "a,b,c,d,e,"), "e");
  EXPECT_EQ(SettingsToken(0, "a,"), "");
}

TEST(ParityWords, ReadAndWriteInAnyCaseOthersUnchanged) {
  EXPECT_EQ(ParityRead("n"), "None");
  EXPECT_EQ(ParityRead("NONE"), "None");
  EXPECT_EQ(ParityRead("o"), "Odd");
  EXPECT_EQ(ParityRead("Even"), "Even");
  EXPECT_EQ(ParityRead("M"), "M");
  EXPECT_EQ(ParityWrite("none"), "N");
  EXPECT_EQ(ParityWrite("ODD"), "O");
  EXPECT_EQ(ParityWrite("Even"), "E");
  EXPECT_EQ(ParityWrite("Mark"), "Mark");
  EXPECT_EQ(SettingsCompose("115200", "Even", "7", "2"), "115200,E,7,2");
}

TEST(PortNames, NumberAndTextBothWays) {
  EXPECT_EQ(PortNameFromNumber(3), "COM3");
  EXPECT_EQ(PortNameFromText("12"), "COM12");
  EXPECT_EQ(PortTextFromName("COM12"), "12");
  EXPECT_EQ(PortTextFromName("CO"), "");
}

} // namespace
} // namespace kestrel
