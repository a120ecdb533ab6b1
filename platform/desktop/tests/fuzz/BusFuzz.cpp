// Drives the bus's stream handling and dispatch with random sequences of
// connections and bytes: raw connections to a window of this process that
// send frames whole, broken or garbled, close at any moment, or never read
// their replies; a window elsewhere (made by hand) that this process's
// handlers send to and that answers with whatever the input says; the clock
// jumping ahead. The window's handler posts, sends to its own windows and to
// the one elsewhere, and runs the loop inside itself. Nothing may crash,
// and once every connection is closed and every queue drained the bus must
// hold no byte and no request, and no descriptor may be left open.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Bus.h"
#include "Desktop.h"
#include "DesktopFolder.h"
#include "Frame.h"

namespace {

using namespace vokar::desktop;
using vokar::desktop::detail::Bus;

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool empty() const { return at >= size; }
  std::uint8_t Byte() { return at < size ? data[at++] : 0; }
  std::uint64_t Number(int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | Byte();
    return value;
  }
  std::string Bytes(std::size_t count) {
    count = std::min(count, size - std::min(size, at));
    std::string bytes(reinterpret_cast<const char*>(data + at), count);
    at += count;
    return bytes;
  }
};

sockaddr_un Address(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

int CountDescriptors() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

struct World {
  std::filesystem::path folder;
  std::unique_ptr<Window> target;
  std::unique_ptr<Window> helper;
  WindowHandle elsewhere;  // a window made by hand, reached only through its socket
  int elsewhereListener = -1;
  int depth = 0;
};

World& TheWorld() {
  static World* world = [] {
    auto* made = new World;
    std::string pattern = (std::filesystem::temp_directory_path() / "vokar-busfuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    made->folder = pattern;
    ::setenv("VOKAR_DESKTOP_DIR", pattern.c_str(), 1);
    // The bus removes its windows at exit; the folder goes after them.
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(TheWorld().folder, ignored);
    });
    made->helper = Window::Create("Pomocnik", [](Message& m) -> std::int64_t { return m.lParam + 1; }).window;
    made->target = Window::Create("Cel", [made](Message& m) -> std::int64_t {
                     const WindowHandle self = made->target->handle();
                     switch (m.message % 7) {
                       case 0:
                         return m.lParam;
                       case 1:
                         m.reply.assign(m.payload.rbegin(), m.payload.rend());
                         return static_cast<std::int64_t>(m.payload.size());
                       case 2:
                         // Posts of its own carry a number that posts nothing again.
                         PostMessage(self, WM_USER * 7, 0, 0, m.payload.substr(0, 64));
                         return 0;
                       case 3:
                         return SendMessage(made->helper->handle(), WM_USER, 0, m.lParam).result;
                       case 4:
                         return SendMessage(made->elsewhere, WM_USER, 0, m.lParam, m.payload.substr(0, 256),
                                            milliseconds(m.wParam % 3))
                             .result;
                       case 5:
                         if (made->depth < 40) {
                           ++made->depth;
                           PumpMessages(milliseconds(0));
                           --made->depth;
                         }
                         return 0;
                       default:
                         return static_cast<std::int64_t>(Bus::Get().Count().waitDepth);
                     }
                   }).window;
    if (!made->target || !made->helper) std::abort();
    // The window elsewhere: a lock held and a socket listening, as another
    // program's window looks from here.
    made->elsewhere = WindowHandle{(std::uint64_t{static_cast<std::uint32_t>(::getpid())} << 32) | 0x7E000001u};
    const int lock = ::open(EndpointPath(made->folder, made->elsewhere, EndpointFile::Lock).c_str(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) std::abort();
    made->elsewhereListener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const auto address = Address(EndpointPath(made->folder, made->elsewhere, EndpointFile::Socket));
    if (::bind(made->elsewhereListener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(made->elsewhereListener, 64) != 0) {
      std::abort();
    }
    return made;
  }();
  return *world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& world = TheWorld();
  const int descriptorsBefore = CountDescriptors();
  Input input{data, size};
  std::vector<int> clients;    // raw connections to the target
  std::vector<int> accepted;   // connections the bus made to the window elsewhere
  auto pick = [&input](std::vector<int>& fds) -> int* {
    if (fds.empty()) return nullptr;
    return &fds[input.Byte() % fds.size()];
  };
  const auto socketPath = EndpointPath(world.folder, world.target->handle(), EndpointFile::Socket);

  for (int steps = 0; !input.empty() && steps < 256; ++steps) {
    switch (input.Byte() % 10) {
      case 0: {
        if (clients.size() >= 24) break;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const auto address = Address(socketPath);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
          clients.push_back(fd);
        } else {
          ::close(fd);
        }
        break;
      }
      case 1:
        if (int* fd = pick(clients)) {
          ::close(*fd);
          *fd = -1;
        }
        break;
      case 2:
        if (int* fd = pick(clients); fd != nullptr && *fd >= 0) {
          const std::string bytes = input.Bytes(input.Byte());
          [[maybe_unused]] auto n = ::send(*fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        break;
      case 3:
        if (int* fd = pick(clients); fd != nullptr && *fd >= 0) {
          FrameHeader header;
          header.type = static_cast<FrameType>(1 + input.Byte() % 3);
          header.serial = input.Byte() % 4 == 0 ? 0 : input.Number(2);
          header.window = input.Byte() % 8 == 0 ? input.Number(8) : world.target->handle().value;
          header.message = static_cast<std::uint32_t>(input.Number(1));
          header.wParam = input.Number(1);
          header.lParam = static_cast<std::int64_t>(input.Number(2));
          // Sometimes a large payload, sent in part only.
          std::string frame = EncodeFrame(header, input.Byte() % 16 == 0 ? std::string(70000, 'p') : input.Bytes(input.Byte()));
          if (input.Byte() % 8 == 0) frame.resize(frame.size() / 2);
          [[maybe_unused]] auto n = ::send(*fd, frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        break;
      case 4:
        PumpMessages(milliseconds(0));
        break;
      case 5:
        Bus::Get().TickNow(Clock::now() + milliseconds(input.Number(2) * 10));
        break;
      case 6:
        if (int* fd = pick(clients); fd != nullptr && *fd >= 0) {
          char buffer[65536];
          while (::recv(*fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
          }
        }
        break;
      case 7: {
        int fd;
        while (accepted.size() < 16 &&
               (fd = ::accept4(world.elsewhereListener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
          accepted.push_back(fd);
        }
        if (int* peer = pick(accepted); peer != nullptr && *peer >= 0) {
          FrameHeader reply;
          reply.type = input.Byte() % 4 == 0 ? FrameType::Post : FrameType::Reply;
          reply.serial = input.Number(2);
          reply.window = reply.type == FrameType::Post ? 1 : 0;
          const std::string frame = input.Byte() % 2 == 0 ? EncodeFrame(reply, input.Bytes(input.Byte() % 32))
                                                          : input.Bytes(input.Byte());
          [[maybe_unused]] auto n = ::send(*peer, frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        break;
      }
      case 8:
        if (int* peer = pick(accepted)) {
          ::close(*peer);
          *peer = -1;
        }
        break;
      default:
        // A message of this process, as a program's own loop would make one.
        PostMessage(world.target->handle(), static_cast<std::uint32_t>(input.Byte()), input.Byte(),
                    static_cast<std::int64_t>(input.Byte()), input.Bytes(input.Byte() % 16));
        break;
    }
  }

  // Everything closed; the bus must let go of all of it.
  for (const int fd : clients) {
    if (fd >= 0) ::close(fd);
  }
  for (const int fd : accepted) {
    if (fd >= 0) ::close(fd);
  }
  int fd;
  while ((fd = ::accept4(world.elsewhereListener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0) ::close(fd);
  for (int pass = 0; pass < 64; ++pass) {
    PumpMessages(milliseconds(pass < 8 ? 0 : 1));
    const auto census = Bus::Get().Count();
    if (census.accepted == 0 && census.outgoing == 0 && census.queuedPosts == 0 && census.queuedSends == 0) break;
    Bus::Get().TickNow(Clock::now() + std::chrono::hours(1));
  }
  const auto census = Bus::Get().Count();
  if (census.connections != 0 || census.queuedSends != 0 || census.queuedPosts != 0 || census.heldBytes != 0 ||
      census.waitDepth != 0) {
    __builtin_trap();
  }
  if (CountDescriptors() != descriptorsBefore) __builtin_trap();
  return 0;
}
