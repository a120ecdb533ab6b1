// The bus carried by Qt's event loop: messages from another program arrive
// while Qt runs, and a program that waits with its messages flowing keeps its
// Qt timers alive.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "Desktop.h"
#include "PeerProtocol.h"
#include "QtDesktopLoop.h"
#include "TestSupport.h"

namespace {

using namespace vokar::desktop;
using vokar::testing::ChildProcess;
using vokar::testing::PrivateDesktop;
using vokar::testing::WaitFor;
using vokar::testing::WaitForWindow;

class QtLoopTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "desktop_test_QtLoopTest";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
  }

  PrivateDesktop desktop_;
  QtDesktopLoop loop_;
};

TEST_F(QtLoopTest, MessagesFromAnotherProgramArriveWhileQtRuns) {
  constexpr int kRounds = 100;
  ChildProcess first(VOKAR_DESKTOP_PEER, {"--storm", std::to_string(kRounds), "First"});
  ChildProcess second(VOKAR_DESKTOP_PEER, {"--storm", std::to_string(kRounds), "Second"});
  const WindowHandle a = WaitForWindow("First");
  const WindowHandle b = WaitForWindow("Second");
  ASSERT_TRUE(a && b);

  QEventLoop qtLoop;
  std::map<std::uint64_t, std::uint64_t> good;
  auto created = Window::Create("Reporter", [&](Message& m) -> std::int64_t {
    if (m.message == peer::kStormDone) good[static_cast<std::uint64_t>(m.lParam)] = m.wParam;
    if (good.size() == 2) qtLoop.quit();
    return 0;
  });
  ASSERT_TRUE(created.window) << created.error;
  const auto reporter = static_cast<std::int64_t>(created.window->handle().value);
  ASSERT_TRUE(PostMessage(a, peer::kStorm, b.value, reporter));
  ASSERT_TRUE(PostMessage(b, peer::kStorm, a.value, reporter));

  // Nothing but Qt's own loop runs here.
  QTimer::singleShot(8000, &qtLoop, &QEventLoop::quit);
  qtLoop.exec();
  ASSERT_EQ(good.size(), 2u);
  EXPECT_EQ(good[a.value], std::uint64_t{kRounds});
  EXPECT_EQ(good[b.value], std::uint64_t{kRounds});
}

TEST_F(QtLoopTest, WaitingWithMessagesFlowingRunsQtTimersAndPosts) {
  ChildProcess peerProgram(VOKAR_DESKTOP_PEER, {"Echo"});
  const WindowHandle echo = WaitForWindow("Echo");
  ASSERT_TRUE(echo);

  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(5);

  std::vector<std::int64_t> posted;
  auto created = Window::Create("Own", [&](Message& m) -> std::int64_t {
    if (m.message == peer::kEcho) return m.lParam + 1;
    posted.push_back(m.lParam);
    return 0;
  });
  ASSERT_TRUE(created.window);
  for (int i = 0; i < 20; ++i) PostMessage(created.window->handle(), WM_USER + 50, 0, i);

  // A send that makes the peer call back into our window, from inside Qt.
  const auto answer = SendMessage(echo, peer::kCallBack, created.window->handle().value, 4);
  ASSERT_TRUE(answer.ok());
  EXPECT_EQ(answer.result, 50);

  ASSERT_TRUE(RunUntil([&] { return ticks >= 3 && posted.size() == 20; }, milliseconds(3000)));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(posted[i], i);
}

TEST_F(QtLoopTest, ProgramsEndingAreReportedInsideQt) {
  auto peerProgram = std::make_unique<ChildProcess>(VOKAR_DESKTOP_PEER, std::vector<std::string>{"Leaving"});
  const WindowHandle window = WaitForWindow("Leaving");
  ASSERT_TRUE(window);
  QEventLoop qtLoop;
  bool gone = false;
  WatchWindow(window, [&] {
    gone = true;
    qtLoop.quit();
  });
  peerProgram->Signal(SIGKILL);
  QTimer::singleShot(5000, &qtLoop, &QEventLoop::quit);
  qtLoop.exec();
  EXPECT_TRUE(gone);
}

}  // namespace
