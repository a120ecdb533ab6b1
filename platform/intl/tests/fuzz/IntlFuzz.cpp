// Any bytes as the text of intl.ini: the values come out of it without a
// crash, each separator one byte, the short-date pattern at most 15.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Intl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto values = vokar::intl::ParseIntl(text);
  if (values.shortDate.size() > 15) std::abort();
  // Section and key names taken from the input itself.
  if (size > 4) (void)vokar::intl::FindIniValue(text.substr(4), text.substr(0, 2), text.substr(2, 2));
  return 0;
}
