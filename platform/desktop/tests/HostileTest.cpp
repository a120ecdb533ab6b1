// The bus beside programs that misbehave: half-sent frames, floods of
// connections, forged replies, a window whose queue is full, a window of
// another PID namespace. Each attacker is a real process of its own.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "Bus.h"
#include "Desktop.h"
#include "PeerProtocol.h"
#include "ProcessProbe.h"
#include "TestSupport.h"

namespace {

using namespace vokar::desktop;
using vokar::desktop::detail::Bus;
using vokar::desktop::detail::Limits;
using vokar::testing::ChildProcess;
using vokar::testing::PrivateDesktop;
using vokar::testing::WaitFor;
using vokar::testing::WaitForWindow;

class Hostile : public ::testing::Test {
 protected:
  // Starts the attacker and waits until it says it is ready; the handles of
  // its own windows, if it made any.
  std::vector<WindowHandle> Attack(const std::vector<std::string>& arguments) {
    attackers_.push_back(std::make_unique<ChildProcess>(VOKAR_DESKTOP_HOSTILE, arguments, true));
    const std::string line = attackers_.back()->ReadLine(std::chrono::milliseconds(10000));
    EXPECT_EQ(line.substr(0, 5), "ready") << "the attacker did not start";
    std::vector<WindowHandle> handles;
    for (std::size_t at = 6; at + 16 <= line.size(); at += 17) {
      handles.push_back(WindowHandle{std::stoull(line.substr(at, 16), nullptr, 16)});
    }
    return handles;
  }

  std::unique_ptr<ChildProcess> StartPeer(const std::vector<std::string>& arguments) {
    auto child = std::make_unique<ChildProcess>(VOKAR_DESKTOP_PEER, arguments);
    EXPECT_TRUE(child->started());
    return child;
  }

  std::unique_ptr<Window> MakeWindow(std::string_view title, MessageHandler handler = {}) {
    auto created = Window::Create(title, std::move(handler));
    EXPECT_TRUE(created.window) << created.error;
    return std::move(created.window);
  }

  static std::size_t Accepted() { return Bus::Get().Count().accepted; }

  PrivateDesktop desktop_;
  std::vector<std::unique_ptr<ChildProcess>> attackers_;
};

TEST_F(Hostile, HalfSentFramesAreCutAfterTheirTimeAndWholeOnesAreServed) {
  // A 20-byte header and a frame one byte short of its megabyte, each from a
  // program of its own; a third program connects and does nothing.
  auto window = MakeWindow("Cel", [](Message& m) -> std::int64_t { return m.lParam + 1; });
  ::testing::internal::CaptureStderr();
  Attack({"partial", "Cel", "1"});
  Attack({"bigpartial", "Cel", "1"});
  Attack({"idle", "Cel", "1"});
  ASSERT_TRUE(WaitFor([] { return Accepted() == 3; }));
  const auto start = Clock::now();  // a moment after the connections were made
  ASSERT_TRUE(WaitFor([] { return Accepted() == 1; }, Limits::kPartialFrameTimeout + milliseconds(3000)));
  // Not before the time a frame is given to arrive.
  EXPECT_GE(Clock::now() - start, Limits::kPartialFrameTimeout - milliseconds(1000));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("sent half a frame and stopped"), std::string::npos);
  EXPECT_EQ(Bus::Get().Count().heldBytes, 0u);  // the megabyte held is given back

  // An idle connection is left alone until the idle time has passed.
  Bus::Get().TickNow(start + Limits::kIdleTimeout - milliseconds(500));
  EXPECT_EQ(Accepted(), 1u);
  Bus::Get().TickNow(start + Limits::kIdleTimeout + milliseconds(500));
  EXPECT_EQ(Accepted(), 0u);
}

TEST_F(Hostile, OneProgramGetsAtMostItsShareOfAWindowsConnections) {
  auto window = MakeWindow("Cel", [](Message& m) -> std::int64_t { return m.lParam + 1; });
  // 8 connections from one program are all kept; of 9, one is refused.
  ::testing::internal::CaptureStderr();
  Attack({"idle", "Cel", "8"});
  ASSERT_TRUE(WaitFor([] { return Accepted() == 8; }));
  Attack({"idle", "Cel", "9"});
  ASSERT_TRUE(WaitFor([] { return Accepted() == 16; }));
  PumpMessages(milliseconds(100));
  EXPECT_EQ(Accepted(), 16u);
  Attack({"idle", "Cel", "500"});
  ASSERT_TRUE(WaitFor([] { return Accepted() == 24; }));
  PumpMessages(milliseconds(100));
  EXPECT_EQ(Accepted(), 24u);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("already has 8 connections"), std::string::npos);

  // Everyone else is still served: a peer calls our window back.
  auto peer = StartPeer({"Peer"});
  const WindowHandle other = WaitForWindow("Peer");
  ASSERT_TRUE(other);
  const auto answer = SendMessage(other, peer::kCallBack, window->handle().value, 4);
  ASSERT_TRUE(answer.ok());
  EXPECT_EQ(answer.result, 50);
}

TEST_F(Hostile, APostToAWindowWhoseQueueIsFullFailsAtOnce) {
  const auto full = Attack({"fullqueue", "-", "0"});
  ASSERT_EQ(full.size(), 1u);
  auto peer = StartPeer({"Peer"});
  const WindowHandle other = WaitForWindow("Peer");
  ASSERT_TRUE(other);
  // Ten posts to the full queue, then the peer must answer at once: it may
  // not sit on any of them.
  const auto answer = SendMessage(other, peer::kPostTo, full.front().value, 10, {}, milliseconds(3000));
  ASSERT_EQ(answer.status, SendStatus::Ok);
  EXPECT_EQ(answer.result, 0);
  EXPECT_EQ(SendMessage(other, peer::kEcho, 0, 1, {}, milliseconds(1000)).result, 2);
  // A send to it waits, but only as long as it was told to.
  const auto start = Clock::now();
  EXPECT_EQ(SendMessage(full.front(), WM_USER, 0, 0, {}, milliseconds(300)).status, SendStatus::Timeout);
  EXPECT_LT(Clock::now() - start, milliseconds(2000));
}

TEST_F(Hostile, AWindowIsJudgedByItsLockNotByItsProcessId) {
  // The attacker plays a program of another PID namespace: its window's
  // handle carries a process id that no process here has.
  const pid_t nobody = vokar::testing::FreeProcessId();
  Attack({"foreign", "Obcy", std::to_string(nobody)});
  const WindowHandle expected{(std::uint64_t{static_cast<std::uint32_t>(nobody)} << 32) | 1};
  EXPECT_EQ(FindWindow("Obcy"), expected);
  EXPECT_TRUE(IsWindow(expected));
  EXPECT_EQ(EnumerateWindows().size(), 1u);
  EXPECT_EQ(SendMessage(expected, WM_USER, 0, 41).result, 42);
  EXPECT_EQ(desktop_.Files().size(), 3u);  // nothing of it was removed

  attackers_.back()->Stop(SIGKILL);
  EXPECT_FALSE(FindWindow("Obcy"));
  EXPECT_TRUE(desktop_.Files().empty());  // now its lock is free: it is gone
}

TEST_F(Hostile, RepliesCountOnlyOnTheConnectionTheirSendWentOutOn) {
  auto peer = StartPeer({"Echo"});
  const WindowHandle echo = WaitForWindow("Echo");
  ASSERT_TRUE(echo);
  // A window that answers our connection with replies to every serial we
  // may use, and keeps doing so.
  ::testing::internal::CaptureStderr();
  Attack({"forge", "Fałsz", "3000"});
  const WindowHandle forger = WaitForWindow("Fałsz");
  ASSERT_TRUE(forger);
  ASSERT_EQ(SendMessage(echo, peer::kEcho, 0, 0).result, 1);
  ASSERT_TRUE(PostMessage(forger, WM_USER, 0, 0));
  ASSERT_EQ(Bus::Get().Count().outgoing, 2u);
  // Sends go on while the forged replies come in, until this program has
  // closed the connection that brought them; then some more.
  int sends = 0;
  while (Bus::Get().Count().outgoing == 2 && sends < 2000) {
    const auto answer = SendMessage(echo, peer::kEcho, 0, sends);
    ASSERT_TRUE(answer.ok());
    ASSERT_EQ(answer.result, sends + 1);
    ++sends;
  }
  EXPECT_EQ(Bus::Get().Count().outgoing, 1u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(SendMessage(echo, peer::kEcho, 0, i).result, i + 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("a reply to no request of this connection"),
            std::string::npos);
}

TEST_F(Hostile, AConnectionClosedForIdlenessIsMadeAgainWithoutLosingARequest) {
  auto window = MakeWindow("Cel", [](Message& m) -> std::int64_t { return m.lParam + 1; });
  auto peer = StartPeer({"Peer"});
  const WindowHandle other = WaitForWindow("Peer");
  ASSERT_TRUE(other);
  ASSERT_EQ(SendMessage(other, peer::kCallBack, window->handle().value, 1).result, 20);
  ASSERT_EQ(Accepted(), 1u);
  // Our window drops the peer's connection as idle; the peer's next request
  // goes on a new one and is answered.
  Bus::Get().TickNow(Clock::now() + Limits::kIdleTimeout + milliseconds(1000));
  EXPECT_EQ(Accepted(), 0u);
  EXPECT_EQ(SendMessage(other, peer::kCallBack, window->handle().value, 2).result, 30);
  EXPECT_EQ(Accepted(), 1u);
}

TEST_F(Hostile, ConnectionsToOtherProgramsWindowsAreKeptWithinBound) {
  // Windows claimed by the hundred, each sent to once: this program keeps
  // connections to the 32 it used last and closes the rest.
  const auto windows = Attack({"claim", "-", "100"});
  ASSERT_EQ(windows.size(), 100u);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    ASSERT_TRUE(SendMessage(windows[i], WM_USER, 0, 0).ok()) << i;
    EXPECT_EQ(Bus::Get().Count().outgoing, std::min<std::size_t>(i + 1, Limits::kMaxOutgoing)) << i;
  }
  EXPECT_EQ(Limits::kMaxOutgoing, 32u);
  // The ones closed are made again when they are needed.
  EXPECT_TRUE(SendMessage(windows.front(), WM_USER, 0, 0).ok());
  EXPECT_EQ(Bus::Get().Count().outgoing, 32u);
}

}  // namespace
