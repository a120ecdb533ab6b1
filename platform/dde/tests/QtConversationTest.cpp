// A DDE client inside a Qt program: transactions complete through Qt's event
// loop, and Qt timers keep running while one waits.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QTimer>

#include "DdeFixture.h"
#include "QtDesktopLoop.h"

namespace {

using namespace vokar;
using namespace vokar::dde;

class QtConversation : public vokar::testing::DdeFixture {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "dde_test_QtConversationTest";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
  }

  desktop::QtDesktopLoop loop_;
};

TEST_F(QtConversation, TransactionsRunInsideQtAndTimersTickWhileOneWaits) {
  vokar::testing::ChildProcess& server = StartServer();
  const Conversation conversation = ConnectToVokar();
  ASSERT_TRUE(conversation);
  ASSERT_TRUE(Poke(conversation, "Qt"));
  EXPECT_EQ(Status(conversation), 2);
  EXPECT_EQ(ServerText(), "Qt");

  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  server.Signal(SIGSTOP);
  EXPECT_FALSE(Execute(conversation, "status", nullptr, desktop::milliseconds(300)));
  EXPECT_EQ(GetLastError(instance_), DMLERR_EXECACKTIMEOUT);
  EXPECT_GE(ticks, 5);  // the clock of a program kept going during the wait

  server.Signal(SIGKILL);
  ASSERT_TRUE(vokar::testing::WaitFor([&] { return disconnects_.size() == 1; }));
  EXPECT_FALSE(Poke(conversation, "po"));
  EXPECT_EQ(GetLastError(instance_), DMLERR_SERVER_DIED);
}

}  // namespace
