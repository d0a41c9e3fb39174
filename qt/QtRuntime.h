// Qt implementations of the runtime services: the clock, the program's own
// facts (its folder, name and version) and the desktop shell, and the
// program's identity towards the desktop. Unlike the control adapters they
// wrap no widget; each window that needs them holds its own.
#pragma once

#include "Controls.h"

#include <ctime>

namespace kestrel::qt {

// Names the program to the desktop. No display name is set: the desktop
// would see it appended to every window's title.
void SetApplicationIdentity();

// The time prefix and the log ask for the time for every line, so the clock
// reads the system's once a second and answers from that in between.
class QtClock : public IClock {
public:
  LocalTime Now() const override;
  LocalTime NowWithMilliseconds() const override;
  std::string DefaultDateTimeText(const LocalTime &t) const override;
  std::string DayName(int weekday) const override;
  std::string MonthShortName(int month) const override;

private:
  LocalTime At(std::time_t now) const;

  mutable std::time_t mReadAt = -1;
  mutable LocalTime mRead;
};

class QtAppInfo : public IAppInfo {
public:
  std::string ExeFolder() const override;
  std::string ExeName() const override;
  std::string ExePath() const override;
  int VersionMajor() const override;
  int VersionMinor() const override;
  int VersionRevision() const override;
};

class QtShell : public IShell {
public:
  bool Open(const std::string &target) override;
};

} // namespace kestrel::qt
