#include "ServiceName.h"

#include <algorithm>
#include <cctype>

namespace vokar::netdde {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

bool PlainHost(std::string_view host) {
  if (host.empty()) return false;
  return std::none_of(host.begin(), host.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' || u == 0x7F || c == '\\' || c == '/' || c == '[' || c == ']';
  });
}

}  // namespace

std::string MakeServiceName(std::string_view computer) { return std::string(computer) + std::string(kShareSuffix); }

std::optional<NetAddress> ParseComputer(std::string_view computer, std::uint16_t defaultPort) {
  std::string_view text = Trim(computer);
  if (text.starts_with("\\\\")) text.remove_prefix(2);
  NetAddress address;
  address.port = defaultPort;
  if (text.starts_with('[')) {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    address.host = std::string(text.substr(1, close - 1));
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      const auto port = ParsePort(rest.substr(1));
      if (!port) return std::nullopt;
      address.port = *port;
    }
    if (address.host.find(':') == std::string::npos) return std::nullopt;  // brackets hold IPv6 only
  } else if (std::count(text.begin(), text.end(), ':') > 1) {
    address.host = std::string(text);  // a bare IPv6 address: no port
  } else if (const auto colon = text.find(':'); colon != std::string_view::npos) {
    const auto port = ParsePort(text.substr(colon + 1));
    if (!port) return std::nullopt;
    address.host = std::string(text.substr(0, colon));
    address.port = *port;
  } else {
    address.host = std::string(text);
  }
  if (!PlainHost(address.host)) return std::nullopt;
  return address;
}

std::optional<NetAddress> ParseServiceName(std::string_view service, std::uint16_t defaultPort) {
  if (service.size() < kShareSuffix.size() ||
      !EqualsNoCase(service.substr(service.size() - kShareSuffix.size()), kShareSuffix)) {
    return std::nullopt;
  }
  return ParseComputer(service.substr(0, service.size() - kShareSuffix.size()), defaultPort);
}

std::string FormatComputer(const NetAddress& address, std::uint16_t defaultPort) {
  const bool v6 = address.host.find(':') != std::string::npos;
  if (address.port == defaultPort) return address.host;
  return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

}  // namespace vokar::netdde
