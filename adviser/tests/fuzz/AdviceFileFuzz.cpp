// Any bytes as an advice file: text mode, the code page, lines of at most 255
// characters, and the line every draw and every LastRow would choose.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "AdviceFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vokar::adviser;
  if (size < 8) return 0;
  std::uint32_t draw = 0;
  std::int32_t lastRow = 0;
  __builtin_memcpy(&draw, data, 4);
  __builtin_memcpy(&lastRow, data + 4, 4);
  const std::string text = TextModeCp1250(std::string_view(reinterpret_cast<const char*>(data + 8), size - 8));
  const auto lines = SplitLines(text);
  std::size_t total = 0;
  for (const auto line : lines) {
    if (line.empty() || line.size() > kLineLength) std::abort();
    total += line.size();
  }
  if (total != text.size()) std::abort();
  const auto n = static_cast<std::int64_t>(lines.size());
  if (n == 0) return 0;
  const std::int64_t random = RandomLine(draw % (kRandomMax + 1), n);
  const std::int64_t next = NextLine(lastRow, n);
  if (random < 0 || random >= n || next < 0 || next >= n) std::abort();
  return 0;
}
