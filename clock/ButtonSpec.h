// The command buttons of the clock's window are described by strings of the
// string table: the caption, then top, width and height in dialog units
// ("&Godzina,        7,   50, 14").
#pragma once

#include <string>
#include <string_view>

namespace vokar::clock {

struct ButtonSpec {
  std::string caption;
  int top = 7;
  int width = 50;
  int height = 14;
  friend bool operator==(const ButtonSpec&, const ButtonSpec&) = default;
};

// The caption is the first token, split at commas, blanks or tabs; the three
// numbers follow in that order. A number that is missing or cannot be read
// keeps its default (top 7, width 50, height 14).
ButtonSpec ParseButtonSpec(std::string_view text);

}  // namespace vokar::clock
