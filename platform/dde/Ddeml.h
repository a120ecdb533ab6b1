// The DDE management calls a client program makes: initialise as a client,
// string handles, connect to a service and topic, reconnect, synchronous poke
// and execute transactions with timeouts, the last error, and the notice that
// the server's side went away. Underneath, each conversation is a
// message-only window of the desktop bus that speaks the raw messages of
// DdeMessages.h. All calls come from the program's UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "DdeMessages.h"

namespace vokar::dde {

// Error codes, numbered as the desktop's DDE library numbers them (programs
// show them in hexadecimal).
inline constexpr std::uint32_t DMLERR_NO_ERROR = 0;
inline constexpr std::uint32_t DMLERR_BUSY = 0x4001;
inline constexpr std::uint32_t DMLERR_DLL_NOT_INITIALIZED = 0x4003;
inline constexpr std::uint32_t DMLERR_EXECACKTIMEOUT = 0x4005;
inline constexpr std::uint32_t DMLERR_INVALIDPARAMETER = 0x4006;
inline constexpr std::uint32_t DMLERR_NOTPROCESSED = 0x4009;
inline constexpr std::uint32_t DMLERR_NO_CONV_ESTABLISHED = 0x400A;
inline constexpr std::uint32_t DMLERR_POKEACKTIMEOUT = 0x400B;
inline constexpr std::uint32_t DMLERR_REENTRANCY = 0x400D;
inline constexpr std::uint32_t DMLERR_SERVER_DIED = 0x400E;
inline constexpr std::uint32_t DMLERR_SYS_ERROR = 0x400F;

// An instance of DDE use: 0 when not initialised.
using DdeInstance = std::uint32_t;

// HSZ: a string handle of one instance; 0 is none.
struct StringHandle {
  std::uint32_t value = 0;
  explicit operator bool() const { return value != 0; }
};

// HCONV: a conversation; 0 is none. A conversation keeps its handle when it
// is reconnected.
struct Conversation {
  std::uint32_t value = 0;
  explicit operator bool() const { return value != 0; }
  bool operator==(const Conversation&) const = default;
};

// Only the client role is offered: the server speaks the raw messages itself.
enum class InitMode { ClientOnly };

// What the callback hears. Disconnect: the server ended the conversation or
// went away; the conversation handle stays valid for Reconnect or Disconnect.
enum class Notice { Disconnect };
using DdeCallback = std::function<void(Notice notice, Conversation conversation)>;

enum class TransactionType { Poke, Execute };

// Starts DDE use and stores the new instance. DMLERR_NO_ERROR, or
// DMLERR_SYS_ERROR when the desktop cannot be used (instance stays 0).
std::uint32_t Initialize(DdeInstance& instance, DdeCallback callback, InitMode mode);

// Ends every conversation of the instance and frees its string handles.
bool Uninitialize(DdeInstance instance);

// A handle for the text (code page 1250 bytes, at most 255); 0 when the
// instance is unknown or the text too long.
StringHandle CreateStringHandle(DdeInstance instance, std::string_view text);
bool FreeStringHandle(DdeInstance instance, StringHandle handle);
std::string QueryString(DdeInstance instance, StringHandle handle);

// Asks the windows of the desktop, one after another, for the service and
// topic and keeps the first that answers. 0 and DMLERR_NO_CONV_ESTABLISHED
// when none does.
Conversation Connect(DdeInstance instance, StringHandle service, StringHandle topic);

// Connects a conversation that lost its server to a server of the same
// service and topic again; the same handle, or 0 (DMLERR_NO_CONV_ESTABLISHED).
// A conversation that is still connected is returned as it is.
Conversation Reconnect(Conversation conversation);

// Ends the conversation (telling the server, when it is still there) and
// forgets its handle.
bool Disconnect(Conversation conversation);

// A synchronous transaction. Poke sends data (with the item and format);
// Execute sends data as the command (item and format unused). While it waits
// for the acknowledgement, this program's messages keep being handled; a
// transaction started from one of them fails with DMLERR_REENTRANCY. On
// return, *result (when given) holds the acknowledgement's status word in its
// low word, 0 when none came. True when the server acknowledged positively;
// otherwise the instance's last error says why:
//   DMLERR_BUSY                 the server answered fBusy
//   DMLERR_NOTPROCESSED         the server answered negatively
//   DMLERR_POKEACKTIMEOUT, DMLERR_EXECACKTIMEOUT   no answer within timeout
//   DMLERR_SERVER_DIED          the server went away (also before the call)
//   DMLERR_NO_CONV_ESTABLISHED  conversation 0 (set on every instance of the
//                               program, since no conversation names one)
//   DMLERR_INVALIDPARAMETER     an unknown conversation or string handle, or
//                               data too large for one message
//   DMLERR_REENTRANCY           another transaction of the instance waits
bool ClientTransaction(std::string_view data, Conversation conversation, StringHandle item, std::uint16_t format,
                       TransactionType type, desktop::milliseconds timeout, std::uint32_t* result);

// The instance's last error, which is reset to DMLERR_NO_ERROR;
// DMLERR_DLL_NOT_INITIALIZED for an unknown instance.
std::uint32_t GetLastError(DdeInstance instance);

}  // namespace vokar::dde
