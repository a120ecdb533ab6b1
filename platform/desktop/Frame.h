// The wire format of the desktop bus: one fixed 48-byte header in little-endian
// order followed by the payload. A reader checks every field before it trusts
// the frame, so a peer that sends garbage is refused and never believed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "DesktopTypes.h"

namespace vokar::desktop {

// Header layout, offsets in bytes:
//   0 magic "VKDB" (0x42444B56)   4 version (1)       6 type
//   8 serial                      16 window           24 message
//  28 payload length             32 wParam           40 lParam
// A send carries a serial of the sender's choosing; its reply carries the same
// serial, the result in lParam and in wParam 0 when a window handled it or 1
// when the endpoint had no such window. Posts carry serial 0.
inline constexpr std::uint32_t kFrameMagic = 0x42444B56;
inline constexpr std::uint16_t kFrameVersion = 1;
inline constexpr std::size_t kFrameHeaderSize = 48;

enum class FrameType : std::uint16_t { Send = 1, Post = 2, Reply = 3 };

// wParam of a reply frame.
inline constexpr std::uint64_t kReplyHandled = 0;
inline constexpr std::uint64_t kReplyNoWindow = 1;

struct FrameHeader {
  FrameType type = FrameType::Post;
  std::uint64_t serial = 0;
  std::uint64_t window = 0;
  std::uint32_t message = 0;
  std::uint32_t payloadLength = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
};

// Header and payload as one string of bytes ready to write. The payload must
// not exceed kMaxPayload (the bus checks before it encodes).
std::string EncodeFrame(FrameHeader header, std::string_view payload);

enum class ParseStatus {
  Complete,  // header (and the whole payload) are available
  NeedMore,  // not enough bytes yet
  Invalid,   // the bytes can never form a valid frame
};

struct ParseResult {
  ParseStatus status = ParseStatus::NeedMore;
  FrameHeader header;
  std::size_t frameSize = 0;      // header plus payload, when complete
  std::string error;              // what was wrong, when invalid
  std::size_t errorOffset = 0;    // the offset of the field that was wrong
};

// Looks at the start of a byte stream. The header is checked as soon as its 48
// bytes are there, so an oversized length is refused before any payload is
// waited for.
ParseResult ParseFrame(std::span<const std::uint8_t> bytes);

}  // namespace vokar::desktop
