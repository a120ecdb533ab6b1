#include "Auth.h"

#include <istream>

#include <sodium.h>

namespace vokar::netdde {
namespace {

// The role goes into the MAC, so that the agent's answer can never be
// replayed as a peer's and the other way round.
constexpr std::string_view kPeerRole = "vknetdde-1 peer";
constexpr std::string_view kAgentRole = "vknetdde-1 agent";

Proof Mac(std::string_view key, std::string_view role, const Nonce& agentNonce, const Nonce& peerNonce) {
  crypto_auth_hmacsha256_state state;
  crypto_auth_hmacsha256_init(&state, reinterpret_cast<const unsigned char*>(key.data()), key.size());
  crypto_auth_hmacsha256_update(&state, reinterpret_cast<const unsigned char*>(role.data()), role.size());
  crypto_auth_hmacsha256_update(&state, agentNonce.data(), agentNonce.size());
  crypto_auth_hmacsha256_update(&state, peerNonce.data(), peerNonce.size());
  Proof proof{};
  static_assert(sizeof(Proof) == crypto_auth_hmacsha256_BYTES);
  crypto_auth_hmacsha256_final(&state, proof.data());
  sodium_memzero(&state, sizeof state);
  return proof;
}

}  // namespace

bool InitCrypto() { return sodium_init() >= 0; }

Nonce RandomNonce() {
  Nonce nonce{};
  randombytes_buf(nonce.data(), nonce.size());
  return nonce;
}

Proof PeerProof(std::string_view key, const Nonce& agentNonce, const Nonce& peerNonce) {
  return Mac(key, kPeerRole, agentNonce, peerNonce);
}

Proof AgentProof(std::string_view key, const Nonce& agentNonce, const Nonce& peerNonce) {
  return Mac(key, kAgentRole, agentNonce, peerNonce);
}

bool ProofsEqual(const Proof& a, const Proof& b) { return sodium_memcmp(a.data(), b.data(), a.size()) == 0; }

std::string NewKeyText() {
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  char hex[2 * sizeof bytes + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  sodium_memzero(bytes, sizeof bytes);
  return hex;
}

std::string ReadKeyLine(std::istream& in) {
  std::string line;
  if (!std::getline(in, line)) return {};
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = line.find_last_not_of(" \t\r");
  return line.substr(first, last - first + 1);
}

}  // namespace vokar::netdde
