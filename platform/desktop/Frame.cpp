#include "Frame.h"

namespace vokar::desktop {
namespace {

void Put(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t Get(std::span<const std::uint8_t> in, std::size_t offset, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= std::uint64_t{in[offset + i]} << (8 * i);
  return value;
}

ParseResult Invalid(std::string error, std::size_t offset) {
  ParseResult result;
  result.status = ParseStatus::Invalid;
  result.error = std::move(error);
  result.errorOffset = offset;
  return result;
}

}  // namespace

std::string EncodeFrame(FrameHeader header, std::string_view payload) {
  header.payloadLength = static_cast<std::uint32_t>(payload.size());
  std::string out;
  out.reserve(kFrameHeaderSize + payload.size());
  Put(out, kFrameMagic, 4);
  Put(out, kFrameVersion, 2);
  Put(out, static_cast<std::uint16_t>(header.type), 2);
  Put(out, header.serial, 8);
  Put(out, header.window, 8);
  Put(out, header.message, 4);
  Put(out, header.payloadLength, 4);
  Put(out, header.wParam, 8);
  Put(out, static_cast<std::uint64_t>(header.lParam), 8);
  out.append(payload);
  return out;
}

ParseResult ParseFrame(std::span<const std::uint8_t> bytes) {
  // The magic is checked as soon as four bytes are there, so a peer speaking
  // something else entirely is cut off at once.
  if (bytes.size() >= 4 && Get(bytes, 0, 4) != kFrameMagic) return Invalid("bad magic", 0);
  if (bytes.size() < kFrameHeaderSize) return {};

  if (Get(bytes, 4, 2) != kFrameVersion) return Invalid("unknown frame version", 4);
  const auto type = Get(bytes, 6, 2);
  if (type < static_cast<std::uint64_t>(FrameType::Send) || type > static_cast<std::uint64_t>(FrameType::Reply)) {
    return Invalid("unknown frame type", 6);
  }

  ParseResult result;
  result.header.type = static_cast<FrameType>(type);
  result.header.serial = Get(bytes, 8, 8);
  result.header.window = Get(bytes, 16, 8);
  result.header.message = static_cast<std::uint32_t>(Get(bytes, 24, 4));
  result.header.payloadLength = static_cast<std::uint32_t>(Get(bytes, 28, 4));
  result.header.wParam = Get(bytes, 32, 8);
  result.header.lParam = static_cast<std::int64_t>(Get(bytes, 40, 8));

  if (result.header.payloadLength > kMaxPayload) return Invalid("payload longer than the bus allows", 28);
  if (result.header.type != FrameType::Reply && result.header.window == 0) return Invalid("no target window", 16);
  if (result.header.type == FrameType::Post && result.header.serial != 0) return Invalid("post with a serial", 8);
  if (result.header.type != FrameType::Post && result.header.serial == 0) return Invalid("send without a serial", 8);

  result.frameSize = kFrameHeaderSize + result.header.payloadLength;
  result.status = bytes.size() >= result.frameSize ? ParseStatus::Complete : ParseStatus::NeedMore;
  return result;
}

}  // namespace vokar::desktop
