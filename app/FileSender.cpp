#include "FileSender.h"

#include "PosixFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

FileSender::FileSender(ICommControl &comm) : mComm(comm) {}

FileSender::~FileSender() {
  if (mFd >= 0)
    ::close(mFd);
}

int FileSender::Open(const std::string &path) {
  if (mFd >= 0)
    ::close(mFd);
  mFd = -1;
  mState = State::Idle;
  mRead = mSize = mNewSize = mSentWhenStopped = 0;
  mReadError = 0;
  const OpenedFile file = OpenRegularFile(path, O_RDONLY);
  if (file.fd < 0)
    return file.error ? file.error : file.type == FileType::Folder ? EISDIR : ENODEV;
  mFd = file.fd;
  mSize = file.size;
  mModified = file.modified;
  mState = State::Sending;
  return 0;
}

FileSender::State FileSender::Pump() {
  if (mState != State::Sending)
    return mState;
  if (!mComm.PortOpen()) {
    Finish(State::PortClosed);
    return mState;
  }
  struct stat st {};
  if (mFd >= 0 && ::fstat(mFd, &st) == 0 && !Unchanged(st))
    return mState;
  mChunk.resize(kChunk);
  while (mFd >= 0 && mComm.OutBufferCount() < kHighWater) {
    // No more than the size announced is read; one byte past it, if there
    // is one, says the file grew.
    const std::size_t want =
        mRead < mSize ? static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, mSize - mRead))
                      : 1;
    ssize_t n = ::read(mFd, mChunk.data(), want);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      mReadError = errno;
      mComm.OutBufferCount(0);
      Finish(State::ReadFailed);
      return mState;
    }
    if (n == 0 && mRead < mSize) {
      StopChanged(State::SizeChanged, mRead);
      return mState;
    }
    if (n > 0 && mRead >= mSize) {
      StopChanged(State::SizeChanged,
                  ::fstat(mFd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : mSize + 1);
      return mState;
    }
    // What was read since the last look may already be the new file's.
    if (n == 0 && ::fstat(mFd, &st) == 0 && !Unchanged(st))
      return mState;
    if (n == 0) {
      ::close(mFd);
      mFd = -1;
      break;
    }
    mRead += static_cast<std::uint64_t>(n);
    if (mComm.Output(mChunk.substr(0, static_cast<std::size_t>(n))) != comNoError) {
      Finish(State::PortClosed);
      return mState;
    }
  }
  if (mFd < 0 && mComm.OutBufferCount() == 0)
    Finish(State::Done);
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

bool FileSender::Unchanged(const struct stat &st) {
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (size != mSize)
    StopChanged(State::SizeChanged, size);
  else if (st.st_mtim.tv_sec != mModified.tv_sec || st.st_mtim.tv_nsec != mModified.tv_nsec)
    StopChanged(State::Changed, size);
  return mState == State::Sending;
}

void FileSender::StopChanged(State state, std::uint64_t size) {
  mNewSize = size;
  mSentWhenStopped = Sent();
  mComm.OutBufferCount(0);
  Finish(state);
}

void FileSender::Finish(State state) {
  if (mFd >= 0)
    ::close(mFd);
  mFd = -1;
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
