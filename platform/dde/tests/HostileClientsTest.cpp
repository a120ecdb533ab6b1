// The speech server's side of the bus under programs that misbehave, and a
// client's conversation under forged messages. The server is the DDE test
// server, each attacker a real process of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>

#include "DdeFixture.h"
#include "ProcessProbe.h"

namespace {

using namespace vokar;
using namespace vokar::dde;
using vokar::testing::ChildProcess;
using vokar::testing::WaitFor;

class HostileClients : public vokar::testing::DdeFixture {
 protected:
  std::vector<std::string> Attack(const std::vector<std::string>& arguments) {
    attackers_.push_back(std::make_unique<ChildProcess>(VOKAR_DESKTOP_HOSTILE, arguments, true));
    const std::string line = attackers_.back()->ReadLine(std::chrono::milliseconds(10000));
    EXPECT_EQ(line.substr(0, 5), "ready") << "the attacker did not start";
    return {line};
  }

  // The version query a client makes before anything else: true when the
  // server answered it correctly in time.
  static bool VersionAnswered(desktop::milliseconds timeout = desktop::milliseconds(2000)) {
    const auto answer =
        desktop::SendMessage(desktop::FindWindow("Vokar"), testserver::WM_SERVER_VERSION, 0, 0, {}, timeout);
    return answer.ok() && answer.result == 0x00010001;
  }

  // Runs the checks again and again for the time given; how many failed.
  static int FailuresDuring(desktop::milliseconds length, const std::function<bool()>& check) {
    int failures = 0;
    const auto end = desktop::Clock::now() + length;
    while (desktop::Clock::now() < end) {
      failures += check() ? 0 : 1;
      desktop::PumpMessages(desktop::milliseconds(50));
    }
    return failures;
  }

  std::vector<std::unique_ptr<ChildProcess>> attackers_;
};

// INITIATE after INITIATE naming a client window that belongs to the attacker
// and never answers: silently, or with stray replies to whoever connects.
// The server neither overflows its stack nor stops serving others, and hears
// SIGTERM at once.
TEST_F(HostileClients, InitiateFloodNamingAClientThatNeverAnswers) {
  for (const char* manner : {"stray", "silent"}) {
    SCOPED_TRACE(manner);
    ChildProcess& server = StartServer();
    const Conversation conversation = ConnectToVokar();
    ASSERT_TRUE(conversation);
    Attack({"initiate", "Vokar", "8000", manner});
    EXPECT_EQ(FailuresDuring(desktop::milliseconds(3000), [&] { return VersionAnswered() && Status(conversation) == 2; }),
              0);
    ASSERT_TRUE(server.Running());
    const int status = server.StopWithin(SIGTERM, desktop::milliseconds(2000));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    attackers_.clear();
    servers_.clear();
    Disconnect(conversation);
  }
}

TEST_F(HostileClients, TheServerKeepsNoConnectionToEveryWindowItWasNamed) {
  ChildProcess& server = StartServer();
  // 500 windows of one program, each named once as the client of an
  // INITIATE; the server acknowledges each of them.
  attackers_.push_back(std::make_unique<ChildProcess>(
      VOKAR_DESKTOP_HOSTILE, std::vector<std::string>{"claim", "Vokar", "500"}, true));
  ASSERT_EQ(attackers_.back()->ReadLine(std::chrono::milliseconds(10000)).substr(0, 5), "ready");
  EXPECT_EQ(attackers_.back()->ReadLine(std::chrono::milliseconds(60000)), "answered 500");
  // Its own descriptors, its window, the attacker's connection and at most
  // 32 connections kept to other programs' windows.
  EXPECT_LT(vokar::testing::OpenDescriptors(server.pid()), 64);
  EXPECT_TRUE(VersionAnswered());
}

TEST_F(HostileClients, RepliesNobodyReadsAndHalfSentMegabytesDoNotGrowTheServer) {
  ChildProcess& server = StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  ASSERT_TRUE(Poke(conversation, std::string(testserver::kMaxPokeText, 't')));
  const long before = vokar::testing::ResidentKilobytes(server.pid());
  // 12 connections of 256 requests each for the 64 KiB text that nobody
  // reads (200 MB of replies), and 100 frames of a megabyte each with the
  // last byte missing.
  Attack({"unread", "Vokar", "12", std::to_string(testserver::kGetText)});
  Attack({"bigpartial", "Vokar", "100"});
  EXPECT_EQ(FailuresDuring(desktop::milliseconds(2000), [&] { return VersionAnswered(); }), 0);
  const long after = vokar::testing::ResidentKilobytes(server.pid());
  // What the bus lets one program make it hold: a few megabytes each. (An
  // AddressSanitizer build keeps freed memory aside, so there only the
  // server's answers are checked.)
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(after - before, 24 * 1024) << before << " kB before, " << after << " kB after";
#endif
  EXPECT_EQ(Status(conversation), 2);
}

TEST_F(HostileClients, RunningOutOfDescriptorsNeitherSpinsNorLocksOutOthers) {
  ChildProcess& server = StartServer({"--open-files", "24"});
  for (int i = 0; i < 3; ++i) Attack({"idle", "Vokar", "8"});
  desktop::PumpMessages(desktop::milliseconds(300));
  const long ticks = vokar::testing::CpuTicks(server.pid());
  desktop::PumpMessages(desktop::milliseconds(1000));
  // A loop that spins uses the processor all second (100 ticks); one that
  // waits, next to nothing.
  EXPECT_LT(vokar::testing::CpuTicks(server.pid()) - ticks, 10);
  EXPECT_TRUE(VersionAnswered());
}

// Another program posts acknowledgements and a TERMINATE to our
// conversation's window that name the server in wParam, and asks the server
// to end our conversation in our name. None of it is believed.
TEST_F(HostileClients, ForgedAcknowledgementsAndTerminatesAreNotBelieved) {
  ChildProcess& server = StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  const desktop::WindowHandle serverWindow = desktop::FindWindow("Vokar");
  // Our conversation's window: the one window of ours that has no title.
  desktop::WindowHandle own;
  for (const auto& entry : std::filesystem::directory_iterator(desktop_.folder())) {
    const auto handle = desktop::HandleOfFileName(entry.path().filename().string());
    if (handle && handle->processId() == static_cast<std::uint32_t>(::getpid()) &&
        !std::filesystem::exists(desktop::EndpointPath(desktop_.folder(), *handle, desktop::EndpointFile::Title))) {
      own = *handle;
    }
  }
  ASSERT_TRUE(own);
  const auto hex = [](desktop::WindowHandle window) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(window.value));
    return std::string(text);
  };
  // Acknowledgements and TERMINATE to us in the server's name.
  Attack({"forge-dde", "#" + hex(own), "64", hex(serverWindow)});
  // The server ends conversations it is told to end: told in our name, it
  // must not end ours.
  Attack({"forge-dde", "#" + hex(serverWindow), "64", hex(own)});

  server.Signal(SIGSTOP);
  std::uint32_t status = 0;
  EXPECT_FALSE(Poke(conversation, "nikt nie odpowie", &status, desktop::milliseconds(1000)));
  EXPECT_EQ(GetLastError(instance_), DMLERR_POKEACKTIMEOUT);
  EXPECT_EQ(status, 0u);
  server.Signal(SIGCONT);
  desktop::PumpMessages(desktop::milliseconds(300));
  EXPECT_TRUE(disconnects_.empty());
  EXPECT_EQ(Status(conversation), 2);
}

}  // namespace
