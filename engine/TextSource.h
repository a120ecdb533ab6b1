// A read position on one NUL-terminated text: the scanner's main text or a
// dictionary replacement. Reading past the end yields NUL bytes, so a reader
// never runs off the text; the one-character step back makes that symmetric.
#pragma once

#include <cstddef>
#include <string_view>

namespace vokar {

class CTextSource {
 public:
  CTextSource() = default;
  // The text ends at its first NUL byte, if it holds one.
  explicit CTextSource(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

  // The byte at the position plus ahead, or 0 beyond the end.
  unsigned char Peek(std::size_t ahead = 0) const {
    const std::size_t at = pos_ + ahead;
    return at < text_.size() ? static_cast<unsigned char>(text_[at]) : 0;
  }
  unsigned char Next() {
    const unsigned char c = Peek();
    ++pos_;
    return c;
  }
  void StepBack() {
    if (pos_ > 0) --pos_;
  }
  std::size_t Position() const { return pos_; }
  void SetPosition(std::size_t pos) { pos_ = pos; }
  // True when nothing but the terminating NUL is left unread.
  bool Exhausted() const { return pos_ >= text_.size(); }
  std::string_view Text() const { return text_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace vokar
