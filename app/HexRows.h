// Received bytes as rows of 16: the offset of the row's first byte, the
// bytes in hexadecimal, and their characters (printable codes 32 to 126 as
// themselves, every other as ".").
//
//   00000010  41 42 43 44 45 46 47 48  49 4A 0D 0A 00 FF 7E 20  ABCDEFGHIJ....~
//
// Offsets count from the first byte formatted (the moment the choice is
// made) and grow past eight digits when they need to. Every byte goes on
// screen in the read that brings it: a read that ends inside a row ends a
// short row, and the next read goes on in a row that starts at the next
// offset, each byte in the column its offset gives, so columns read down
// the display always hold the same place in a row of 16:
//
//   00000000  41 42 43 44 45                                    ABCDE
//   00000005                 46 47 48 49 4A 4B 4C 4D 4E 4F 50        FGHIJKLMNOP
//
// Rewriting a row already shown would cost the display its append-only
// text; waiting for a row to fill would hold a typed key's echo back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

class HexRows {
public:
  static constexpr std::size_t kRowBytes = 16;

  // Appends the rows for bytes to rows, each ended by "\n".
  void Format(std::string_view bytes, std::string &rows);
  // The offset the next byte will have.
  std::uint64_t Offset() const { return mOffset; }
  void Restart() { mOffset = 0; }

private:
  void Row(std::string_view bytes, std::size_t column, std::string &rows);

  std::uint64_t mOffset = 0;
};

} // namespace kestrel
