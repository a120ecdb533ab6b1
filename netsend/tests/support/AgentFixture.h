// The world of a test of the agent as a real process: a private desktop and
// settings store, the DDE test server as the speech server (its log shows
// what reached it), the share's settings stored as the user stores them, the
// agent started as the user starts it, and sievo run to its end.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ClientTestSupport.h"
#include "NetTestSupport.h"

namespace vokar::nettest {

class AgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Set("QT_QPA_PLATFORM", "offscreen");
    world_.Set("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (world_.folder() / "no-bus").string());
  }

  // Stores the share's settings as the user does.
  void Enable(std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"--enable", "--port", "0", "--no-announce"});
    const Finished run = RunProgram(VKNETDDE, options, world_.folder());
    ASSERT_EQ(run.status, 0) << run.err;
  }

  void StartServer(std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--log", Log().string()});
    server_ = std::make_unique<vokar::testing::ChildProcess>(VOKAR_DDE_TESTSERVER, options);
    ASSERT_TRUE(vokar::testing::WaitForWindow("Vokar"));
  }

  AgentProcess& StartAgent() {
    agent_ = std::make_unique<AgentProcess>(VKNETDDE, world_.folder());
    EXPECT_TRUE(agent_->listening()) << agent_->Errors();
    return *agent_;
  }

  fs::path Log() const { return world_.folder() / "server.log"; }
  std::vector<std::string> ServerLog() const {
    std::vector<std::string> lines;
    for (auto& line : vokar::testing::ClientWorld::Lines(Log())) {
      if (!line.starts_with("start ")) lines.push_back(line);
    }
    return lines;
  }

  Finished Sievo(std::vector<std::string> arguments) { return RunProgram(SIEVO, std::move(arguments), world_.folder()); }
  Finished Vknetdde(std::vector<std::string> arguments, const std::string& input = {}) {
    return RunProgram(VKNETDDE, std::move(arguments), world_.folder(), milliseconds(30000), input);
  }

  vokar::testing::ClientWorld world_;
  std::unique_ptr<vokar::testing::ChildProcess> server_;
  std::unique_ptr<AgentProcess> agent_;
};

// The sentence before every reason why a send did not come about.
inline constexpr const char* kNoConnection = "Połączenie z serwerem Vokar przez NetworkDDE nie zostało nawiązane.";

}  // namespace vokar::nettest
