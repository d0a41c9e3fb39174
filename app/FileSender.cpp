#include "FileSender.h"

#include "PosixFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace kestrel {

// What the reader thread and the sender share; the reader holds it as long as it runs, so a
// sender that has let it go leaves it nothing to touch but this.
struct FileSender::Reader {
  struct Look {
    bool ok = false;
    std::uint64_t size = 0;
    struct timespec modified {};
  };
  static Look LookAt(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
      return {};
    return {true, static_cast<std::uint64_t>(st.st_size), st.st_mtim};
  }

  std::mutex m;
  std::condition_variable changed; // either side's news
  int fd = -1;
  std::uint64_t size = 0; // as chosen
  ReadFunction read;
  // The sender's side.
  bool stop = false;
  bool lookAsked = false;
  // Chunks to have ready: the reader reads only when asked, so a file is read while Pump runs
  // as long as the reader keeps up, and never between two Pumps.
  std::size_t wanted = 0;
  // The reader's side.
  std::deque<std::string> chunks;
  std::uint64_t readTotal = 0;
  bool lookDone = false;
  Look look;
  bool finished = false; // nothing more will be read
  int error = 0;
  // The file ended before its size, or had more: its size then, as far as it could be told.
  bool changedSize = false;
  std::uint64_t sizeAfter = 0;
  bool end = false; // read to its size, and looked at after the last read
  Look endLook;

  void Run();
};

void FileSender::Reader::Run() {
  std::string buffer;
  std::unique_lock lock(m);
  while (!stop && !finished) {
    if (lookAsked) {
      lookAsked = false;
      lock.unlock();
      const Look seen = LookAt(fd);
      lock.lock();
      look = seen;
      lookDone = true;
      changed.notify_all();
      continue;
    }
    if (chunks.size() >= wanted) {
      changed.wait(lock);
      continue;
    }
    // No more than the size announced is read; one byte past it, if there is one, says the
    // file grew.
    const std::size_t want =
        readTotal < size
            ? static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - readTotal))
            : 1;
    const std::uint64_t at = readTotal;
    lock.unlock();
    buffer.resize(want);
    ssize_t n;
    do
      n = read(fd, buffer.data(), want);
    while (n < 0 && errno == EINTR);
    const int failure = n < 0 ? errno : 0;
    // What was read since the last look may already be the new file's.
    const Look after = n == 0 || at >= size ? LookAt(fd) : Look{};
    lock.lock();
    if (n < 0) {
      error = failure;
      finished = true;
    } else if (n == 0 && at < size) {
      changedSize = finished = true;
      sizeAfter = after.ok ? after.size : at;
    } else if (n > 0 && at >= size) {
      changedSize = finished = true;
      sizeAfter = after.ok ? after.size : size + 1;
    } else if (n == 0) {
      end = finished = true;
      endLook = after;
    } else {
      readTotal += static_cast<std::uint64_t>(n);
      chunks.emplace_back(buffer.data(), static_cast<std::size_t>(n));
    }
    changed.notify_all();
  }
  const int file = fd;
  fd = -1;
  lock.unlock();
  ::close(file);
}

FileSender::FileSender(ICommControl &comm) : mComm(comm) {}

FileSender::~FileSender() {
  Finish(mState);
}

int FileSender::Open(const std::string &path) {
  Finish(State::Idle);
  mRead = mSize = mNewSize = mSentWhenStopped = 0;
  mReadError = 0;
  mPatient = true;
  const OpenedFile file = OpenRegularFile(path, O_RDONLY);
  if (file.fd < 0)
    return file.error ? file.error : file.type == FileType::Folder ? EISDIR : ENODEV;
  auto reader = std::make_shared<Reader>();
  reader->fd = file.fd;
  reader->size = file.size;
  reader->read = mReadFunction ? mReadFunction : [](int fd, char *buffer, std::size_t size) {
    return ::read(fd, buffer, size);
  };
  try {
    std::thread([reader] { reader->Run(); }).detach();
  } catch (const std::system_error &) {
    ::close(file.fd);
    return EAGAIN;
  }
  mReader = std::move(reader);
  mSize = file.size;
  mModified = file.modified;
  mState = State::Sending;
  return 0;
}

template <class Ready> bool FileSender::Await(std::unique_lock<std::mutex> &lock, Ready ready) {
  if (ready())
    return true;
  if (!mPatient)
    return false;
  if (mReader->changed.wait_for(lock, std::chrono::milliseconds(kPatienceMs), ready))
    return true;
  mPatient = false;
  return false;
}

FileSender::State FileSender::Pump() {
  if (mState != State::Sending)
    return mState;
  if (!mComm.PortOpen()) {
    Finish(State::PortClosed);
    return mState;
  }
  Reader &r = *mReader;
  std::unique_lock lock(r.m);
  if (!r.finished && !r.lookAsked && !r.lookDone) {
    r.lookAsked = true;
    r.changed.notify_all();
  }
  // A size the reader found changed stops the send at once, as a look would have.
  if (Await(lock, [&r] { return r.lookDone || r.finished; }) && r.changedSize) {
    const std::uint64_t size = r.sizeAfter;
    lock.unlock();
    StopChanged(State::SizeChanged, size);
    return mState;
  }
  if (r.lookDone) {
    r.lookDone = false;
    const Reader::Look look = r.look;
    lock.unlock();
    if (look.ok && !Unchanged(look.size, look.modified))
      return mState;
    lock.lock();
  }
  while (mComm.OutBufferCount() < kHighWater) {
    if (r.chunks.empty() && !r.finished) {
      r.wanted = 1;
      r.changed.notify_all();
    }
    Await(lock, [&r] { return !r.chunks.empty() || r.finished; });
    if (r.chunks.empty())
      break;
    std::string chunk = std::move(r.chunks.front());
    r.chunks.pop_front();
    // A reader that could not keep up goes on with the next chunk meanwhile.
    r.wanted = mPatient ? 0 : 1;
    lock.unlock();
    mRead += chunk.size();
    if (mComm.Output(chunk) != comNoError) {
      Finish(State::PortClosed);
      return mState;
    }
    lock.lock();
  }
  if (!r.chunks.empty() || !r.finished)
    return mState;
  // All the reader read has been handed on; what it found at the last read decides.
  const int error = r.error;
  const bool changedSize = r.changedSize, end = r.end;
  const std::uint64_t sizeAfter = r.sizeAfter;
  const Reader::Look endLook = r.endLook;
  lock.unlock();
  if (error) {
    mReadError = error;
    mComm.OutBufferCount(0);
    Finish(State::ReadFailed);
  } else if (changedSize) {
    StopChanged(State::SizeChanged, sizeAfter);
  } else if (end && (!endLook.ok || Unchanged(endLook.size, endLook.modified)) &&
             mComm.OutBufferCount() == 0) {
    Finish(State::Done);
  }
  return mState;
}

void FileSender::Cancel() {
  if (mState != State::Sending)
    return;
  mComm.OutBufferCount(0);
  Finish(State::Idle);
}

std::uint64_t FileSender::Sent() const {
  std::uint64_t queued = static_cast<std::uint64_t>(std::max(0, mComm.OutBufferCount()));
  return mRead > queued ? mRead - queued : 0;
}

bool FileSender::Unchanged(std::uint64_t size, const struct timespec &modified) {
  if (size != mSize)
    StopChanged(State::SizeChanged, size);
  else if (modified.tv_sec != mModified.tv_sec || modified.tv_nsec != mModified.tv_nsec)
    StopChanged(State::Changed, size);
  return mState == State::Sending;
}

void FileSender::StopChanged(State state, std::uint64_t size) {
  mNewSize = size;
  mSentWhenStopped = Sent();
  mComm.OutBufferCount(0);
  Finish(state);
}

// The reader is told to stop and let go; one stalled in a read ends when the read returns.
void FileSender::Finish(State state) {
  if (mReader) {
    {
      std::lock_guard lock(mReader->m);
      mReader->stop = true;
    }
    mReader->changed.notify_all();
    mReader.reset();
  }
  mState = state;
}

namespace {
std::string Amount(double bytes) {
  char buffer[32];
  if (bytes < 1024)
    std::snprintf(buffer, sizeof buffer, "%.0f bytes", bytes);
  else if (bytes < 1024.0 * 1024)
    std::snprintf(buffer, sizeof buffer, "%.1f KB", bytes / 1024);
  else if (bytes < 1024.0 * 1024 * 1024)
    std::snprintf(buffer, sizeof buffer, "%.1f MB", bytes / (1024.0 * 1024));
  else
    std::snprintf(buffer, sizeof buffer, "%.2f GB", bytes / (1024.0 * 1024 * 1024));
  return buffer;
}
} // namespace

std::string SendProgressText(std::uint64_t sent, std::uint64_t size, std::int64_t elapsedMs) {
  std::string text =
      Amount(static_cast<double>(sent)) + " of " + Amount(static_cast<double>(size)) + " sent";
  if (elapsedMs < 250)
    return text;
  double rate = static_cast<double>(sent) * 1000.0 / static_cast<double>(elapsedMs);
  text += ", " + Amount(rate) + "/s";
  if (rate >= 1 && sent < size) {
    auto left = static_cast<long long>(static_cast<double>(size - sent) / rate + 0.5);
    char buffer[48];
    if (left >= 3600)
      std::snprintf(buffer, sizeof buffer, ", %lld h %02lld min left", left / 3600,
                    (left % 3600) / 60);
    else if (left >= 60)
      std::snprintf(buffer, sizeof buffer, ", %lld min %02lld s left", left / 60, left % 60);
    else
      std::snprintf(buffer, sizeof buffer, ", %lld s left", left);
    text += buffer;
  }
  return text;
}

} // namespace kestrel
