// Reading the suite's configuration and list files a line and a word at a
// time. A line ends at '\n' (a '\r' before it stays in the line for the
// caller's blanks to take), the last line needs no '\n', and lines are
// counted from 1 for the messages that name them. Blanks are spaces, tabs and
// carriage returns; '#' where a word would start begins a comment.
#pragma once

#include <cstddef>
#include <string_view>

namespace vokar::text {

class CLines {
 public:
  explicit CLines(std::string_view text) : rest_(text) {}

  // The next line without its '\n'; false when the text is used up (an empty
  // text has no lines, and a '\n' at the end starts none).
  bool Next(std::string_view& line) {
    if (rest_.empty()) return false;
    const std::size_t end = rest_.find('\n');
    line = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    ++number_;
    return true;
  }

  // The number of the line Next gave last, from 1; 0 before the first.
  std::size_t number() const { return number_; }

 private:
  std::string_view rest_;
  std::size_t number_ = 0;
};

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The line without the blanks at either end.
inline std::string_view TrimBlanks(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  return line;
}

// Moves *at past blanks to the start of the next word; false when the line
// ends there or a comment starts.
inline bool SkipToWord(std::string_view line, std::size_t& at) {
  while (at < line.size() && IsBlank(line[at])) ++at;
  return at < line.size() && line[at] != '#';
}

}  // namespace vokar::text
