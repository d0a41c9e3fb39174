// The error-mark decoder on any byte stream: the result does not depend on
// how the stream is cut into reads, it is never longer than its input, and a
// stream the driver marked decodes to what was sent.
#include "LineEvents.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kestrel::serial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1)
    return 0;
  const std::size_t cut = data[0];
  const std::string_view stream(reinterpret_cast<const char *>(data) + 1, size - 1);

  LineErrorDecoder whole;
  LineErrorDecoder::Marks wholeMarks;
  std::string once;
  whole.Decode(stream, once, wholeMarks);
  if (once.size() > stream.size())
    std::abort();

  // The same stream in reads of cut + 1 bytes.
  LineErrorDecoder pieces;
  LineErrorDecoder::Marks pieceMarks;
  std::string inPieces;
  for (std::size_t at = 0; at < stream.size(); at += cut + 1)
    pieces.Decode(stream.substr(at, cut + 1), inPieces, pieceMarks);
  if (inPieces != once || pieceMarks.errors != wholeMarks.errors ||
      pieceMarks.breaks != wholeMarks.breaks)
    std::abort();

  // Marked as the driver marks: every 0xFF doubled, every byte after a 0x01
  // flagged as received with an error.
  std::string sent, marked;
  std::size_t errors = 0;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    const char ch = stream[i];
    const bool bad = i > 0 && stream[i - 1] == '\x01' && ch != '\0';
    sent += ch;
    if (bad) {
      marked += std::string("\xFF\x00", 2) + ch;
      ++errors;
    } else if (ch == '\xFF') {
      marked += "\xFF\xFF";
    } else {
      marked += ch;
    }
  }
  LineErrorDecoder driver;
  LineErrorDecoder::Marks driverMarks;
  std::string received;
  driver.Decode(marked, received, driverMarks);
  if (received != sent || driverMarks.errors != errors || driverMarks.breaks != 0)
    std::abort();
  return 0;
}
