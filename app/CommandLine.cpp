#include "CommandLine.h"

#include "PortSettingsText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace kestrel {

const std::vector<OptionHelp> kOptionHelp = {
    {"-b", "--baud", "BAUD", "open the port at this baud rate"},
    {"-s", "--settings", "SETTINGS", "open the port with these line settings, such as 19200,N,8,1"},
    {"-h", "--help", "", "show this help and end"},
    {"-V", "--version", "", "show the version and end"},
};

namespace {

// Qt's options that take a value, and those that do not (QGuiApplication and
// QApplication read them with one dash or two).
constexpr std::array kQtWithValue = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",     "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "style",         "stylesheet", "session",
    "display",     "geometry",           "title",         "name",       "visual",
    "ncols"};
constexpr std::array kQtFlag = {"reverse", "widgetcount", "nograb",     "dograb",
                                "sync",    "cmap",        "testability"};

bool BaudValid(const std::string &s) {
  return DigitsOnly(s) && s.size() <= 9 && std::stoul(s) > 0;
}

bool HasControlCode(const std::string &s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
}

// The length of the well-formed UTF-8 sequence of two or more bytes at the
// start of s, or 0 for an eight-bit control character (U+0080 to U+009F), an
// overlong form, a surrogate or a stray byte.
std::size_t PrintableUtf8Length(std::string_view s) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = at(0);
  const std::size_t n = lead >= 0xC2 && lead <= 0xDF   ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (n == 0 || s.size() < n)
    return 0;
  const unsigned char low = lead == 0xC2 || lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (at(1) < low || at(1) > high)
    return 0;
  for (std::size_t i = 2; i < n; ++i)
    if ((at(i) & 0xC0) != 0x80)
      return 0;
  return n;
}

// An argument as an error quotes it: control characters, and stray bytes a
// terminal may read as eight-bit ones, are written as escapes, so that the
// error stays one line and cannot drive the terminal it is printed on. A
// backslash of the argument's own is written twice, so that it cannot be
// read as the start of an escape.
std::string Visible(std::string_view arg) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  while (!arg.empty()) {
    const auto ch = static_cast<unsigned char>(arg[0]);
    const bool plain = ch >= 0x20 && ch < 0x7F && ch != '\\';
    if (const std::size_t n = plain ? 1 : PrintableUtf8Length(arg)) {
      shown.append(arg.substr(0, n));
      arg.remove_prefix(n);
      continue;
    }
    if (ch == '\\')
      shown += "\\\\";
    else if (ch == '\n')
      shown += "\\n";
    else if (ch == '\r')
      shown += "\\r";
    else if (ch == '\t')
      shown += "\\t";
    else
      shown += {'\\', 'x', kHex[ch >> 4], kHex[ch & 15]};
    arg.remove_prefix(1);
  }
  return shown;
}

// How many words a Qt option takes (1 or 2), or 0 when arg is none of Qt's.
int QtOptionWords(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-')
    return 0;
  arg.remove_prefix(arg[1] == '-' ? 2 : 1);
  const auto eq = arg.find('=');
  const std::string_view name = arg.substr(0, eq);
  for (const char *q : kQtWithValue)
    if (name == q)
      return eq == std::string_view::npos ? 2 : 1;
  for (const char *q : kQtFlag)
    if (name == q && eq == std::string_view::npos)
      return 1;
  if (name == "qmljsdebugger" && eq != std::string_view::npos)
    return 1;
  return 0;
}

CommandLine Failed(std::string why) {
  CommandLine line;
  line.action = CommandLine::Action::Fail;
  line.error = std::move(why) + " (see --help)";
  return line;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string> &args) {
  CommandLine line;
  bool baudGiven = false, settingsGiven = false, devicesOnly = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (devicesOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      if (arg.empty())
        return Failed("the device name is empty");
      if (HasControlCode(arg))
        return Failed("the device name holds a control character");
      if (!line.device.empty())
        return Failed("more than one device given: " + Visible(line.device) + " and " +
                      Visible(arg));
      line.device = arg;
      continue;
    }
    if (arg == "--") {
      devicesOnly = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      CommandLine help;
      help.action = CommandLine::Action::Help;
      return help;
    }
    if (arg == "-V" || arg == "--version") {
      CommandLine version;
      version.action = CommandLine::Action::Version;
      return version;
    }
    if (const int words = QtOptionWords(arg)) {
      if (words == 2 && ++i >= args.size())
        return Failed(Visible(arg) + " needs a value");
      continue;
    }
    // -b VALUE, -bVALUE, --baud VALUE, --baud=VALUE; the same for -s.
    std::string name = arg, value;
    bool inline_ = false;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        inline_ = true;
      }
    } else if (arg.size() > 2) {
      name = arg.substr(0, 2);
      value = arg.substr(2);
      inline_ = true;
    }
    const bool baud = name == "-b" || name == "--baud";
    const bool settings = name == "-s" || name == "--settings";
    if (!baud && !settings)
      return Failed("unknown option " + Visible(arg));
    if (!inline_) {
      if (i + 1 >= args.size())
        return Failed(Visible(name) + (baud ? " needs a baud rate" : " needs line settings"));
      value = args[++i];
    }
    if (baud) {
      if (baudGiven)
        return Failed("the baud rate is given twice");
      if (!BaudValid(value))
        return Failed("the baud rate \"" + Visible(value) +
                      "\" is not a whole number from 1 to 999999999");
      baudGiven = true;
      line.baud = value;
    } else {
      if (settingsGiven)
        return Failed("the line settings are given twice");
      if (!SettingsTextValid(value))
        return Failed("the line settings \"" + Visible(value) +
                      "\" are not rate,parity,data bits,stop bits such as 19200,N,8,1");
      settingsGiven = true;
      line.settings = value;
    }
  }
  if ((baudGiven || settingsGiven) && line.device.empty())
    return Failed(std::string(baudGiven ? "-b" : "-s") + " needs a DEVICE to open");
  return line;
}

std::string HelpText(const std::string &program) {
  std::string text = "Usage: " + program +
                     " [DEVICE] [-b BAUD] [-s SETTINGS]\n"
                     "A serial terminal for one port in one window.\n\n"
                     "DEVICE is a device path (/dev/ttyUSB0), a name under /dev or\n"
                     "/dev/serial/by-id, or a port number such as COM3. With a DEVICE the port\n"
                     "is opened at start, at the stored line settings unless -b or -s is given;\n"
                     "nothing given here is saved.\n\n";
  for (const OptionHelp &o : kOptionHelp) {
    std::string forms = std::string("  ") + o.shortForm + ", " + o.longForm;
    if (*o.argument)
      forms += std::string(" ") + o.argument;
    forms.resize(std::max<std::size_t>(forms.size() + 2, 28), ' ');
    text += forms + o.text + "\n";
  }
  return text;
}

bool SettingsTextValid(const std::string &text) {
  LineSettings settings;
  return ParseSettings(text, settings);
}

std::string SettingsForRun(const CommandLine &line, const std::string &stored) {
  std::string settings = !line.settings.empty() ? line.settings
                         : !stored.empty()      ? stored
                                                : "19200,N,8,1";
  if (!line.baud.empty()) {
    const auto comma = settings.find(',');
    settings = line.baud + (comma == std::string::npos ? ",N,8,1" : settings.substr(comma));
  }
  return settings;
}

} // namespace kestrel
