// The agent in the test's own process with windows of the test's choosing,
// so that what lasts a minute in use passes in seconds here: an address
// locked out for wrong keys is answered at once again when the lockout's
// window has passed, and wrong keys older than the window are forgotten.
// The peers speak from a thread of their own while the agent serves.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <future>
#include <thread>

#include "Agent.h"
#include "NetTestSupport.h"

namespace {

using namespace vokar;
using namespace vokar::nettest;

constexpr const char* kKey = "klucz-okna-0123456789";
constexpr milliseconds kWindow{3000};
constexpr milliseconds kLockedAnswer{2000};
constexpr const char* kLockout = "127.0.0.5: 5 wrong keys; for 3 s every answer to it comes after 2 s";

struct Handshake {
  bool welcomed = false;
  long ms = 0;
};

Handshake Try(int port, const std::string& key) {
  RawPeer peer(port, "127.0.0.5");
  const auto start = Clock::now();
  const auto answer = peer.Handshake(key);
  return {answer && std::holds_alternative<netdde::Welcome>(*answer),
          static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count())};
}

class AgentWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto allow = netdde::AllowList::Parse("127.0.0.1 127.0.0.5", error);
    ASSERT_TRUE(allow) << error;
    netdde::AgentLimits limits;
    limits.wrongKeyWindow = kWindow;
    limits.lockedOutAnswer = kLockedAnswer;
    agent_ = std::make_unique<netdde::CNetDdeAgent>(*allow, kKey, limits);
    agent_->SetLog([this](const std::string& line) { log_ += line + "\n"; });
    ASSERT_TRUE(agent_->Start(QHostAddress(QHostAddress::LocalHost), 0, error)) << error;
    port_ = agent_->port();
    // Wakes the loop below often enough to see the peers' side finish.
    wake_.start(5);
  }
  void TearDown() override {
    if (agent_) agent_->Stop();
  }

  // Runs the peers' side in a thread while the agent serves them here.
  template <typename Work>
  auto Serve(Work work) {
    auto done = std::async(std::launch::async, work);
    while (done.wait_for(milliseconds(0)) != std::future_status::ready) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done.get();
  }
  void ServeFor(milliseconds time) {
    Serve([time] { std::this_thread::sleep_for(time); });
  }
  std::vector<Handshake> WrongKeys(int count) {
    return Serve([this, count] {
      std::vector<Handshake> tries;
      for (int i = 0; i < count; ++i) tries.push_back(Try(port_, "zle-" + std::to_string(i)));
      return tries;
    });
  }

  int argc_ = 1;
  char name_[6] = "agent";
  char* argv_[2] = {name_, nullptr};
  QCoreApplication app_{argc_, argv_};
  QTimer wake_;
  std::unique_ptr<netdde::CNetDdeAgent> agent_;
  std::string log_;
  int port_ = 0;
};

TEST_F(AgentWindow, ALockoutEndsWhenItsWindowHasPassed) {
  for (const auto& wrong : WrongKeys(5)) {
    EXPECT_FALSE(wrong.welcomed);
    EXPECT_LT(wrong.ms, kLockedAnswer.count());
  }
  const auto locked = Clock::now();
  EXPECT_NE(log_.find(kLockout), std::string::npos) << log_;

  // Within the window the right key waits for its answer, and still gets in.
  const Handshake early = Serve([this] { return Try(port_, kKey); });
  EXPECT_TRUE(early.welcomed);
  EXPECT_GE(early.ms, kLockedAnswer.count());
  // One that starts before the window's end waits too, though its answer
  // comes after the end.
  ASSERT_LT(Clock::now() - locked, kWindow - milliseconds(200)) << "the machine is too slow for this window";
  const Handshake late = Serve([this] { return Try(port_, "jeszcze-zle"); });
  EXPECT_FALSE(late.welcomed);
  EXPECT_GE(late.ms, kLockedAnswer.count());

  // Once the window has passed, answers come at once again.
  ServeFor(std::chrono::duration_cast<milliseconds>(locked + kWindow + milliseconds(100) - Clock::now()));
  const Handshake after = Serve([this] { return Try(port_, kKey); });
  EXPECT_TRUE(after.welcomed);
  EXPECT_LT(after.ms, kLockedAnswer.count());
  const Handshake wrongAfter = Serve([this] { return Try(port_, "zle-po-oknie"); });
  EXPECT_FALSE(wrongAfter.welcomed);
  EXPECT_LT(wrongAfter.ms, kLockedAnswer.count());
}

TEST_F(AgentWindow, WrongKeysOlderThanTheWindowAreForgotten) {
  WrongKeys(4);
  ServeFor(kWindow + milliseconds(200));
  // The fifth comes after the window of the first four: no lockout.
  WrongKeys(1);
  EXPECT_EQ(log_.find("wrong keys; for"), std::string::npos) << log_;
  const Handshake right = Serve([this] { return Try(port_, kKey); });
  EXPECT_TRUE(right.welcomed);
  EXPECT_LT(right.ms, kLockedAnswer.count());
  // Four more within the window make five.
  WrongKeys(4);
  EXPECT_NE(log_.find(kLockout), std::string::npos) << log_;
}

}  // namespace
