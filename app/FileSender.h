// Sends a file's bytes raw through the communications control, paced by the
// control's output queue.
//
// Pump is called often (every 10 ms) on the user-interface thread. Each call
// reads more of the file only while the control holds less than kHighWater
// bytes not yet gone out, so memory stays bounded for any file size and a
// slow line never holds the thread: Pump neither waits for the line nor
// reads more than the queue can take. Cancel throws away what the control
// still holds, so the line falls quiet at once.
#pragma once

#include "CommControl.h"

#include <cstdint>
#include <string>

namespace kestrel {

class FileSender {
public:
  static constexpr std::int32_t kHighWater = 256 * 1024;
  static constexpr std::size_t kChunk = 64 * 1024;

  enum class State { Idle, Sending, Done, PortClosed, ReadFailed };

  explicit FileSender(ICommControl &comm);
  ~FileSender();
  FileSender(const FileSender &) = delete;
  FileSender &operator=(const FileSender &) = delete;

  // Opens a regular file for sending. 0 or the errno of the failure (EINVAL
  // for something other than a regular file).
  int Open(const std::string &path);
  State Pump();
  void Cancel();

  State Status() const { return mState; }
  std::uint64_t Size() const { return mSize; }
  // Bytes that have left the control (those read minus those still queued).
  std::uint64_t Sent() const;
  int ReadError() const { return mReadError; }

private:
  void Finish(State state);

  ICommControl &mComm;
  int mFd = -1;
  std::uint64_t mSize = 0;
  std::uint64_t mRead = 0;
  State mState = State::Idle;
  int mReadError = 0;
  std::string mChunk;
};

// "1.5 MB of 10.0 MB sent, 950.0 KB/s, 9 s left" for the progress dialog;
// rate and time left appear once a quarter second has passed.
std::string SendProgressText(std::uint64_t sent, std::uint64_t size, std::int64_t elapsedMs);

} // namespace kestrel
