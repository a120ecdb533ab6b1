// The agent vknetdde as a real process between real peers and the DDE test
// server (whose log shows exactly what reached it), on loopback: off until
// turned on, only the share's conversation carried, strangers, wrong keys,
// oversized frames, slow, idle and silent peers cut, and the server answering
// a legitimate peer throughout.
#include <gtest/gtest.h>

#include <pwd.h>

#include <atomic>
#include <latch>
#include <mutex>
#include <iostream>
#include <thread>

#include "AgentFixture.h"
#include "Desktop.h"
#include "DesktopFolder.h"
#include "TestServerProtocol.h"

namespace {

using namespace vokar;
using namespace vokar::nettest;
using vokar::testing::ChildProcess;
using vokar::testing::ClientWorld;

class Agent : public AgentTest {};

std::string UserName() {
  const passwd* entry = ::getpwuid(::geteuid());
  return entry != nullptr ? entry->pw_name : std::to_string(::geteuid());
}

TEST_F(Agent, IsOffUntilTurnedOnAndASenderThenFindsNobody) {
  const Finished off = RunProgram(VKNETDDE, {}, world_.folder());
  EXPECT_EQ(off.status, 3);
  EXPECT_EQ(off.err, "vknetdde: the share VOKAR$ is off; 'vknetdde --enable' turns it on\n");

  const std::string computer = "127.0.0.1:" + std::to_string(FreePort());
  const Finished sent = Sievo({"--send", computer, "Halo."});
  EXPECT_EQ(sent.status, 1);
  EXPECT_EQ(world_.MessageTexts(),
            std::vector<std::string>{std::string(kNoConnection) + "\n\nKomputer „" + computer +
                                     "” nie przyjmuje komunikatów: udział VOKAR$ jest na nim wyłączony albo nie "
                                     "działa program vknetdde."});
  EXPECT_NE(sent.err.find("Sievo: cannot connect to 127.0.0.1 port "), std::string::npos) << sent.err;
}

TEST_F(Agent, SettingsSayWhatTheyExposeAndBadValuesAreRefused) {
  const Finished wide = RunProgram(VKNETDDE, {"--enable", "--address", "0.0.0.0", "--allow", "192.168.1.0/24"},
                              world_.folder());
  EXPECT_EQ(wide.status, 0);
  EXPECT_NE(wide.out.find("share VOKAR$: on\naddress: 0.0.0.0\nport: 7047\nallowed: 192.168.1.0/24\nkey: none\n"),
            std::string::npos)
      << wide.out;
  EXPECT_EQ(wide.err,
            "vknetdde: no key is set: every allowed host can make this computer speak\n"
            "vknetdde: no key is set: of the programs on this computer only those of user " +
                UserName() + " are let in ('vknetdde --new-key' lets in senders that know the key)\n");
  // No agent runs: the command says so.
  EXPECT_NE(wide.out.find("agent: not running\n"), std::string::npos) << wide.out;

  const Finished keyed = RunProgram(VKNETDDE, {"--new-key"}, world_.folder());
  EXPECT_EQ(keyed.out.size(), 65u);  // 64 hex digits and a newline; nothing stored
  EXPECT_NE(RunProgram(VKNETDDE, {"--status"}, world_.folder()).out.find("key: none"), std::string::npos);
  const Finished stored = RunProgram(VKNETDDE, {"--new-key", "--allow", ""}, world_.folder());
  EXPECT_EQ(stored.status, 0);
  EXPECT_NE(stored.out.find("key: set"), std::string::npos);
  EXPECT_EQ(stored.err, "vknetdde: the allow-list is empty: nobody is let in\n");

  for (const auto& bad : std::vector<std::vector<std::string>>{{"--port", "65536"},
                                                                {"--port", "x"},
                                                                {"--address", "ala"},
                                                                {"--allow", "10.0.0.0/40"},
                                                                {"--idle-timeout", "0"},
                                                                {"--idle-timeout", "3601"},
                                                                {"--max-peers", "1025"},
                                                                {"--key", ""},
                                                                {"--key", "-"},
                                                                {"--frobnicate"}}) {
    EXPECT_EQ(RunProgram(VKNETDDE, bad, world_.folder()).status, 2) << bad[0];
  }
  // The limits themselves are taken.
  EXPECT_EQ(RunProgram(VKNETDDE, {"--port", "65535", "--idle-timeout", "3600", "--max-peers", "1024"},
                       world_.folder())
                .status,
            0);
  EXPECT_EQ(RunProgram(VKNETDDE, {"--disable"}, world_.folder()).status, 0);
  EXPECT_EQ(RunProgram(VKNETDDE, {}, world_.folder()).status, 3);
}

TEST_F(Agent, SievoSendsThroughTheShareAndTheServerGetsBreakTextAndRead) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();
  const Finished sent = Sievo({"--send", agent.Computer(), "Dzień", "dobry."});
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(ServerLog(), (std::vector<std::string>{"execute break", "sharepoke Dzie\xF1 dobry.", "execute read"}));
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Komunikat został pomyślnie wysłany do zadanego komputera");
  EXPECT_EQ(messages[0].icon, "information");
  EXPECT_EQ(messages[0].caption, "Sievo");

  const Finished broken = Sievo({"--break", agent.Computer()});
  EXPECT_EQ(broken.status, 0);
  EXPECT_EQ(ServerLog().back(), "execute break");
  EXPECT_EQ(agent.Stop(), 0);
}

// The command line sends what the dialog sends: at most 1023 bytes, counted
// in the server's code page (a Polish letter is two bytes of UTF-8 but one
// there), from the arguments and from standard input alike.
TEST_F(Agent, SievoSendsAtMost1023BytesOfTheServersCodePage) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();
  std::string letters;
  for (int i = 0; i < 1024; ++i) letters += "ą";  // 0xB9 in Windows-1250
  const std::string allowed(1023, '\xB9');

  const Finished whole = Sievo({"--send", agent.Computer(), letters.substr(0, 2 * 1023)});
  EXPECT_EQ(whole.status, 0) << whole.err;
  const Finished cut = Sievo({"--send", agent.Computer(), letters});
  EXPECT_EQ(cut.status, 0) << cut.err;
  // 1100 bytes from standard input: "0123456789" 110 times.
  std::string digits;
  for (int i = 0; i < 110; ++i) digits += "0123456789";
  const Finished piped = RunProgram(SIEVO, {"--send", agent.Computer(), "-"}, world_.folder(),
                                    milliseconds(30000), digits);
  EXPECT_EQ(piped.status, 0) << piped.err;
  std::string firstDigits;
  for (int i = 0; i < 102; ++i) firstDigits += "0123456789";
  firstDigits += "012";  // 1023 bytes

  std::vector<std::string> pokes;
  for (const auto& line : ServerLog()) {
    if (line.starts_with("sharepoke ")) pokes.push_back(line.substr(10));
  }
  ASSERT_EQ(pokes.size(), 3u);
  EXPECT_EQ(pokes[0], allowed);
  EXPECT_EQ(pokes[1].size(), 1023u);
  EXPECT_EQ(pokes[1], allowed);
  EXPECT_EQ(pokes[2], firstDigits);
  EXPECT_EQ(agent.Stop(), 0);
}

// Standard input is taken as every text from outside: UTF-8 with a byte
// order mark (left out) or Windows-1250 as it is.
TEST_F(Agent, SievoTakesStandardInputInEitherEncoding) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();
  const std::string cp1250 = "Za\xBF\xF3\xB3\xE6 g\xEA\x9C" "l\xB9 ja\x9F\xF1.";  // "Zażółć gęślą jaźń."
  for (const std::string& input : {std::string("\xEF\xBB\xBFZażółć gęślą jaźń."), cp1250}) {
    const Finished piped = RunProgram(SIEVO, {"--send", agent.Computer(), "-"}, world_.folder(), milliseconds(30000), input);
    EXPECT_EQ(piped.status, 0) << piped.err;
  }
  std::vector<std::string> pokes;
  for (const auto& line : ServerLog()) {
    if (line.starts_with("sharepoke ")) pokes.push_back(line.substr(10));
  }
  EXPECT_EQ(pokes, (std::vector<std::string>{cp1250, cp1250}));
  EXPECT_EQ(agent.Stop(), 0);
}

TEST_F(Agent, OnlyTheSharesConversationReachesTheServer) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();

  RawPeer other(agent.port());
  ASSERT_TRUE(other.Handshake().has_value());
  // Another topic, or a service that is no share, is no conversation.
  for (const auto& [service, topic] : std::vector<std::pair<std::string, std::string>>{
           {"127.0.0.1\\NDDE$\\", "System"}, {"Vokar", "VOKAR$"}, {"127.0.0.1\\NDDE$\\", ""}}) {
    ASSERT_TRUE(other.Send(netdde::Initiate{service, topic}));
    const auto answer = other.Read();
    ASSERT_TRUE(answer && std::holds_alternative<netdde::InitiateAck>(*answer));
    EXPECT_FALSE(std::get<netdde::InitiateAck>(*answer).accepted) << service << "|" << topic;
  }

  RawPeer peer(agent.port());
  ASSERT_TRUE(peer.Open());
  // Answered by the agent itself, never forwarded.
  EXPECT_EQ(peer.Poke("inny", 10, "other"), 0);
  EXPECT_EQ(peer.Poke("format", 11, "text", 7), 0);
  EXPECT_EQ(peer.Execute("[open(\"/etc/passwd\")]", 12), 0);
  EXPECT_EQ(peer.Execute("reading", 13), 0);
  EXPECT_EQ(peer.Execute("", 14), 0);
  // One more INITIATE on a standing conversation is refused.
  ASSERT_TRUE(peer.Send(netdde::Initiate{"127.0.0.1\\NDDE$\\", "VOKAR$"}));
  const auto again = peer.Read();
  ASSERT_TRUE(again && std::holds_alternative<netdde::InitiateAck>(*again));
  EXPECT_FALSE(std::get<netdde::InitiateAck>(*again).accepted);
  // The share's own: the answers are the server's.
  EXPECT_EQ(peer.Execute("status", 15), kPositive | 2);
  EXPECT_EQ(peer.Poke("Dzwonek \\Wav=\"/etc/hosts\"\\ i \\wav=\"x\"\\ koniec.", 16), kPositive);
  EXPECT_EQ(peer.Execute("pause", 17), kPositive);
  EXPECT_EQ(ServerLog(), (std::vector<std::string>{"execute status", "sharepoke Dzwonek   i   koniec.", "execute pause"}));
  ASSERT_TRUE(peer.Send(netdde::Terminate{}));
  const auto end = peer.Read();
  EXPECT_TRUE(end && std::holds_alternative<netdde::Terminate>(*end));
  EXPECT_TRUE(peer.ClosedWithin(milliseconds(2000)));
  EXPECT_NE(agent.Errors().find("took 2 wave-insert tags out of the text from 127.0.0.1 port "), std::string::npos)
      << agent.Errors();
}

TEST_F(Agent, StrangersOutsideTheAllowListAreToldSoAndNeitherGreetedNorServed) {
  StartServer();
  Enable({"--allow", "127.0.0.2"});
  AgentProcess& agent = StartAgent();
  RawPeer stranger(agent.port(), "127.0.0.3");
  ASSERT_TRUE(stranger.connected());
  const auto refused = stranger.Read(milliseconds(3000));
  ASSERT_TRUE(refused && std::holds_alternative<netdde::Refused>(*refused));
  EXPECT_EQ(std::get<netdde::Refused>(*refused).reason, netdde::RefusedReason::NotAllowed);
  EXPECT_TRUE(stranger.ClosedWithin(milliseconds(2000)));
  EXPECT_NE(agent.Errors().find("vknetdde: refused 127.0.0.3 port "), std::string::npos);
  EXPECT_NE(agent.Errors().find(": not in the allow-list\n"), std::string::npos);

  // sievo (from 127.0.0.1) is not on the list either, and its box says so.
  const Finished sent = Sievo({"--send", agent.Computer(), "Halo."});
  EXPECT_EQ(sent.status, 1);
  EXPECT_EQ(world_.MessageTexts(),
            std::vector<std::string>{std::string(kNoConnection) +
                                     "\n\nTen komputer nie jest na liście komputerów, od których „" +
                                     agent.Computer() + "” przyjmuje komunikaty."});
  EXPECT_NE(sent.err.find("this computer is not on its list"), std::string::npos) << sent.err;

  RawPeer friendly(agent.port(), "127.0.0.2");
  ASSERT_TRUE(friendly.Open());
  EXPECT_EQ(friendly.Execute("status"), kPositive | 2);
  EXPECT_EQ(ServerLog(), std::vector<std::string>{"execute status"});
}

TEST_F(Agent, TheKeyIsCheckedBothWaysAndGuessingLocksOutTheGuesser) {
  const std::string key = "tajny-klucz-0123456789";
  StartServer();
  // The key comes on standard input, kept out of the list of processes: its
  // first line, without the blanks and the line end around it.
  const Finished enabled =
      RunProgram(VKNETDDE, {"--enable", "--port", "0", "--no-announce", "--key", "-", "--allow", "127.0.0.1 127.0.0.2"},
                 world_.folder(), milliseconds(30000), "  " + key + " \r\nnie-ten\n");
  ASSERT_EQ(enabled.status, 0) << enabled.err;
  AgentProcess& agent = StartAgent();

  RawPeer right(agent.port());
  const auto welcome = right.Handshake(key);
  EXPECT_TRUE(right.greeting().keyRequired);
  ASSERT_TRUE(welcome && std::holds_alternative<netdde::Welcome>(*welcome));
  // The agent proves that it knows the key too.
  EXPECT_TRUE(netdde::ProofsEqual(std::get<netdde::Welcome>(*welcome).proof,
                                  netdde::AgentProof(key, right.greeting().nonce, right.ownNonce())));

  for (const std::string guess : {"", "tajny-klucz-012345678", "tajny-klucz-01234567890"}) {
    RawPeer wrong(agent.port());
    const auto refused = wrong.Handshake(guess);
    ASSERT_TRUE(refused && std::holds_alternative<netdde::Refused>(*refused)) << "'" << guess << "'";
    EXPECT_EQ(std::get<netdde::Refused>(*refused).reason, netdde::RefusedReason::WrongKey);
    EXPECT_TRUE(wrong.ClosedWithin(milliseconds(2000)));
  }
  EXPECT_NE(agent.Errors().find(": wrong key\n"), std::string::npos);

  // sievo with the key set is served; without it, not, and it says why.
  const Finished without = Sievo({"--send", agent.Computer(), "Bez klucza."});
  EXPECT_EQ(without.status, 1);
  EXPECT_NE(without.err.find("the agent wants a key and none is set"), std::string::npos) << without.err;
  EXPECT_EQ(world_.MessageTexts().back(), std::string(kNoConnection) + "\n\nKomputer „" + agent.Computer() +
                                              "” wymaga klucza, a w tym programie żaden klucz nie został podany.");
  ASSERT_EQ(Sievo({"--set-key", "nie-ten-klucz"}).status, 0);
  const Finished wrong = Sievo({"--send", agent.Computer(), "Zły klucz."});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("the key is wrong"), std::string::npos) << wrong.err;
  EXPECT_EQ(world_.MessageTexts().back(),
            std::string(kNoConnection) + "\n\nKlucz jest błędny: komputer „" + agent.Computer() + "” go nie przyjął.");
  // The key from standard input; nothing there changes nothing.
  ASSERT_EQ(RunProgram(SIEVO, {"--set-key", "-"}, world_.folder(), milliseconds(30000), key + "\n").status, 0);
  EXPECT_EQ(Sievo({"--set-key", "-"}).status, 2);
  EXPECT_EQ(Sievo({"--send", agent.Computer(), "Z kluczem."}).status, 0);
  EXPECT_EQ(ServerLog(), (std::vector<std::string>{"execute break", "sharepoke Z kluczem.", "execute read"}));

  // Five wrong keys from one address: from then on, for a minute, every
  // answer to that address comes a second late, the right key's too; but the
  // right key still lets in, and other addresses are answered at once.
  for (int i = 0; i < 5; ++i) {
    RawPeer guesser(agent.port(), "127.0.0.2");
    guesser.Handshake("zgadywanie");
  }
  EXPECT_NE(agent.Errors().find("127.0.0.2: 5 wrong keys; for 60 s every answer to it comes after 1 s"),
            std::string::npos)
      << agent.Errors();
  const auto timed = [&](const char* from, const std::string& tried) {
    RawPeer peer(agent.port(), from);
    const auto start = Clock::now();
    const auto answer = peer.Handshake(tried);
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    return std::make_pair(answer && std::holds_alternative<netdde::Welcome>(*answer), took);
  };
  const auto [lockedRight, lockedRightMs] = timed("127.0.0.2", key);
  EXPECT_TRUE(lockedRight);
  EXPECT_GE(lockedRightMs, 1000);
  const auto [lockedWrong, lockedWrongMs] = timed("127.0.0.2", "zgadywanie");
  EXPECT_FALSE(lockedWrong);
  EXPECT_GE(lockedWrongMs, 1000);
  const auto [other, otherMs] = timed("127.0.0.1", key);
  EXPECT_TRUE(other);
  EXPECT_LT(otherMs, 1000);
  std::cout << "while 127.0.0.2 is locked out: the right key in " << lockedRightMs << " ms, a wrong one refused in "
            << lockedWrongMs << " ms; 127.0.0.1 let in in " << otherMs << " ms" << std::endl;
  // sievo from the locked-out address's neighbour, with the key, sends.
  EXPECT_EQ(Sievo({"--set-key", key}).status, 0);
  EXPECT_EQ(Sievo({"--send", agent.Computer(), "Mimo zgadywania."}).status, 0);
}

TEST_F(Agent, AFrameOfTheLimitIsTakenAndOneByteMoreIsRefused) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();

  // A poke of item "text" whose body is exactly 65536 bytes: the server keeps
  // the 65276 bytes it keeps of any poke.
  RawPeer largest(agent.port());
  ASSERT_TRUE(largest.Open());
  const std::string text(netdde::MaxPokeData(4) - 1, 'a');
  EXPECT_EQ(largest.Poke(text, 3), kPositive);
  const auto window = desktop::FindWindow("Vokar");
  const auto stored = desktop::SendMessage(window, dde::testserver::kGetText, 0, 0);
  EXPECT_EQ(stored.result, 65276);

  // One byte more in the length: refused before anything of it is read.
  RawPeer over(agent.port());
  ASSERT_TRUE(over.Open());
  ASSERT_TRUE(over.SendBytes(std::string("\x00\x01\x00\x01", 4)));
  const auto refused = over.Read();
  ASSERT_TRUE(refused && std::holds_alternative<netdde::Refused>(*refused));
  EXPECT_EQ(std::get<netdde::Refused>(*refused).reason, netdde::RefusedReason::BadFrame);
  EXPECT_TRUE(over.ClosedWithin(milliseconds(2000)));
  EXPECT_NE(agent.Errors().find(": sent a frame of 65537 bytes, above the limit of 65536\n"), std::string::npos);

  // Also before the handshake, and garbage in place of a greeting.
  RawPeer early(agent.port());
  early.Read();  // HELLO
  early.SendBytes("\xFF\xFF\xFF\xFF");
  EXPECT_TRUE(early.ClosedWithin(milliseconds(2000)));
  RawPeer garbage(agent.port());
  garbage.Read();
  garbage.SendBytes(std::string("\x00\x00\x00\x03GET", 7));
  EXPECT_TRUE(garbage.ClosedWithin(milliseconds(2000)));
  // The agent goes on.
  RawPeer after(agent.port());
  ASSERT_TRUE(after.Open());
  EXPECT_EQ(after.Execute("status"), kPositive | 2);
}

TEST_F(Agent, SilentSlowAndIdlePeersAreCutWhileOthersAreServed) {
  StartServer();
  Enable({"--handshake-timeout", "1", "--idle-timeout", "2"});
  AgentProcess& agent = StartAgent();

  const auto start = Clock::now();
  RawPeer silent(agent.port());  // never answers the greeting
  RawPeer slow(agent.port());    // sends a frame in pieces, then stops
  ASSERT_TRUE(slow.Open());
  ASSERT_TRUE(slow.SendBytes(std::string("\x00\x00\x00\x0B\x13", 5)));
  RawPeer idle(agent.port());  // says nothing after INITIATE
  ASSERT_TRUE(idle.Open());

  RawPeer served(agent.port());
  ASSERT_TRUE(served.Open());
  int answered = 0;
  std::optional<Clock::duration> silentCut, slowCut, idleCut;
  while (Clock::now() - start < std::chrono::seconds(5)) {
    EXPECT_EQ(served.Execute("status", static_cast<std::uint32_t>(100 + answered)), kPositive | 2);
    ++answered;
    const auto check = [&](RawPeer& peer, std::optional<Clock::duration>& cut) {
      if (!cut && peer.ClosedWithin(milliseconds(1))) cut = Clock::now() - start;
    };
    check(silent, silentCut);
    check(slow, slowCut);
    check(idle, idleCut);
    std::this_thread::sleep_for(milliseconds(50));
  }
  const auto ms = [](const std::optional<Clock::duration>& d) {
    return d ? std::chrono::duration_cast<milliseconds>(*d).count() : -1L;
  };
  std::cout << "cut after: silent " << ms(silentCut) << " ms, slow " << ms(slowCut) << " ms, idle " << ms(idleCut)
            << " ms; the other peer had " << answered << " answers meanwhile" << std::endl;
  ASSERT_TRUE(silentCut && slowCut && idleCut);
  // Each is cut at its limit, not before (the agent looks every 100 ms).
  EXPECT_GE(ms(silentCut), 1000);
  EXPECT_LT(ms(silentCut), 2500);
  EXPECT_GE(ms(slowCut), 1000);
  EXPECT_LT(ms(slowCut), 2500);
  EXPECT_GE(ms(idleCut), 2000);
  EXPECT_LT(ms(idleCut), 3500);
  EXPECT_GT(answered, 20);
  const std::string errors = agent.Errors();
  EXPECT_NE(errors.find("too slow: no answer to the greeting within 1 s"), std::string::npos) << errors;
  EXPECT_NE(errors.find("too slow: a frame did not arrive whole within 1 s"), std::string::npos) << errors;
  EXPECT_NE(errors.find("idle for 2 s"), std::string::npos) << errors;
}

TEST_F(Agent, TwoHundredPeersAtOnceAreEachServedOrRefusedAndALegitimatePeerIsAnsweredThroughout) {
  StartServer({"--job-ms", "0"});
  Enable();
  AgentProcess& agent = StartAgent();
  RawPeer legitimate(agent.port());
  ASSERT_TRUE(legitimate.Open());

  constexpr int kPeers = 200;
  std::atomic<int> served{0}, refused{0}, neither{0};
  std::mutex mutex;
  std::vector<std::string> stuck;
  // The crowd waits without spinning, so that the agent and the server get
  // the processor.
  std::latch go(1);
  std::vector<std::thread> crowd;
  for (int i = 0; i < kPeers; ++i) {
    crowd.emplace_back([&, i] {
      go.wait();
      RawPeer peer(agent.port());
      const auto first = peer.Handshake();
      if (first && std::holds_alternative<netdde::Welcome>(*first)) {
        peer.Send(netdde::Initiate{"127.0.0.1\\NDDE$\\", "VOKAR$"});
        const auto answer = peer.Read();
        if (answer && std::holds_alternative<netdde::InitiateAck>(*answer) &&
            std::get<netdde::InitiateAck>(*answer).accepted &&
            peer.Poke("Peer " + std::to_string(i) + ".", static_cast<std::uint32_t>(i + 1)) == kPositive) {
          ++served;
          return;
        }
      } else if (first && std::holds_alternative<netdde::Refused>(*first)) {
        ++refused;
        return;
      } else if (!first && peer.closed()) {
        ++refused;
        return;
      }
      ++neither;
      const std::lock_guard<std::mutex> lock(mutex);
      stuck.push_back(std::to_string(i) + (first ? " got " + std::string(netdde::FrameName(netdde::TypeOf(*first)))
                                                : std::string(peer.closed() ? " closed" : " nothing")));
    });
  }
  const auto start = Clock::now();
  go.count_down();
  long slowest = 0;
  int answers = 0;
  std::atomic<bool> done{false};
  std::thread waiter([&] {
    for (auto& t : crowd) t.join();
    done = true;
  });
  while (!done || answers < 5) {
    const auto asked = Clock::now();
    EXPECT_EQ(legitimate.Execute("status", static_cast<std::uint32_t>(1000 + answers)), kPositive | 2);
    slowest = std::max<long>(slowest, std::chrono::duration_cast<milliseconds>(Clock::now() - asked).count());
    ++answers;
  }
  waiter.join();
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
  std::cout << kPeers << " peers at once: " << served << " served, " << refused << " refused, " << neither
            << " neither, in " << took << " ms; the legitimate peer had " << answers
            << " answers, the slowest in " << slowest << " ms" << std::endl;
  RecordProperty("served", served.load());
  RecordProperty("refused", refused.load());
  RecordProperty("slowest_ms", static_cast<int>(slowest));
  EXPECT_EQ(served + refused, kPeers);
  EXPECT_EQ(neither, 0) << ::testing::PrintToString(stuck);
  EXPECT_GT(served, 0);
  EXPECT_LT(slowest, 2000);
  // The agent and the server are still there for the next peer.
  EXPECT_TRUE(agent.Running());
  RawPeer next(agent.port());
  ASSERT_TRUE(next.Open());
  EXPECT_EQ(next.Execute("status"), kPositive | 2);
}

// Peers that never answer the greeting have a limit and a deadline of their
// own: however many there are, a sender that proves the key is let in, and
// only peers let in count against MaxPeers.
TEST_F(Agent, ACrowdThatNeverAnswersTheGreetingDoesNotKeepOutASenderWithTheKey) {
  const std::string key = "klucz-dla-tlumu-0123456789";
  StartServer();
  ASSERT_EQ(Vknetdde({"--enable", "--port", "0", "--no-announce", "--max-peers", "2", "--key", "-"}, key + "\n").status,
            0);
  AgentProcess& agent = StartAgent();
  ASSERT_EQ(Sievo({"--set-key", key}).status, 0);

  std::vector<std::unique_ptr<RawPeer>> crowd;
  for (int i = 0; i < 150; ++i) {
    crowd.push_back(std::make_unique<RawPeer>(agent.port()));
    ASSERT_TRUE(crowd.back()->connected());
  }
  for (int i = 0; i < 3; ++i) {
    const Finished sent = Sievo({"--send", agent.Computer(), "Mimo tłumu " + std::to_string(i) + "."});
    EXPECT_EQ(sent.status, 0) << sent.err;
    // The crowd comes back as fast as it is cut.
    for (int j = 0; j < 50; ++j) crowd.push_back(std::make_unique<RawPeer>(agent.port()));
  }
  EXPECT_EQ(ServerLog().size(), 9u);
  // The newest silent peer is cut at the greeting's short deadline (3 s), the
  // first ones sooner, to make room.
  const auto lastCame = Clock::now();
  EXPECT_TRUE(crowd.back()->ClosedWithin(milliseconds(5000)));
  const auto cut = std::chrono::duration_cast<milliseconds>(Clock::now() - lastCame).count();
  EXPECT_GE(cut, 2800);
  EXPECT_TRUE(crowd.front()->ClosedWithin(milliseconds(1)));
  std::cout << "the newest of " << crowd.size() << " silent peers was cut " << cut << " ms after it came"
            << std::endl;

  // MaxPeers (2) counts only the peers let in: two conversations stand, the
  // third peer with the key is refused as one too many.
  RawPeer one(agent.port()), two(agent.port()), three(agent.port());
  ASSERT_TRUE(one.Open(key));
  ASSERT_TRUE(two.Open(key));
  const auto refused = three.Handshake(key);
  ASSERT_TRUE(refused && std::holds_alternative<netdde::Refused>(*refused));
  EXPECT_EQ(std::get<netdde::Refused>(*refused).reason, netdde::RefusedReason::TooManyPeers);
}

TEST_F(Agent, AServerThatGoesAwayEndsTheConversationAndTheSenderIsToldSo) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();
  RawPeer peer(agent.port());
  ASSERT_TRUE(peer.Open());
  server_->Stop(SIGKILL);
  const auto end = peer.Read(milliseconds(5000));
  EXPECT_TRUE(end && std::holds_alternative<netdde::Terminate>(*end));
  EXPECT_TRUE(peer.ClosedWithin(milliseconds(2000)));

  // No server at all: the share has no conversation to give.
  const Finished sent = Sievo({"--send", agent.Computer(), "Halo."});
  EXPECT_EQ(sent.status, 1);
  EXPECT_EQ(world_.MessageTexts(),
            std::vector<std::string>{std::string(kNoConnection) + "\n\nNa komputerze „" + agent.Computer() +
                                     "” nie odpowiada żaden serwer mowy Vokar."});
  EXPECT_NE(sent.err.find("no speech server answers for the share VOKAR$"), std::string::npos) << sent.err;
  EXPECT_TRUE(agent.Running());

  // A new server under the same title is asked afresh (the agent does not
  // take the first one's answer for it) and serves the next peer.
  StartServer();
  RawPeer next(agent.port());
  ASSERT_TRUE(next.Open());
  EXPECT_EQ(next.Poke("Znowu.", 7), kPositive);
  EXPECT_EQ(ServerLog().back(), "sharepoke Znowu.");
}

// A window with the server's title that does not take the share's
// conversation is no server: the agent asks it each time and lets nobody in.
TEST_F(Agent, AWindowThatRefusesTheConversationLetsNoPeerIn) {
  StartServer({"--service", "NieVokar"});
  Enable();
  AgentProcess& agent = StartAgent();
  for (int i = 0; i < 2; ++i) {
    RawPeer peer(agent.port());
    EXPECT_FALSE(peer.Open()) << i;
  }
  EXPECT_TRUE(ServerLog().empty());
}

TEST_F(Agent, AReadingWindingDownAfterTheSendersBreakDoesNotLoseTheText) {
  // A reading of 3 s that ends only at the job's next look at its break flag:
  // the text that follows the break may find it still busy.
  StartServer({"--job-ms", "3000"});
  Enable();
  AgentProcess& agent = StartAgent();
  ASSERT_EQ(Sievo({"--send", agent.Computer(), "Pierwszy."}).status, 0);
  for (int i = 0; i < 5; ++i) {
    const std::string text = "Kolejny " + std::to_string(i) + ".";
    const Finished sent = Sievo({"--send", agent.Computer(), text});
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(ServerLog().back(), "execute read");
    EXPECT_EQ(ServerLog()[ServerLog().size() - 2], "sharepoke " + text);
  }
  EXPECT_EQ(world_.Messages().size(), 6u);
}

// How long a peer from the address waits for the agent's answer to the key,
// and whether it is let in.
std::pair<bool, long> TimedHandshake(int port, const char* from, const std::string& key) {
  RawPeer peer(port, from);
  const auto start = Clock::now();
  const auto answer = peer.Handshake(key);
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
  return {answer && std::holds_alternative<netdde::Welcome>(*answer), static_cast<long>(took)};
}

// Four wrong keys from an address leave it answered at once; the fifth
// makes every later answer to it wait a second (the right key's too).
TEST_F(Agent, FourWrongKeysFromAnAddressAreForgivenAndTheFifthSlowsItsAnswers) {
  const std::string key = "klucz-na-granicy-0123456789";
  StartServer();
  ASSERT_EQ(Vknetdde({"--enable", "--port", "0", "--no-announce", "--key", "-", "--allow", "127.0.0.1 127.0.0.3"},
                     key + "\n")
                .status,
            0);
  AgentProcess& agent = StartAgent();
  const std::string lockout = "127.0.0.3: 5 wrong keys; for 60 s every answer to it comes after 1 s";
  for (int i = 1; i <= 4; ++i) {
    const auto [in, ms] = TimedHandshake(agent.port(), "127.0.0.3", "zgaduje-" + std::to_string(i));
    EXPECT_FALSE(in) << i;
    EXPECT_LT(ms, 1000) << i;
  }
  EXPECT_EQ(agent.Errors().find(lockout), std::string::npos) << agent.Errors();
  const auto [afterFour, afterFourMs] = TimedHandshake(agent.port(), "127.0.0.3", key);
  EXPECT_TRUE(afterFour);
  EXPECT_LT(afterFourMs, 1000);

  const auto [fifth, fifthMs] = TimedHandshake(agent.port(), "127.0.0.3", "zgaduje-5");
  EXPECT_FALSE(fifth);
  EXPECT_NE(agent.Errors().find(lockout), std::string::npos) << agent.Errors();
  const auto [afterFive, afterFiveMs] = TimedHandshake(agent.port(), "127.0.0.3", key);
  EXPECT_TRUE(afterFive);
  EXPECT_GE(afterFiveMs, 1000);
  std::cout << "the right key after four wrong ones: " << afterFourMs << " ms; after five: " << afterFiveMs << " ms"
            << std::endl;
}

// True when nothing came from the agent and the connection stands.
bool Untouched(RawPeer& peer) { return !peer.Read(milliseconds(1)) && !peer.closed(); }

// 64 peers that have not answered the greeting are all kept; the 65th pushes
// out the one that has waited longest, and only that one.
TEST_F(Agent, SixtyFourPeersBeingGreetedAreKeptAndTheNextPushesOutTheOldest) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();
  std::vector<std::unique_ptr<RawPeer>> waiting;
  for (int i = 0; i < 64; ++i) {
    waiting.push_back(std::make_unique<RawPeer>(agent.port()));
    // Each is greeted before the next comes, so they wait in this order.
    const auto hello = waiting.back()->Read();
    ASSERT_TRUE(hello && std::holds_alternative<netdde::Hello>(*hello)) << i;
  }
  for (int i = 0; i < 64; ++i) EXPECT_TRUE(Untouched(*waiting[i])) << i;

  RawPeer newcomer(agent.port());
  const auto hello = newcomer.Read();
  ASSERT_TRUE(hello && std::holds_alternative<netdde::Hello>(*hello));
  const auto pushed = waiting[0]->Read();
  ASSERT_TRUE(pushed && std::holds_alternative<netdde::Refused>(*pushed));
  EXPECT_EQ(std::get<netdde::Refused>(*pushed).reason, netdde::RefusedReason::TooSlow);
  EXPECT_EQ(std::get<netdde::Refused>(*pushed).text, "no answer to the greeting while 64 peers were being greeted");
  EXPECT_TRUE(waiting[0]->ClosedWithin(milliseconds(2000)));
  for (int i = 1; i < 64; ++i) EXPECT_TRUE(Untouched(*waiting[i])) << i;
  // The newcomer, and the one that came just before it, answer and are let in.
  for (RawPeer* peer : {&newcomer, waiting[63].get()}) {
    netdde::InitCrypto();
    netdde::Auth auth;
    auth.nonce = netdde::RandomNonce();
    ASSERT_TRUE(peer->Send(auth));
    const auto welcome = peer->Read();
    EXPECT_TRUE(welcome && std::holds_alternative<netdde::Welcome>(*welcome));
  }
}

// Another program of this desktop posts the agent acknowledgements that name
// the server's window while the server (stopped) has not yet answered: the
// agent passes none of them on; the answer of the window's owner it does.
TEST_F(Agent, AcknowledgementsOfAProgramThatDoesNotOwnTheServersWindowAreNotPassedOn) {
  StartServer();
  Enable();
  AgentProcess& agent = StartAgent();
  RawPeer peer(agent.port());
  ASSERT_TRUE(peer.Open());
  // The agent's conversation window: the one window of its process without a title.
  desktop::WindowHandle agentWindow;
  const auto folder = desktop::DesktopFolder();
  for (const auto& entry : fs::directory_iterator(folder)) {
    const auto handle = desktop::HandleOfFileName(entry.path().filename().string());
    if (handle && handle->processId() == static_cast<std::uint32_t>(agent.pid()) &&
        !fs::exists(desktop::EndpointPath(folder, *handle, desktop::EndpointFile::Title))) {
      agentWindow = *handle;
    }
  }
  ASSERT_TRUE(agentWindow);
  const desktop::WindowHandle serverWindow = desktop::FindWindow("Vokar");
  ASSERT_TRUE(serverWindow);
  const auto hex = [](desktop::WindowHandle window) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(window.value));
    return std::string(text);
  };

  ::kill(server_->pid(), SIGSTOP);
  ASSERT_TRUE(peer.Send(netdde::Poke{7, 1, "text", std::string("Odpowiada tylko serwer.", 24)}));
  ChildProcess impostor(VOKAR_DESKTOP_HOSTILE, {"forge-dde", "#" + hex(agentWindow), "16", hex(serverWindow)}, true);
  ASSERT_EQ(impostor.ReadLine(), "ready");
  // Its acknowledgements of the agent's transactions 1 to 16 pour in.
  EXPECT_FALSE(peer.Read(milliseconds(1500)).has_value());
  EXPECT_FALSE(peer.closed());
  ::kill(server_->pid(), SIGCONT);
  const auto answer = peer.Read(milliseconds(5000));
  ASSERT_TRUE(answer && std::holds_alternative<netdde::Ack>(*answer));
  EXPECT_EQ(std::get<netdde::Ack>(*answer).handle, 7u);
  EXPECT_EQ(std::get<netdde::Ack>(*answer).status, kPositive);
  EXPECT_EQ(ServerLog(), std::vector<std::string>{"sharepoke Odpowiada tylko serwer."});
  // The conversation goes on undisturbed.
  EXPECT_EQ(peer.Execute("status", 8), kPositive | 2);
}

}  // namespace
