// Every error a client of the speech server can meet, produced for real: a
// busy server, one that does not answer, none at all, one that dies, and a
// program that starts a transaction while another waits.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

#include "DdeFixture.h"

namespace {

using namespace vokar;
using namespace vokar::dde;
using vokar::testing::ChildProcess;
using vokar::testing::DdeFixture;
using vokar::testing::WaitFor;

using Errors = DdeFixture;

TEST_F(Errors, PokeWhileTheServerReadsIsBusy) {
  StartServer({"--job-ms", "4000"});
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  ASSERT_TRUE(Poke(conversation, "pierwszy"));
  ASSERT_TRUE(Execute(conversation, "read"));
  ASSERT_TRUE(WaitFor([&] { return Status(conversation) == 1; }));

  std::uint32_t status = 0;
  EXPECT_FALSE(Poke(conversation, "drugi", &status));
  EXPECT_EQ(GetLastError(instance_), DMLERR_BUSY);
  EXPECT_EQ(status, 0x4000u);
  EXPECT_EQ(ServerText(), "pierwszy");
  // Breaking first makes room, as a client that speaks with "break first" does.
  ASSERT_TRUE(Execute(conversation, "break"));
  ASSERT_TRUE(WaitFor([&] { return Status(conversation) == 2; }));
  EXPECT_TRUE(Poke(conversation, "drugi"));
}

TEST_F(Errors, ServerThatDoesNotAnswerTimesOutAndItsLateAnswersAreIgnored) {
  ChildProcess& server = StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  server.Signal(SIGSTOP);

  const auto start = desktop::Clock::now();
  std::uint32_t status = 77;
  EXPECT_FALSE(Poke(conversation, "nikt", &status, desktop::milliseconds(250)));
  EXPECT_EQ(GetLastError(instance_), DMLERR_POKEACKTIMEOUT);
  EXPECT_EQ(status, 0u);
  EXPECT_GE(desktop::Clock::now() - start, desktop::milliseconds(250));
  EXPECT_FALSE(Execute(conversation, "read", nullptr, desktop::milliseconds(250)));
  EXPECT_EQ(GetLastError(instance_), DMLERR_EXECACKTIMEOUT);
  EXPECT_TRUE(disconnects_.empty());

  // Woken, the server answers the old transactions first; the client must
  // not take those answers for the answer to its next one.
  server.Signal(SIGCONT);
  std::uint32_t nextStatus = 0;
  ASSERT_TRUE(Execute(conversation, "status", &nextStatus));
  EXPECT_EQ(nextStatus & 0x8000, 0x8000u);
  EXPECT_TRUE(Execute(conversation, "break"));
}

TEST_F(Errors, NoServerMeansNoConversation) {
  EXPECT_FALSE(ConnectToVokar());
  EXPECT_EQ(GetLastError(instance_), DMLERR_NO_CONV_ESTABLISHED);
  EXPECT_FALSE(Poke(Conversation{}, "nikt"));
  EXPECT_EQ(GetLastError(instance_), DMLERR_NO_CONV_ESTABLISHED);
  EXPECT_FALSE(Execute(Conversation{}, "status"));
  EXPECT_EQ(GetLastError(instance_), DMLERR_NO_CONV_ESTABLISHED);
}

TEST_F(Errors, ServerKilledMidConversationIsReportedDead) {
  ChildProcess& server = StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  ASSERT_TRUE(Poke(conversation, "zanim"));
  server.Stop(SIGKILL);

  // The transaction right after the death may come before the loop has
  // noticed it: either way it is the server-died error.
  EXPECT_FALSE(Poke(conversation, "po"));
  EXPECT_EQ(GetLastError(instance_), DMLERR_SERVER_DIED);
  ASSERT_TRUE(WaitFor([&] { return disconnects_.size() == 1; }));
  EXPECT_FALSE(Execute(conversation, "read"));
  EXPECT_EQ(GetLastError(instance_), DMLERR_SERVER_DIED);
  desktop::PumpMessages(desktop::milliseconds(20));
  EXPECT_EQ(disconnects_.size(), 1u);  // one notice per loss
}

TEST_F(Errors, ServerKilledWhileATransactionWaitsEndsTheWaitAtOnce) {
  ChildProcess& server = StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  server.Signal(SIGSTOP);
  // Our own window's message is handled while the transaction waits, and
  // it kills the server there.
  auto own = desktop::Window::Create("Zegar", [&](desktop::Message&) -> std::int64_t {
    server.Signal(SIGKILL);
    return 0;
  });
  ASSERT_TRUE(own.window);
  desktop::PostMessage(own.window->handle(), desktop::WM_USER + 7, 0, 0);

  const auto start = desktop::Clock::now();
  EXPECT_FALSE(Poke(conversation, "nigdy", nullptr, desktop::milliseconds(4000)));
  EXPECT_EQ(GetLastError(instance_), DMLERR_SERVER_DIED);
  EXPECT_LT(desktop::Clock::now() - start, desktop::milliseconds(3000));
  ASSERT_TRUE(WaitFor([&] { return disconnects_.size() == 1; }));
}

TEST_F(Errors, TransactionStartedWhileAnotherWaitsIsRefusedAsReentrant) {
  StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  bool nestedResult = true;
  std::uint32_t nestedError = 0;
  auto own = desktop::Window::Create("Zegar", [&](desktop::Message&) -> std::int64_t {
    nestedResult = Execute(conversation, "status");
    nestedError = GetLastError(instance_);
    return 0;
  });
  ASSERT_TRUE(own.window);
  desktop::PostMessage(own.window->handle(), desktop::WM_USER + 7, 0, 0);

  // The posted message is handled inside the poke's wait.
  EXPECT_TRUE(Poke(conversation, "zewn\xEAtrzny"));
  EXPECT_FALSE(nestedResult);
  EXPECT_EQ(nestedError, DMLERR_REENTRANCY);
  EXPECT_EQ(ServerText(), "zewn\xEAtrzny");
}

TEST_F(Errors, BadHandlesAndSizesAreInvalidParameters) {
  StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);

  EXPECT_FALSE(ClientTransaction("x", conversation, StringHandle{9999}, CF_TEXT, TransactionType::Poke,
                                 kTimeout, nullptr));
  EXPECT_EQ(GetLastError(instance_), DMLERR_INVALIDPARAMETER);
  EXPECT_FALSE(Poke(Conversation{4242}, "x"));
  EXPECT_EQ(GetLastError(instance_), DMLERR_INVALIDPARAMETER);
  EXPECT_FALSE(Poke(conversation, std::string(desktop::kMaxPayload, 'x')));
  EXPECT_EQ(GetLastError(instance_), DMLERR_INVALIDPARAMETER);
  EXPECT_FALSE(Connect(instance_, StringHandle{9999}, topic_));
  EXPECT_EQ(GetLastError(instance_), DMLERR_INVALIDPARAMETER);
  EXPECT_FALSE(CreateStringHandle(instance_, std::string(256, 'n')));
  EXPECT_EQ(GetLastError(instance_), DMLERR_INVALIDPARAMETER);

  // A freed string handle is no longer a valid item.
  ASSERT_TRUE(FreeStringHandle(instance_, item_));
  EXPECT_FALSE(FreeStringHandle(instance_, item_));
  EXPECT_FALSE(Poke(conversation, "x"));
  EXPECT_EQ(GetLastError(instance_), DMLERR_INVALIDPARAMETER);
}

// One bus message carries at most 1 MiB (1048576 bytes) of payload. A poke's
// payload is the item name, a NUL, the four bytes of the DDEPOKE header and
// the data; an execute's is the command alone. Worked out by hand:
//   item "text" (4 bytes):  1048576 - 4 - 1 - 4   = 1048567 bytes of data fit
//   item of 255 bytes:      1048576 - 255 - 1 - 4 = 1048316 bytes of data fit
//   execute:                1048576 bytes of command fit
// One byte more is refused by the client as an invalid parameter, before
// anything travels, and the conversation stays usable.
TEST_F(Errors, TransactionSizeLimitCountsTheItemNameAndThePokeHeader) {
  StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  const StringHandle longItem = CreateStringHandle(instance_, std::string(255, 'i'));
  ASSERT_TRUE(longItem);

  struct Case {
    const char* what;
    TransactionType type;
    StringHandle item;
    std::size_t dataSize;
    bool travels;               // the client lets it onto the bus
    std::uint32_t serverError;  // what the server's answer makes of it (0: accepted)
  };
  const std::vector<Case> cases{
      {"poke of item text, largest", TransactionType::Poke, item_, 1048567, true, DMLERR_NO_ERROR},
      {"poke of item text, one byte more", TransactionType::Poke, item_, 1048568, false, 0},
      {"poke of a 255-byte item, largest", TransactionType::Poke, longItem, 1048316, true, DMLERR_NOTPROCESSED},
      {"poke of a 255-byte item, one byte more", TransactionType::Poke, longItem, 1048317, false, 0},
      {"execute, largest", TransactionType::Execute, {}, 1048576, true, DMLERR_NO_ERROR},
      {"execute, one byte more", TransactionType::Execute, {}, 1048577, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string data(c.dataSize, 'x');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 23);
    const bool ok = ClientTransaction(data, conversation, c.item, CF_TEXT, c.type, kTimeout, nullptr);
    const std::uint32_t error = GetLastError(instance_);
    if (!c.travels) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(error, DMLERR_INVALIDPARAMETER);
    } else {
      EXPECT_EQ(ok, c.serverError == DMLERR_NO_ERROR);
      EXPECT_EQ(error, c.serverError);
    }
    if (c.type == TransactionType::Poke && c.item.value == item_.value && c.travels) {
      EXPECT_EQ(ServerText(), data.substr(0, testserver::kMaxPokeText));
    }
    // Nothing was lost: the same conversation goes on.
    EXPECT_EQ(Status(conversation), 2);
  }
  EXPECT_TRUE(disconnects_.empty());
}

TEST_F(Errors, UnusableDesktopOrUnknownInstanceIsReported) {
  EXPECT_EQ(GetLastError(DdeInstance{987654}), DMLERR_DLL_NOT_INITIALIZED);
  EXPECT_FALSE(CreateStringHandle(DdeInstance{987654}, "Vokar"));
  EXPECT_FALSE(Uninitialize(DdeInstance{987654}));

  const auto file = desktop_.folder() / "not-a-folder";
  std::ofstream(file) << "x";
  ::setenv("VOKAR_DESKTOP_DIR", file.c_str(), 1);
  DdeInstance second = 123;
  EXPECT_EQ(Initialize(second, {}, InitMode::ClientOnly), DMLERR_SYS_ERROR);
  EXPECT_EQ(second, 0u);
  ::setenv("VOKAR_DESKTOP_DIR", desktop_.folder().c_str(), 1);
}

}  // namespace
