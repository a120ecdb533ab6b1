// The share's settings in the machine hive: off until turned on, the
// defaults of a fresh store, values brought into their ranges at both ends,
// and everything written read back.
#include <gtest/gtest.h>

#include <cstdlib>

#include "AgentConfig.h"
#include "Registry.h"
#include "TestFolder.h"

namespace {

using namespace vokar::netdde;
using vokar::registry::Key;
using vokar::registry::Root;

class AgentConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VOKAR_REGISTRY_DIR", folder_.path().c_str(), 1); }
  void TearDown() override { ::unsetenv("VOKAR_REGISTRY_DIR"); }
  vokar::test::TestFolder folder_{"agentconfig"};
};

TEST_F(AgentConfigTest, AFreshStoreKeepsTheShareOffOnLoopback) {
  const AgentConfig config = ReadAgentConfig();
  EXPECT_FALSE(config.enabled);
  EXPECT_EQ(config.address, "127.0.0.1");
  EXPECT_EQ(config.port, 7047);
  EXPECT_EQ(config.allowedHosts, "127.0.0.1 ::1");
  EXPECT_EQ(config.key, "");
  EXPECT_EQ(config.idleTimeoutSeconds, 60);
  EXPECT_EQ(config.handshakeTimeoutSeconds, 10);
  EXPECT_EQ(config.maxPeers, 64);
  EXPECT_TRUE(config.announce);
}

TEST_F(AgentConfigTest, WrittenSettingsComeBack) {
  AgentConfig config;
  config.enabled = true;
  config.address = "0.0.0.0";
  config.port = 7100;
  config.allowedHosts = "192.168.1.0/24";
  config.key = "tajny klucz";
  config.idleTimeoutSeconds = 30;
  config.handshakeTimeoutSeconds = 5;
  config.maxPeers = 10;
  config.announce = false;
  std::string error;
  ASSERT_TRUE(WriteAgentConfig(config, error)) << error;
  const AgentConfig back = ReadAgentConfig();
  EXPECT_TRUE(back.enabled);
  EXPECT_EQ(back.address, "0.0.0.0");
  EXPECT_EQ(back.port, 7100);
  EXPECT_EQ(back.allowedHosts, "192.168.1.0/24");
  EXPECT_EQ(back.key, "tajny klucz");
  EXPECT_EQ(back.idleTimeoutSeconds, 30);
  EXPECT_EQ(back.handshakeTimeoutSeconds, 5);
  EXPECT_EQ(back.maxPeers, 10);
  EXPECT_FALSE(back.announce);
  // Stored as the suite stores yes/no values.
  EXPECT_EQ(Key::Open(Root::LocalMachine, kAgentKey).value().QueryString("Enabled").value(), "Yes");
}

TEST_F(AgentConfigTest, NumbersAreBroughtIntoTheirRangesAtBothEnds) {
  struct Case {
    const char* name;
    std::uint32_t stored;
    int AgentConfig::*field;
    int expected;
  };
  const Case cases[] = {
      {"IdleTimeout", 0, &AgentConfig::idleTimeoutSeconds, 1},
      {"IdleTimeout", 1, &AgentConfig::idleTimeoutSeconds, 1},
      {"IdleTimeout", 3600, &AgentConfig::idleTimeoutSeconds, 3600},
      {"IdleTimeout", 3601, &AgentConfig::idleTimeoutSeconds, 3600},
      {"HandshakeTimeout", 0, &AgentConfig::handshakeTimeoutSeconds, 1},
      {"HandshakeTimeout", 300, &AgentConfig::handshakeTimeoutSeconds, 300},
      {"HandshakeTimeout", 301, &AgentConfig::handshakeTimeoutSeconds, 300},
      {"MaxPeers", 0, &AgentConfig::maxPeers, 1},
      {"MaxPeers", 1024, &AgentConfig::maxPeers, 1024},
      {"MaxPeers", 1025, &AgentConfig::maxPeers, 1024},
      {"MaxPeers", 0xFFFFFFFF, &AgentConfig::maxPeers, 1},  // -1 as a 32-bit number
      {"Port", 0, &AgentConfig::port, 0},
      {"Port", 65535, &AgentConfig::port, 65535},
      {"Port", 65536, &AgentConfig::port, 65535},
  };
  const Key key = Key::Create(Root::LocalMachine, kAgentKey).value();
  for (const Case& c : cases) {
    ASSERT_TRUE(key.Set(c.name, c.stored).ok());
    EXPECT_EQ(ReadAgentConfig().*c.field, c.expected) << c.name << " " << c.stored;
  }
}

TEST_F(AgentConfigTest, YesNoValuesFollowTheSuitesRule) {
  const Key key = Key::Create(Root::LocalMachine, kAgentKey).value();
  for (const auto& [text, on] : std::vector<std::pair<std::string, bool>>{
           {"Yes", true}, {"true", true}, {"1", true}, {"9", true}, {"No", false}, {"0", false}, {"", false}, {"x", false}}) {
    ASSERT_TRUE(key.Set("Enabled", text).ok());
    EXPECT_EQ(ReadAgentConfig().enabled, on) << "'" << text << "'";
  }
}

}  // namespace
