// Everything the server reads from the bus: DDE messages of any shape and
// order against the server's protocol, and WM_SERVER_OPENFILE paths through
// the file reader. The first bytes choose the message, its wParam and
// lParam, and whether a job runs; the rest is the payload.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "DdeServer.h"
#include "RegularFile.h"
#include "ServerIds.h"
#include "TextBuffer.h"

namespace {

using namespace vokar;
using namespace vokar::server;

struct Host final : IDdeHost {
  bool running = false;
  bool stopped = true;
  CTextBuffer text;
  bool JobRunning() const override { return running; }
  bool Stopped() const override { return stopped; }
  void SetStopped(bool value) override { stopped = value; }
  void StoreText(std::string_view t, TextOrigin origin) override {
    if (t.size() > kMaxPokeBytes) __builtin_trap();
    text.Store(t, kMaxPokeBytes, origin);
  }
  void PostReadText() override {}
  void Break() override { stopped = false; }
};

struct Replies final : IDdeReplies {
  bool owner = true;
  bool SentByOwnerOf(const desktop::Message&, dde::WindowHandle window) const override { return owner && window; }
  bool SendInitiateAck(dde::WindowHandle, const dde::InitiateAck& ack) override {
    return !dde::Encode(ack).payload.empty();
  }
  bool PostTransactionAck(dde::WindowHandle, const dde::TransactionAck& ack) override {
    // Every answer must decode as the client would read it.
    if (!dde::DecodeTransactionAck(dde::Encode(ack))) __builtin_trap();
    return true;
  }
  bool PostTerminate(dde::WindowHandle, const dde::Terminate&) override { return true; }
};

std::uint64_t Take(const std::uint8_t*& data, std::size_t& size, std::size_t bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes && size > 0; ++i, ++data, --size) value |= std::uint64_t{*data} << (8 * i);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Host host;
  static Replies replies;
  static CDdeServer server(host, replies, dde::WindowHandle{0x100000001}, "vokar");
  const auto kind = Take(data, size, 1);
  host.running = (kind & 0x80) != 0;
  replies.owner = (kind & 0x20) == 0;
  desktop::Message message;
  message.message = dde::WM_DDE_FIRST + static_cast<std::uint32_t>((kind & 0x1F) % 9);
  message.wParam = Take(data, size, 8);
  message.lParam = static_cast<std::int64_t>(Take(data, size, 8));
  message.payload.assign(reinterpret_cast<const char*>(data), size);
  if ((kind & 0x40) != 0) {
    // An OPENFILE path: the server reads whatever it names, by the one rule.
    const auto read = files::ReadRegularFile(message.payload, kMaxFileBytes);
    if (read.bytes.size() > kMaxFileBytes) __builtin_trap();
    return 0;
  }
  server.Handle(message);
  if (host.text.Text().size() > kMaxPokeBytes) __builtin_trap();
  return 0;
}
