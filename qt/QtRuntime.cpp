#include "QtRuntime.h"

#include "QtControls.h"
#include "Version.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

#include <cstdio>

namespace kestrel::qt {

void SetApplicationIdentity() {
  QApplication::setApplicationName(QStringLiteral("kestrel-terminal"));
  QApplication::setDesktopFileName(QStringLiteral("io.github.kestrel_terminal.kestrel_terminal"));
  QApplication::setWindowIcon(ProgramIcon());
}

// Qt's long time format carries the zone's name ("t"); the platform's long
// time, hours to seconds, has none. The zone goes with what only set it off:
// the blanks, commas and brackets around it ("HH:mm:ss (t)", "Bh:mm:ss [t]",
// "HH:mm:ss, t"). Some locales also bring a day period ("B") that this Qt
// does not know and would print as the letter itself; the morning and
// afternoon text stands in for it.
static bool ZoneDebris(QChar ch) {
  return ch.isSpace() || QStringView(u",([)]\uFF08\uFF09\u3010\u3011").contains(ch);
}

static QString LongTimeWithoutZone(const QLocale &locale) {
  const QString format = locale.timeFormat(QLocale::LongFormat);
  const bool knowsDayPeriod = locale.toString(QTime(3, 0), QStringLiteral("B")) != u"B";
  QString kept;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size();) {
    const QChar ch = format.at(i);
    if (ch == u'\'')
      quoted = !quoted;
    if (quoted || (ch != u't' && (ch != u'B' || knowsDayPeriod))) {
      kept += ch;
      ++i;
      continue;
    }
    while (i < format.size() && format.at(i) == ch)
      ++i;
    if (ch == u'B') {
      kept += QStringLiteral("AP");
      continue;
    }
    while (!kept.isEmpty() && ZoneDebris(kept.back()))
      kept.chop(1);
    while (i < format.size() && ZoneDebris(format.at(i)))
      ++i;
    // A zone between two fields leaves them one blank apart.
    if (!kept.isEmpty() && i < format.size())
      kept += u' ';
  }
  return kept;
}

// The same reading as with milliseconds, not time(): that reads the kernel's
// coarse clock, which turns to the next second up to a tick later, so a plain
// stamp taken just after one with milliseconds could go a second back.
LocalTime QtClock::Now() const {
  LocalTime t = NowWithMilliseconds();
  t.millisecond = 0;
  return t;
}

// One reading of the clock, so the second and its milliseconds agree.
LocalTime QtClock::NowWithMilliseconds() const {
  std::timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  LocalTime t = At(ts.tv_sec);
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

LocalTime QtClock::At(std::time_t now) const {
  if (now != mReadAt) {
    // Qt's local time reads the zone file on every call; the C library's
    // reads it again only when told, here once a minute, so that a change of
    // the machine's zone is seen soon.
    if (mReadAt < 0 || now / 60 != mReadAt / 60)
      ::tzset();
    std::tm tm{};
    ::localtime_r(&now, &tm);
    mRead = LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                      tm.tm_min,         tm.tm_sec,     tm.tm_wday};
    mReadAt = now;
  }
  return mRead;
}

std::string QtClock::DefaultDateTimeText(const LocalTime &t) const {
  QDateTime when(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
  QLocale locale;
  QString text = locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                 locale.toString(when.time(), LongTimeWithoutZone(locale));
  // The display holds one byte a character, read as Latin-1. Some locales put a narrow or
  // no-break space between the time and its AM/PM; those read as blanks.
  bool latin1 = true;
  for (QChar &ch : text) {
    if (ch.isSpace())
      ch = QLatin1Char(' ');
    latin1 = latin1 && ch.unicode() <= 0xFF;
  }
  if (latin1)
    return text.toLatin1().toStdString();
  // A locale that writes its date or time in other characters (Korean, Cyrillic, Arabic
  // digits) would show as byte debris; the display's own time prefix stands in for it.
  char fallback[32];
  std::snprintf(fallback, sizeof fallback, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return fallback;
}

std::string QtClock::DayName(int weekday) const {
  // Qt counts Monday 1 to Sunday 7.
  return FromQt(QLocale().dayName(weekday == 0 ? 7 : weekday, QLocale::LongFormat));
}

std::string QtClock::MonthShortName(int month) const {
  return FromQt(QLocale().monthName(month, QLocale::ShortFormat));
}

std::string QtAppInfo::ExeFolder() const {
  return QCoreApplication::applicationDirPath().toLocal8Bit().toStdString();
}

std::string QtAppInfo::ExeName() const {
  return QFileInfo(QCoreApplication::applicationFilePath())
      .completeBaseName()
      .toLocal8Bit()
      .toStdString();
}

std::string QtAppInfo::ExePath() const {
  return QCoreApplication::applicationFilePath().toLocal8Bit().toStdString();
}

int QtAppInfo::VersionMajor() const {
  return KESTREL_VERSION_MAJOR;
}
int QtAppInfo::VersionMinor() const {
  return KESTREL_VERSION_MINOR;
}
int QtAppInfo::VersionRevision() const {
  return KESTREL_VERSION_PATCH;
}

bool QtShell::Open(const std::string &target) {
  return QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromLocal8Bit(target.c_str())));
}

} // namespace kestrel::qt
