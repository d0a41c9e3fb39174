// Send File into a pseudo-terminal whose far end reads everything: reports
// MB/s, CPU seconds per MB (the whole process, the far end's reading thread
// included) and resident memory after the first 10 % and at the end, which
// stay the same for any file size since the file is read only as fast as the
// queue drains.
//
// Usage: send_file_bench [megabytes]   (default 256; the file is sparse, so
// 1024 and more cost no disk space)
// The sender is pumped every 10 ms, as the program's timer does.
#include "FileSender.h"
#include "PosixCommControl.h"
#include "ProcessUsage.h"
#include "Pty.h"
#include "TempDir.h"
#include "UiQueue.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::bench;
using namespace kestrel::test;

int main(int argc, char **argv) {
  const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
  const std::uint64_t size = megabytes << 20;
  Pty pty;
  if (!pty.Ok()) {
    std::fprintf(stderr, "no pseudo-terminal to be had\n");
    return 2;
  }
  TempDir dir;
  const std::string path = dir.File("send.bin");
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    std::fprintf(stderr, "cannot make the file\n");
    return 2;
  }
  ::close(fd);

  DeviceMap devices;
  devices.Map(1, pty.SlavePath());
  UiQueue ui;
  PosixCommControl comm(devices, ui.Poster());
  if (comm.Settings("115200,N,8,1") != comNoError || comm.PortOpen(true) != comNoError) {
    std::fprintf(stderr, "the port did not open: %s\n", comm.LastErrorText().c_str());
    return 2;
  }

  std::atomic<std::uint64_t> arrived{0};
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    std::string buffer(1 << 20, '\0');
    while (!stop && arrived < size) {
      pollfd p{pty.Master(), POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0)
        continue;
      ssize_t n = ::read(pty.Master(), buffer.data(), buffer.size());
      if (n > 0)
        arrived += static_cast<std::uint64_t>(n);
    }
  });

  FileSender sender(comm);
  if (sender.Open(path) != 0) {
    std::fprintf(stderr, "cannot read the file\n");
    return 2;
  }
  const long rssStart = RssKb();
  long rssTenth = 0;
  const auto start = std::chrono::steady_clock::now();
  const double cpu0 = CpuSeconds();
  while (sender.Pump() == FileSender::State::Sending) {
    ui.PumpFor(std::chrono::milliseconds(10));
    if (!rssTenth && sender.Sent() > size / 10)
      rssTenth = RssKb();
  }
  while (arrived < size && std::chrono::steady_clock::now() - start < std::chrono::minutes(30))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = CpuSeconds() - cpu0;
  stop = true;
  reader.join();
  const long rssEnd = RssKb();
  comm.PortOpen(false);

  const double mb = static_cast<double>(size) / 1048576.0;
  std::printf("sent %.0f MB in %.2f s: %.1f MB/s, %.4f CPU s/MB\n", mb, seconds, mb / seconds,
              cpu / mb);
  std::printf("resident memory: %.1f MB before, %.1f MB after 10 %%, %.1f MB at the end\n",
              rssStart / 1024.0, rssTenth / 1024.0, rssEnd / 1024.0);
  const bool ok = arrived == size && sender.Status() == FileSender::State::Done;
  std::printf("%s\n", ok ? "every byte arrived" : "BYTES MISSING");
  return ok ? 0 : 1;
}
