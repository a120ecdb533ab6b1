// Without a key, of the programs on the agent's own computer only those of
// its user are let in: this user's sender is served (and the settings say
// who is let in), another user's program is refused until a key is set and
// proved. The second needs a connection made as another user, which only
// root can make; it is skipped otherwise.
#include <gtest/gtest.h>

#include <pwd.h>

#include "AgentFixture.h"

namespace {

using namespace vokar;
using namespace vokar::nettest;

constexpr uid_t kOtherUser = 65534;  // nobody

std::string ThisUser() {
  const passwd* entry = ::getpwuid(::geteuid());
  return entry != nullptr ? entry->pw_name : std::to_string(::geteuid());
}

class LocalUser : public AgentTest {};

TEST_F(LocalUser, WithoutAKeyThisUsersSenderIsServedAndTheSettingsSaySo) {
  StartServer();
  const Finished enabled =
      Vknetdde({"--enable", "--port", "0", "--no-announce", "--no-key", "--allow", "127.0.0.1 127.0.0.2"});
  EXPECT_EQ(enabled.status, 0);
  EXPECT_EQ(enabled.err, "vknetdde: no key is set: of the programs on this computer only those of user " +
                             ThisUser() + " are let in ('vknetdde --new-key' lets in senders that know the key)\n");
  AgentProcess& agent = StartAgent();
  EXPECT_NE(agent.Errors().find("only those of user " + ThisUser() + " are let in"), std::string::npos);

  const Finished sent = Sievo({"--send", agent.Computer(), "Od tego samego użytkownika."});
  EXPECT_EQ(sent.status, 0) << sent.err;
  // From every address of loopback alike.
  RawPeer other(agent.port(), "127.0.0.2");
  ASSERT_TRUE(other.Open());
  const auto status = other.Execute("status");
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status & kPositive, kPositive);
  EXPECT_EQ(ServerLog(), (std::vector<std::string>{"execute break", "sharepoke Od tego samego u\xBFytkownika.",
                                                    "execute read", "execute status"}));
}

TEST_F(LocalUser, WithoutAKeyAnotherUsersProgramIsRefusedAndWithTheKeyItIsServed) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can connect as another user";
  StartServer();
  Enable({"--no-key", "--allow", "127.0.0.1"});
  AgentProcess& agent = StartAgent();

  RawPeer stranger(RawPeer::Adopt{ConnectAsUser(kOtherUser, agent.port())});
  ASSERT_TRUE(stranger.connected());
  const auto refused = stranger.Read();
  ASSERT_TRUE(refused && std::holds_alternative<netdde::Refused>(*refused));
  EXPECT_EQ(std::get<netdde::Refused>(*refused).reason, netdde::RefusedReason::OtherUser);
  EXPECT_TRUE(stranger.ClosedWithin(milliseconds(2000)));
  EXPECT_NE(agent.Errors().find(": a program of user " + std::to_string(kOtherUser) +
                                " of this computer, and no key is set\n"),
            std::string::npos)
      << agent.Errors();
  EXPECT_TRUE(ServerLog().empty());

  // With a key, whoever proves it is let in, of any user.
  const std::string key = "wspolny-klucz-0123456789";
  ASSERT_EQ(Vknetdde({"--key", "-"}, key + "\n").status, 0);
  RawPeer keyed(RawPeer::Adopt{ConnectAsUser(kOtherUser, agent.port())});
  ASSERT_TRUE(keyed.Open(key));
  EXPECT_EQ(keyed.Poke("Z kluczem."), kPositive);
  EXPECT_EQ(ServerLog(), std::vector<std::string>{"sharepoke Z kluczem."});
}

}  // namespace
