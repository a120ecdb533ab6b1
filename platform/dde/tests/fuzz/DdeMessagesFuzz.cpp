// Feeds arbitrary messages to every DDE decoder: none may crash, and what one
// accepts must encode back to the same message.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "DdeMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vokar::dde;
  if (size < 17) return 0;
  vokar::desktop::Message message;
  message.message = WM_DDE_FIRST + data[0] % 9;
  std::memcpy(&message.wParam, data + 1, 8);
  std::memcpy(&message.lParam, data + 9, 8);
  message.payload.assign(reinterpret_cast<const char*>(data + 17), size - 17);

  const auto same = [&](const vokar::desktop::Message& encoded) {
    if (encoded.message != message.message || encoded.wParam != message.wParam || encoded.payload != message.payload) {
      __builtin_trap();
    }
  };
  if (auto m = DecodeInitiate(message)) same(Encode(*m.value));
  if (auto m = DecodeInitiateAck(message)) same(Encode(*m.value));
  if (auto m = DecodePoke(message)) same(Encode(*m.value));
  if (auto m = DecodeExecute(message)) same(Encode(*m.value));
  if (auto m = DecodeTransactionAck(message)) same(Encode(*m.value));
  if (auto m = DecodeTerminate(message)) same(Encode(*m.value));
  return 0;
}
