// The Tools menu's remembered choices: what a Serial.ini holds reads back as the choice, anything
// else as the default; a change is saved as one entry of [Tools] and the rest of the file stays.
#include "ToolsChoices.h"
#include "TempDir.h"
#include <gtest/gtest.h>
using namespace kestrel;
using namespace kestrel::test;
namespace {
const std::vector<std::string> kEnter = {"CR", "LF", "CRLF"};

struct Stored {
  const char *name;
  const char *file;
  bool reconnect;
  const char *enter;
};
TEST(ToolsChoices, ReadsWhatTheFileHoldsAndTheDefaultForAnythingElse) {
  const Stored rows[] = {
      {"no file", nullptr, false, "CR"},
      {"no section", "[SerialPort]\nPort=1\n", false, "CR"},
      {"both set", "[Tools]\nReconnect=1\nEnterSends=LF\n", true, "LF"},
      {"key case and blanks", "[tools]\n reconnect = 1 \nENTERSENDS=CRLF\n", true, "CRLF"},
      {"value not allowed", "[Tools]\nReconnect=yes\nEnterSends=lf\n", false, "CR"},
      {"first duplicate wins", "[Tools]\nReconnect=1\nReconnect=0\n", true, "CR"},
      {"other section's keys", "[SerialPort]\nReconnect=1\n[Tools]\n", false, "CR"},
  };
  for (const Stored &row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    if (row.file)
      WriteFile(dir.File("Serial.ini"), row.file);
    const ToolsChoices choices(dir.File("Serial.ini"));
    EXPECT_EQ(choices.Flag("Reconnect"), row.reconnect);
    EXPECT_EQ(choices.Choice("EnterSends", kEnter), row.enter);
  }
}

TEST(ToolsChoices, AChangeIsSavedAsOneEntryAndTheRestStays) {
  TempDir dir;
  const std::string path = dir.File("Serial.ini");
  WriteFile(path, "; mine\r\n[SerialPort]\r\nPort=3\r\n");
  ToolsChoices choices(path);
  ASSERT_TRUE(choices.Flag("Reconnect", true).ok);
  ASSERT_TRUE(choices.Choice("EnterSends", "CRLF").ok);
  EXPECT_EQ(ReadFile(path), "; mine\r\n[SerialPort]\r\nPort=3\r\n[Tools]\r\nReconnect=1\r\n"
                            "EnterSends=CRLF\r\n");
  const ToolsChoices again(path);
  EXPECT_TRUE(again.Flag("Reconnect"));
  EXPECT_EQ(again.Choice("EnterSends", kEnter), "CRLF");
}

TEST(ToolsChoices, AFailedSaveSaysWhyAndStillHoldsTheChoiceForThisRun) {
  TempDir dir;
  ToolsChoices choices(dir.File("missing-folder/Serial.ini"));
  const IniResult saved = choices.Flag("Reconnect", true);
  EXPECT_FALSE(saved.ok);
  EXPECT_FALSE(saved.error.empty());
  EXPECT_TRUE(choices.Flag("Reconnect"));
}

TEST(ToolsChoices, WithoutAFileNothingIsSavedAndNothingFails) {
  ToolsChoices choices;
  EXPECT_TRUE(choices.Flag("Hex", true).ok);
  EXPECT_TRUE(choices.Flag("Hex"));
}
} // namespace
