// A client of the DDE test server on a private desktop: the instance, the
// four string handles a speech client makes, and short forms of the
// transactions the tests repeat.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Ddeml.h"
#include "TestServerProtocol.h"
#include "TestSupport.h"

namespace vokar::testing {

class DdeFixture : public ::testing::Test {
 protected:
  static constexpr desktop::milliseconds kTimeout{5000};

  void SetUp() override {
    ASSERT_EQ(dde::Initialize(instance_, [this](dde::Notice, dde::Conversation c) { disconnects_.push_back(c); },
                              dde::InitMode::ClientOnly),
              dde::DMLERR_NO_ERROR);
    service_ = dde::CreateStringHandle(instance_, "Vokar");
    topic_ = dde::CreateStringHandle(instance_, "System");
    item_ = dde::CreateStringHandle(instance_, "text");
  }

  void TearDown() override {
    dde::Uninitialize(instance_);
    servers_.clear();
  }

  // Starts a test server and waits until its window is there.
  ChildProcess& StartServer(std::vector<std::string> arguments = {}, const std::string& title = "Vokar") {
    servers_.push_back(std::make_unique<ChildProcess>(VOKAR_DDE_TESTSERVER, arguments));
    EXPECT_TRUE(WaitForWindow(title));
    return *servers_.back();
  }

  dde::Conversation ConnectToVokar() { return dde::Connect(instance_, service_, topic_); }

  bool Poke(dde::Conversation conversation, std::string_view text, std::uint32_t* status = nullptr,
            desktop::milliseconds timeout = kTimeout) {
    std::string data(text);
    data.push_back('\0');
    return dde::ClientTransaction(data, conversation, item_, dde::CF_TEXT, dde::TransactionType::Poke, timeout,
                                  status);
  }

  bool Execute(dde::Conversation conversation, std::string_view command, std::uint32_t* status = nullptr,
               desktop::milliseconds timeout = kTimeout) {
    std::string data(command);
    data.push_back('\0');
    return dde::ClientTransaction(data, conversation, {}, 0, dde::TransactionType::Execute, timeout, status);
  }

  // The status byte of "status", or -1 when the transaction failed.
  int Status(dde::Conversation conversation) {
    std::uint32_t status = 0;
    if (!Execute(conversation, "status", &status)) return -1;
    return static_cast<int>(status & 0xFF);
  }

  std::string ServerText() {
    return desktop::SendMessage(desktop::FindWindow("Vokar"), dde::testserver::kGetText, 0, 0).reply;
  }

  PrivateDesktop desktop_;
  dde::DdeInstance instance_ = 0;
  dde::StringHandle service_, topic_, item_;
  std::vector<dde::Conversation> disconnects_;
  std::vector<std::unique_ptr<ChildProcess>> servers_;
};

}  // namespace vokar::testing
