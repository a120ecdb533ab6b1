// A program with one or more windows on the desktop, for the tests of the bus.
//   vokar_desktop_peer [--storm N] TITLE...
// Each TITLE becomes a top-level window that answers the messages of
// PeerProtocol.h. The program ends on SIGTERM or when a window gets WM_CLOSE.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Desktop.h"
#include "PeerProtocol.h"

namespace {

using namespace vokar::desktop;

struct PeerWindow {
  std::unique_ptr<Window> window;
  std::vector<std::uint64_t> recorded;
};

bool quit = false;
int stormCount = 200;

std::int64_t Handle(PeerWindow& self, Message& message) {
  switch (message.message) {
    case peer::kVersion:
      return message.wParam == 0 ? peer::kVersionMajor : message.wParam == 1 ? peer::kVersionMinor : 0;
    case peer::kRecord:
      self.recorded.push_back(message.wParam);
      return 0;
    case peer::kRecorded:
      for (std::size_t i = 0; i < self.recorded.size(); ++i) {
        if (i != 0) message.reply += ',';
        message.reply += std::to_string(self.recorded[i]);
      }
      return static_cast<std::int64_t>(self.recorded.size());
    case peer::kEcho:
      message.reply = message.payload;
      return message.lParam + 1;
    case peer::kCallBack: {
      const auto answer = SendMessage(WindowHandle{message.wParam}, peer::kEcho, 0, message.lParam);
      return answer.ok() ? answer.result * 10 : -1;
    }
    case peer::kStorm: {
      std::uint64_t good = 0;
      for (int i = 0; i < stormCount; ++i) {
        const auto answer = SendMessage(WindowHandle{message.wParam}, peer::kEcho, 0, i, "storm");
        if (answer.ok() && answer.result == i + 1 && answer.reply == "storm") ++good;
      }
      PostMessage(WindowHandle{static_cast<std::uint64_t>(message.lParam)}, peer::kStormDone, good,
                  static_cast<std::int64_t>(self.window->handle().value));
      return 0;
    }
    case peer::kPostTo: {
      std::int64_t accepted = 0;
      for (std::int64_t i = 0; i < message.lParam; ++i) accepted += PostMessage(WindowHandle{message.wParam}, peer::kRecord, 0, 0);
      return accepted;
    }
    case peer::kSetTitle:
      return self.window->SetTitle(message.payload) ? 1 : 0;
    case WM_CLOSE:
      quit = true;
      return 0;
    default:
      return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);

  std::vector<std::unique_ptr<PeerWindow>> windows;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--storm") == 0 && i + 1 < argc) {
      stormCount = std::atoi(argv[++i]);
      continue;
    }
    auto peerWindow = std::make_unique<PeerWindow>();
    PeerWindow* self = peerWindow.get();
    auto created = Window::Create(argv[i], [self](Message& message) { return Handle(*self, message); });
    if (!created.window) {
      std::fprintf(stderr, "vokar_desktop_peer: %s\n", created.error.c_str());
      return 1;
    }
    peerWindow->window = std::move(created.window);
    windows.push_back(std::move(peerWindow));
  }

  WatchDescriptor(signalFd, [&] {
    signalfd_siginfo info;
    while (read(signalFd, &info, sizeof info) == sizeof info) quit = true;
  });
  while (!quit) PumpMessages(milliseconds(1000));
  return 0;
}
