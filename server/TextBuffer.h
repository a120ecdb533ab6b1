// The server's one text buffer: every source (a DDE poke, the clipboard, a
// dropped or queued file, the test sentence) stores a text in it, and the next
// reading job speaks it. 65280 bytes; each writer stores at most its own limit
// of bytes and a NUL after them. The buffer remembers whether its text came
// from another computer through the network share, so that whoever has it
// read, it is read as such.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "ReadingJob.h"
#include "ServerIds.h"

namespace vokar::server {

class CTextBuffer {
 public:
  CTextBuffer() { bytes_[0] = '\0'; }

  // Stores at most maxBytes bytes of text (never more than the buffer takes
  // with its NUL) and a NUL after them; returns how many were stored.
  // Every writer but the share's poke stores a text of this computer.
  std::size_t Store(std::string_view text, std::size_t maxBytes, TextOrigin origin = TextOrigin::Local) {
    std::size_t count = std::min({text.size(), maxBytes, kTextBufferSize - 1});
    std::memcpy(bytes_.data(), text.data(), count);
    bytes_[count] = '\0';
    origin_ = origin;
    return count;
  }

  // The text up to its first NUL.
  std::string_view Text() const { return std::string_view(bytes_.data()); }
  TextOrigin origin() const { return origin_; }

 private:
  std::array<char, kTextBufferSize> bytes_;
  TextOrigin origin_ = TextOrigin::Local;
};

}  // namespace vokar::server
