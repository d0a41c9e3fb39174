// Our INI reader and writer: the file format behind cINI.
//
// A file of lines; "[Section]" opens a section, "Key=Value" is an entry.
// Section and key names match without regard to letter case and to blanks
// around them and around "="; the value is the text after "=" with its outer
// blanks removed. The first of duplicate entries wins; ";" and "#" lines are
// comments; an entry before any section belongs to none and is never found.
// A UTF-8 byte-order mark at the start is passed over. Lines may end in LF or
// CR LF, the last one in nothing.
//
// Writing replaces the entry's line, or adds the entry after the last entry of
// its section (or a new section at the end of the file), and leaves every
// other byte of the file as it was. It never loses the file: the new text goes
// to a temporary file in the same folder, which is flushed to disk and renamed
// over the old one with the old one's permissions; when any step fails the old
// file stays whole and the result carries the system's reason. Saves of one
// file by several processes take turns (a lock file beside it, ".NAME.lock",
// held from the read to the rename), so none loses another's entry; a
// temporary file left by a save that was killed is removed by the next save.
//
// A settings file names the devices the program opens, so only one no other
// user can change is used: a link another user made is not followed, and a
// file of another user's (or one root's that others may write) reads as
// empty and is not rewritten, with the reason. The lock file is never
// followed as a link. The user's own link to the user's own file works.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace kestrel {

// A settings file holds a few short lines. Anything larger is some other file
// given the settings file's name: it reads as empty, so that a stray file
// cannot make the program hold and scan gigabytes, and it is never rewritten,
// so that it is not destroyed.
constexpr std::size_t kIniMaxFileSize = 16 * 1024 * 1024;

struct IniResult {
  bool ok = false;
  std::string error; // why not, when not ok
};

// The value of key in section, or the empty text when the file, section or
// key is missing or the file cannot be read.
std::string IniReadValue(const std::string &path, const std::string &section,
                         const std::string &key);

// Every entry of section in file order, as (key, value); empty when the
// file or section is missing or the file cannot be read.
std::vector<std::pair<std::string, std::string>> IniReadSection(const std::string &path,
                                                                const std::string &section);

// Writes key=value into section; the file is created when missing. Refused:
// an empty name, a section name holding "]", a key holding "=" or starting
// with ";", "#" or "[", a line break in any of them.
IniResult IniWriteValue(const std::string &path, const std::string &section, const std::string &key,
                        const std::string &value);

// Writes every (key, value) into section in one save: one lock, one
// replacement, so that another process sees all of them or none. Refused as
// a whole when any name or value would be.
IniResult IniWriteValues(const std::string &path, const std::string &section,
                         const std::vector<std::pair<std::string, std::string>> &entries);

// The same for entries of several sections, each naming its own.
struct IniEntry {
  std::string section, key, value;
};
IniResult IniWriteValues(const std::string &path, const std::vector<IniEntry> &entries);

// Copies the settings file at oldPath to newPath when newPath is missing or
// empty (an empty file holds no settings to lose); oldPath is only read. For
// settings kept until now beside the program, where the program no longer
// looks. False, with the reason, when there was nothing to take over or
// newPath holds something already.
IniResult IniTakeOver(const std::string &oldPath, const std::string &newPath);

// The folder for the settings file fileName (ChooseSettingsFolder); when
// that is not the program's own folder, a file of that name kept there by
// an earlier copy is taken over once (IniTakeOver).
std::string SettingsFolderTakingOver(const std::string &exeFolder, const std::string &userFolder,
                                     const std::string &fileName);

// The whole of a regular file of at most kIniMaxFileSize bytes, or false with
// the reason (missing, unreadable, a folder, a FIFO or device, too large).
// Never blocks on a FIFO or a device.
bool IniLoadFile(const std::string &path, std::string &content, std::string *error = nullptr);

} // namespace kestrel
