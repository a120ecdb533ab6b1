// The application skeleton: a signal or the end of the session ends the
// program by its own exit road, exit steps run once in reverse order, and
// commands reach their handlers from the event queue, never inside the bus's
// dispatch.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <QTimer>
#include <cstdio>
#include <thread>
#include <vector>

#include "Application.h"
#include "BusWindow.h"
#include "Commands.h"
#include "Desktop.h"
#include "StringTable.h"
#include "TestFolder.h"
#include "TestSupport.h"

namespace {

using namespace vokar;

class ApplicationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "app_test";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    application = new app::CApplication(argc, argv, "Test");
  }
  static void TearDownTestSuite() {
    delete application;
    application = nullptr;
  }
  static bool RunUntil(const std::function<bool()>& done, int ms = 3000) {
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(ms);
    while (!done() && limit.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
  }
  static inline app::CApplication* application = nullptr;
  vokar::testing::PrivateDesktop desktop_;
};

TEST_F(ApplicationTest, TermSignalTakesTheProgramsOwnExitRoadOnce) {
  int requests = 0;
  application->SetQuitRequestHandler([&] { ++requests; });
  ::raise(SIGTERM);
  ::raise(SIGHUP);
  EXPECT_TRUE(RunUntil([&] { return requests > 0; }));
  // The second signal is not a second request.
  QCoreApplication::processEvents();
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(application->QuitRequested());
}

TEST_F(ApplicationTest, ExitStepsRunOnceInReverseOrder) {
  std::vector<int> order;
  application->AddExitStep([&] { order.push_back(1); });
  application->AddExitStep([&] { order.push_back(2); });
  application->AddExitStep([&] { order.push_back(3); });
  application->RunExitSteps();
  application->RunExitSteps();
  EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));
}

TEST_F(ApplicationTest, CommandsFromOtherProgramsRunFromTheEventQueue) {
  QObject owner;
  std::string error;
  auto window = app::CBusWindow::Create("Commanded", &owner, error);
  ASSERT_TRUE(window) << error;
  std::vector<int> ran;
  bool insideDispatch = false;
  window->commands().On(33018, [&] {
    EXPECT_FALSE(insideDispatch);
    ran.push_back(33018);
  });
  window->OnMessage(desktop::WM_USER + 7, [&](desktop::Message& m) -> std::int64_t {
    insideDispatch = true;
    // A command posted by a handler waits for the handler to return.
    window->PostCommand(33012);
    insideDispatch = false;
    return static_cast<std::int64_t>(m.wParam) + 1;
  });
  window->commands().On(33012, [&] { ran.push_back(33012); });

  // The high word of wParam (where the command came from) is not part of it.
  ASSERT_TRUE(desktop::PostMessage(window->handle(), desktop::WM_COMMAND, (1u << 16) | 33018, 0));
  EXPECT_TRUE(RunUntil([&] { return !ran.empty(); }));
  const auto sent = desktop::SendMessage(window->handle(), desktop::WM_USER + 7, 41, 0);
  EXPECT_EQ(sent.result, 42);
  EXPECT_TRUE(RunUntil([&] { return ran.size() == 2; }));
  EXPECT_EQ(ran, (std::vector<int>{33018, 33012}));
  // A message without a handler gets 0; an unknown command does nothing.
  EXPECT_EQ(desktop::SendMessage(window->handle(), desktop::WM_USER + 8, 0, 0).result, 0);
  EXPECT_FALSE(window->commands().Dispatch(1));
}

TEST_F(ApplicationTest, CommandsQueuedForAWindowThatWentAwayDoNothing) {
  QObject owner;
  std::string error;
  auto window = app::CBusWindow::Create("Short-lived", &owner, error);
  ASSERT_TRUE(window) << error;
  bool ran = false;
  window->commands().On(5, [&] { ran = true; });
  window->PostCommand(5);
  window.reset();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran);
}

TEST(CommandMap, AHandlerCanBeWrappedByALaterOne) {
  app::CCommandMap map;
  std::vector<std::string> calls;
  map.On(33010, [&] { calls.push_back("clipboard"); });
  const auto previous = map.Get(33010);
  map.On(33010, [&, previous] {
    calls.push_back("hook");
    previous();
  });
  EXPECT_TRUE(map.Dispatch(33010));
  EXPECT_EQ(calls, (std::vector<std::string>{"hook", "clipboard"}));
  EXPECT_FALSE(map.Dispatch(33011));
  EXPECT_FALSE(map.Get(33011));

  // A button and its hot key share one handler.
  int reads = 0;
  map.On({200, 33018}, [&] { ++reads; });
  EXPECT_TRUE(map.Dispatch(200));
  EXPECT_TRUE(map.Dispatch(33018));
  EXPECT_EQ(reads, 2);
}

// A real program of the skeleton waits in a send to a window that never
// answers (ours: this process does not read its messages meanwhile). SIGTERM
// ends the wait at once and the program leaves by its exit road, its exit
// step run; the send alone would have waited a minute.
TEST(ApplicationProcess, TermSignalEndsAProgramBlockedInASend) {
  vokar::test::TestFolder folder("app");
  vokar::testing::PrivateDesktop desktop;
  ::setenv("VOKAR_REGISTRY_DIR", (folder / "registry").c_str(), 1);
  ::setenv("VOKAR_CONFIG_DIR", (folder / "config").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::filesystem::create_directories(folder / "runtime");
  std::filesystem::permissions(folder / "runtime", std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
  ::setenv("XDG_RUNTIME_DIR", (folder / "runtime").c_str(), 1);
  auto created = desktop::Window::Create("Silent", [](desktop::Message&) -> std::int64_t { return 0; });
  ASSERT_TRUE(created.window) << created.error;
  char hex[24];
  std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(created.window->handle().value));
  vokar::testing::ChildProcess child(APP_BLOCKED_SENDER, {hex}, true);
  ASSERT_EQ(child.ReadLine(std::chrono::seconds(20)), "sending");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const int status = child.StopWithin(SIGTERM, std::chrono::seconds(15));
  ASSERT_NE(status, -1) << "the program did not end while its send waited";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(child.ReadLine(), "send ended 0");
  EXPECT_EQ(child.ReadLine(), "saved");
}

// A real program of the kit with a message box, the about box or a file
// dialog open (no log of messages: the box is really up). SIGTERM closes what
// is open, with the answer that goes nowhere, closes what opens after it
// (the code after a box goes on), and the program leaves by its own exit
// road with its exit step run. Without the kit's closing the program would
// wait for a user who is gone, its window already closed.
class KitWindowProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("VOKAR_REGISTRY_DIR", (folder_ / "registry").c_str(), 1);
    ::setenv("VOKAR_CONFIG_DIR", (folder_ / "config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("VOKAR_MSGBOX_LOG");
    std::filesystem::create_directories(folder_ / "runtime");
    std::filesystem::permissions(folder_ / "runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    ::setenv("XDG_RUNTIME_DIR", (folder_ / "runtime").c_str(), 1);
  }

  // Starts the program, waits until the thing is up, ends it with SIGTERM;
  // what it printed after "shown".
  std::vector<std::string> EndWhileOpen(const std::string& what, const std::string& shown) {
    vokar::testing::ChildProcess child(APP_KIT_WINDOW, {what}, true);
    EXPECT_EQ(child.ReadLine(std::chrono::seconds(20)), "shown " + shown);
    // Long enough for the loop of the box to be the one that runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int status = child.StopWithin(SIGTERM, std::chrono::seconds(15));
    EXPECT_NE(status, -1) << "the program did not end while its " << shown << " was open";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::vector<std::string> lines;
    for (std::string line = child.ReadLine(); !line.empty(); line = child.ReadLine()) lines.push_back(line);
    return lines;
  }

  vokar::test::TestFolder folder_{"kit"};
  vokar::testing::PrivateDesktop desktop_;
};

TEST_F(KitWindowProcess, AMessageBoxOpenAtTheSignalAndTheOnesAfterItDoNotHoldTheEnd) {
  // Yes is the box's default; the answer that goes nowhere is No.
  EXPECT_EQ(EndWhileOpen("box", "QMessageBox"),
            (std::vector<std::string>{"exit road", "answer no", "second no", "file dialog closed", "window ended 1",
                                      "saved"}));
}

TEST_F(KitWindowProcess, TheAboutBoxOpenAtTheSignalDoesNotHoldTheEnd) {
  EXPECT_EQ(EndWhileOpen("about", "QDialog"),
            (std::vector<std::string>{"exit road", "about closed", "window ended 1", "saved"}));
}

TEST_F(KitWindowProcess, AFileDialogOpenAtTheSignalDoesNotHoldTheEnd) {
  EXPECT_EQ(EndWhileOpen("file", "QFileDialog"),
            (std::vector<std::string>{"exit road", "file dialog closed", "window ended 1", "saved"}));
}

TEST(StringTable, TextsByNumberInBothForms) {
  static constexpr app::StringResource resources[] = {{4100, "C&zytaj"}, {4910, "Brak urządzenia"}};
  const app::CStringTable table(resources);
  EXPECT_EQ(table.Utf8(4100), "C&zytaj");
  EXPECT_EQ(table.Cp1250(4910), "Brak urz\xB9" "dzenia");
  EXPECT_EQ(table.Text(4910), QString::fromUtf8("Brak urządzenia"));
  EXPECT_EQ(table.Utf8(4101), "");
  EXPECT_FALSE(table.Has(4101));
}

}  // namespace
