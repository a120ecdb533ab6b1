// The frames that carry the share "VOKAR$" between two computers over TCP:
// the handshake (HELLO, AUTH, WELCOME or REFUSED) and then the DDE
// conversation itself (INITIATE and its answer, POKE, EXECUTE, ACK,
// TERMINATE). Each frame is a 4-byte big-endian body length and the body,
// whose first byte names the frame. Encoders for senders; FrameReader cuts a
// byte stream into frames, refusing a length above kMaxFrameBody before it
// buffers anything of the body, and Decode checks every field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vokar::netdde {

// The port the agent listens on when none is configured.
inline constexpr std::uint16_t kDefaultPort = 7047;

// The largest body a frame may have. A poke of the server's whole text buffer
// (65276 bytes and a NUL) fits with its item name; anything larger is refused
// before it is read.
inline constexpr std::size_t kMaxFrameBody = 65536;
inline constexpr std::size_t kLengthBytes = 4;

// Names (application, topic, item) are atoms: at most 255 bytes.
inline constexpr std::size_t kMaxName = 255;

inline constexpr std::uint8_t kProtocolVersion = 1;
inline constexpr std::string_view kHelloMagic = "VKNDDE";

using Nonce = std::array<std::uint8_t, 32>;
using Proof = std::array<std::uint8_t, 32>;

enum class FrameType : std::uint8_t {
  Hello = 0x01,
  Auth = 0x02,
  Welcome = 0x03,
  Refused = 0x04,
  Initiate = 0x10,
  InitiateAck = 0x11,
  Poke = 0x12,
  Execute = 0x13,
  Ack = 0x14,
  Terminate = 0x15,
};

// Agent to peer, first thing on a connection: the agent's challenge.
struct Hello {
  std::uint8_t version = kProtocolVersion;
  bool keyRequired = false;
  Nonce nonce{};
};

// Peer to agent: the peer's own challenge and its answer to the agent's
// (zeros when no key is required).
struct Auth {
  std::uint8_t version = kProtocolVersion;
  Nonce nonce{};
  Proof proof{};
};

// Agent to peer: the peer is let in; the agent's answer to the peer's
// challenge (zeros when no key is set).
struct Welcome {
  Proof proof{};
};

enum class RefusedReason : std::uint8_t {
  WrongKey = 1,
  TooManyPeers = 2,
  BadFrame = 3,
  TooSlow = 4,
  Idle = 5,
  WrongVersion = 6,
  NotAllowed = 7,       // the peer's address is not in the allow-list
  OtherUser = 8,        // without a key: a program of another user of the agent's computer
  SettingsChanged = 9,  // the share's key, allow-list or address changed, or it was turned off
};

// Agent to peer, last thing before it closes the connection.
struct Refused {
  RefusedReason reason = RefusedReason::BadFrame;
  std::string text;  // at most kMaxName bytes, for the peer's diagnostics
};

struct Initiate {
  std::string application;  // the service as the sender names it: "NAME\NDDE$\"
  std::string topic;        // the share: "VOKAR$"
};

// The answer to INITIATE: accepted, or no conversation.
struct InitiateAck {
  bool accepted = false;
  std::string application;
  std::string topic;
};

struct Poke {
  std::uint32_t handle = 0;  // the sender's number for this transaction
  std::uint16_t format = 0;
  std::string item;
  std::string data;
};

struct Execute {
  std::uint32_t handle = 0;
  std::string command;
};

// The answer to POKE or EXECUTE: the DDEACK status word.
struct Ack {
  std::uint32_t handle = 0;
  std::uint16_t status = 0;
};

struct Terminate {};

using Frame = std::variant<Hello, Auth, Welcome, Refused, Initiate, InitiateAck, Poke, Execute, Ack, Terminate>;

FrameType TypeOf(const Frame& frame);
std::string_view FrameName(FrameType type);

// The frame with its length prefix, ready to be written. A field too long for
// the frame (a name above kMaxName, a body above kMaxFrameBody) gives nothing.
std::optional<std::string> Encode(const Frame& frame);

// The largest data one POKE with this item name can carry.
std::size_t MaxPokeData(std::size_t itemLength);

// A decoded frame, or what was wrong with it and at which byte of the body.
struct DecodedFrame {
  std::optional<Frame> frame;
  std::string error;
  std::size_t offset = 0;

  explicit operator bool() const { return frame.has_value(); }
};

// Checks a frame's body (without its length prefix) field by field; nothing
// is left over, every name is within its limit.
DecodedFrame Decode(std::string_view body);

// Cuts the bytes of a connection into frame bodies.
class FrameReader {
 public:
  enum class Status { NeedMore, Frame, Error };

  // Appends bytes that arrived.
  void Feed(std::string_view bytes);

  // The next whole frame body in *body; Error (with error()) for a length of
  // zero or above kMaxFrameBody, after which the reader gives nothing more.
  Status Next(std::string& body);

  // True when part of a frame has arrived and the rest has not.
  bool InFrame() const { return !failed_ && !buffer_.empty(); }
  const std::string& error() const { return error_; }
  // Bytes held that are not yet a whole frame.
  std::size_t Buffered() const { return buffer_.size(); }

 private:
  std::string buffer_;
  std::string error_;
  bool failed_ = false;
};

}  // namespace vokar::netdde
