// Whether two sets of peer credentials belong to one process: proved by the
// kernel's identity of a process where both have one, else by the process
// ids where both are seen; processes out of sight (in a PID namespace this
// one cannot see into) are one only as far as their user and group go.
#include <gtest/gtest.h>
#include <unistd.h>

#include "Desktop.h"

namespace {

using vokar::desktop::PeerCredentials;
using vokar::desktop::SameProcess;

PeerCredentials Peer(std::uint32_t process, std::uint64_t identity = 0, std::uint32_t user = 1000,
                     std::uint32_t group = 1000) {
  PeerCredentials credentials;
  credentials.known = true;
  credentials.process = process;
  credentials.user = user;
  credentials.group = group;
  credentials.identity = identity;
  return credentials;
}

TEST(PeerCredentials, TheKernelsIdentityDecidesWhereBothHaveOne) {
  // A process seen under its id on one connection and out of sight on the
  // other (it moved into a namespace) is still the one process.
  EXPECT_TRUE(SameProcess(Peer(4711, 90), Peer(4711, 90)));
  EXPECT_TRUE(SameProcess(Peer(0, 90), Peer(0, 90)));
  EXPECT_TRUE(SameProcess(Peer(4711, 90), Peer(0, 90)));
  // Two processes out of sight with the same user are told apart by it.
  EXPECT_FALSE(SameProcess(Peer(0, 90), Peer(0, 91)));
  // A recycled process id is not the same process.
  EXPECT_FALSE(SameProcess(Peer(4711, 90), Peer(4711, 91)));
}

TEST(PeerCredentials, WithoutIdentitiesTheProcessIdsDecideWhereBothAreSeen) {
  EXPECT_TRUE(SameProcess(Peer(4711), Peer(4711)));
  EXPECT_FALSE(SameProcess(Peer(4711), Peer(4712)));
  // One identity is not enough to compare identities.
  EXPECT_TRUE(SameProcess(Peer(4711, 90), Peer(4711)));
  EXPECT_FALSE(SameProcess(Peer(4711, 90), Peer(4712)));
  // One seen and one out of sight are never the same.
  EXPECT_FALSE(SameProcess(Peer(4711), Peer(0)));
  EXPECT_FALSE(SameProcess(Peer(0), Peer(4711)));
}

TEST(PeerCredentials, OutOfSightBothOnlyTheUserAndGroupCanBeCompared) {
  EXPECT_TRUE(SameProcess(Peer(0), Peer(0)));
  EXPECT_FALSE(SameProcess(Peer(0, 0, 1000), Peer(0, 0, 1001)));
  EXPECT_FALSE(SameProcess(Peer(0, 0, 1000, 1000), Peer(0, 0, 1000, 100)));
  // Another user is never the same process, whatever else matches.
  EXPECT_FALSE(SameProcess(Peer(4711, 90, 1000), Peer(4711, 90, 1001)));
}

TEST(PeerCredentials, UnknownCredentialsAreNobodys) {
  const PeerCredentials unknown;
  EXPECT_FALSE(SameProcess(unknown, unknown));
  EXPECT_FALSE(SameProcess(unknown, Peer(0)));
  PeerCredentials root = Peer(0, 0, 0, 0);
  EXPECT_FALSE(SameProcess(unknown, root)) << "all zeros must not pass for a root process out of sight";
}

TEST(PeerCredentials, OwnCredentialsAreThisProcesssAsTheSystemGivesThem) {
  const PeerCredentials own = vokar::desktop::OwnCredentials();
  EXPECT_TRUE(own.known);
  EXPECT_EQ(own.process, static_cast<std::uint32_t>(::getpid()));
  EXPECT_EQ(own.user, static_cast<std::uint32_t>(::geteuid()));
  EXPECT_EQ(own.group, static_cast<std::uint32_t>(::getegid()));
  EXPECT_TRUE(SameProcess(own, own));
}

}  // namespace
