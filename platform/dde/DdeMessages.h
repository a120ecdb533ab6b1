// The raw DDE messages as they travel over the desktop bus: INITIATE, ACK,
// POKE, EXECUTE and TERMINATE with their original numbers and fields. Atoms
// travel as their names in the payload, memory handles as numbers in lParam
// with the data beside them. Encoders for senders, checked decoders for
// receivers (a server's window and the client library), and the small sends
// and posts a server answers with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Desktop.h"

namespace vokar::dde {

using desktop::WindowHandle;

inline constexpr std::uint32_t WM_DDE_FIRST = 0x03E0;
inline constexpr std::uint32_t WM_DDE_INITIATE = 0x03E0;
inline constexpr std::uint32_t WM_DDE_TERMINATE = 0x03E1;
inline constexpr std::uint32_t WM_DDE_ADVISE = 0x03E2;
inline constexpr std::uint32_t WM_DDE_UNADVISE = 0x03E3;
inline constexpr std::uint32_t WM_DDE_ACK = 0x03E4;
inline constexpr std::uint32_t WM_DDE_DATA = 0x03E5;
inline constexpr std::uint32_t WM_DDE_REQUEST = 0x03E6;
inline constexpr std::uint32_t WM_DDE_POKE = 0x03E7;
inline constexpr std::uint32_t WM_DDE_EXECUTE = 0x03E8;

inline constexpr std::uint16_t CF_TEXT = 1;

// The longest atom name the desktop keeps.
inline constexpr std::size_t kMaxAtomName = 255;

// The DDEACK status word: bits 0-7 the application's return code, bits 8-13
// reserved (always sent as zero), bit 14 fBusy, bit 15 fAck.
struct DdeAck {
  std::uint8_t appReturnCode = 0;
  bool busy = false;
  bool ack = false;
};
inline constexpr std::uint16_t kAckBusy = 0x4000;
inline constexpr std::uint16_t kAckPositive = 0x8000;
std::uint16_t ToStatusWord(const DdeAck& ack);
DdeAck FromStatusWord(std::uint16_t word);

// The DDEPOKE block a poke's data handle holds: a flag word (fRelease in bit
// 13), the clipboard format, then the data.
inline constexpr std::uint16_t kPokeRelease = 0x2000;
inline constexpr std::size_t kPokeHeaderSize = 4;
struct PokeBlock {
  std::uint16_t flags = 0;
  std::uint16_t format = 0;
  std::string data;
};

// wParam: the client's window. Payload: application name, NUL, topic name.
// An empty name is the zero atom, a wildcard.
struct Initiate {
  WindowHandle client;
  std::string application;
  std::string topic;
};

// The server's answer to INITIATE, sent (not posted) back to the client.
// wParam: the server's window. Payload as for INITIATE.
struct InitiateAck {
  WindowHandle server;
  std::string application;
  std::string topic;
};

// wParam: the client's window. lParam: the data handle (the client's number
// for this poke). Payload: item name, NUL, the DDEPOKE block; nothing after
// the NUL is a null data handle.
struct Poke {
  WindowHandle client;
  std::uint32_t dataHandle = 0;
  std::string item;
  std::optional<PokeBlock> block;
};

// wParam: the client's window. lParam: the command handle. Payload: the
// command text as the client sent it (usually with its NUL).
struct Execute {
  WindowHandle client;
  std::uint32_t commandHandle = 0;
  std::string command;
};

// The answer to POKE or EXECUTE, posted. wParam: the server's window. lParam:
// the status word in bits 0-15 and the handle of the poke or execute in bits
// 16-47. Payload: the item name for a poke, nothing for an execute.
struct TransactionAck {
  WindowHandle server;
  std::uint16_t status = 0;
  std::uint32_t handle = 0;
  std::string item;
};

// wParam: the window that ends the conversation; lParam is passed back
// unchanged by the partner's answering TERMINATE.
struct Terminate {
  WindowHandle sender;
  std::int64_t lParam = 0;
};

desktop::Message Encode(const Initiate& initiate);
desktop::Message Encode(const InitiateAck& ack);
desktop::Message Encode(const Poke& poke);
desktop::Message Encode(const Execute& execute);
desktop::Message Encode(const TransactionAck& ack);
desktop::Message Encode(const Terminate& terminate);

// A decoded message, or what was wrong with it and at which byte of the
// payload (0 for a fault in wParam or lParam).
template <typename T>
struct Decoded {
  std::optional<T> value;
  std::string error;
  std::size_t offset = 0;

  explicit operator bool() const { return value.has_value(); }
};

Decoded<Initiate> DecodeInitiate(const desktop::Message& message);
Decoded<InitiateAck> DecodeInitiateAck(const desktop::Message& message);
Decoded<Poke> DecodePoke(const desktop::Message& message);
Decoded<Execute> DecodeExecute(const desktop::Message& message);
Decoded<TransactionAck> DecodeTransactionAck(const desktop::Message& message);
Decoded<Terminate> DecodeTerminate(const desktop::Message& message);

// Atoms compare without regard to case, with the desktop's case mapping of
// code page 1250 ("Vokar" is "VOKAR", "Łódź" is "ŁÓDŹ").
bool AtomNamesEqual(std::string_view a, std::string_view b);

// True when the message comes from the program that owns the window (the
// client's window that a DDE message names in wParam). A server that answers
// only such messages cannot be made to send acknowledgements or TERMINATE to
// the windows of programs that never spoke to it.
bool SentByOwnerOf(const desktop::Message& message, WindowHandle window);

// What a server answers with. Each returns false when the client's window
// is gone.
bool SendInitiateAck(WindowHandle client, const InitiateAck& ack,
                     desktop::milliseconds timeout = desktop::kDefaultSendTimeout);
bool PostTransactionAck(WindowHandle client, const TransactionAck& ack);
bool PostTerminate(WindowHandle partner, const Terminate& terminate);

}  // namespace vokar::dde
