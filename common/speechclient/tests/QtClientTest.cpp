// The client inside a Qt program, as the clock, the keyboard and the comment
// editor carry it: the desktop bus in Qt's event loop, the program's bus
// window receiving the disconnect notice and the quit command, message boxes
// owned by its widget.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>

#include "AppPaths.h"
#include "BusWindow.h"
#include "ClientTestSupport.h"
#include "QtDesktopLoop.h"
#include "SpeechClient.h"
#include "TestServerProtocol.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar;
using vokar::testing::ClientWorld;
using vokar::testing::KillAndWait;
using Clock = std::chrono::steady_clock;

constexpr int kQuit = 33030;

// Runs Qt's loop until the condition holds or five seconds pass.
bool Within(QApplication& app, const std::function<bool()>& condition) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!condition() && Clock::now() < deadline) app.processEvents(QEventLoop::AllEvents, 10);
  return condition();
}

TEST(SpeechClientInQt, SpeaksHearsTheDisconnectReconnectsAndQuitsOnAbort) {
  ClientWorld world;
  world.Set("QT_QPA_PLATFORM", "offscreen");
  const fs::path log = world.folder() / "server.log";
  ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_DDE_TESTSERVER).ok());
  world.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + log.string() + " --job-ms 1500");

  int argc = 1;
  char name[] = "horalo";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  desktop::QtDesktopLoop loop;
  std::string error;
  auto window = app::CBusWindow::Create("Horalo", &app, error);
  ASSERT_TRUE(window) << error;
  QWidget owner;

  CSpeechClient client(SpeechClientProgram{"Horalo", kQuit});
  int quits = 0, notices = 0;
  window->commands().On(kQuit, [&] { ++quits; });
  window->OnMessage(WM_CLIENT_DISCONNECTED, [&](desktop::Message&) {
    ++notices;
    client.OnServerDisconnected();
    return std::int64_t{0};
  });
  ASSERT_TRUE(client.Connect(window->handle(), &owner));
  ASSERT_EQ(client.Speak("Jest godzina dwunasta.", BreakFirst::Yes), kSpeakSent);

  // A timer of the program fires while a transaction waits: its Speak is
  // turned away instead of interleaving.
  int fromTimer = 99;
  QTimer::singleShot(0, [&] { fromTimer = client.Speak("z zegara", BreakFirst::Yes); });
  EXPECT_EQ(client.Speak("Druga.", BreakFirst::Yes), kSpeakSent);
  EXPECT_TRUE(Within(app, [&] { return fromTimer != 99; }));
  EXPECT_EQ(fromTimer, kSpeakNotSent);
  EXPECT_TRUE(Within(app, [&] { return client.QueryStatus() == 1; }));

  // The server ends the conversation: the notice arrives through Qt's loop
  // and the program reconnects.
  desktop::SendMessage(desktop::FindWindow("Vokar"), dde::testserver::kTerminateClient, 0, 0);
  EXPECT_TRUE(Within(app, [&] { return notices == 1; }));
  EXPECT_TRUE(Within(app, [&] { return client.QueryStatus() == 2; }));
  EXPECT_EQ(client.Speak("Po powrocie.", BreakFirst::Yes), kSpeakSent);
  EXPECT_TRUE(world.Messages().empty());

  // The server dies for good. The notice's reconnect finds no server to
  // start and says so; the next Speak has no conversation and asks, and
  // Abort's quit command reaches the program's command map.
  ASSERT_TRUE(registry::DeleteTree(registry::Root::LocalMachine, registry::AppPathKey("Vokar.exe")).ok());
  world.Set("VOKAR_MSGBOX_ANSWER", "ok,abort");
  KillAndWait(static_cast<pid_t>(desktop::FindWindow("Vokar").processId()));
  EXPECT_TRUE(Within(app, [&] { return notices == 2; }));
  EXPECT_EQ(world.MessageTexts(), std::vector<std::string>{"Nie znaleziono serwera mowy VOKAR.EXE\n"});
  EXPECT_EQ(client.Speak("Nikt nie s\xB3ucha.", BreakFirst::Yes), kSpeakError);
  EXPECT_TRUE(Within(app, [&] { return quits == 1; }));
  const auto messages = world.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].text, "Brak połączenia z serwerem mowy.\n");
  EXPECT_EQ(messages[1].buttons, "abort-retry-ignore");
  EXPECT_EQ(messages[1].answer, "abort");
  EXPECT_EQ(messages[1].caption, "Horalo");
  client.Disconnect();
}

}  // namespace
