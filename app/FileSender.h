// Sends a file's bytes raw through the communications control, paced by the
// control's output queue.
//
// Pump is called often (every 10 ms) on the user-interface thread. Each call
// reads more of the file only while the control holds less than kHighWater
// bytes not yet gone out, so memory stays bounded for any file size and a
// slow line never holds the thread: Pump neither waits for the line nor
// reads more than the queue can take. Cancel throws away what the control
// still holds, so the line falls quiet at once.
//
// The file is sent as it was when chosen: one that grows or shrinks meanwhile
// (a log still being written, a build replacing its image) would reach the
// device as neither the old file nor the new one, so sending stops at the
// first sign of a new size, throwing away what is queued, and SizeChanged
// says how far it got. A file written again at the same size (an image copied
// over in place) stops the same way as Changed, told by its modification time.
#pragma once

#include "CommControl.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <sys/stat.h>

namespace kestrel {

class FileSender {
public:
  static constexpr std::int32_t kHighWater = 256 * 1024;
  static constexpr std::size_t kChunk = 64 * 1024;

  enum class State { Idle, Sending, Done, PortClosed, ReadFailed, SizeChanged, Changed };

  explicit FileSender(ICommControl &comm);
  ~FileSender();
  FileSender(const FileSender &) = delete;
  FileSender &operator=(const FileSender &) = delete;

  // Opens a regular file for sending. 0 or the errno of the failure: EISDIR
  // for a folder, ENODEV for a FIFO, device or socket.
  int Open(const std::string &path);
  State Pump();
  void Cancel();

  State Status() const { return mState; }
  std::uint64_t Size() const { return mSize; }
  // Bytes that have left the control (those read minus those still queued).
  std::uint64_t Sent() const;
  int ReadError() const { return mReadError; }
  // After SizeChanged: the file's size then (as far as it could be told); after
  // SizeChanged or Changed: the bytes that had left the control when sending
  // stopped.
  std::uint64_t NewSize() const { return mNewSize; }
  std::uint64_t SentWhenStopped() const { return mSentWhenStopped; }

private:
  void Finish(State state);
  bool Unchanged(const struct stat &st);
  void StopChanged(State state, std::uint64_t size);

  ICommControl &mComm;
  int mFd = -1;
  std::uint64_t mSize = 0;
  std::uint64_t mRead = 0;
  struct timespec mModified {};
  State mState = State::Idle;
  int mReadError = 0;
  std::uint64_t mNewSize = 0;
  std::uint64_t mSentWhenStopped = 0;
  std::string mChunk;
};

// "1.5 MB of 10.0 MB sent, 950.0 KB/s, 9 s left" for the progress dialog;
// rate and time left appear once a quarter second has passed.
std::string SendProgressText(std::uint64_t sent, std::uint64_t size, std::int64_t elapsedMs);

} // namespace kestrel
