// Whole DDE conversations between this program and the test server, each in
// a process of its own.
#include <gtest/gtest.h>
#include <signal.h>

#include "DdeFixture.h"

namespace {

using namespace vokar;
using namespace vokar::dde;
using vokar::testing::DdeFixture;
using vokar::testing::WaitFor;

using Conversations = DdeFixture;

TEST_F(Conversations, InitiatePokeExecuteTerminate) {
  StartServer({"--job-ms", "4000"});
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation) << std::hex << GetLastError(instance_);

  // A fresh server that has read nothing is idle: stopped, no job.
  EXPECT_EQ(Status(conversation), 2);

  const std::string text("Dzie\xF1 dobry, \xBF\xF3\xB3w.", 18);
  std::uint32_t pokeStatus = 0;
  ASSERT_TRUE(Poke(conversation, text, &pokeStatus));
  EXPECT_EQ(pokeStatus, 0x8000u);
  EXPECT_EQ(ServerText(), text);
  EXPECT_EQ(Status(conversation), 2);  // a poke alone does not start reading

  ASSERT_TRUE(Execute(conversation, "read"));
  ASSERT_TRUE(WaitFor([&] { return Status(conversation) == 1; }));
  ASSERT_TRUE(Execute(conversation, "pause"));
  EXPECT_EQ(Status(conversation), 3);
  ASSERT_TRUE(Execute(conversation, "read"));  // resumes the paused job
  EXPECT_EQ(Status(conversation), 1);
  ASSERT_TRUE(Execute(conversation, "break"));
  ASSERT_TRUE(WaitFor([&] { return Status(conversation) == 2; }));

  const WindowHandle server = desktop::FindWindow("Vokar");
  EXPECT_EQ(desktop::SendMessage(server, testserver::kJobsStarted, 0, 0).result, 1);
  EXPECT_TRUE(Disconnect(conversation));
  EXPECT_FALSE(Disconnect(conversation));
  desktop::PumpMessages(desktop::milliseconds(50));
  EXPECT_TRUE(disconnects_.empty());  // ending it ourselves is no notice
  EXPECT_TRUE(desktop::IsWindow(server));
}

TEST_F(Conversations, ServiceAndTopicAreMatchedWithoutRegardToCase) {
  StartServer();
  const StringHandle service = CreateStringHandle(instance_, "vOKAr");
  const StringHandle topic = CreateStringHandle(instance_, "SYSTEM");
  EXPECT_EQ(QueryString(instance_, service), "vOKAr");
  const Conversation conversation = Connect(instance_, service, topic);
  ASSERT_TRUE(conversation);
  EXPECT_EQ(Status(conversation), 2);

  const StringHandle other = CreateStringHandle(instance_, "Horalo");
  EXPECT_FALSE(Connect(instance_, other, topic));
  EXPECT_EQ(GetLastError(instance_), DMLERR_NO_CONV_ESTABLISHED);
  EXPECT_EQ(GetLastError(instance_), DMLERR_NO_ERROR);  // reading the error resets it
  // The server does not answer the wildcard.
  EXPECT_FALSE(Connect(instance_, {}, {}));
}

TEST_F(Conversations, ServerUnderAnotherNameKeepsItsWindowButGivesNoConversation) {
  StartServer({"--service", "MOWA"});
  EXPECT_TRUE(desktop::FindWindow("Vokar"));
  EXPECT_FALSE(ConnectToVokar());
  EXPECT_EQ(GetLastError(instance_), DMLERR_NO_CONV_ESTABLISHED);
}

TEST_F(Conversations, PokeIsCutToTheBufferAndOtherItemsAndFormatsAreRefused) {
  StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);

  std::string big(70000, 'a');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  ASSERT_TRUE(Poke(conversation, big));
  EXPECT_EQ(ServerText(), big.substr(0, testserver::kMaxPokeText));

  ASSERT_TRUE(Poke(conversation, "kept"));
  std::uint32_t status = 0xFFFF;
  const StringHandle otherItem = CreateStringHandle(instance_, "Text");
  EXPECT_FALSE(ClientTransaction(std::string("lost\0", 5), conversation, otherItem, CF_TEXT, TransactionType::Poke,
                                 kTimeout, &status));
  EXPECT_EQ(status, 0u);  // a plain negative acknowledgement
  EXPECT_EQ(GetLastError(instance_), DMLERR_NOTPROCESSED);
  EXPECT_FALSE(ClientTransaction(std::string("lost\0", 5), conversation, item_, 2, TransactionType::Poke, kTimeout,
                                 &status));
  EXPECT_EQ(GetLastError(instance_), DMLERR_NOTPROCESSED);
  EXPECT_EQ(ServerText(), "kept");
}

TEST_F(Conversations, ExecuteTextsAreMatchedAsSubstringsInOrder) {
  StartServer({"--job-ms", "4000"});
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  ASSERT_TRUE(Poke(conversation, "tekst"));
  // Unknown commands are acknowledged too.
  std::uint32_t status = 0;
  ASSERT_TRUE(Execute(conversation, "[open(x)]", &status));
  EXPECT_EQ(status, 0x8000u);
  // "read" wins over "pause" when both are there.
  ASSERT_TRUE(Execute(conversation, "[pause][already(reading)]"));
  ASSERT_TRUE(WaitFor([&] { return Status(conversation) == 1; }));
  ASSERT_TRUE(Execute(conversation, "break"));
  ASSERT_TRUE(WaitFor([&] { return Status(conversation) == 2; }));
}

TEST_F(Conversations, ServerEndingTheConversationIsNoticedAndReconnected) {
  StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  ASSERT_TRUE(Poke(conversation, "raz"));

  ASSERT_TRUE(desktop::PostMessage(desktop::FindWindow("Vokar"), testserver::kTerminateClient, 0, 0));
  ASSERT_TRUE(WaitFor([&] { return disconnects_.size() == 1; }));
  EXPECT_EQ(disconnects_.front(), conversation);
  EXPECT_FALSE(Poke(conversation, "dwa"));
  EXPECT_EQ(GetLastError(instance_), DMLERR_SERVER_DIED);

  EXPECT_EQ(Reconnect(conversation), conversation);
  ASSERT_TRUE(Poke(conversation, "trzy"));
  EXPECT_EQ(ServerText(), "trzy");
  EXPECT_EQ(disconnects_.size(), 1u);
}

TEST_F(Conversations, ServerThatExitsIsNoticedAndItsSuccessorReconnected) {
  StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  servers_.back()->Stop(SIGTERM);
  ASSERT_TRUE(WaitFor([&] { return disconnects_.size() == 1; }));
  EXPECT_EQ(disconnects_.front(), conversation);

  EXPECT_FALSE(Reconnect(conversation));
  EXPECT_EQ(GetLastError(instance_), DMLERR_NO_CONV_ESTABLISHED);
  StartServer();
  EXPECT_EQ(Reconnect(conversation), conversation);
  EXPECT_EQ(Status(conversation), 2);
}

}  // namespace
