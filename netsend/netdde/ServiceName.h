// Network DDE service names: the computer as the user names it followed by
// "\NDDE$\" ("ALA\NDDE$\", "\\ALA\NDDE$\"). On Linux the computer is a host
// name or an address, with an optional port: "ala", "ala.local:7050",
// "192.168.1.5", "[fe80::1%eth0]:7050", "::1".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vokar::netdde {

inline constexpr std::string_view kShareSuffix = "\\NDDE$\\";
inline constexpr std::string_view kShareTopic = "VOKAR$";

struct NetAddress {
  std::string host;  // a name, or an address without brackets
  std::uint16_t port = 0;
};

// The service name of a computer: the text as entered, then "\NDDE$\".
std::string MakeServiceName(std::string_view computer);

// The host and port a computer text names (blanks around it ignored, a
// leading "\\" dropped, the default port when none is given); nothing for
// an empty name, a bad port or a name with blanks or slashes inside.
std::optional<NetAddress> ParseComputer(std::string_view computer, std::uint16_t defaultPort);

// The computer of a network service name; nothing when the name does not
// end in "\NDDE$\" (in any case) or the computer cannot be parsed.
std::optional<NetAddress> ParseServiceName(std::string_view service, std::uint16_t defaultPort);

// The computer text for an address: "host" with the default port,
// "host:port" or "[v6]:port" otherwise.
std::string FormatComputer(const NetAddress& address, std::uint16_t defaultPort);

}  // namespace vokar::netdde
