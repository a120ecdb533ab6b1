// Feeds arbitrary bytes to the exception-dictionary reader and looks up the
// keys the text itself suggests, both as they stand and with a capital.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ExceptionDict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vokar::CExceptionDict dict;
  dict.LoadFromText(text);
  if (dict.Size() > size / 3 + 1) std::abort();  // a pair needs three bytes at least

  // Every word of the first line is looked up; a hit is never empty.
  const auto firstLine = text.substr(0, text.find('\n'));
  std::size_t start = 0;
  while (start < firstLine.size()) {
    auto end = firstLine.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = firstLine.size();
    const auto word = firstLine.substr(start, end - start);
    if (auto hit = dict.LookupWord(word); hit && hit->empty()) std::abort();
    start = end + 1;
  }
  return 0;
}
