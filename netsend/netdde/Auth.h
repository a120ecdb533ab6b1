// The challenge and response that let a peer into the share when a key is
// shared by both computers: each side sends a random nonce, and each proves
// that it knows the key with an HMAC-SHA-256 (libsodium) of both nonces and
// its role, so neither a peer nor an agent can pass without the key, and an
// answer recorded once is worth nothing on another connection.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "Wire.h"

namespace vokar::netdde {

// Starts libsodium once; false when the library cannot be used (then no
// connection may be made or taken).
bool InitCrypto();

// A fresh random nonce from the system's generator.
Nonce RandomNonce();

// What the peer answers to the agent's challenge, and what the agent answers
// to the peer's; the key is the shared text as the user gave it.
Proof PeerProof(std::string_view key, const Nonce& agentNonce, const Nonce& peerNonce);
Proof AgentProof(std::string_view key, const Nonce& agentNonce, const Nonce& peerNonce);

// Compares in constant time.
bool ProofsEqual(const Proof& a, const Proof& b);

// A new random key for --new-key: 32 random bytes as 64 hexadecimal digits.
std::string NewKeyText();

// The key given as "-" on a command line is read from standard input, so that
// it shows neither in the list of processes nor in the shell's history: the
// first line, without its line end and the blanks around it; empty when there
// is none.
std::string ReadKeyLine(std::istream& in);

}  // namespace vokar::netdde
