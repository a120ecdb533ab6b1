// Off means off, and every change of the share's settings holds at once: the
// running agents (two of one user at a time) end when the share is turned
// off, with vknetdde --disable or with the store changed directly; a new
// key, allow-list or port holds for the running agent without a restart and
// cuts the peers the change shuts out; --status says what a running agent
// serves.
#include <gtest/gtest.h>

#include <pwd.h>

#include <algorithm>

#include "AgentConfig.h"
#include "AgentFixture.h"

namespace {

using namespace vokar;
using namespace vokar::nettest;

class ShareControl : public AgentTest {
 protected:
  // The "agent: ..." lines of a command's output.
  static std::vector<std::string> AgentLines(const std::string& out) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < out.size()) {
      const auto end = out.find('\n', at);
      const std::string line = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
      if (line.starts_with("agent")) lines.push_back(line);
      if (end == std::string::npos) break;
      at = end + 1;
    }
    return lines;
  }
};

TEST_F(ShareControl, DisableEndsEveryRunningAgentAtOnceAndSendersThenFindNobody) {
  StartServer();
  Enable();
  AgentProcess first(VKNETDDE, world_.folder());
  AgentProcess second(VKNETDDE, world_.folder());
  ASSERT_TRUE(first.listening() && second.listening()) << first.Errors();
  ASSERT_EQ(Sievo({"--send", first.Computer(), "Pierwszy."}).status, 0);
  RawPeer open(second.port());
  ASSERT_TRUE(open.Open());

  const auto start = Clock::now();
  const Finished disabled = Vknetdde({"--disable"});
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
  EXPECT_EQ(disabled.status, 0) << disabled.err;
  EXPECT_NE(disabled.out.find("share VOKAR$: off\n"), std::string::npos) << disabled.out;
  const auto lines = AgentLines(disabled.out);
  // Each says why it ends (unless it saw the change first and was gone
  // when told) and has stopped.
  for (const AgentProcess* agent : {&first, &second}) {
    const std::string pid = std::to_string(agent->pid());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "agent: pid " + pid + " stopped"), lines.end()) << disabled.out;
  }
  const auto ends = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.ends_with(" ends: the share VOKAR$ was turned off");
  });
  EXPECT_GE(ends, 1) << disabled.out;
  std::cout << "vknetdde --disable ended two agents in " << took << " ms" << std::endl;
  // Both have ended by the time the command returns, with the status that
  // keeps the user unit from starting them again.
  EXPECT_EQ(first.WaitForExit(milliseconds(100)), 3);
  EXPECT_EQ(second.WaitForExit(milliseconds(100)), 3);
  EXPECT_NE(first.Errors().find("vknetdde: the share VOKAR$ was turned off; the agent ends\n"), std::string::npos);
  // The open conversation was ended: TERMINATE, then the connection closed.
  EXPECT_TRUE(open.ClosedWithin(milliseconds(2000)));

  const Finished sent = Sievo({"--send", first.Computer(), "Drugi."});
  EXPECT_EQ(sent.status, 1);
  EXPECT_NE(world_.MessageTexts().back().find("nie przyjmuje komunikatów: udział VOKAR$ jest na nim wyłączony"),
            std::string::npos);
  EXPECT_EQ(ServerLog(), (std::vector<std::string>{"execute break", "sharepoke Pierwszy.", "execute read"}));
  EXPECT_NE(Vknetdde({"--status"}).out.find("agent: not running\n"), std::string::npos);
}

TEST_F(ShareControl, TheShareTurnedOffInTheStoreDirectlyEndsTheAgentWithinASecond) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();
  // As vkreg or another program would: nobody tells the agent.
  netdde::AgentConfig config = netdde::ReadAgentConfig();
  config.enabled = false;
  std::string error;
  ASSERT_TRUE(netdde::WriteAgentConfig(config, error)) << error;
  const auto start = Clock::now();
  EXPECT_EQ(agent.WaitForExit(milliseconds(3000)), 3);
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
  std::cout << "the agent saw the share turned off in the store after " << took << " ms" << std::endl;
  EXPECT_LT(took, 2000);
}

TEST_F(ShareControl, ANewKeyAndAllowListHoldForTheRunningAgentAtOnce) {
  StartServer();
  const std::string oldKey = "stary-klucz-0123456789", newKey = "nowy-klucz-0123456789";
  ASSERT_EQ(Vknetdde({"--enable", "--port", "0", "--no-announce", "--key", "-", "--allow", "127.0.0.1 127.0.0.2"},
                     oldKey + "\n")
                .status,
            0);
  AgentProcess& agent = StartAgent();
  RawPeer before(agent.port());
  ASSERT_TRUE(before.Open(oldKey));

  const Finished keyed = Vknetdde({"--key", "-"}, newKey + "\n");
  EXPECT_EQ(keyed.status, 0) << keyed.err;
  const std::string pid = std::to_string(agent.pid());
  EXPECT_NE(keyed.out.find("agent: running, pid " + pid + "\nagent serves: 127.0.0.1 port " +
                           std::to_string(agent.port()) + "\nagent key: set\n"),
            std::string::npos)
      << keyed.out;
  // The peer let in under the old key is cut; the old key opens nothing, the
  // new one does, without a restart.
  const auto cut = before.Read(milliseconds(2000));
  ASSERT_TRUE(cut && std::holds_alternative<netdde::Refused>(*cut));
  EXPECT_EQ(std::get<netdde::Refused>(*cut).reason, netdde::RefusedReason::SettingsChanged);
  EXPECT_TRUE(before.ClosedWithin(milliseconds(2000)));
  RawPeer old(agent.port());
  const auto refused = old.Handshake(oldKey);
  ASSERT_TRUE(refused && std::holds_alternative<netdde::Refused>(*refused));
  EXPECT_EQ(std::get<netdde::Refused>(*refused).reason, netdde::RefusedReason::WrongKey);
  RawPeer fresh(agent.port(), "127.0.0.2");
  ASSERT_TRUE(fresh.Open(newKey));

  // 127.0.0.2 taken off the list: its conversation is cut, and it is turned
  // away from then on; 127.0.0.1 is still served.
  const Finished narrowed = Vknetdde({"--allow", "127.0.0.1"});
  EXPECT_EQ(narrowed.status, 0) << narrowed.err;
  EXPECT_NE(narrowed.out.find("agent allowed: 127.0.0.1\n"), std::string::npos) << narrowed.out;
  const auto gone = fresh.Read(milliseconds(2000));
  ASSERT_TRUE(gone && std::holds_alternative<netdde::Refused>(*gone));
  EXPECT_EQ(std::get<netdde::Refused>(*gone).reason, netdde::RefusedReason::NotAllowed);
  RawPeer stranger(agent.port(), "127.0.0.2");
  const auto away = stranger.Read(milliseconds(2000));
  ASSERT_TRUE(away && std::holds_alternative<netdde::Refused>(*away));
  EXPECT_EQ(std::get<netdde::Refused>(*away).reason, netdde::RefusedReason::NotAllowed);
  RawPeer friendly(agent.port(), "127.0.0.1");
  ASSERT_TRUE(friendly.Open(newKey));
  EXPECT_EQ(friendly.Execute("status"), kPositive | 2);
  EXPECT_TRUE(agent.Running());
}

TEST_F(ShareControl, ANewPortIsListenedOnAtOnceAndTheOldOneLetGo) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();
  const int oldPort = agent.port();
  const int newPort = FreePort();
  const Finished moved = Vknetdde({"--port", std::to_string(newPort)});
  EXPECT_EQ(moved.status, 0) << moved.err;
  EXPECT_EQ(agent.NextPort(), newPort);
  EXPECT_NE(moved.out.find("agent serves: 127.0.0.1 port " + std::to_string(newPort) + "\n"), std::string::npos)
      << moved.out;
  EXPECT_EQ(Sievo({"--send", "127.0.0.1:" + std::to_string(newPort), "Nowy port."}).status, 0);
  EXPECT_EQ(Sievo({"--send", "127.0.0.1:" + std::to_string(oldPort), "Stary port."}).status, 1);
  EXPECT_EQ(ServerLog(), (std::vector<std::string>{"execute break", "sharepoke Nowy port.", "execute read"}));
}

TEST_F(ShareControl, StatusSaysWhatTheRunningAgentServes) {
  StartServer();
  Enable({"--allow", "127.0.0.1 127.0.0.2"});
  const Finished none = Vknetdde({"--status"});
  EXPECT_EQ(none.status, 0);
  EXPECT_NE(none.out.find("share VOKAR$: on\n"), std::string::npos);
  EXPECT_EQ(AgentLines(none.out), std::vector<std::string>{"agent: not running"});

  AgentProcess& agent = StartAgent();
  RawPeer served(agent.port());
  ASSERT_TRUE(served.Open());
  RawPeer greeted(agent.port(), "127.0.0.2");
  ASSERT_TRUE(greeted.Read().has_value());  // HELLO, never answered
  const Finished status = Vknetdde({"--status"});
  EXPECT_EQ(status.status, 0);
  const passwd* user = ::getpwuid(::geteuid());
  EXPECT_EQ(AgentLines(status.out),
            (std::vector<std::string>{
                "agent: running, pid " + std::to_string(agent.pid()),
                "agent serves: 127.0.0.1 port " + std::to_string(agent.port()),
                "agent key: none (of this computer's programs only user " + std::string(user->pw_name) +
                    "'s are let in)",
                "agent allowed: 127.0.0.1 127.0.0.2",
                "agent peers: 1 let in, 1 being greeted",
            }))
      << status.out;
}

}  // namespace
