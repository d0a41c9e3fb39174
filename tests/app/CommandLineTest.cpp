// The command line: every bad form refused with its own line, the good ones read whole, the
// settings a run opens with, and --help agreeing with the manual page.
#include "CommandLine.h"
#include "TempDir.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <regex>
namespace kestrel::test {
namespace {
using Args = std::vector<std::string>;
using Action = CommandLine::Action;

TEST(CommandLine, EveryBadFormIsRefusedWithOneClearLine) {
  struct Row {
    const char *name;
    Args args;
    const char *error;
  } rows[] = {
      {"unknown short option", {"-x"}, "unknown option -x (see --help)"},
      {"unknown long option", {"--speed", "9600"}, "unknown option --speed (see --help)"},
      {"-b at the end", {"/dev/ttyUSB0", "-b"}, "-b needs a baud rate (see --help)"},
      {"--baud at the end", {"/dev/ttyUSB0", "--baud"}, "--baud needs a baud rate (see --help)"},
      {"-s at the end", {"/dev/ttyUSB0", "-s"}, "-s needs line settings (see --help)"},
      {"baud not a number",
       {"/dev/ttyUSB0", "-b", "fast"},
       "the baud rate \"fast\" is not a whole number from 1 to 999999999 (see --help)"},
      {"baud zero",
       {"/dev/ttyUSB0", "-b0"},
       "the baud rate \"0\" is not a whole number from 1 to 999999999 (see --help)"},
      {"baud negative",
       {"/dev/ttyUSB0", "--baud=-9600"},
       "the baud rate \"-9600\" is not a whole number from 1 to 999999999 (see --help)"},
      {"baud too long",
       {"/dev/ttyUSB0", "-b", "1234567890"},
       "the baud rate \"1234567890\" is not a whole number from 1 to 999999999 (see --help)"},
      {"baud empty",
       {"/dev/ttyUSB0", "--baud="},
       "the baud rate \"\" is not a whole number from 1 to 999999999 (see --help)"},
      {"baud twice",
       {"/dev/ttyUSB0", "-b", "9600", "-b", "19200"},
       "the baud rate is given twice (see --help)"},
      {"settings parity", {"COM1", "-s", "9600,X,8,1"}, nullptr},
      {"settings data bits", {"COM1", "-s", "9600,N,9,1"}, nullptr},
      {"settings stop bits", {"COM1", "-s", "9600,N,8,3"}, nullptr},
      {"settings 1.5 stop bits with 8 data bits", {"COM1", "-s", "9600,N,8,1.5"}, nullptr},
      {"settings 2 stop bits with 5 data bits", {"COM1", "-s", "9600,N,5,2"}, nullptr},
      {"settings data bits past any number", {"COM1", "-s", "9600,N,58888888888,1"}, nullptr},
      {"settings three fields", {"COM1", "-s", "9600,N,8"}, nullptr},
      {"settings five fields", {"COM1", "-s", "9600,N,8,1,1"}, nullptr},
      {"settings rate zero", {"COM1", "-s", "0,N,8,1"}, nullptr},
      {"settings twice",
       {"COM1", "-s", "9600,N,8,1", "--settings", "9600,E,7,1"},
       "the line settings are given twice (see --help)"},
      {"two devices",
       {"/dev/ttyUSB0", "/dev/ttyUSB1"},
       "more than one device given: /dev/ttyUSB0 and /dev/ttyUSB1 (see --help)"},
      {"empty device", {""}, "the device name is empty (see --help)"},
      {"device with a line break",
       {"/dev/tty\nUSB0"},
       "the device name holds a control character (see --help)"},
      {"baud without a device", {"-b", "9600"}, "-b needs a DEVICE to open (see --help)"},
      {"settings without a device", {"-s", "9600,N,8,1"}, "-s needs a DEVICE to open (see --help)"},
      {"Qt option without its value", {"-platform"}, "-platform needs a value (see --help)"},
      {"option with a line break", {"-x\nrm"}, "unknown option -x\\nrm (see --help)"},
      {"option with an escape code", {"-x\x1b[2J"}, "unknown option -x\\x1B[2J (see --help)"},
      {"option with a backslash of its own", {"-x\\x1B"}, "unknown option -x\\\\x1B (see --help)"},
      {"option with a letter and an eight-bit escape code",
       {"-\xc4\x81\xc2\x9b"},
       "unknown option -\xc4\x81\\xC2\\x9B (see --help)"},
      {"baud with a line break",
       {"-b", "96\n00"},
       "the baud rate \"96\\n00\" is not a whole number from 1 to 999999999 (see --help)"},
      {"settings with a line break",
       {"-s", "9600,N,8,1\n"},
       "the line settings \"9600,N,8,1\\n\" are not rate,parity,data bits,stop bits such as "
       "19200,N,8,1 (see --help)"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const CommandLine line = ParseCommandLine(row.args);
    EXPECT_EQ(line.action, Action::Fail);
    if (row.error)
      EXPECT_EQ(line.error, row.error);
    else
      EXPECT_EQ(line.error, "the line settings \"" + row.args.back() +
                                "\" are not rate,parity,data bits,stop bits such as 19200,N,8,1 "
                                "(see --help)");
    EXPECT_TRUE(std::none_of(line.error.begin(), line.error.end(),
                             [](unsigned char ch) { return ch < 0x20 || ch == 0x7F; }));
  }
}

TEST(CommandLine, GoodFormsAreReadWhole) {
  struct Row {
    const char *name;
    Args args;
    Action action;
    const char *device, *baud, *settings;
  } rows[] = {
      {"nothing", {}, Action::Run, "", "", ""},
      {"a path", {"/dev/ttyUSB0"}, Action::Run, "/dev/ttyUSB0", "", ""},
      {"a port number", {"COM3"}, Action::Run, "COM3", "", ""},
      {"a by-id name and a rate",
       {"usb-FTDI_A50285BI-if00-port0", "-b", "115200"},
       Action::Run,
       "usb-FTDI_A50285BI-if00-port0",
       "115200",
       ""},
      {"options first, joined",
       {"-b9600", "-s9600,e,7,2", "ttyAMA0"},
       Action::Run,
       "ttyAMA0",
       "9600",
       "9600,e,7,2"},
      {"long forms with =",
       {"--baud=57600", "--settings=4800,N,5,1.5", "/dev/ttyS0"},
       Action::Run,
       "/dev/ttyS0",
       "57600",
       "4800,N,5,1.5"},
      {"settings with blanks, as the port takes them",
       {"COM1", "-s", "9600, N, 8, 1"},
       Action::Run,
       "COM1",
       "",
       "9600, N, 8, 1"},
      {"a device after --", {"--", "-odd-name"}, Action::Run, "-odd-name", "", ""},
      {"Qt's options passed over",
       {"-platform", "offscreen", "--style=Fusion", "-reverse", "COM1"},
       Action::Run,
       "COM1",
       "",
       ""},
      {"a bad word before --help", {"-x", "--help"}, Action::Fail, "", "", ""},
      {"help", {"COM1", "-h"}, Action::Help, "", "", ""},
      {"version", {"--version"}, Action::Version, "", "", ""},
      {"short version", {"-V", "junk"}, Action::Version, "", "", ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const CommandLine line = ParseCommandLine(row.args);
    EXPECT_EQ(line.action, row.action);
    if (row.action == Action::Fail)
      continue; // a bad word before --help is told first
    EXPECT_EQ(line.device, row.device);
    EXPECT_EQ(line.baud, row.baud);
    EXPECT_EQ(line.settings, row.settings);
    EXPECT_EQ(line.error, "");
  }
}

TEST(CommandLine, ARunOpensWithGivenThenStoredThenDefaultSettings) {
  struct Row {
    const char *name;
    Args args;
    const char *stored, *settings;
  } rows[] = {
      {"stored", {"COM1"}, "9600,E,7,1", "9600,E,7,1"},
      {"nothing stored", {"COM1"}, "", "19200,N,8,1"},
      {"rate over stored", {"COM1", "-b", "115200"}, "9600,E,7,1", "115200,E,7,1"},
      {"rate over defaults", {"COM1", "-b", "115200"}, "", "115200,N,8,1"},
      {"given over stored", {"COM1", "-s", "600,O,8,2"}, "9600,E,7,1", "600,O,8,2"},
      {"rate over given", {"COM1", "-s", "600,O,8,2", "-b", "1200"}, "", "1200,O,8,2"},
      {"rate over a stored text without commas", {"COM1", "-b", "1200"}, "9600", "1200,N,8,1"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SettingsForRun(ParseCommandLine(row.args), row.stored), row.settings);
  }
}

// The manual page's troff, its escapes and font changes dropped.
std::string ManText() {
  std::string man = ReadFile(KESTREL_SOURCE_DIR "/docs/kestrel-terminal.1");
  man = std::regex_replace(man, std::regex(R"(\\f[BIRP])"), "");
  man = std::regex_replace(man, std::regex(R"(\\-)"), "-");
  man = std::regex_replace(man, std::regex(R"(\n\.(B|I|BR|IR|RB|TP|PP)\b ?)"), "\n");
  return std::regex_replace(man, std::regex(R"(\s+)"), " ");
}

TEST(CommandLine, HelpAndTheManualPageNameTheSameOptions) {
  const std::string help = HelpText("kestrel-terminal");
  const std::string man = ManText();
  EXPECT_NE(help.find("Usage: kestrel-terminal [DEVICE] [-b BAUD] [-s SETTINGS]"),
            std::string::npos);
  EXPECT_NE(man.find("kestrel-terminal [DEVICE] [-b BAUD] [-s SETTINGS]"), std::string::npos);
  for (const OptionHelp &option : kOptionHelp) {
    SCOPED_TRACE(option.longForm);
    const std::string forms = std::string(option.shortForm) + ", " + option.longForm +
                              (*option.argument ? std::string(" ") + option.argument : "");
    EXPECT_NE(help.find(forms), std::string::npos);
    EXPECT_NE(man.find(forms), std::string::npos);
    EXPECT_NE(help.find(option.text), std::string::npos);
    EXPECT_NE(man.find(option.text), std::string::npos);
  }
}

} // namespace
} // namespace kestrel::test
