// What this benchmark process has used so far: CPU time (user and system),
// resident memory now and at its peak, read from the kernel's accounting.
#pragma once

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace kestrel::bench {

inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

inline long RssKb() {
  long pages = 0, resident = 0;
  if (FILE *f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
      resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace kestrel::bench
