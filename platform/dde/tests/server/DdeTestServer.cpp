// A small speech server for the DDE tests: the window "Vokar" that answers
// the version query and the raw DDE conversation (service "Vokar", topic
// "System", poke item "text" in CF_TEXT, execute "read", "pause", "break",
// "status") the way the real server does, with a reading job that takes a
// set time instead of speaking.
//   vokar_dde_testserver [--title T] [--service S] [--job-ms N]
//                        [--version MOST LEAST] [--log FILE] [--delay-ms N]
//                        [--refuse-pokes] [--log-initiate] [--open-files N]
// --version gives other answers to the version query; --log appends one line
// when it starts ("start PID minimized=VALUE ARGUMENTS", the value of
// VOKAR_SHOW_MINIMIZED) and one per poke ("poke TEXT", "sharepoke TEXT" for
// the share agent's item "sharetext") and
// execute ("execute COMMAND") to FILE, and "show " for each WM_SERVER_SHOW,
// with backslashes and line ends escaped; with --log-initiate also
// "initiate " for each conversation it answers;
// --delay-ms waits that long before the window is made; --refuse-pokes
// answers every poke with a plain negative acknowledgement; --open-files
// lowers the limit of open descriptors, as a crowded system would. Switches such as "/L-" (a client starting the server gives
// them) are ignored, and the options may also come from the environment
// variable VOKAR_TESTSERVER_OPTIONS (separated by blanks), for a server that
// a client starts. Like the real server it sets the event
// "Server_VOKAR_Started" once its window is ready. Ends on SIGTERM or
// WM_CLOSE.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "DdeMessages.h"
#include "Desktop.h"
#include "NamedObjects.h"
#include "TestServerProtocol.h"

namespace {

using namespace vokar;
using namespace vokar::dde;
using namespace vokar::dde::testserver;

struct Server {
  std::string service = "VOKAR";
  std::string topic = "system";
  int jobMs = 2000;
  std::uint32_t versionMost = 0x00010001;
  std::uint32_t versionLeast = 0x005F0003;
  std::string logFile;
  bool refusePokes = false;
  std::unique_ptr<desktop::Window> window;
  std::array<char, kTextBufferSize> text{};
  int busyCount = 0;
  int stopped = 1;
  int breakFlag = 0;
  int jobsStarted = 0;
  bool logInitiates = false;
  bool quit = false;
  WindowHandle lastClient;  // the window of the latest DDE request
  std::set<WindowHandle> terminatedByUs;

  WindowHandle self() const { return window->handle(); }

  // One line per request, written at once, so a test sees it even when the
  // server is killed right after.
  void Log(std::string_view kind, std::string_view text) const {
    if (logFile.empty()) return;
    std::string line(kind);
    line += ' ';
    for (const char c : text) {
      if (c == '\\') {
        line += "\\\\";
      } else if (c == '\n') {
        line += "\\n";
      } else if (c == '\r') {
        line += "\\r";
      } else {
        line += c;
      }
    }
    line += '\n';
    const int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    [[maybe_unused]] const auto wrote = ::write(fd, line.data(), line.size());
    ::close(fd);
  }

  // The reading job: "speaks" for jobMs of playing time (pauses do not
  // count), pumping messages all the while so that DDE commands act at once.
  void ReadText() {
    if (busyCount > 0) return;
    ++busyCount;
    ++jobsStarted;
    stopped = 0;
    breakFlag = 0;
    const auto length = std::chrono::milliseconds(text[0] == '\0' ? 0 : jobMs);
    auto played = desktop::Clock::duration::zero();
    auto last = desktop::Clock::now();
    while (played < length && breakFlag == 0 && !quit) {
      desktop::PumpMessages(std::chrono::milliseconds(5));
      const auto now = desktop::Clock::now();
      if (stopped == 0) played += now - last;
      last = now;
    }
    --busyCount;
    stopped = 1;
  }

  void OnInitiate(const desktop::Message& message) {
    const auto initiate = DecodeInitiate(message);
    if (!initiate || !SentByOwnerOf(message, initiate.value->client)) return;
    lastClient = initiate.value->client;
    // The zero atom (an empty name) is no wildcard for this server.
    if (!AtomNamesEqual(initiate.value->application, service) || !AtomNamesEqual(initiate.value->topic, topic)) return;
    // A client that asked answers at once; one that keeps us waiting for a
    // second is not a client.
    SendInitiateAck(initiate.value->client, {self(), service, topic}, std::chrono::milliseconds(1000));
    if (logInitiates) Log("initiate", "");
  }

  void OnPoke(const desktop::Message& message) {
    const auto poke = DecodePoke(message);
    if (!poke) {
      std::fprintf(stderr, "vokar_dde_testserver: %s\n", poke.error.c_str());
      return;
    }
    if (!SentByOwnerOf(message, poke.value->client)) return;
    lastClient = poke.value->client;
    // The network share's agent pokes another computer's text as
    // "sharetext", which the speech server takes as it takes "text".
    const std::string item = poke.value->item.substr(0, 31);
    const bool shared = item == "sharetext";
    if (poke.value->block) {
      const std::string& data = poke.value->block->data;
      Log(shared ? "sharepoke" : "poke", std::string_view(data).substr(0, data.find('\0')));
    }
    DdeAck ack;
    if (busyCount != 0) {
      ack.busy = true;
    } else if (refusePokes) {
      // A plain negative acknowledgement.
    } else if (poke.value->block && (item == "text" || shared) && poke.value->block->format == CF_TEXT) {
      const std::string& data = poke.value->block->data;
      const std::size_t copied = std::min(data.size(), kMaxPokeText);
      std::memcpy(text.data(), data.data(), copied);
      text[copied] = '\0';
      ack.ack = true;
    }
    PostTransactionAck(poke.value->client, {self(), ToStatusWord(ack), poke.value->dataHandle, poke.value->item});
  }

  void OnExecute(const desktop::Message& message) {
    const auto execute = DecodeExecute(message);
    if (!execute || !SentByOwnerOf(message, execute.value->client)) return;
    lastClient = execute.value->client;
    std::string command = execute.value->command.substr(0, 519);
    command = command.substr(0, command.find('\0'));
    Log("execute", command);
    DdeAck ack;
    if (command.find("read") != std::string::npos) {
      if (busyCount == 0) {
        desktop::PostMessage(self(), desktop::WM_COMMAND, ID_READ_TEXT, 0);
      } else {
        stopped = 0;
      }
    } else if (command.find("pause") != std::string::npos) {
      if (busyCount != 0) stopped = 1;
    } else if (command.find("break") != std::string::npos) {
      if (busyCount != 0) {
        breakFlag = 1;
        stopped = 0;
      }
    } else if (command.find("status") != std::string::npos) {
      if (stopped == 1) ack.appReturnCode |= 2;
      if (busyCount != 0) ack.appReturnCode |= 1;
    }
    ack.ack = true;
    PostTransactionAck(execute.value->client, {self(), ToStatusWord(ack), execute.value->commandHandle, {}});
  }

  std::int64_t Handle(desktop::Message& message) {
    switch (message.message) {
      case WM_SERVER_VERSION:
        return message.wParam == 0 ? versionMost : message.wParam == 1 ? versionLeast : 0;
      case WM_DDE_INITIATE:
        OnInitiate(message);
        return 0;
      case WM_DDE_POKE:
        OnPoke(message);
        return 0;
      case WM_DDE_EXECUTE:
        OnExecute(message);
        return 0;
      case WM_DDE_TERMINATE:
        if (const auto terminate = DecodeTerminate(message); terminate && SentByOwnerOf(message, terminate.value->sender)) {
          // The answer to a TERMINATE of our own is not answered again.
          if (terminatedByUs.erase(terminate.value->sender) == 0) {
            PostTerminate(terminate.value->sender, {self(), terminate.value->lParam});
          }
        }
        return 0;
      case desktop::WM_COMMAND:
        if (message.wParam == ID_READ_TEXT) ReadText();
        return 0;
      case WM_SERVER_SHOW:
        // A client brings the server's window forward: the log shows it.
        Log("show", "");
        return 0;
      case kGetText:
        message.reply = text.data();
        return static_cast<std::int64_t>(message.reply.size());
      case kTerminateClient: {
        const WindowHandle client = message.wParam != 0 ? WindowHandle{message.wParam} : lastClient;
        if (PostTerminate(client, {self(), 0})) terminatedByUs.insert(client);
        return 0;
      }
      case kJobsStarted:
        return jobsStarted;
      case desktop::WM_CLOSE:
        quit = true;
        return 0;
      default:
        return 0;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);

  Server server;
  std::string title = "Vokar";
  int delayMs = 0;
  std::vector<std::string> options(argv + 1, argv + argc);
  if (const char* more = std::getenv("VOKAR_TESTSERVER_OPTIONS")) {
    std::string word;
    for (const char* c = more;; ++c) {
      if (*c == ' ' || *c == '\0') {
        if (!word.empty()) options.push_back(word);
        word.clear();
        if (*c == '\0') break;
      } else {
        word += *c;
      }
    }
  }
  for (std::size_t i = 0; i < options.size(); ++i) {
    const std::string& option = options[i];
    if (option.starts_with('/')) continue;
    if (option == "--refuse-pokes") {
      server.refusePokes = true;
      continue;
    }
    if (option == "--log-initiate") {
      server.logInitiates = true;
      continue;
    }
    const std::size_t values = option == "--version" ? 2 : 1;
    if (i + values >= options.size()) {
      std::fprintf(stderr, "vokar_dde_testserver: %s needs a value\n", option.c_str());
      return 2;
    }
    const std::string& value = options[i + 1];
    if (option == "--title") {
      title = value;
    } else if (option == "--service") {
      server.service = value;
    } else if (option == "--job-ms") {
      server.jobMs = std::atoi(value.c_str());
    } else if (option == "--version") {
      server.versionMost = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 0));
      server.versionLeast = static_cast<std::uint32_t>(std::strtoul(options[i + 2].c_str(), nullptr, 0));
    } else if (option == "--log") {
      server.logFile = value;
    } else if (option == "--delay-ms") {
      delayMs = std::atoi(value.c_str());
    } else if (option == "--open-files") {
      const auto limit = static_cast<rlim_t>(std::atoi(value.c_str()));
      const rlimit files{limit, limit};
      setrlimit(RLIMIT_NOFILE, &files);
    } else {
      std::fprintf(stderr, "vokar_dde_testserver: unknown option %s\n", option.c_str());
      return 2;
    }
    i += values;
  }
  // How it was asked to show itself, as a starting client says it.
  const char* show = std::getenv("VOKAR_SHOW_MINIMIZED");
  std::string started = std::to_string(::getpid()) + " minimized=" + (show != nullptr ? show : "");
  for (int i = 1; i < argc; ++i) started += std::string(" ") + argv[i];
  server.Log("start", started);
  if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  auto created = desktop::Window::Create(title, [&server](desktop::Message& m) { return server.Handle(m); });
  if (!created.window) {
    std::fprintf(stderr, "vokar_dde_testserver: %s\n", created.error.c_str());
    return 1;
  }
  server.window = std::move(created.window);
  if (auto started = named::NamedEvent::CreateOrOpen("Server_VOKAR_Started", named::InitialState::NotSignaled)) {
    started->Set();
  }
  // The signal is heard even while a send waits on a program that does not
  // answer, and ends every such wait.
  desktop::WatchDescriptor(
      signalFd,
      [&] {
        signalfd_siginfo info;
        while (read(signalFd, &info, sizeof info) == sizeof info) server.quit = true;
        if (server.quit) desktop::CancelWaitingSends();
      },
      desktop::WatchScope::AlsoWhileSending);
  while (!server.quit) desktop::PumpMessages(std::chrono::milliseconds(1000));
  return 0;
}
