// The bus between real programs: the peer program runs beside the test on a
// private desktop.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "Desktop.h"
#include "PeerProtocol.h"
#include "TestSupport.h"

namespace {

using namespace vokar::desktop;
using vokar::testing::ChildProcess;
using vokar::testing::PrivateDesktop;
using vokar::testing::WaitFor;
using vokar::testing::WaitForWindow;

class PeerTest : public ::testing::Test {
 protected:
  std::unique_ptr<ChildProcess> StartPeer(const std::vector<std::string>& arguments) {
    auto child = std::make_unique<ChildProcess>(VOKAR_DESKTOP_PEER, arguments);
    EXPECT_TRUE(child->started());
    return child;
  }

  std::unique_ptr<Window> MakeWindow(std::string_view title, MessageHandler handler) {
    auto created = Window::Create(title, std::move(handler));
    EXPECT_TRUE(created.window) << created.error;
    return std::move(created.window);
  }

  PrivateDesktop desktop_;
};

TEST_F(PeerTest, WindowOfAnotherProgramIsFoundAndAnswersTheVersionQuery) {
  auto peer = StartPeer({"Vokar"});
  const WindowHandle server = WaitForWindow("Vokar");
  ASSERT_TRUE(server);
  EXPECT_EQ(server.processId(), static_cast<std::uint32_t>(peer->pid()));
  EXPECT_TRUE(IsWindow(server));

  const auto major = SendMessage(server, peer::kVersion, 0, 0);
  const auto minor = SendMessage(server, peer::kVersion, 1, 0);
  ASSERT_TRUE(major.ok() && minor.ok());
  EXPECT_EQ(major.result, 0x00010001);
  EXPECT_EQ(minor.result, 0x005F0003);
  EXPECT_EQ(SendMessage(server, peer::kVersion, 2, 0).result, 0);
}

TEST_F(PeerTest, TheOwnerOfAnotherProgramsWindowIsThatProgram) {
  auto peer = StartPeer({"Vokar"});
  const WindowHandle server = WaitForWindow("Vokar");
  ASSERT_TRUE(server);
  const auto owner = WindowOwner(server);
  ASSERT_TRUE(owner.has_value());
  EXPECT_TRUE(owner->known);
  EXPECT_EQ(owner->process, static_cast<std::uint32_t>(peer->pid()));
  EXPECT_EQ(owner->user, static_cast<std::uint32_t>(::geteuid()));
  EXPECT_FALSE(SameProcess(*owner, OwnCredentials()));
  // Where the kernel gives identities, the two processes have two.
  if (OwnCredentials().identity != 0) {
    EXPECT_NE(owner->identity, 0u);
    EXPECT_NE(owner->identity, OwnCredentials().identity);
  }
  // A window of this process is owned by this process.
  auto own = MakeWindow("Własne", [](Message&) -> std::int64_t { return 0; });
  ASSERT_TRUE(WindowOwner(own->handle()).has_value());
  EXPECT_TRUE(SameProcess(*WindowOwner(own->handle()), OwnCredentials()));
  EXPECT_FALSE(WindowOwner(WindowHandle{}).has_value());
}

TEST_F(PeerTest, PostsArriveInTheOrderTheyWereSent) {
  auto peer = StartPeer({"Posts"});
  const WindowHandle window = WaitForWindow("Posts");
  ASSERT_TRUE(window);
  constexpr int kCount = 3000;
  for (int i = 0; i < kCount; ++i) ASSERT_TRUE(PostMessage(window, peer::kRecord, i, 0));

  std::string recorded;
  ASSERT_TRUE(WaitFor([&] {
    const auto answer = SendMessage(window, peer::kRecorded, 0, 0);
    recorded = answer.reply;
    return answer.result == kCount;
  }));
  std::string expected;
  for (int i = 0; i < kCount; ++i) expected += (i == 0 ? "" : ",") + std::to_string(i);
  EXPECT_EQ(recorded, expected);
}

TEST_F(PeerTest, LargestPayloadTravelsBothWaysIntact) {
  auto peer = StartPeer({"Echo"});
  const WindowHandle window = WaitForWindow("Echo");
  ASSERT_TRUE(window);
  std::string payload(kMaxPayload, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7 + (i >> 11));
  const auto answer = SendMessage(window, peer::kEcho, 0, 5, payload);
  ASSERT_TRUE(answer.ok());
  EXPECT_EQ(answer.result, 6);
  EXPECT_TRUE(answer.reply == payload);
}

TEST_F(PeerTest, SenderHandlesSendsToItsOwnWindowsWhileItWaits) {
  auto peer = StartPeer({"Caller"});
  const WindowHandle window = WaitForWindow("Caller");
  ASSERT_TRUE(window);
  bool postedHandled = false;
  auto own = MakeWindow("Test", [&](Message& m) -> std::int64_t {
    if (m.message == peer::kEcho) return m.lParam + 1;
    postedHandled = true;
    return 0;
  });
  // A post to our own window waits in the queue while the send is under way.
  PostMessage(own->handle(), WM_USER + 99, 0, 0);
  const auto answer = SendMessage(window, peer::kCallBack, own->handle().value, 41);
  ASSERT_TRUE(answer.ok());
  EXPECT_EQ(answer.result, 420);
  EXPECT_FALSE(postedHandled);
  EXPECT_TRUE(WaitFor([&] { return postedHandled; }));
}

TEST_F(PeerTest, TwoProgramsSendingToEachOtherAtOnceBothFinish) {
  constexpr int kRounds = 300;
  auto first = StartPeer({"--storm", std::to_string(kRounds), "First"});
  auto second = StartPeer({"--storm", std::to_string(kRounds), "Second"});
  const WindowHandle a = WaitForWindow("First");
  const WindowHandle b = WaitForWindow("Second");
  ASSERT_TRUE(a && b);

  std::map<std::uint64_t, std::uint64_t> good;
  auto reporter = MakeWindow("Reporter", [&](Message& m) -> std::int64_t {
    if (m.message == peer::kStormDone) good[static_cast<std::uint64_t>(m.lParam)] = m.wParam;
    return 0;
  });
  const auto reporterHandle = static_cast<std::int64_t>(reporter->handle().value);
  ASSERT_TRUE(PostMessage(a, peer::kStorm, b.value, reporterHandle));
  ASSERT_TRUE(PostMessage(b, peer::kStorm, a.value, reporterHandle));
  ASSERT_TRUE(WaitFor([&] { return good.size() == 2; }, milliseconds(8000)));
  EXPECT_EQ(good[a.value], std::uint64_t{kRounds});
  EXPECT_EQ(good[b.value], std::uint64_t{kRounds});
}

TEST_F(PeerTest, SendTimesOutOnAStoppedProgramAndItsLateReplyIsNotMistaken) {
  auto peer = StartPeer({"Sleeper"});
  const WindowHandle window = WaitForWindow("Sleeper");
  ASSERT_TRUE(window);
  peer->Signal(SIGSTOP);
  const auto start = Clock::now();
  const auto answer = SendMessage(window, peer::kEcho, 0, 100, {}, milliseconds(300));
  EXPECT_EQ(answer.status, SendStatus::Timeout);
  EXPECT_GE(Clock::now() - start, milliseconds(300));
  peer->Signal(SIGCONT);
  // The stopped program answers the old send first; that answer is dropped.
  const auto next = SendMessage(window, peer::kEcho, 0, 200);
  ASSERT_TRUE(next.ok());
  EXPECT_EQ(next.result, 201);
}

TEST_F(PeerTest, ProgramKilledWhileASendWaitsReportsTheWindowGone) {
  auto peer = StartPeer({"Victim"});
  const WindowHandle window = WaitForWindow("Victim");
  ASSERT_TRUE(window);
  // The peer calls back into our window while our send waits, and our
  // handler kills it there: the peer never answers.
  auto own = MakeWindow("Killer", [&](Message&) -> std::int64_t {
    peer->Signal(SIGKILL);
    return 0;
  });
  const auto answer = SendMessage(window, peer::kCallBack, own->handle().value, 1, {}, milliseconds(4000));
  EXPECT_EQ(answer.status, SendStatus::WindowGone);
  // The kernel releases the dead program's lock a moment after its sockets;
  // once it has been reaped, both are surely gone.
  peer->Stop(SIGKILL);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(SendMessage(window, peer::kEcho, 0, 0).status, SendStatus::NoWindow);
  EXPECT_FALSE(PostMessage(window, peer::kEcho, 0, 0));
}

TEST_F(PeerTest, StaleEndpointOfAKilledProgramIsRemovedWhenMet) {
  auto peer = StartPeer({"Stale", "Stale too"});
  ASSERT_TRUE(WaitForWindow("Stale") && WaitForWindow("Stale too"));
  EXPECT_EQ(desktop_.Files().size(), 6u);
  peer->Stop(SIGKILL);
  EXPECT_EQ(desktop_.Files().size(), 6u);  // nobody cleaned up after it

  EXPECT_FALSE(FindWindow("Stale"));
  EXPECT_TRUE(desktop_.Files().empty());
}

TEST_F(PeerTest, TitleChangeAndCleanExitAreSeenByOthers) {
  auto peer = StartPeer({"Before"});
  const WindowHandle window = WaitForWindow("Before");
  ASSERT_TRUE(window);
  bool gone = false;
  WatchWindow(window, [&] { gone = true; });

  ASSERT_EQ(SendMessage(window, peer::kSetTitle, 0, 0, "Po zmianie").result, 1);
  EXPECT_EQ(FindWindow("Po zmianie"), window);
  EXPECT_FALSE(FindWindow("Before"));
  ASSERT_EQ(EnumerateWindows().size(), 1u);
  EXPECT_EQ(EnumerateWindows().front().title, "Po zmianie");

  EXPECT_EQ(peer->Stop(SIGTERM), 0);
  ASSERT_TRUE(WaitFor([&] { return gone; }));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(desktop_.Files().empty());  // the program removed its own endpoint
}

}  // namespace
