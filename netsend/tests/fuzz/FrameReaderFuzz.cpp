// The agent's frame reader and decoder on arbitrary bytes, fed in pieces as
// a connection delivers them: never a crash, never a frame above the limit,
// and every decoded frame encodes back to the same body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Wire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vokar::netdde;
  if (size == 0) return 0;
  // The first byte chooses how the rest is cut into arrivals.
  const std::size_t piece = 1 + data[0] % 64;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  FrameReader reader;
  std::string body;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    reader.Feed(bytes.substr(at, piece));
    for (;;) {
      const auto status = reader.Next(body);
      if (status != FrameReader::Status::Frame) break;
      if (body.empty() || body.size() > kMaxFrameBody) std::abort();
      const DecodedFrame decoded = Decode(body);
      if (!decoded) continue;
      const auto again = Encode(*decoded.frame);
      if (!again || again->substr(kLengthBytes) != body) std::abort();
    }
  }
  return 0;
}
