// The server's side of the DDE protocol, message by message: which
// conversations it accepts, what a poke stores and when it is refused, what
// each execute does, and the answers it sends. The window's state is a plain
// host here; the real window and real clients are in the process tests.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "DdeServer.h"
#include "ServerIds.h"
#include "TextBuffer.h"

namespace {

using namespace vokar;
using namespace vokar::dde;
using namespace vokar::server;

struct Host final : IDdeHost {
  bool running = false;
  bool stopped = true;
  int reads = 0;
  int breaks = 0;
  CTextBuffer text;
  bool JobRunning() const override { return running; }
  bool Stopped() const override { return stopped; }
  void SetStopped(bool value) override { stopped = value; }
  void StoreText(std::string_view t, TextOrigin origin) override { text.Store(t, kMaxPokeBytes, origin); }
  void PostReadText() override { ++reads; }
  void Break() override {
    ++breaks;
    stopped = false;
  }
};

struct Replies final : IDdeReplies {
  // The program whose messages name its own windows; any other is a stranger.
  std::uint32_t owner = 4242;
  std::vector<InitiateAck> initiateAcks;
  std::vector<TransactionAck> acks;
  std::vector<Terminate> terminates;
  bool SentByOwnerOf(const desktop::Message& message, WindowHandle window) const override {
    return window && message.senderProcess == owner;
  }
  bool SendInitiateAck(WindowHandle, const InitiateAck& ack) override {
    initiateAcks.push_back(ack);
    return true;
  }
  bool PostTransactionAck(WindowHandle, const TransactionAck& ack) override {
    acks.push_back(ack);
    return true;
  }
  bool PostTerminate(WindowHandle, const Terminate& terminate) override {
    terminates.push_back(terminate);
    return true;
  }
};

constexpr WindowHandle kServer{0x0000000100000001};
constexpr WindowHandle kClient{0x0000000200000005};

// A message as the client's own program sends it.
desktop::Message FromClient(desktop::Message message) {
  message.senderProcess = 4242;
  return message;
}

class DdeServerTest : public ::testing::Test {
 protected:
  desktop::Message Poke(std::string item, std::uint16_t format, std::string data, std::uint16_t flags = 0) {
    return FromClient(Encode(dde::Poke{kClient, 77, std::move(item), PokeBlock{flags, format, std::move(data)}}));
  }
  desktop::Message Execute(std::string command) {
    return FromClient(Encode(dde::Execute{kClient, 9, std::move(command)}));
  }
  DdeAck LastAck() { return FromStatusWord(replies.acks.back().status); }

  Host host;
  Replies replies;
  CDdeServer server{host, replies, kServer, "vokar"};
};

TEST_F(DdeServerTest, InitiateIsAnsweredOnlyForItsOwnNames) {
  struct Case {
    const char* application;
    const char* topic;
    bool answered;
  };
  const Case cases[] = {
      {"Vokar", "System", true}, {"VOKAR", "system", true}, {"vokar", "SYSTEM", true},
      {"", "System", false},     {"Vokar", "", false},      {"", "", false},
      {"Vokar2", "System", false}, {"Vokar", "Systemy", false}, {"Radko", "System", false},
  };
  for (const auto& c : cases) {
    replies.initiateAcks.clear();
    server.Handle(FromClient(Encode(Initiate{kClient, c.application, c.topic})));
    EXPECT_EQ(replies.initiateAcks.size(), c.answered ? 1u : 0u) << c.application << "|" << c.topic;
  }
  server.Handle(FromClient(Encode(Initiate{kClient, "Vokar", "System"})));
  ASSERT_EQ(replies.initiateAcks.size(), 1u);
  EXPECT_EQ(replies.initiateAcks[0].server, kServer);
  EXPECT_EQ(replies.initiateAcks[0].application, "vokar");
  EXPECT_EQ(replies.initiateAcks[0].topic, "system");

  // A server stored under another name answers only to that name.
  CDdeServer renamed(host, replies, kServer, "mowa");
  replies.initiateAcks.clear();
  renamed.Handle(FromClient(Encode(Initiate{kClient, "Vokar", "System"})));
  EXPECT_TRUE(replies.initiateAcks.empty());
  renamed.Handle(FromClient(Encode(Initiate{kClient, "MOWA", "System"})));
  EXPECT_EQ(replies.initiateAcks.size(), 1u);
}

TEST_F(DdeServerTest, PokeStoresAtMostTheLimitAndANul) {
  struct Case {
    std::size_t length;
    std::size_t stored;
  };
  const Case cases[] = {{0, 0}, {1, 1}, {65275, 65275}, {65276, 65276}, {65277, 65276}, {70000, 65276}};
  for (const auto& c : cases) {
    std::string text(c.length, 'a');
    if (c.length > 0) text.back() = 'z';
    server.Handle(Poke("text", CF_TEXT, text));
    EXPECT_EQ(host.text.Text().size(), c.stored) << c.length;
    EXPECT_TRUE(LastAck().ack) << c.length;
    EXPECT_FALSE(LastAck().busy);
    // The last stored byte is the poke's own last byte only when it fitted.
    if (c.stored > 0) {
      EXPECT_EQ(host.text.Text().back(), c.length == c.stored ? 'z' : 'a') << c.length;
    }
  }
  // The acknowledgement names the poke's handle and item.
  EXPECT_EQ(replies.acks.back().handle, 77u);
  EXPECT_EQ(replies.acks.back().item, "text");
  EXPECT_EQ(replies.acks.back().server, kServer);
  // Data ends at its NUL as a C string would.
  server.Handle(Poke("text", CF_TEXT, std::string("Raz\0dwa", 7)));
  EXPECT_EQ(host.text.Text(), "Raz");
  EXPECT_EQ(host.reads, 0) << "a poke does not start speaking";
}

TEST_F(DdeServerTest, PokeOfAnotherItemOrFormatOrDuringAJobIsRefused) {
  server.Handle(Poke("text", CF_TEXT, "stare"));
  struct Case {
    const char* item;
    std::uint16_t format;
    bool running;
    bool busy;
  };
  const Case cases[] = {
      {"Text", CF_TEXT, false, false},  {"TEXT", CF_TEXT, false, false}, {"texts", CF_TEXT, false, false},
      {"text", 13, false, false},       {"", CF_TEXT, false, false},     {"text", CF_TEXT, true, true},
      {"other", 7, true, true},
  };
  for (const auto& c : cases) {
    host.running = c.running;
    server.Handle(Poke(c.item, c.format, "nowe"));
    EXPECT_FALSE(LastAck().ack) << c.item << " " << c.format;
    EXPECT_EQ(LastAck().busy, c.busy) << c.item << " " << c.format;
    EXPECT_EQ(host.text.Text(), "stare");
  }
  // The item name is read as an atom of at most 31 characters.
  host.running = false;
  server.Handle(Poke("text" + std::string(27, ' '), CF_TEXT, "nowe"));
  EXPECT_FALSE(LastAck().ack);
}

// The network share's agent pokes another computer's text as "sharetext":
// stored as any text, and marked as from another computer until the next
// text of this computer replaces it.
TEST_F(DdeServerTest, TheSharesPokeIsStoredAsATextFromAnotherComputer) {
  server.Handle(Poke("sharetext", CF_TEXT, "Zdalny \\Spd=99\\ tekst."));
  EXPECT_TRUE(LastAck().ack);
  EXPECT_EQ(replies.acks.back().item, "sharetext");
  EXPECT_EQ(host.text.Text(), "Zdalny \\Spd=99\\ tekst.");
  EXPECT_EQ(host.text.origin(), TextOrigin::Remote);
  // A "read" from anyone reads it as it is: the mark goes with the text.
  server.Handle(Execute("read"));
  EXPECT_EQ(host.reads, 1);
  EXPECT_EQ(host.text.origin(), TextOrigin::Remote);

  server.Handle(Poke("text", CF_TEXT, "Lokalny."));
  EXPECT_EQ(host.text.origin(), TextOrigin::Local);
  server.Handle(Poke("sharetext", CF_TEXT, "Znowu zdalny."));
  ASSERT_EQ(host.text.origin(), TextOrigin::Remote);
  // Every other writer stores a text of this computer.
  host.text.Store("Ze schowka.", kMaxClipboardBytes);
  EXPECT_EQ(host.text.origin(), TextOrigin::Local);

  // Refused as "text" is: another format, a name that only resembles it, a job.
  server.Handle(Poke("sharetext", CF_TEXT, "stare"));
  for (const auto& [item, format, running] : std::vector<std::tuple<std::string, std::uint16_t, bool>>{
           {"sharetext", 13, false}, {"ShareText", CF_TEXT, false}, {"sharetext ", CF_TEXT, false},
           {"sharetext", CF_TEXT, true}}) {
    host.running = running;
    server.Handle(Poke(item, format, "nowe"));
    EXPECT_FALSE(LastAck().ack) << item;
    EXPECT_EQ(LastAck().busy, running) << item;
    EXPECT_EQ(host.text.Text(), "stare");
  }
}

TEST_F(DdeServerTest, APokeBlockShorterThanItsHeaderIsRefusedUnread) {
  server.Handle(Poke("text", CF_TEXT, "stare"));
  for (std::size_t blockSize = 1; blockSize < kPokeHeaderSize; ++blockSize) {
    desktop::Message message = Poke("text", CF_TEXT, "");
    message.payload = std::string("text\0", 5) + std::string(blockSize, '\x01');
    replies.acks.clear();
    server.Handle(message);
    ASSERT_EQ(replies.acks.size(), 1u) << blockSize;
    EXPECT_FALSE(LastAck().ack) << blockSize;
    EXPECT_EQ(replies.acks.back().item, "text");
    EXPECT_EQ(host.text.Text(), "stare");
  }
  // The header alone is an empty text.
  desktop::Message headerOnly = Poke("text", CF_TEXT, "");
  server.Handle(headerOnly);
  EXPECT_TRUE(LastAck().ack);
  EXPECT_EQ(host.text.Text(), "");
  // A poke with no data handle at all is refused.
  desktop::Message noData = headerOnly;
  noData.payload = std::string("text\0", 5);
  server.Handle(noData);
  EXPECT_FALSE(LastAck().ack);
}

TEST_F(DdeServerTest, ExecuteLooksForTheCommandsInsideTheText) {
  struct Case {
    const char* command;
    bool running;
    bool stoppedBefore;
    int reads;
    int breaks;
    bool stoppedAfter;
    std::uint8_t status;
  };
  const Case cases[] = {
      // Idle: read queues a job; pause and break do nothing.
      {"read", false, true, 1, 0, true, 0},
      {"[read]", false, true, 1, 0, true, 0},
      {"proofreading", false, true, 1, 0, true, 0},
      {"pause", false, true, 0, 0, true, 0},
      {"break", false, true, 0, 0, true, 0},
      {"status", false, true, 0, 0, true, 2},
      // Playing.
      {"status", true, false, 0, 0, false, 1},
      {"pause", true, false, 0, 0, true, 0},
      {"status", true, true, 0, 0, true, 3},
      {"read", true, true, 0, 0, false, 0},
      {"break", true, true, 0, 1, false, 0},
      // "read" wins over everything else in the same text.
      {"pause read", true, false, 0, 0, false, 0},
      {"break status", true, false, 0, 1, false, 0},
      // Case matters; unknown commands are only acknowledged.
      {"READ", false, true, 0, 0, true, 0},
      {"open /etc/passwd", false, true, 0, 0, true, 0},
      {"", false, true, 0, 0, true, 0},
  };
  for (const auto& c : cases) {
    host.running = c.running;
    host.stopped = c.stoppedBefore;
    host.reads = host.breaks = 0;
    server.Handle(Execute(std::string(c.command) + '\0'));
    EXPECT_EQ(host.reads, c.reads) << c.command;
    EXPECT_EQ(host.breaks, c.breaks) << c.command;
    EXPECT_EQ(host.stopped, c.stoppedAfter) << c.command;
    EXPECT_TRUE(LastAck().ack) << c.command;
    EXPECT_FALSE(LastAck().busy) << c.command;
    EXPECT_EQ(LastAck().appReturnCode, c.status) << c.command;
    EXPECT_EQ(replies.acks.back().handle, 9u);
  }
}

TEST_F(DdeServerTest, ExecuteReadsAtMost519CharactersUpToItsNul) {
  host.running = false;
  struct Case {
    std::size_t padding;
    int reads;
  };
  // "read" ends at character 519 (read) or 520 (not read).
  const Case cases[] = {{515, 1}, {516, 0}};
  for (const auto& c : cases) {
    host.reads = 0;
    server.Handle(Execute(std::string(c.padding, ' ') + "read"));
    EXPECT_EQ(host.reads, c.reads) << c.padding;
  }
  host.reads = 0;
  server.Handle(Execute(std::string("x\0read", 6)));
  EXPECT_EQ(host.reads, 0);
}

TEST_F(DdeServerTest, TerminateIsAnsweredWithTheSameParameter) {
  server.Handle(FromClient(Encode(Terminate{kClient, 1234})));
  ASSERT_EQ(replies.terminates.size(), 1u);
  EXPECT_EQ(replies.terminates[0].sender, kServer);
  EXPECT_EQ(replies.terminates[0].lParam, 1234);
  // Messages the server does not serve get no answer.
  desktop::Message request;
  request.message = WM_DDE_REQUEST;
  request.wParam = kClient.value;
  server.Handle(request);
  EXPECT_TRUE(replies.acks.empty());
  EXPECT_EQ(replies.terminates.size(), 1u);
}

// Another program that names our client's window speaks in a conversation
// that is not its own: nothing it sends is acted on or answered, whatever
// state the server is in. The same messages from the owner are the control.
TEST_F(DdeServerTest, MessagesFromAProgramThatDoesNotOwnTheClientWindowAreIgnored) {
  server.Handle(Poke("text", CF_TEXT, "stare"));
  ASSERT_EQ(host.text.Text(), "stare");
  struct Case {
    const char* name;
    desktop::Message message;
    bool running;
  };
  const Case cases[] = {
      {"initiate", Encode(Initiate{kClient, "Vokar", "System"}), false},
      {"poke", Encode(dde::Poke{kClient, 77, "text", PokeBlock{0, CF_TEXT, "obce"}}), false},
      {"poke while speaking", Encode(dde::Poke{kClient, 77, "text", PokeBlock{0, CF_TEXT, "obce"}}), true},
      {"short poke", [] {
         desktop::Message m = Encode(dde::Poke{kClient, 77, "text", PokeBlock{0, CF_TEXT, ""}});
         m.payload = std::string("text\0\x01", 6);
         return m;
       }(), false},
      {"read", Encode(dde::Execute{kClient, 9, "read"}), false},
      {"pause", Encode(dde::Execute{kClient, 9, "pause"}), true},
      {"break", Encode(dde::Execute{kClient, 9, "break"}), true},
      {"status", Encode(dde::Execute{kClient, 9, "status"}), true},
      {"terminate", Encode(Terminate{kClient, 5}), false},
  };
  for (const std::uint32_t sender : {0u, 4243u}) {
    for (const auto& c : cases) {
      replies = Replies{};
      host.running = c.running;
      host.stopped = !c.running;
      host.reads = host.breaks = 0;
      desktop::Message forged = c.message;
      forged.senderProcess = sender;
      server.Handle(forged);
      EXPECT_TRUE(replies.initiateAcks.empty() && replies.acks.empty() && replies.terminates.empty())
          << c.name << " from " << sender;
      EXPECT_EQ(host.text.Text(), "stare") << c.name << " from " << sender;
      EXPECT_EQ(host.reads, 0) << c.name << " from " << sender;
      EXPECT_EQ(host.breaks, 0) << c.name << " from " << sender;
      EXPECT_EQ(host.stopped, !c.running) << c.name << " from " << sender;
    }
  }
  // The owner's own messages are answered and acted on.
  host.reads = host.breaks = 0;
  for (const auto& c : cases) {
    replies = Replies{};
    host.running = c.running;
    host.stopped = !c.running;
    server.Handle(FromClient(c.message));
    EXPECT_EQ(replies.initiateAcks.size() + replies.acks.size() + replies.terminates.size(), 1u) << c.name;
  }
  EXPECT_EQ(host.reads, 1);
  EXPECT_EQ(host.breaks, 1);
  EXPECT_EQ(host.text.Text(), "obce");
}

}  // namespace
