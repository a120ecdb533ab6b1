#include "ButtonSpec.h"

#include <charconv>
#include <vector>

namespace vokar::clock {

ButtonSpec ParseButtonSpec(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of(", \t", start);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    if (stop > start) tokens.push_back(text.substr(start, stop - start));
    start = stop + 1;
  }
  ButtonSpec spec;
  if (tokens.empty()) return spec;
  spec.caption = std::string(tokens[0]);
  int* fields[] = {&spec.top, &spec.width, &spec.height};
  for (std::size_t i = 0; i < 3 && i + 1 < tokens.size(); ++i) {
    const std::string_view token = tokens[i + 1];
    int value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error == std::errc() && end == token.data() + token.size() && value >= 0 && value <= 1000) *fields[i] = value;
  }
  return spec;
}

}  // namespace vokar::clock
