// Feeds arbitrary byte streams to the frame reader: it may accept, ask for
// more or refuse, but never read past the bytes it was given, and a frame it
// accepts encodes back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vokar::desktop;
  const auto parsed = ParseFrame({data, size});
  if (parsed.status != ParseStatus::Complete) return 0;
  if (parsed.frameSize > size) __builtin_trap();
  const std::string payload(reinterpret_cast<const char*>(data) + kFrameHeaderSize, parsed.header.payloadLength);
  const std::string again = EncodeFrame(parsed.header, payload);
  if (again != std::string(reinterpret_cast<const char*>(data), parsed.frameSize)) __builtin_trap();
  return 0;
}
