// vknetdde: the agent of the network share "VOKAR$". Run as it is, it serves
// the share when the user has turned it on; with options it changes the
// share's settings in the machine hive and says what is now exposed.
#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>

#include <fcntl.h>
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
#include "Auth.h"
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
    "  --no-key               no key: every allowed host is let in\n"
    "  --idle-timeout S       cut a peer silent for S seconds (1-3600, default 60)\n"
    "  --handshake-timeout S  cut a peer whose greeting or any one frame takes\n"
    "                         longer (1-300, default 10)\n"
    "  --max-peers N          peers served at once (1-1024, default 64)\n"
    "  --announce, --no-announce  announce the share with DNS-SD (default on)\n"
    "Other:\n"
    "  --status               print the settings\n"
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

// Says what the settings expose, for the user who just changed them.
void Warn(const AgentConfig& config) {
  const QHostAddress address(QString::fromStdString(config.address));
  if (config.allowedHosts.find_first_not_of(" ,;\t") == std::string::npos) {
    std::cerr << "vknetdde: the allow-list is empty: nobody is let in\n";
  }
  if (!address.isNull() && !IsLoopback(address) && config.key.empty()) {
    std::cerr << "vknetdde: no key is set: every allowed host can make this computer speak\n";
  }
  if (!config.key.empty() && config.key.size() < 16) {
    std::cerr << "vknetdde: the key is short; 'vknetdde --new-key' makes a strong one\n";
  }
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
  std::string error;
  if (!WriteAgentConfig(config, error)) {
    std::cerr << "vknetdde: cannot store the settings: " << error << "\n";
    return 1;
  }
  PrintStatus(config);
  Warn(config);
  return 0;
}

int Serve(int argc, char** argv) {
  const AgentConfig config = ReadAgentConfig();
  if (!config.enabled) {
    std::cerr << "vknetdde: the share VOKAR$ is off; 'vknetdde --enable' turns it on\n";
    return 3;
  }
  QCoreApplication qt(argc, argv);
  std::string error;
  const auto allow = AllowList::Parse(config.allowedHosts, error);
  if (!allow) {
    std::cerr << "vknetdde: AllowedHosts: " << error << "\n";
    return 1;
  }
  const QHostAddress address(QString::fromStdString(config.address));
  if (address.isNull()) {
    std::cerr << "vknetdde: Address: '" << config.address << "' is not an address\n";
    return 1;
  }
  Warn(config);

  vokar::desktop::QtDesktopLoop loop;
  AgentLimits limits;
  limits.idle = std::chrono::seconds(config.idleTimeoutSeconds);
  limits.handshake = std::chrono::seconds(config.handshakeTimeoutSeconds);
  limits.maxPeers = config.maxPeers;
  CNetDdeAgent agent(*allow, config.key, limits);
  if (!agent.Start(address, static_cast<std::uint16_t>(config.port), error)) {
    std::cerr << "vknetdde: " << error << "\n";
    return 1;
  }

  std::unique_ptr<CShareAnnouncer> announcer;
  if (config.announce) {
    announcer = std::make_unique<CShareAnnouncer>(agent.port(), [](const std::string& line) {
      std::cerr << "vknetdde: " << line << "\n";
    });
  }

  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
    std::cerr << "vknetdde: cannot watch for signals\n";
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

  std::cout << "vknetdde: sharing VOKAR$ on " << address.toString().toStdString() << " port " << agent.port()
            << (config.key.empty() ? "" : " with a key") << std::endl;
  const int code = QCoreApplication::exec();
  announcer.reset();
  agent.Stop();
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
