// Who the agent lets in: addresses, networks and names of the allow-list,
// IPv4 peers that arrive as IPv4-mapped IPv6 addresses, and the edges of
// every network.
#include <gtest/gtest.h>

#include "AgentConfig.h"

namespace {

using namespace vokar::netdde;

AllowList Make(const std::string& text) {
  std::string error;
  auto list = AllowList::Parse(text, error);
  EXPECT_TRUE(list.has_value()) << text << ": " << error;
  return list.value_or(AllowList{});
}

TEST(AllowList, AddressesAndNetworksWithTheirEdges) {
  const AllowList list = Make("192.168.1.0/24, 10.0.0.7;fd00::/8 127.0.0.1");
  struct Case {
    const char* address;
    bool allowed;
  };
  const Case cases[] = {
      {"192.168.1.0", true},    {"192.168.1.255", true},  {"192.168.0.255", false},
      {"192.168.2.0", false},   {"10.0.0.7", true},       {"10.0.0.6", false},
      {"10.0.0.8", false},      {"fd00::1", true},        {"fdff:ffff::1", true},
      {"fe00::1", false},       {"127.0.0.1", true},      {"127.0.0.2", false},
      {"::ffff:192.168.1.9", true}, {"::ffff:10.0.0.8", false}, {"::1", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(list.Allows(QHostAddress(QString::fromLatin1(c.address))), c.allowed) << c.address;
  }
}

TEST(AllowList, NamesAreLookedUpAndAnEmptyListLetsNobodyIn) {
  const AllowList named = Make("localhost");
  EXPECT_TRUE(named.Allows(QHostAddress(QStringLiteral("127.0.0.1"))));
  EXPECT_FALSE(named.Allows(QHostAddress(QStringLiteral("192.168.1.1"))));

  const AllowList empty = Make("  , ;");
  EXPECT_TRUE(empty.empty());
  EXPECT_FALSE(empty.Allows(QHostAddress(QStringLiteral("127.0.0.1"))));
}

TEST(AllowList, AnEntryThatIsNothingKnownIsRefusedByName) {
  std::string error;
  EXPECT_FALSE(AllowList::Parse("127.0.0.1 192.168.1.0/33", error));
  EXPECT_EQ(error, "'192.168.1.0/33' is not a network");
  EXPECT_FALSE(AllowList::Parse("no-such-host.invalid", error));
  EXPECT_EQ(error, "'no-such-host.invalid' is neither an address, a network nor a known host");
}

}  // namespace
