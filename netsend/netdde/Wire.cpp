#include "Wire.h"

#include <algorithm>

namespace vokar::netdde {
namespace {

class Writer {
 public:
  void Byte(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
  void Word(std::uint16_t value) {
    Byte(static_cast<std::uint8_t>(value >> 8));
    Byte(static_cast<std::uint8_t>(value & 0xFF));
  }
  void Long(std::uint32_t value) {
    Word(static_cast<std::uint16_t>(value >> 16));
    Word(static_cast<std::uint16_t>(value & 0xFFFF));
  }
  template <std::size_t N>
  void Bytes(const std::array<std::uint8_t, N>& bytes) {
    out_.append(reinterpret_cast<const char*>(bytes.data()), N);
  }
  void Raw(std::string_view bytes) { out_.append(bytes); }
  // A name with its one-byte length; false when it is too long.
  bool Name(std::string_view name) {
    if (name.size() > kMaxName) return false;
    Byte(static_cast<std::uint8_t>(name.size()));
    Raw(name);
    return true;
  }
  std::string& body() { return out_; }

 private:
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view body) : body_(body) {}

  bool Byte(std::uint8_t& value) {
    if (left() < 1) return Fail("the frame ends inside a field");
    value = static_cast<std::uint8_t>(body_[at_++]);
    return true;
  }
  bool Word(std::uint16_t& value) {
    std::uint8_t high = 0, low = 0;
    if (left() < 2) return Fail("the frame ends inside a field");
    Byte(high);
    Byte(low);
    value = static_cast<std::uint16_t>((high << 8) | low);
    return true;
  }
  bool Long(std::uint32_t& value) {
    std::uint16_t high = 0, low = 0;
    if (left() < 4) return Fail("the frame ends inside a field");
    Word(high);
    Word(low);
    value = (std::uint32_t{high} << 16) | low;
    return true;
  }
  template <std::size_t N>
  bool Bytes(std::array<std::uint8_t, N>& bytes) {
    if (left() < N) return Fail("the frame ends inside a field");
    std::copy_n(body_.begin() + static_cast<std::ptrdiff_t>(at_), N, bytes.begin());
    at_ += N;
    return true;
  }
  bool Name(std::string& name) {
    std::uint8_t length = 0;
    if (!Byte(length)) return false;
    if (left() < length) return Fail("a name runs past the end of the frame");
    name = std::string(body_.substr(at_, length));
    at_ += length;
    return true;
  }
  std::string Rest() {
    std::string rest(body_.substr(at_));
    at_ = body_.size();
    return rest;
  }
  bool End() {
    if (left() != 0) return Fail("bytes left over after the last field");
    return true;
  }
  bool Fail(std::string error) {
    if (error_.empty()) {
      error_ = std::move(error);
      offset_ = at_;
    }
    return false;
  }
  std::size_t left() const { return body_.size() - at_; }
  const std::string& error() const { return error_; }
  std::size_t offset() const { return offset_; }

 private:
  std::string_view body_;
  std::size_t at_ = 0;
  std::string error_;
  std::size_t offset_ = 0;
};

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
// Spelt out for compilers without deduction for aggregates (clang 14).
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// The body of each frame after its type byte.
bool EncodeBody(Writer& w, const Hello& f) {
  w.Raw(kHelloMagic);
  w.Byte(f.version);
  w.Byte(f.keyRequired ? 1 : 0);
  w.Bytes(f.nonce);
  return true;
}
bool EncodeBody(Writer& w, const Auth& f) {
  w.Byte(f.version);
  w.Bytes(f.nonce);
  w.Bytes(f.proof);
  return true;
}
bool EncodeBody(Writer& w, const Welcome& f) {
  w.Bytes(f.proof);
  return true;
}
bool EncodeBody(Writer& w, const Refused& f) {
  w.Byte(static_cast<std::uint8_t>(f.reason));
  return w.Name(f.text);
}
bool EncodeBody(Writer& w, const Initiate& f) { return w.Name(f.application) && w.Name(f.topic); }
bool EncodeBody(Writer& w, const InitiateAck& f) {
  w.Byte(f.accepted ? 1 : 0);
  return w.Name(f.application) && w.Name(f.topic);
}
bool EncodeBody(Writer& w, const Poke& f) {
  w.Long(f.handle);
  w.Word(f.format);
  if (!w.Name(f.item)) return false;
  w.Raw(f.data);
  return true;
}
bool EncodeBody(Writer& w, const Execute& f) {
  w.Long(f.handle);
  w.Raw(f.command);
  return true;
}
bool EncodeBody(Writer& w, const Ack& f) {
  w.Long(f.handle);
  w.Word(f.status);
  return true;
}
bool EncodeBody(Writer&, const Terminate&) { return true; }

}  // namespace

FrameType TypeOf(const Frame& frame) {
  return std::visit(Overloaded{
                        [](const Hello&) { return FrameType::Hello; },
                        [](const Auth&) { return FrameType::Auth; },
                        [](const Welcome&) { return FrameType::Welcome; },
                        [](const Refused&) { return FrameType::Refused; },
                        [](const Initiate&) { return FrameType::Initiate; },
                        [](const InitiateAck&) { return FrameType::InitiateAck; },
                        [](const Poke&) { return FrameType::Poke; },
                        [](const Execute&) { return FrameType::Execute; },
                        [](const Ack&) { return FrameType::Ack; },
                        [](const Terminate&) { return FrameType::Terminate; },
                    },
                    frame);
}

std::string_view FrameName(FrameType type) {
  switch (type) {
    case FrameType::Hello: return "HELLO";
    case FrameType::Auth: return "AUTH";
    case FrameType::Welcome: return "WELCOME";
    case FrameType::Refused: return "REFUSED";
    case FrameType::Initiate: return "INITIATE";
    case FrameType::InitiateAck: return "INITIATE-ACK";
    case FrameType::Poke: return "POKE";
    case FrameType::Execute: return "EXECUTE";
    case FrameType::Ack: return "ACK";
    case FrameType::Terminate: return "TERMINATE";
  }
  return "?";
}

std::optional<std::string> Encode(const Frame& frame) {
  Writer w;
  w.Long(0);  // the length, filled in below
  w.Byte(static_cast<std::uint8_t>(TypeOf(frame)));
  const bool ok = std::visit([&w](const auto& f) { return EncodeBody(w, f); }, frame);
  if (!ok) return std::nullopt;
  std::string& out = w.body();
  const std::size_t body = out.size() - kLengthBytes;
  if (body > kMaxFrameBody) return std::nullopt;
  for (std::size_t i = 0; i < kLengthBytes; ++i) {
    out[i] = static_cast<char>((body >> (8 * (kLengthBytes - 1 - i))) & 0xFF);
  }
  return std::move(out);
}

std::size_t MaxPokeData(std::size_t itemLength) {
  // type, handle, format, the item's length byte and the item.
  const std::size_t overhead = 1 + 4 + 2 + 1 + itemLength;
  return overhead >= kMaxFrameBody ? 0 : kMaxFrameBody - overhead;
}

DecodedFrame Decode(std::string_view body) {
  DecodedFrame decoded;
  Reader r(body);
  std::uint8_t type = 0;
  if (!r.Byte(type)) {
    decoded.error = "an empty frame";
    return decoded;
  }
  bool ok = false;
  switch (static_cast<FrameType>(type)) {
    case FrameType::Hello: {
      Hello f;
      std::array<std::uint8_t, kHelloMagic.size()> magic{};
      std::uint8_t flags = 0;
      ok = r.Bytes(magic) &&
           (std::string_view(reinterpret_cast<const char*>(magic.data()), magic.size()) == kHelloMagic ||
            r.Fail("not a share's greeting")) &&
           r.Byte(f.version) && r.Byte(flags) && (flags <= 1 || r.Fail("unknown flags")) && r.Bytes(f.nonce) &&
           r.End();
      f.keyRequired = flags == 1;
      if (ok) decoded.frame = f;
      break;
    }
    case FrameType::Auth: {
      Auth f;
      ok = r.Byte(f.version) && r.Bytes(f.nonce) && r.Bytes(f.proof) && r.End();
      if (ok) decoded.frame = f;
      break;
    }
    case FrameType::Welcome: {
      Welcome f;
      ok = r.Bytes(f.proof) && r.End();
      if (ok) decoded.frame = f;
      break;
    }
    case FrameType::Refused: {
      Refused f;
      std::uint8_t reason = 0;
      ok = r.Byte(reason) && r.Name(f.text) && r.End();
      f.reason = static_cast<RefusedReason>(reason);
      if (ok) decoded.frame = f;
      break;
    }
    case FrameType::Initiate: {
      Initiate f;
      ok = r.Name(f.application) && r.Name(f.topic) && r.End();
      if (ok) decoded.frame = f;
      break;
    }
    case FrameType::InitiateAck: {
      InitiateAck f;
      std::uint8_t accepted = 0;
      ok = r.Byte(accepted) && (accepted <= 1 || r.Fail("the answer is neither yes nor no")) &&
           r.Name(f.application) && r.Name(f.topic) && r.End();
      f.accepted = accepted == 1;
      if (ok) decoded.frame = f;
      break;
    }
    case FrameType::Poke: {
      Poke f;
      ok = r.Long(f.handle) && r.Word(f.format) && r.Name(f.item);
      if (ok) {
        f.data = r.Rest();
        decoded.frame = f;
      }
      break;
    }
    case FrameType::Execute: {
      Execute f;
      ok = r.Long(f.handle);
      if (ok) {
        f.command = r.Rest();
        decoded.frame = f;
      }
      break;
    }
    case FrameType::Ack: {
      Ack f;
      ok = r.Long(f.handle) && r.Word(f.status) && r.End();
      if (ok) decoded.frame = f;
      break;
    }
    case FrameType::Terminate:
      ok = r.End();
      if (ok) decoded.frame = Terminate{};
      break;
    default:
      decoded.error = "an unknown frame type " + std::to_string(type);
      return decoded;
  }
  if (!ok) {
    decoded.error = r.error();
    decoded.offset = r.offset();
  }
  return decoded;
}

void FrameReader::Feed(std::string_view bytes) {
  if (!failed_) buffer_.append(bytes);
}

FrameReader::Status FrameReader::Next(std::string& body) {
  if (failed_) return Status::Error;
  if (buffer_.size() < kLengthBytes) return Status::NeedMore;
  std::uint64_t length = 0;
  for (std::size_t i = 0; i < kLengthBytes; ++i) length = (length << 8) | static_cast<unsigned char>(buffer_[i]);
  if (length == 0 || length > kMaxFrameBody) {
    failed_ = true;
    error_ = length == 0 ? std::string("a frame of no bytes")
                         : "a frame of " + std::to_string(length) + " bytes, above the limit of " +
                               std::to_string(kMaxFrameBody);
    buffer_.clear();
    return Status::Error;
  }
  if (buffer_.size() - kLengthBytes < length) return Status::NeedMore;
  body.assign(buffer_, kLengthBytes, length);
  buffer_.erase(0, kLengthBytes + length);
  return Status::Frame;
}

}  // namespace vokar::netdde
