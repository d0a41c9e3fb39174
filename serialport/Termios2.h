// Line settings of a tty through the kernel's termios2 interface, which takes
// any baud rate the driver accepts (BOTHER), not only the standard ones. A
// standard rate is set by its own code, so that other tools read it back.
//
// <asm/termbits.h> and glibc's <termios.h> define the same names differently,
// so the kernel's structures stay inside Termios2.cpp and only plain values
// cross this header. Every function returns 0 or the errno of the failure.
#pragma once

#include "PortSettingsText.h"

#include <cstdint>

namespace kestrel::serial {

using kestrel::LineSettings;

// Raw mode: no echo, no line editing, no flow control, no character
// translation; a read returns as soon as one byte is waiting (VMIN 1, VTIME 0);
// errors marked in the stream (INPCK with PARMRK: a real 0xFF arrives doubled,
// a byte with a parity or framing error as 0xFF 0x00 byte, a break as
// 0xFF 0x00 0x00). The receiver is on and the modem-control lines are ignored
// for opening (CLOCAL).
int ApplyLineSettings(int fd, const LineSettings &settings);
// What the driver holds now.
int ReadLineSettings(int fd, LineSettings &settings);
// All the driver holds (modes, rate, control characters), to be put back as it was.
struct SavedTermios {
  alignas(4) unsigned char bytes[64];
};
int SaveTermios(int fd, SavedTermios &saved);
int RestoreTermios(int fd, const SavedTermios &saved);
// An ioctl retried while interrupted: 0 or the errno of the failure.
int Ioctl(int fd, unsigned long request, void *arg);
// Discards what was received and not yet read.
int FlushInput(int fd);
// Discards what the driver holds to send and has not sent yet.
int FlushOutput(int fd);

} // namespace kestrel::serial
