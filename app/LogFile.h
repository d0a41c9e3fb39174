// The log file on disk: one line appended at a time, the file opened and
// closed for each, so that other programs may read, copy or move it between
// lines.
//
// Appending never waits and never touches a device: a FIFO without a reader,
// a device or anything else that is no regular file is refused at once, and
// is looked at before it is opened (opening a serial device would raise its
// lines). A link another user made is not followed, so that a name planted
// in a shared folder cannot append the device's lines to some other file of
// the user's. A line that cannot be written whole is cut off again, so the
// file holds whole lines only and the next line starts at a line's start.
#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// Appends bytes to the end of the file, creating it when missing. Returns the
// empty text, or why not in the system's words.
std::string AppendToFile(const std::string &path, std::string_view bytes);

} // namespace kestrel
