// A small speech server for the DDE tests: the window "Vokar" that answers
// the version query and the raw DDE conversation (service "Vokar", topic
// "System", poke item "text" in CF_TEXT, execute "read", "pause", "break",
// "status") the way the real server does, with a reading job that takes a
// set time instead of speaking.
//   vokar_dde_testserver [--title T] [--service S] [--job-ms N]
// Ends on SIGTERM or WM_CLOSE.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "DdeMessages.h"
#include "Desktop.h"
#include "TestServerProtocol.h"

namespace {

using namespace vokar;
using namespace vokar::dde;
using namespace vokar::dde::testserver;

struct Server {
  std::string service = "VOKAR";
  std::string topic = "system";
  int jobMs = 2000;
  std::unique_ptr<desktop::Window> window;
  std::array<char, kTextBufferSize> text{};
  int busyCount = 0;
  int stopped = 1;
  int breakFlag = 0;
  int jobsStarted = 0;
  bool quit = false;
  WindowHandle lastClient;  // the window of the latest DDE request
  std::set<WindowHandle> terminatedByUs;

  WindowHandle self() const { return window->handle(); }

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
    if (!initiate) return;
    lastClient = initiate.value->client;
    // The zero atom (an empty name) is no wildcard for this server.
    if (!AtomNamesEqual(initiate.value->application, service) || !AtomNamesEqual(initiate.value->topic, topic)) return;
    SendInitiateAck(initiate.value->client, {self(), service, topic});
  }

  void OnPoke(const desktop::Message& message) {
    const auto poke = DecodePoke(message);
    if (!poke) {
      std::fprintf(stderr, "vokar_dde_testserver: %s\n", poke.error.c_str());
      return;
    }
    lastClient = poke.value->client;
    DdeAck ack;
    if (busyCount != 0) {
      ack.busy = true;
    } else if (poke.value->block && poke.value->item.substr(0, 31) == "text" && poke.value->block->format == CF_TEXT) {
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
    if (!execute) return;
    lastClient = execute.value->client;
    std::string command = execute.value->command.substr(0, 519);
    command = command.substr(0, command.find('\0'));
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
        return message.wParam == 0 ? 0x00010001 : message.wParam == 1 ? 0x005F0003 : 0;
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
        if (const auto terminate = DecodeTerminate(message)) {
          // The answer to a TERMINATE of our own is not answered again.
          if (terminatedByUs.erase(terminate.value->sender) == 0) {
            PostTerminate(terminate.value->sender, {self(), terminate.value->lParam});
          }
        }
        return 0;
      case desktop::WM_COMMAND:
        if (message.wParam == ID_READ_TEXT) ReadText();
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
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--title") {
      title = argv[i + 1];
    } else if (option == "--service") {
      server.service = argv[i + 1];
    } else if (option == "--job-ms") {
      server.jobMs = std::atoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "vokar_dde_testserver: unknown option %s\n", option.c_str());
      return 2;
    }
  }
  auto created = desktop::Window::Create(title, [&server](desktop::Message& m) { return server.Handle(m); });
  if (!created.window) {
    std::fprintf(stderr, "vokar_dde_testserver: %s\n", created.error.c_str());
    return 1;
  }
  server.window = std::move(created.window);
  desktop::WatchDescriptor(signalFd, [&] {
    signalfd_siginfo info;
    while (read(signalFd, &info, sizeof info) == sizeof info) server.quit = true;
  });
  while (!server.quit) desktop::PumpMessages(std::chrono::milliseconds(1000));
  return 0;
}
