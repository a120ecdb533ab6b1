// The DDE management calls of a client, for conversations with the share of
// another computer: the service is "COMPUTER\NDDE$\", the conversation goes
// over TCP to that computer's agent (vknetdde), which carries it to its speech
// server. The calls, handles and error codes are those of the local library
// (Ddeml.h), so a program drives a network conversation as it drives a local
// one. While a call waits, Qt's event loop keeps turning: while connecting
// without user input (a button pressed then is not taken), during a
// transaction with it (a press then reaches the program, and a second
// transaction of the instance fails with DMLERR_REENTRANCY). All calls come
// from the program's UI thread; a QCoreApplication must exist.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "Ddeml.h"

namespace vokar::netdde {

using dde::Conversation;
using dde::DdeInstance;
using dde::StringHandle;
using dde::TransactionType;

struct ClientOptions {
  // The key shared with the agents; empty when none is set.
  std::string key;
  // How long connecting, the handshake and INITIATE may take together.
  std::chrono::milliseconds connectTimeout{10000};
  std::uint16_t defaultPort = 7047;
};

// Why the last Connect of an instance found no conversation, for the user's
// message (LastDetail gives the words for standard error).
enum class Failure {
  None,
  NoComputer,       // the service names no computer
  HostNotFound,     // no computer of that name is known
  NobodyListens,    // the computer refuses the connection: no agent serves the share there
  NoAnswer,         // no answer in time, or the computer cannot be reached
  NotAllowed,       // the agent's allow-list does not name this computer
  OtherUser,        // without a key the agent lets in only its own user's programs of its computer
  KeyMissing,       // the agent wants a key and none is set here
  WrongKey,         // the agent refused the key
  AgentLacksKey,    // the agent could not prove that it knows the key
  TooManyPeers,     // the agent serves as many peers as it may
  NoServer,         // no speech server answers for the share
  SettingsChanged,  // the share's settings changed meanwhile
  TooSlow,          // the agent found the handshake too slow
  OtherVersion,     // the agent speaks another version of the frames
  Broken,           // the connection broke or the agent sent what cannot be read
};

// Starts a client instance. DMLERR_NO_ERROR, or DMLERR_SYS_ERROR when the
// cryptography library cannot be used (instance stays 0).
std::uint32_t Initialize(DdeInstance& instance, ClientOptions options);

// Ends every conversation of the instance and frees its string handles.
bool Uninitialize(DdeInstance instance);

StringHandle CreateStringHandle(DdeInstance instance, std::string_view text);
bool FreeStringHandle(DdeInstance instance, StringHandle handle);
std::string QueryString(DdeInstance instance, StringHandle handle);

// Connects to the computer that the service names, is let in by its agent
// and asks it for the topic. 0 and DMLERR_NO_CONV_ESTABLISHED when the name
// is no network service, nobody answers, the agent refuses the peer or the
// key, or the computer has no such share or no server; LastDetail says which.
Conversation Connect(DdeInstance instance, StringHandle service, StringHandle topic);

// Ends the conversation (telling the agent) and forgets it.
bool Disconnect(Conversation conversation);

// A synchronous transaction, with the results and errors of
// dde::ClientTransaction: DMLERR_BUSY, DMLERR_NOTPROCESSED,
// DMLERR_POKEACKTIMEOUT / DMLERR_EXECACKTIMEOUT, DMLERR_SERVER_DIED (the
// agent ended the conversation or the connection broke),
// DMLERR_NO_CONV_ESTABLISHED (conversation 0), DMLERR_INVALIDPARAMETER,
// DMLERR_REENTRANCY.
bool ClientTransaction(std::string_view data, Conversation conversation, StringHandle item, std::uint16_t format,
                       TransactionType type, std::chrono::milliseconds timeout, std::uint32_t* result);

// The instance's last error, which is reset; DMLERR_DLL_NOT_INITIALIZED for
// an unknown instance.
std::uint32_t GetLastError(DdeInstance instance);

// Why the last Connect or transaction of the instance failed, in words (for
// standard error); empty when nothing failed.
std::string LastDetail(DdeInstance instance);

// Why the last Connect of the instance failed; None after one that succeeded.
Failure LastFailure(DdeInstance instance);

}  // namespace vokar::netdde
