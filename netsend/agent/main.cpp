// vknetdde: the agent of the network share "VOKAR$". Run as it is, it serves
// the share when the user has turned it on, and follows every change of its
// settings at once: turned off, it ends; a new key, allow-list, address or
// limit holds from then on. With options it changes the share's settings in
// the machine hive, tells the running agents, and says what is now exposed.
#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Agent.h"
#include "AgentConfig.h"
#include "AgentControl.h"
#include "Auth.h"
#include "Desktop.h"
#include "QtDesktopLoop.h"
#include "ShareAnnouncer.h"

namespace {

using namespace vokar::netdde;
using vokar::dnssd::CShareAnnouncer;

constexpr const char* kUsage =
    "usage: vknetdde [OPTIONS]\n"
    "Serves the network share VOKAR$: other computers' senders (sievo) reach\n"
    "the speech server of this desktop through it. The share is off until it\n"
    "is turned on; without options vknetdde serves it while it is on.\n"
    "Settings (stored in HKLM\\Software\\Quillmark\\Vokar\\NetDDE; given alone\n"
    "they are stored and vknetdde ends):\n"
    "  --enable               turn the share on\n"
    "  --disable              turn it off\n"
    "  --address ADDRESS      listen on this address (default 127.0.0.1; 0.0.0.0\n"
    "                         or :: for every interface)\n"
    "  --port N               listen on this port (default 7047; 0 any free port)\n"
    "  --allow LIST           hosts and networks let in, separated by commas or\n"
    "                         blanks: 192.168.1.7, 192.168.1.0/24, fd00::/8, ala\n"
    "                         (default 127.0.0.1 ::1)\n"
    "  --key TEXT             the key shared with the senders (\"-\": the first\n"
    "                         line of standard input)\n"
    "  --new-key              make a random key, store it and print it (alone:\n"
    "                         only print one)\n"
    "  --no-key               no key: every allowed host is let in, but of the\n"
    "                         programs on this computer only this user's\n"
    "  --idle-timeout S       cut a peer silent for S seconds (1-3600, default 60)\n"
    "  --handshake-timeout S  cut a peer whose greeting or any one frame takes\n"
    "                         longer (1-300, default 10)\n"
    "  --max-peers N          peers served at once (1-1024, default 64)\n"
    "  --announce, --no-announce  announce the share with DNS-SD (default on)\n"
    "A running agent follows a change at once (--disable ends it).\n"
    "Without a key, of the programs on this computer only those of the agent's\n"
    "own user are let in.\n"
    "Other:\n"
    "  --status               print the settings and what the running agent serves\n"
    "  --help                 this text\n"
    "Exit status: 0 done, 1 the share could not be served or stored, 2 bad\n"
    "command line, 3 the share is off.\n";

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

std::optional<int> Number(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

void PrintStatus(const AgentConfig& config) {
  std::cout << "share VOKAR$: " << (config.enabled ? "on" : "off") << "\n"
            << "address: " << config.address << "\n"
            << "port: " << config.port << "\n"
            << "allowed: " << (config.allowedHosts.empty() ? "(nobody)" : config.allowedHosts) << "\n"
            << "key: " << (config.key.empty() ? "none" : "set") << "\n"
            << "idle timeout: " << config.idleTimeoutSeconds << " s\n"
            << "handshake timeout: " << config.handshakeTimeoutSeconds << " s\n"
            << "max peers: " << config.maxPeers << "\n"
            << "announce: " << (config.announce ? "yes" : "no") << "\n";
}

bool IsLoopback(const QHostAddress& address) { return address.isLoopback(); }

std::string UserName(uid_t uid) {
  if (const passwd* entry = ::getpwuid(uid); entry != nullptr && entry->pw_name != nullptr) return entry->pw_name;
  return std::to_string(uid);
}

// Says what the settings expose, for the user who just changed them.
void Warn(const AgentConfig& config) {
  const QHostAddress address(QString::fromStdString(config.address));
  if (config.allowedHosts.find_first_not_of(" ,;\t") == std::string::npos) {
    std::cerr << "vknetdde: the allow-list is empty: nobody is let in\n";
  }
  if (config.key.empty()) {
    if (!address.isNull() && !IsLoopback(address)) {
      std::cerr << "vknetdde: no key is set: every allowed host can make this computer speak\n";
    }
    std::cerr << "vknetdde: no key is set: of the programs on this computer only those of user "
              << UserName(::geteuid()) << " are let in ('vknetdde --new-key' lets in senders that know the key)\n";
  }
  if (!config.key.empty() && config.key.size() < 16) {
    std::cerr << "vknetdde: the key is short; 'vknetdde --new-key' makes a strong one\n";
  }
}

AgentLimits LimitsOf(const AgentConfig& config) {
  AgentLimits limits;
  limits.idle = std::chrono::seconds(config.idleTimeoutSeconds);
  limits.handshake = std::chrono::seconds(config.handshakeTimeoutSeconds);
  limits.maxPeers = config.maxPeers;
  return limits;
}

int Configure(const std::vector<std::string>& args) {
  AgentConfig config = ReadAgentConfig();
  bool newKey = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    const auto number = [&](int& out, int low, int high) {
      std::string text;
      if (!value(text)) return false;
      const auto n = Number(text);
      if (!n || *n < low || *n > high) return false;
      out = *n;
      return true;
    };
    std::string text;
    bool ok = true;
    if (arg == "--enable") {
      config.enabled = true;
    } else if (arg == "--disable") {
      config.enabled = false;
    } else if (arg == "--address") {
      ok = value(text) && !QHostAddress(QString::fromStdString(text)).isNull();
      if (ok) config.address = text;
    } else if (arg == "--port") {
      ok = number(config.port, 0, 65535);
    } else if (arg == "--allow") {
      ok = value(text);
      if (ok) {
        std::string error;
        if (!AllowList::Parse(text, error)) {
          std::cerr << "vknetdde: --allow: " << error << "\n";
          return 2;
        }
        config.allowedHosts = text;
      }
    } else if (arg == "--key") {
      ok = value(config.key) && !config.key.empty();
      if (ok && config.key == "-") {
        config.key = ReadKeyLine(std::cin);
        ok = !config.key.empty();
      }
    } else if (arg == "--new-key") {
      newKey = true;
    } else if (arg == "--no-key") {
      config.key.clear();
    } else if (arg == "--idle-timeout") {
      ok = number(config.idleTimeoutSeconds, kMinIdle, kMaxIdle);
    } else if (arg == "--handshake-timeout") {
      ok = number(config.handshakeTimeoutSeconds, kMinHandshake, kMaxHandshake);
    } else if (arg == "--max-peers") {
      ok = number(config.maxPeers, kMinPeers, kMaxPeers);
    } else if (arg == "--announce") {
      config.announce = true;
    } else if (arg == "--no-announce") {
      config.announce = false;
    } else {
      std::cerr << "vknetdde: unknown option " << arg << "\n" << kUsage;
      return 2;
    }
    if (!ok) {
      std::cerr << "vknetdde: " << arg << " needs a valid value\n";
      return 2;
    }
  }
  if (newKey) {
    if (!InitCrypto()) {
      std::cerr << "vknetdde: the cryptography library cannot be used\n";
      return 1;
    }
    config.key = NewKeyText();
    std::cout << "key: " << config.key << "\n";
  }
  // The agents running now hear of the change, also one that sees it first.
  const auto agents = FindRunningAgents();
  std::string error;
  if (!WriteAgentConfig(config, error)) {
    std::cerr << "vknetdde: cannot store the settings: " << error << "\n";
    return 1;
  }
  PrintStatus(config);
  Warn(config);
  // The running agents follow at once (and would within a second anyway).
  std::cout << (agents.empty() ? std::string("agent: not running\n")
                              : TellRunningAgents(agents, std::chrono::milliseconds(5000)))
            << std::flush;
  return 0;
}

// The share as this process serves it: the agent, its announcement, and the
// window through which vknetdde with options reaches it. The settings are
// read again every second and whenever that window is told they changed.
class CShare {
 public:
  bool Start(const AgentConfig& config, std::string& error) {
    const auto allow = AllowList::Parse(config.allowedHosts, error);
    if (!allow) {
      error = "AllowedHosts: " + error;
      return false;
    }
    const QHostAddress address(QString::fromStdString(config.address));
    if (address.isNull()) {
      error = "Address: '" + config.address + "' is not an address";
      return false;
    }
    agent_ = std::make_unique<CNetDdeAgent>(*allow, config.key, LimitsOf(config));
    if (!agent_->Start(address, static_cast<std::uint16_t>(config.port), error)) return false;
    auto created = vokar::desktop::Window::Create(
        kAgentTitle, [this](vokar::desktop::Message& message) { return OnControl(message); });
    if (!created.window) {
      error = "cannot use the desktop: " + created.error;
      return false;
    }
    control_ = std::move(created.window);
    config_ = config;
    Announce();
    QObject::connect(&poll_, &QTimer::timeout, [this] { Reread(); });
    poll_.start(1000);
    return true;
  }

  void Stop() {
    poll_.stop();
    announcer_.reset();
    if (agent_) agent_->Stop();
    control_.reset();
  }

  std::uint16_t port() const { return agent_->port(); }

 private:
  std::int64_t OnControl(vokar::desktop::Message& message) {
    if (message.message == kAgentStatus) {
      message.reply = Status();
      return 1;
    }
    if (message.message == kAgentReread) {
      Reread();
      message.reply = Status();
      return ending_ ? 0 : 1;
    }
    return 0;
  }

  std::string Status() const {
    const std::string pid = std::to_string(::getpid());
    if (ending_) return "agent: pid " + pid + " ends: " + endReason_ + "\n";
    return "agent: running, pid " + pid + "\n" + "agent serves: " + agent_->address().toString().toStdString() +
           " port " + std::to_string(agent_->port()) + "\n" + "agent key: " +
           (config_.key.empty() ? "none (of this computer's programs only user " + UserName(::geteuid()) +
                                      "'s are let in)"
                                : std::string("set")) +
           "\n" + "agent allowed: " + (config_.allowedHosts.empty() ? "(nobody)" : config_.allowedHosts) + "\n" +
           "agent peers: " + std::to_string(agent_->ServedCount()) + " let in, " +
           std::to_string(agent_->GreetingCount()) + " being greeted\n";
  }

  void End(int code, const std::string& why) {
    if (ending_) return;
    ending_ = true;
    endReason_ = why;
    std::cerr << "vknetdde: " << why << "; the agent ends\n";
    poll_.stop();
    // Every peer is cut now; the window answers the one who asked, then the
    // loop ends.
    announcer_.reset();
    agent_->Stop();
    QTimer::singleShot(0, [code] { QCoreApplication::exit(code); });
  }

  void Reread() {
    if (ending_) return;
    const AgentConfig now = ReadAgentConfig();
    if (now == config_) return;
    if (!now.enabled) return End(3, "the share VOKAR$ was turned off");
    std::string error;
    const auto allow = AllowList::Parse(now.allowedHosts, error);
    if (!allow) return End(1, "AllowedHosts: " + error);
    const QHostAddress address(QString::fromStdString(now.address));
    if (address.isNull()) return End(1, "Address: '" + now.address + "' is not an address");
    Warn(now);
    agent_->Reconfigure(*allow, now.key, LimitsOf(now));
    const bool moved = now.address != config_.address || now.port != config_.port;
    if (moved && !agent_->Relisten(address, static_cast<std::uint16_t>(now.port), error)) return End(1, error);
    const bool announceAgain = moved || now.announce != config_.announce;
    config_ = now;
    if (announceAgain) Announce();
    std::cerr << "vknetdde: the settings changed; sharing VOKAR$ on " << address.toString().toStdString()
              << " port " << agent_->port() << (config_.key.empty() ? "" : " with a key") << "\n";
    if (moved) {
      std::cout << "vknetdde: sharing VOKAR$ on " << address.toString().toStdString() << " port " << agent_->port()
                << (config_.key.empty() ? "" : " with a key") << std::endl;
    }
  }

  void Announce() {
    announcer_.reset();
    if (!config_.announce) return;
    announcer_ = std::make_unique<CShareAnnouncer>(
        agent_->port(), [](const std::string& line) { std::cerr << "vknetdde: " << line << "\n"; });
  }

  AgentConfig config_;
  std::unique_ptr<CNetDdeAgent> agent_;
  std::unique_ptr<CShareAnnouncer> announcer_;
  std::unique_ptr<vokar::desktop::Window> control_;
  QTimer poll_;
  bool ending_ = false;
  std::string endReason_;
};

int Serve(int argc, char** argv) {
  const AgentConfig config = ReadAgentConfig();
  if (!config.enabled) {
    std::cerr << "vknetdde: the share VOKAR$ is off; 'vknetdde --enable' turns it on\n";
    return 3;
  }
  QCoreApplication qt(argc, argv);
  Warn(config);

  vokar::desktop::QtDesktopLoop loop;
  CShare share;
  std::string error;
  if (!share.Start(config, error)) {
    std::cerr << "vknetdde: " << error << "\n";
    share.Stop();
    return 1;
  }

  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
    std::cerr << "vknetdde: cannot watch for signals\n";
    share.Stop();
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &qt, [&] {
    char byte = 0;
    [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
    QCoreApplication::quit();
  });

  const QHostAddress address(QString::fromStdString(config.address));
  std::cout << "vknetdde: sharing VOKAR$ on " << address.toString().toStdString() << " port " << share.port()
            << (config.key.empty() ? "" : " with a key") << std::endl;
  const int code = QCoreApplication::exec();
  share.Stop();
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (args.size() == 1 && args[0] == "--status") {
    PrintStatus(ReadAgentConfig());
    std::cout << DescribeRunningAgents(std::chrono::milliseconds(5000));
    return 0;
  }
  if (args.size() == 1 && args[0] == "--new-key") {
    if (!InitCrypto()) return 1;
    std::cout << NewKeyText() << "\n";
    return 0;
  }
  if (!args.empty()) return Configure(args);
  return Serve(argc, argv);
}
