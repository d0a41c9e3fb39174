// Sends a file's bytes raw through the communications control, paced by the
// control's output queue.
//
// Pump is called often (every 10 ms) on the user-interface thread. Each call
// hands on more of the file only while the control holds less than kHighWater
// bytes not yet gone out, so memory stays bounded for any file size and a
// slow line never holds the thread: Pump neither waits for the line nor
// takes more than the queue can take. Cancel throws away what the control
// still holds, so the line falls quiet at once.
//
// The file is read, and looked at, on a thread of its own, when Pump asks:
// a file on a share that stalls (a server gone, a disk spinning up) stalls
// that thread, never the window. Pump waits for the reader only while it
// keeps up, for at most kPatienceMs at a time; once a read or a look has kept
// it waiting that long, the send goes on at the reader's pace, a chunk ahead,
// and Pump takes what is there. A stalled reader is let go at Cancel: it
// ends, and closes the file, when its read returns.
//
// The file is sent as it was when chosen: one that grows or shrinks meanwhile
// (a log still being written, a build replacing its image) would reach the
// device as neither the old file nor the new one, so sending stops at the
// first sign of a new size, throwing away what is queued, and SizeChanged
// says how far it got. A file written again at the same size (an image copied
// over in place) stops the same way as Changed, told by its modification time.
// The file is looked at once every Pump, and again at its end.
#pragma once

#include "CommControl.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace kestrel {

class FileSender {
public:
  static constexpr std::int32_t kHighWater = 256 * 1024;
  static constexpr std::size_t kChunk = 64 * 1024;
  static constexpr int kPatienceMs = 200;
  // Reads from the file: ::read unless told otherwise (a test's stalling file).
  using ReadFunction = std::function<ssize_t(int fd, char *buffer, std::size_t size)>;

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
  void ReadWith(ReadFunction read) { mReadFunction = std::move(read); }

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
  struct Reader;
  void Finish(State state);
  bool Unchanged(std::uint64_t size, const struct timespec &modified);
  void StopChanged(State state, std::uint64_t size);
  // Waits for the reader while it keeps up; false once it has not.
  template <class Ready> bool Await(std::unique_lock<std::mutex> &lock, Ready ready);

  ICommControl &mComm;
  std::uint64_t mSize = 0;
  // Bytes handed to the control.
  std::uint64_t mRead = 0;
  struct timespec mModified {};
  State mState = State::Idle;
  int mReadError = 0;
  std::uint64_t mNewSize = 0;
  std::uint64_t mSentWhenStopped = 0;
  bool mPatient = true;
  std::shared_ptr<Reader> mReader;
  ReadFunction mReadFunction;
};

// "1.5 MB of 10.0 MB sent, 950.0 KB/s, 9 s left" for the progress dialog;
// rate and time left appear once a quarter second has passed.
std::string SendProgressText(std::uint64_t sent, std::uint64_t size, std::int64_t elapsedMs);

} // namespace kestrel
