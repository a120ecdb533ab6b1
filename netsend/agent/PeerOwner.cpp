#include "PeerOwner.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "AgentConfig.h"

namespace vokar::netdde {
namespace {

std::optional<std::uint32_t> Hex(std::string_view text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

// "0100007F:1F8F": the address as the kernel keeps it, in words of 32 bits
// written in this computer's byte order, then the port.
std::optional<std::pair<QHostAddress, std::uint16_t>> End(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view address = text.substr(0, colon);
  const auto port = Hex(text.substr(colon + 1));
  if (!port || *port > 0xFFFF || (address.size() != 8 && address.size() != 32)) return std::nullopt;
  std::uint8_t bytes[16] = {};
  for (std::size_t word = 0; word < address.size() / 8; ++word) {
    const auto value = Hex(address.substr(word * 8, 8));
    if (!value) return std::nullopt;
    std::memcpy(bytes + word * 4, &*value, 4);
  }
  QHostAddress parsed;
  if (address.size() == 8) {
    quint32 v4 = 0;
    for (int i = 0; i < 4; ++i) v4 = (v4 << 8) | bytes[i];
    parsed = QHostAddress(v4);
  } else {
    parsed = QHostAddress(bytes);
  }
  return std::make_pair(Normalized(parsed), static_cast<std::uint16_t>(*port));
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    const std::size_t start = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
    if (at > start) fields.push_back(line.substr(start, at - start));
  }
  return fields;
}

std::string ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The address in the form the kernel's socket lists use: IPv4 as four bytes,
// IPv6 (an IPv4 address mapped into it included) as sixteen.
void PutAddress(const QHostAddress& address, int family, __be32 out[4]) {
  std::memset(out, 0, 4 * sizeof(__be32));
  if (family == AF_INET) {
    const quint32 v4 = address.toIPv4Address();
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v4 >> 24), static_cast<std::uint8_t>(v4 >> 16),
                                   static_cast<std::uint8_t>(v4 >> 8), static_cast<std::uint8_t>(v4)};
    std::memcpy(out, bytes, 4);
  } else {
    const Q_IPV6ADDR v6 = address.protocol() == QAbstractSocket::IPv4Protocol
                              ? QHostAddress(QStringLiteral("::ffff:") + address.toString()).toIPv6Address()
                              : address.toIPv6Address();
    std::memcpy(out, v6.c, 16);
  }
}

// Asks the kernel for the one socket with these ends (sock_diag over
// netlink, a lookup by the connection's four values): its user, or nothing
// when there is no such socket; an error when the kernel cannot be asked.
struct DiagAnswer {
  bool asked = false;
  std::optional<uid_t> owner;
};

DiagAnswer AskKernel(int family, const SocketEnds& ends) {
  DiagAnswer answer;
  const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (fd < 0) return answer;
  timeval wait{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  struct {
    nlmsghdr header;
    inet_diag_req_v2 request;
  } message{};
  message.header.nlmsg_len = sizeof message;
  message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  message.header.nlmsg_flags = NLM_F_REQUEST;
  message.header.nlmsg_seq = 1;
  message.request.sdiag_family = static_cast<std::uint8_t>(family);
  message.request.sdiag_protocol = IPPROTO_TCP;
  message.request.idiag_states = ~0u;
  message.request.id.idiag_sport = htons(ends.localPort);
  message.request.id.idiag_dport = htons(ends.remotePort);
  PutAddress(ends.localAddress, family, message.request.id.idiag_src);
  PutAddress(ends.remoteAddress, family, message.request.id.idiag_dst);
  message.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
  message.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (::sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) !=
      static_cast<ssize_t>(sizeof message)) {
    ::close(fd);
    return answer;
  }
  alignas(nlmsghdr) char buffer[8192];
  const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
  ::close(fd);
  if (got < static_cast<ssize_t>(sizeof(nlmsghdr))) return answer;
  const auto* reply = reinterpret_cast<const nlmsghdr*>(buffer);
  if (reply->nlmsg_len > static_cast<std::uint32_t>(got)) return answer;
  if (reply->nlmsg_type == NLMSG_ERROR) {
    if (reply->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr))) return answer;
    const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(reply));
    // No such socket is an answer; anything else means the kernel could not
    // be asked this way.
    answer.asked = error->error == -ENOENT;
    return answer;
  }
  if (reply->nlmsg_type != SOCK_DIAG_BY_FAMILY || reply->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg))) {
    return answer;
  }
  answer.asked = true;
  const auto* found = static_cast<const inet_diag_msg*>(NLMSG_DATA(reply));
  // The lookup may fall back on a listening socket of that address and port:
  // only the socket with both ends is the peer's.
  if (found->id.idiag_sport != message.request.id.idiag_sport ||
      found->id.idiag_dport != message.request.id.idiag_dport ||
      std::memcmp(found->id.idiag_src, message.request.id.idiag_src, family == AF_INET ? 4 : 16) != 0 ||
      std::memcmp(found->id.idiag_dst, message.request.id.idiag_dst, family == AF_INET ? 4 : 16) != 0) {
    return answer;
  }
  answer.owner = static_cast<uid_t>(found->idiag_uid);
  return answer;
}

}  // namespace

std::optional<uid_t> SocketOwnerIn(std::string_view text, const SocketEnds& ends) {
  const QHostAddress local = Normalized(ends.localAddress), remote = Normalized(ends.remoteAddress);
  std::size_t at = 0;
  while (at < text.size()) {
    auto end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
    const auto fields = Fields(line);
    if (fields.size() < 10 || fields[0].back() != ':') continue;
    const auto own = End(fields[1]);
    const auto far = End(fields[2]);
    if (!own || !far) continue;
    if (own->second != ends.localPort || far->second != ends.remotePort) continue;
    if (own->first != local || far->first != remote) continue;
    std::uint64_t uid = 0;
    bool digits = !fields[7].empty();
    for (const char c : fields[7]) {
      if (c < '0' || c > '9' || uid > 0xFFFFFFFFu) {
        digits = false;
        break;
      }
      uid = uid * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (!digits || uid > 0xFFFFFFFFu) continue;
    return static_cast<uid_t>(uid);
  }
  return std::nullopt;
}

std::optional<uid_t> LocalPeerOwner(const QHostAddress& peer, std::uint16_t peerPort, const QHostAddress& us,
                                    std::uint16_t ourPort) {
  const SocketEnds ends{Normalized(peer), peerPort, Normalized(us), ourPort};
  // The peer's socket is of its own family: an IPv4 peer may also hold an
  // IPv6 socket with the IPv4 address mapped into it.
  const bool v4 = ends.localAddress.protocol() == QAbstractSocket::IPv4Protocol &&
                  ends.remoteAddress.protocol() == QAbstractSocket::IPv4Protocol;
  bool asked = true;
  for (const int family : v4 ? std::vector<int>{AF_INET, AF_INET6} : std::vector<int>{AF_INET6}) {
    const DiagAnswer answer = AskKernel(family, ends);
    if (answer.owner) return answer.owner;
    asked = asked && answer.asked;
  }
  if (asked) return std::nullopt;
  // A kernel without the socket lookup: the lists, read whole (slower).
  for (const char* list : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    if (const auto owner = SocketOwnerIn(ReadAll(list), ends)) return owner;
  }
  return std::nullopt;
}

}  // namespace vokar::netdde
