// The settings of the share "VOKAR$" on this computer, in the machine hive
// under HKEY_LOCAL_MACHINE\Software\Quillmark\Vokar\NetDDE: whether it is on
// (off until the user turns it on), the address and port it listens on, the
// hosts and networks let in, the key shared with the senders, and the limits
// that keep slow, idle and too many peers from holding it. Values out of
// their range are brought into it.
#pragma once

#include <QHostAddress>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vokar::netdde {

inline constexpr const char* kAgentKey = "Software\\Quillmark\\Vokar\\NetDDE";

struct AgentConfig {
  bool enabled = false;
  std::string address = "127.0.0.1";
  int port = 7047;
  std::string allowedHosts = "127.0.0.1 ::1";
  std::string key;
  int idleTimeoutSeconds = 60;       // 1..3600: no frame for this long after the handshake
  int handshakeTimeoutSeconds = 10;  // 1..300: the handshake, and any one frame, must arrive within it
  int maxPeers = 64;                 // 1..1024 connections at once
  bool announce = true;              // DNS-SD announcement for the senders' browse dialog

  bool operator==(const AgentConfig&) const = default;
};

// Limits of the numeric settings.
inline constexpr int kMinIdle = 1, kMaxIdle = 3600;
inline constexpr int kMinHandshake = 1, kMaxHandshake = 300;
inline constexpr int kMinPeers = 1, kMaxPeers = 1024;

// Reads the settings (missing values take the defaults above).
AgentConfig ReadAgentConfig();
// Writes every value; false (with the reason) when the store refuses.
bool WriteAgentConfig(const AgentConfig& config, std::string& error);

// The hosts and networks let in: addresses ("192.168.1.5", "::1"), networks
// ("192.168.1.0/24", "fd00::/8") and host names, which are looked up once,
// when the list is made. Entries are separated by blanks, commas or
// semicolons.
class AllowList {
 public:
  // Fails with the first entry that is neither an address, a network nor a
  // name that resolves. An empty list lets nobody in.
  static std::optional<AllowList> Parse(const std::string& text, std::string& error);

  // True when the address (an IPv4 address mapped into IPv6 counts as the
  // IPv4 address) is one of the list or lies in one of its networks.
  bool Allows(const QHostAddress& address) const;

  bool empty() const { return networks_.empty(); }

 private:
  std::vector<std::pair<QHostAddress, int>> networks_;
};

// An IPv4-mapped IPv6 address as the plain IPv4 address; others unchanged.
QHostAddress Normalized(const QHostAddress& address);

}  // namespace vokar::netdde
