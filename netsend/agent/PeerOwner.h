// Who is at the other end of a TCP connection that comes from this computer:
// the kernel knows every TCP socket of this network namespace with its two
// ends and the user that made it. The peer's socket is the one whose own end
// is the connection's far end and whose far end is ours; it is looked up by
// those four values (sock_diag over netlink), or, where the kernel cannot be
// asked so, found in its lists (/proc/net/tcp and /proc/net/tcp6). A peer on
// another computer has no such socket here.
#pragma once

#include <sys/types.h>

#include <QHostAddress>

#include <cstdint>
#include <optional>
#include <string_view>

namespace vokar::netdde {

struct SocketEnds {
  QHostAddress localAddress;
  std::uint16_t localPort = 0;
  QHostAddress remoteAddress;
  std::uint16_t remotePort = 0;
};

// The user of the socket of this computer whose ends are the given ones
// (local is the peer's own end), read from the text of /proc/net/tcp or
// /proc/net/tcp6; nothing when no line has these ends. Lines that cannot be
// read are skipped.
std::optional<uid_t> SocketOwnerIn(std::string_view procNetTcp, const SocketEnds& ends);

// The user of the program on this computer that holds the far end of the
// connection from peer to us; nothing when the peer is not on this computer
// (or the lists cannot be read).
std::optional<uid_t> LocalPeerOwner(const QHostAddress& peer, std::uint16_t peerPort, const QHostAddress& us,
                                    std::uint16_t ourPort);

}  // namespace vokar::netdde
