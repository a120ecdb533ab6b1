// Any bytes given to the version reader end in a version or an error.
#include <cstddef>
#include <cstdint>

#include "VersionReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto result = vokar::version::ReadVersionFromBytes({data, size});
  if (result) return result.value().ToString().empty() ? 1 : 0;
  return result.error().description.empty() ? 1 : 0;
}
