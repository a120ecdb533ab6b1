#include "DdeMessages.h"

#include <gtest/gtest.h>

namespace {

using namespace vokar::dde;
using vokar::desktop::Message;

const WindowHandle kClient{0x0000002A00000007ULL};

TEST(DdeMessages, StatusWordHoldsCodeBusyAndAck) {
  EXPECT_EQ(ToStatusWord({2, false, true}), 0x8002);
  EXPECT_EQ(ToStatusWord({0, true, false}), 0x4000);
  EXPECT_EQ(ToStatusWord({}), 0);
  const DdeAck ack = FromStatusWord(0xBF03);  // reserved bits set: ignored
  EXPECT_EQ(ack.appReturnCode, 3);
  EXPECT_TRUE(ack.ack);
  EXPECT_FALSE(ack.busy);
}

TEST(DdeMessages, EveryMessageSurvivesEncodingAndDecoding) {
  const auto initiate = DecodeInitiate(Encode(Initiate{kClient, "Vokar", "System"}));
  ASSERT_TRUE(initiate) << initiate.error;
  EXPECT_EQ(initiate.value->client, kClient);
  EXPECT_EQ(initiate.value->application, "Vokar");
  EXPECT_EQ(initiate.value->topic, "System");

  const auto wildcard = DecodeInitiate(Encode(Initiate{kClient, "", ""}));
  ASSERT_TRUE(wildcard);
  EXPECT_TRUE(wildcard.value->application.empty() && wildcard.value->topic.empty());

  const auto initiateAck = DecodeInitiateAck(Encode(InitiateAck{kClient, "VOKAR", "system"}));
  ASSERT_TRUE(initiateAck);
  EXPECT_EQ(initiateAck.value->application, "VOKAR");

  const std::string text("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1\0", 18);
  const auto poke = DecodePoke(Encode(Poke{kClient, 0xFFFFFFFF, "text", PokeBlock{kPokeRelease, CF_TEXT, text}}));
  ASSERT_TRUE(poke) << poke.error;
  EXPECT_EQ(poke.value->dataHandle, 0xFFFFFFFFu);
  EXPECT_EQ(poke.value->item, "text");
  ASSERT_TRUE(poke.value->block);
  EXPECT_EQ(poke.value->block->flags, kPokeRelease);
  EXPECT_EQ(poke.value->block->format, CF_TEXT);
  EXPECT_EQ(poke.value->block->data, text);

  const auto nullData = DecodePoke(Encode(Poke{kClient, 1, "text", std::nullopt}));
  ASSERT_TRUE(nullData);
  EXPECT_FALSE(nullData.value->block);

  const auto execute = DecodeExecute(Encode(Execute{kClient, 9, std::string("read\0", 5)}));
  ASSERT_TRUE(execute);
  EXPECT_EQ(execute.value->commandHandle, 9u);
  EXPECT_EQ(execute.value->command, std::string("read\0", 5));

  const auto ack = DecodeTransactionAck(Encode(TransactionAck{kClient, 0xC0FF, 0xDEADBEEF, "text"}));
  ASSERT_TRUE(ack) << ack.error;
  EXPECT_EQ(ack.value->status, 0xC0FF);
  EXPECT_EQ(ack.value->handle, 0xDEADBEEFu);
  EXPECT_EQ(ack.value->item, "text");

  const auto terminate = DecodeTerminate(Encode(Terminate{kClient, -5}));
  ASSERT_TRUE(terminate);
  EXPECT_EQ(terminate.value->lParam, -5);
}

TEST(DdeMessages, MessagesKeepTheirOriginalNumbers) {
  EXPECT_EQ(Encode(Initiate{kClient, "a", "b"}).message, 0x03E0u);
  EXPECT_EQ(Encode(Terminate{kClient, 0}).message, 0x03E1u);
  EXPECT_EQ(Encode(TransactionAck{kClient, 0, 0, ""}).message, 0x03E4u);
  EXPECT_EQ(Encode(Poke{kClient, 1, "text", std::nullopt}).message, 0x03E7u);
  EXPECT_EQ(Encode(Execute{kClient, 1, "read"}).message, 0x03E8u);
  EXPECT_EQ(Encode(Execute{kClient, 1, "read"}).wParam, kClient.value);
}

TEST(DdeMessages, MalformedMessagesAreRefusedWithWhere) {
  Message message = Encode(Initiate{kClient, "Vokar", "System"});
  message.payload = "VokarSystem";
  auto initiate = DecodeInitiate(message);
  EXPECT_FALSE(initiate);
  EXPECT_EQ(initiate.offset, 11u);

  message.payload = std::string(256, 'a') + '\0' + "System";
  EXPECT_FALSE(DecodeInitiate(message));
  message.payload = std::string("Vokar\0Sys\0tem", 13);
  initiate = DecodeInitiate(message);
  EXPECT_FALSE(initiate);
  EXPECT_EQ(initiate.offset, 9u);
  message.payload = std::string("Vokar\0System", 12);
  message.wParam = 0;
  EXPECT_FALSE(DecodeInitiate(message));

  Message poke = Encode(Poke{kClient, 1, "text", PokeBlock{0, CF_TEXT, "abc"}});
  poke.payload.resize(7);  // "text", NUL and only two bytes of the block
  const auto shortBlock = DecodePoke(poke);
  EXPECT_FALSE(shortBlock);
  EXPECT_EQ(shortBlock.offset, 5u);
  poke.payload = "text";
  EXPECT_FALSE(DecodePoke(poke));
  poke = Encode(Poke{kClient, 1, "text", std::nullopt});
  poke.lParam = -1;
  EXPECT_FALSE(DecodePoke(poke));

  Message ack = Encode(TransactionAck{kClient, 0x8000, 1, "text"});
  ack.lParam |= std::int64_t{1} << 50;
  EXPECT_FALSE(DecodeTransactionAck(ack));
  ack = Encode(TransactionAck{kClient, 0x8100, 1, "text"});
  EXPECT_FALSE(DecodeTransactionAck(ack));  // a reserved bit
  ack = Encode(TransactionAck{kClient, 0x8000, 1, std::string("te\0xt", 5)});
  EXPECT_FALSE(DecodeTransactionAck(ack));

  Message terminate = Encode(Terminate{kClient, 0});
  terminate.payload = "x";
  EXPECT_FALSE(DecodeTerminate(terminate));

  // A message of another number is never taken for this one.
  EXPECT_FALSE(DecodePoke(Encode(Execute{kClient, 1, "read"})));
  EXPECT_FALSE(DecodeInitiateAck(Encode(TransactionAck{kClient, 0x8000, 1, ""})));
}

TEST(DdeMessages, AtomNamesIgnoreCaseInCodePage1250) {
  EXPECT_TRUE(AtomNamesEqual("Vokar", "VOKAR"));
  EXPECT_TRUE(AtomNamesEqual("System", "system"));
  EXPECT_TRUE(AtomNamesEqual("\xA3\xF3\x64\x9F", "\xA3\xD3\x44\x8F"));  // Łódź, ŁÓDŹ
  EXPECT_FALSE(AtomNamesEqual("Vokar", "Vokar2"));
  EXPECT_FALSE(AtomNamesEqual("text", "test"));
  EXPECT_TRUE(AtomNamesEqual("", ""));
}

}  // namespace
