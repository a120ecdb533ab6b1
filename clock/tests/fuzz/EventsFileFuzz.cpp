// The events file reader on any bytes: it must refuse or read them without a
// fault, and what it reads must be written back to the same stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "EventsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vokar::clock::EventArrays arrays;
  vokar::clock::EventsReadError error;
  if (!vokar::clock::ParseEventsStream(bytes, arrays, error)) return 0;
  const std::string written = vokar::clock::SerializeEventsStream(arrays);
  vokar::clock::EventArrays again;
  if (!vokar::clock::ParseEventsStream(written, again, error)) std::abort();
  if (again != arrays) std::abort();
  return 0;
}
