// The server's one text buffer: every source (a DDE poke, the clipboard, a
// dropped or queued file, the test sentence) stores a text in it, and the next
// reading job speaks it. 65280 bytes; each writer stores at most its own limit
// of bytes and a NUL after them.
#pragma once

#include <array>
#include <cstring>
#include <string_view>

#include "ServerIds.h"

namespace vokar::server {

class CTextBuffer {
 public:
  CTextBuffer() { bytes_[0] = '\0'; }

  // Stores at most maxBytes bytes of text (never more than the buffer takes
  // with its NUL) and a NUL after them; returns how many were stored.
  std::size_t Store(std::string_view text, std::size_t maxBytes) {
    std::size_t count = std::min({text.size(), maxBytes, kTextBufferSize - 1});
    std::memcpy(bytes_.data(), text.data(), count);
    bytes_[count] = '\0';
    return count;
  }

  // The text up to its first NUL.
  std::string_view Text() const { return std::string_view(bytes_.data()); }

 private:
  std::array<char, kTextBufferSize> bytes_;
};

}  // namespace vokar::server
