// General routines shared by the windows and classes.
//
// FileExists is the program's one existence test: a file counts as present
// only when it can be opened for reading, so a file the user may not read is
// treated as missing everywhere alike. It opens nothing but a regular file: a
// device node or a FIFO counts as present when it may be read, untouched.
//
// The application folder is where the program keeps Serial.ini and where its
// file chooser starts. It is the folder of the running executable unless the
// program has chosen another at start (an installed copy keeps its settings
// in the user's configuration folder).
#pragma once

#include <string>

namespace kestrel {

bool FileExists(const std::string &path);

struct LocalTime;
// The local date and time of a file's last change; false when it has none
// that can be read.
bool FileLastChange(const std::string &path, LocalTime &when);

std::string ApplicationFolder();
void ApplicationFolder(const std::string &folder);

// Where the settings file goes: the executable's own folder when it is a
// build or portable folder (the user owns it and may write there, and it is
// no system folder nor the bin folder of an installation), otherwise the
// user's configuration folder for the program, created when missing: an
// installed copy never writes beside itself, whoever runs it, root included.
// Returns the folder chosen.
std::string ChooseSettingsFolder(const std::string &exeFolder, const std::string &userFolder);
// The user's configuration folder for the program: $XDG_CONFIG_HOME (or
// ~/.config) followed by /kestrel-terminal; empty when no home is known.
// A folder that would have to be made inside another user's folder (root
// run with a user's environment) is passed over for the running user's own
// home from the password database.
std::string UserSettingsFolder();

// The folder holding the running executable, without a trailing "/".
std::string ExecutableFolder();
// The running executable's full path.
std::string ExecutablePath();

// The system's words for an errno value ("Permission denied").
std::string SystemErrorText(int errorNumber);

} // namespace kestrel
