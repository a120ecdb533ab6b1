// Any bytes given to the .reg reader end in a list of operations or an error
// that names a line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parsed = vokar::registry::ParseRegText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed) return parsed.error().description.rfind("line ", 0) == 0 ? 0 : 1;
  return 0;
}
