// Who holds the far end of a connection from this computer: lines of the
// kernel's socket lists written by hand (both ends must match, in either
// family), and real connections over loopback of this user and, when the
// test may change its user, of another.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <csignal>
#include <optional>

#include "PeerOwner.h"

namespace {

using namespace vokar::netdde;

constexpr const char* kHeader =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n";

SocketEnds Ends(const char* local, std::uint16_t localPort, const char* remote, std::uint16_t remotePort) {
  return {QHostAddress(QString::fromLatin1(local)), localPort, QHostAddress(QString::fromLatin1(remote)), remotePort};
}

TEST(PeerOwner, TheLineWithBothEndsNamesTheUser) {
  if constexpr (std::endian::native != std::endian::little) GTEST_SKIP() << "the lines below are of a little-endian computer";
  // 127.0.0.1:40000 -> 127.0.0.1:7047 of user 1000; the agent's own end of
  // it (the reverse) belongs to user 0, and a listening socket has no peer.
  const std::string tcp = std::string(kHeader) +
      "   0: 0100007F:1B87 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 1 1 0 100 0 0 10 0\n"
      "   1: 0100007F:1B87 0100007F:9C40 01 00000000:00000000 00:00000000 00000000     0        0 2 1 0 20 4 30 10 -1\n"
      "   2: 0100007F:9C40 0100007F:1B87 01 00000000:00000000 00:00000000 00000000  1000        0 3 1 0 20 4 30 10 -1\n"
      "   3: 0200007F:9C40 0100007F:1B87 01 00000000:00000000 00:00000000 00000000  1001        0 4 1 0 20 4 30 10 -1\n";
  EXPECT_EQ(SocketOwnerIn(tcp, Ends("127.0.0.1", 40000, "127.0.0.1", 7047)), uid_t{1000});
  EXPECT_EQ(SocketOwnerIn(tcp, Ends("127.0.0.2", 40000, "127.0.0.1", 7047)), uid_t{1001});
  EXPECT_EQ(SocketOwnerIn(tcp, Ends("127.0.0.1", 7047, "127.0.0.1", 40000)), uid_t{0});
  // Another port, another address, another far end: nobody.
  EXPECT_FALSE(SocketOwnerIn(tcp, Ends("127.0.0.1", 40001, "127.0.0.1", 7047)));
  EXPECT_FALSE(SocketOwnerIn(tcp, Ends("127.0.0.3", 40000, "127.0.0.1", 7047)));
  EXPECT_FALSE(SocketOwnerIn(tcp, Ends("127.0.0.1", 40000, "127.0.0.1", 7048)));
  EXPECT_FALSE(SocketOwnerIn(tcp, Ends("192.168.1.5", 40000, "127.0.0.1", 7047)));

  // IPv6: ::1 and an IPv4 peer that an agent on :: sees as ::ffff:127.0.0.1.
  const std::string tcp6 = std::string(kHeader) +
      "   0: 00000000000000000000000001000000:9C41 00000000000000000000000001000000:1B87 01 00000000:00000000 "
      "00:00000000 00000000  1002        0 5 1 0 20 4 30 10 -1\n"
      "   1: 0000000000000000FFFF00000100007F:9C42 0000000000000000FFFF00000100007F:1B87 01 00000000:00000000 "
      "00:00000000 00000000  1003        0 6 1 0 20 4 30 10 -1\n";
  EXPECT_EQ(SocketOwnerIn(tcp6, Ends("::1", 40001, "::1", 7047)), uid_t{1002});
  EXPECT_EQ(SocketOwnerIn(tcp6, Ends("127.0.0.1", 40002, "::ffff:127.0.0.1", 7047)), uid_t{1003});
  EXPECT_EQ(SocketOwnerIn(tcp6, Ends("::ffff:127.0.0.1", 40002, "127.0.0.1", 7047)), uid_t{1003});
  EXPECT_FALSE(SocketOwnerIn(tcp6, Ends("::2", 40001, "::1", 7047)));
}

TEST(PeerOwner, LinesThatCannotBeReadAreSkipped) {
  const std::string broken = std::string(kHeader) +
      "   0: 0100007F:9C40 0100007F:1B87 01\n"                                                          // short
      "   1: 0100007G:9C40 0100007F:1B87 01 00000000:00000000 00:00000000 00000000  7 0 1 1\n"           // not hex
      "   2: 0100007F:19C40 0100007F:1B87 01 00000000:00000000 00:00000000 00000000  7 0 1 1\n"          // port too long
      "   3: 0100007F:9C40 0100007F:1B87 01 00000000:00000000 00:00000000 00000000  x7 0 1 1\n"          // uid
      "   4: 0100007F:9C40 0100007F:1B87 01 00000000:00000000 00:00000000 00000000  99999999999 0 1 1\n"  // too big
      "   5  0100007F:9C40 0100007F:1B87 01 00000000:00000000 00:00000000 00000000  7 0 1 1\n"           // no colon
      "\n";
  EXPECT_FALSE(SocketOwnerIn(broken, Ends("127.0.0.1", 40000, "127.0.0.1", 7047)));
  EXPECT_FALSE(SocketOwnerIn("", Ends("127.0.0.1", 40000, "127.0.0.1", 7047)));
}

// A listening socket on loopback and the test's connection to it.
struct Listener {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::uint16_t port = 0;
  Listener() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 4);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
  }
  ~Listener() { ::close(fd); }
  // Takes a connection and says who is at its far end.
  std::optional<uid_t> AcceptAndAsk() const {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const int accepted = ::accept(fd, reinterpret_cast<sockaddr*>(&peer), &size);
    if (accepted < 0) return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    const auto owner = LocalPeerOwner(QHostAddress(QString::fromLatin1(text)), ntohs(peer.sin_port),
                                      QHostAddress(QHostAddress::LocalHost), port);
    ::close(accepted);
    return owner;
  }
};

int ConnectTo(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

TEST(PeerOwner, AConnectionOfThisUserOverLoopbackIsItsOwn) {
  Listener listener;
  const int client = ConnectTo(listener.port);
  ASSERT_GE(client, 0);
  EXPECT_EQ(listener.AcceptAndAsk(), ::geteuid());
  ::close(client);
}

TEST(PeerOwner, AConnectionOfAnotherUserIsThatUsers) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can make a connection as another user";
  constexpr uid_t kNobody = 65534;
  Listener listener;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The connection is made as that user and kept until the parent asked.
    if (::setresgid(kNobody, kNobody, kNobody) != 0 || ::setresuid(kNobody, kNobody, kNobody) != 0) ::_exit(2);
    const int fd = ConnectTo(listener.port);
    char byte = fd >= 0 ? 1 : 0;
    [[maybe_unused]] auto written = ::write(ready[1], &byte, 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char byte = 0;
  const auto got = ::read(ready[0], &byte, 1);
  ::close(ready[0]);
  if (got != 1) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    FAIL() << "the child could not become user " << kNobody;
  }
  EXPECT_EQ(byte, 1);
  EXPECT_EQ(listener.AcceptAndAsk(), kNobody);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

}  // namespace
