// The agent's frame reader and decoder on arbitrary bytes, fed in pieces as
// a connection delivers them: never a crash, never a frame above the limit,
// and every decoded frame encodes back to the same body. The text of every
// poke then goes through the agent's filter, after which no wave-insert tag
// is left in it in any case.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "RemoteText.h"
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
      if (const auto* poke = std::get_if<Poke>(&*decoded.frame)) {
        std::string text = poke->data;
        RemoveWaveInserts(text);
        for (std::size_t at = text.find('\\'); at != std::string::npos; at = text.find('\\', at + 1)) {
          const std::string_view after = std::string_view(text).substr(at + 1, 4);
          if (after.size() == 4 && (after[0] | 0x20) == 'w' && (after[1] | 0x20) == 'a' && (after[2] | 0x20) == 'v' &&
              after[3] == '=')
            std::abort();
        }
      }
    }
  }
  return 0;
}
