#include "RemoteText.h"

#include <string_view>

namespace vokar::netdde {
namespace {

constexpr std::string_view kKeyword = "Wav=";

bool KeywordAt(const std::string& text, std::size_t at) {
  if (text.size() - at < kKeyword.size()) return false;
  for (std::size_t i = 0; i < kKeyword.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[at + i]);
    const auto k = static_cast<unsigned char>(kKeyword[i]);
    const auto lower = [](unsigned char x) { return x >= 'A' && x <= 'Z' ? static_cast<unsigned char>(x + 32) : x; };
    if (lower(c) != lower(k)) return false;
  }
  return true;
}

}  // namespace

std::size_t RemoveWaveInserts(std::string& text) {
  std::size_t removed = 0;
  std::size_t at = 0;
  while ((at = text.find('\\', at)) != std::string::npos) {
    if (!KeywordAt(text, at + 1)) {
      ++at;
      continue;
    }
    // The tag's argument ends at the first backslash after the keyword.
    const std::size_t close = text.find('\\', at + 1 + kKeyword.size());
    const std::size_t end = close == std::string::npos ? text.size() : close + 1;
    text.erase(at, end - at);
    text.insert(at, 1, ' ');
    ++removed;
    // The blank cannot open a tag; the search goes on after it.
    ++at;
  }
  return removed;
}

}  // namespace vokar::netdde
