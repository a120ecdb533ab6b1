// With an avahi-daemon of the test's own (on a private system bus, on the
// loopback interface only), the agent announces the share and the browse
// dialog lists it with the address and port a sender can use. The daemon can
// run once per machine and only as root (its pid file is fixed): where it
// cannot, the test says why and is skipped; the dialog without a daemon is
// tested apart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include <unistd.h>

#include <cstring>

#include "BrowseDlg.h"
#include "ClientTestSupport.h"
#include "NetTestSupport.h"

namespace {

using namespace vokar;
using namespace vokar::nettest;
using vokar::testing::ChildProcess;
using vokar::testing::ClientWorld;

constexpr const char* kDbusDaemon = "/usr/bin/dbus-daemon";
constexpr const char* kAvahiDaemon = "/usr/sbin/avahi-daemon";
constexpr const char* kDbusSend = "/usr/bin/dbus-send";
constexpr const char* kAvahiPidFile = "/run/avahi-daemon/pid";

class AvahiBrowse : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "avahi-daemon runs only as root (its pid file is fixed)";
    for (const char* program : {kDbusDaemon, kAvahiDaemon, kDbusSend}) {
      if (::access(program, X_OK) != 0) GTEST_SKIP() << program << " is not installed";
    }
    if (fs::exists(kAvahiPidFile)) GTEST_SKIP() << "an avahi-daemon already runs on this machine (" << kAvahiPidFile << ")";

    const fs::path socket = world_.folder() / "system_bus";
    std::ofstream(world_.folder() / "bus.conf")
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>system</type><listen>unix:path="
        << socket.string()
        << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
           "<allow send_type=\"method_call\"/><allow send_type=\"signal\"/><allow send_type=\"method_return\"/>"
           "<allow send_type=\"error\"/><allow receive_type=\"method_call\"/><allow receive_type=\"signal\"/>"
           "<allow receive_type=\"method_return\"/><allow receive_type=\"error\"/></policy></busconfig>\n";
    std::ofstream(world_.folder() / "avahi.conf")
        << "[server]\nallow-interfaces=lo\nuse-ipv4=yes\nuse-ipv6=no\nenable-dbus=yes\n"
           "[wide-area]\nenable-wide-area=no\n[publish]\npublish-hinfo=no\npublish-workstation=no\n";
    world_.Set("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + socket.string());
    world_.Set("QT_QPA_PLATFORM", "offscreen");

    bus_ = std::make_unique<ChildProcess>(
        kDbusDaemon, std::vector<std::string>{"--config-file=" + (world_.folder() / "bus.conf").string(), "--nofork"});
    ASSERT_TRUE(vokar::testing::WaitFor([&] { return fs::exists(socket); }, milliseconds(5000)));
    daemon_ = std::make_unique<ChildProcess>(
        kAvahiDaemon, std::vector<std::string>{"-f", (world_.folder() / "avahi.conf").string(), "--no-drop-root",
                                               "--no-chroot", "--no-rlimits"});
    const auto ready = [&] {
      const Finished state = RunProgram(kDbusSend,
                                        {"--system", "--print-reply", "--dest=org.freedesktop.Avahi", "/",
                                         "org.freedesktop.Avahi.Server.GetState"},
                                        world_.folder(), milliseconds(2000));
      return state.out.find("int32 2") != std::string::npos;
    };
    const auto start = Clock::now();
    while (!ready()) {
      if (!daemon_->Running()) GTEST_SKIP() << "avahi-daemon cannot run here";
      if (Clock::now() - start > std::chrono::seconds(15)) GTEST_SKIP() << "avahi-daemon did not come up in 15 s";
      std::this_thread::sleep_for(milliseconds(100));
    }
  }
  void TearDown() override {
    agent_.reset();
    // The daemon removes its pid file when it ends by SIGTERM.
    if (daemon_) daemon_->StopWithin(SIGTERM, milliseconds(5000));
    daemon_.reset();
    if (bus_) bus_->StopWithin(SIGTERM, milliseconds(5000));
    bus_.reset();
  }

  ClientWorld world_;
  std::unique_ptr<ChildProcess> bus_, daemon_;
  std::unique_ptr<AgentProcess> agent_;
};

TEST_F(AvahiBrowse, TheAgentIsListedAndChosenWithItsAddressAndPort) {
  ASSERT_EQ(RunProgram(VKNETDDE, {"--enable", "--port", "0"}, world_.folder()).status, 0);
  agent_ = std::make_unique<AgentProcess>(VKNETDDE, world_.folder());
  ASSERT_TRUE(agent_->listening()) << agent_->Errors();
  ASSERT_TRUE(vokar::testing::WaitFor(
      [&] { return agent_->Errors().find("announced as '") != std::string::npos; }, milliseconds(10000)))
      << agent_->Errors();

  int argc = 1;
  char name[] = "sievo";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const QString computer = QString::fromStdString(agent_->Computer());
  char buffer[255] = {};
  int listed = 0;
  std::string status;
  QTimer poll;
  const auto start = Clock::now();
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = dynamic_cast<netsend::CBrowseDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    QListWidget* list = dialog->list();
    for (int i = 0; i < list->count(); ++i) {
      if (!list->item(i)->text().endsWith("(" + computer + ")")) continue;
      listed = static_cast<int>(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count());
      status = dialog->status()->text().toStdString();
      list->setCurrentRow(i);
      dialog->accept();
      return;
    }
    if (Clock::now() - start > std::chrono::seconds(15)) dialog->reject();
  });
  poll.start(50);
  const int result = netsend::ServerBrowseDialog(nullptr, buffer, sizeof buffer);
  EXPECT_EQ(result, netsend::kBrowseChosen) << "the agent was not listed within 15 s";
  EXPECT_EQ(std::string(buffer), agent_->Computer());
  std::cout << "listed after " << listed << " ms; status: " << status << std::endl;
}

}  // namespace
