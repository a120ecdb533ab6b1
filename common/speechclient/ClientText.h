// Texts both speech clients build: the messages (printf patterns from the
// string tables) and the commands, which go with their terminating NUL.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vokar::speechclient {

template <class... Values>
std::string Format(const char* pattern, Values... values) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  const int length = std::snprintf(nullptr, 0, pattern, values...);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  std::snprintf(text.data(), text.size() + 1, pattern, values...);
#pragma GCC diagnostic pop
  return text;
}

inline std::string WithNul(std::string_view text) {
  std::string data(text);
  data.push_back('\0');
  return data;
}

}  // namespace vokar::speechclient
