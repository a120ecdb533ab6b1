// A misbehaving program for the tests and the benchmark of the desktop bus:
// it treats a window the way a broken or hostile program on the same desktop
// could, and keeps at it until it is killed. It speaks the wire format
// itself, so that none of the bus's own manners get in the way.
//   vokar_desktop_hostile KIND TARGET COUNT [SIZE]
// TARGET is a window's title, or #HEX for a handle. KIND is one of:
//   idle         COUNT connections to TARGET that send nothing
//   partial      COUNT connections that send the first 20 bytes of a header
//   bigpartial   COUNT connections that each send a frame announcing 1 MiB of
//                payload and all of it but the last byte
//   unread       COUNT connections that each send 256 requests of message
//                number SIZE (decimal) and read none of the answers
//   initiate     a window of its own that never answers (but sends stray
//                replies to whoever connects, unless SIZE is "silent"), and
//                INITIATE requests to TARGET naming it as the client, COUNT
//                at a time, for ever
//   claim        COUNT windows of its own that answer every request at
//                once, and one INITIATE to TARGET (unless it is "-") naming
//                each; prints
//                "answered COUNT" once each of them has been sent something
//   foreign      a window titled TARGET under a handle whose process id is
//                COUNT (a process this system does not have, as a program
//                in another PID namespace looks), answering lParam + 1
//   forge        a window titled TARGET that answers every connection with
//                replies to serials 1..COUNT (result 666), again and again
//   forge-dde    posts to window TARGET positive DDE acknowledgements for
//                data handles 1..COUNT and a TERMINATE, all naming window
//                SIZE (hex) as their sender, again and again
//   fullqueue    a window whose listen queue is full
// When it is set up it prints "ready" and the handles of its own windows.
// With the environment variable VOKAR_HOSTILE_PERSIST set, connections to
// TARGET that are closed are made again (a tenth of a second later) and start
// over, as a persistent attacker would.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <random>
#include <string>
#include <vector>

#include "Desktop.h"
#include "DesktopFolder.h"
#include "Frame.h"

namespace {

using namespace vokar::desktop;

constexpr std::uint32_t kInitiate = 0x03E0;
constexpr std::uint32_t kTerminate = 0x03E1;
constexpr std::uint32_t kAck = 0x03E4;

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "vokar_desktop_hostile: %s\n", why.c_str());
  std::exit(2);
}

sockaddr_un Address(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

int ConnectTo(WindowHandle window) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const auto address = Address(EndpointPath(DesktopFolder(), window, EndpointFile::Socket));
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string Frame(FrameType type, std::uint64_t serial, WindowHandle window, std::uint32_t message,
                  std::uint64_t wParam, std::int64_t lParam, std::string_view payload) {
  FrameHeader header;
  header.type = type;
  header.serial = serial;
  header.window = window.value;
  header.message = message;
  header.wParam = wParam;
  header.lParam = lParam;
  return EncodeFrame(header, payload);
}

// A window of this program made by hand: its lock held, its socket listening.
struct FakeWindow {
  WindowHandle handle;
  int listenFd = -1;
  int lockFd = -1;
};

FakeWindow MakeWindow(WindowHandle handle, const char* title, int backlog) {
  const auto folder = DesktopFolder();
  FakeWindow window;
  window.handle = handle;
  window.lockFd = ::open(EndpointPath(folder, handle, EndpointFile::Lock).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (window.lockFd < 0 || ::flock(window.lockFd, LOCK_EX | LOCK_NB) != 0) Fail("cannot lock a window");
  window.listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const auto address = Address(EndpointPath(folder, handle, EndpointFile::Socket));
  if (::bind(window.listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(window.listenFd, backlog) != 0) {
    Fail(std::string("cannot listen: ") + std::strerror(errno));
  }
  if (title != nullptr && !WriteTitleFile(folder, handle, title)) Fail("cannot write a title");
  return window;
}

WindowHandle OwnHandle(std::uint32_t n) {
  return WindowHandle{(std::uint64_t{static_cast<std::uint32_t>(::getpid())} << 32) | (0x7F000000u + n)};
}

struct Peer {
  int fd = -1;
  std::string in;
  std::string out;
  std::size_t sent = 0;
  bool readAnswers = true;
  int slot = -1;  // which connection to TARGET it is, for making it again
};

// A connection to TARGET and what it sends when it is made.
struct Slot {
  std::string bytes;
  bool readAnswers = true;
  bool open = false;
  std::chrono::steady_clock::time_point closedAt;
};

enum class Answer { Never, Reply, ReplyPlusOne };

class Program {
 public:
  std::vector<FakeWindow> windows;
  std::map<int, Peer> peers;  // fd -> connection (ours out, or accepted)
  Answer answer = Answer::Never;
  std::string forged;         // what every accepted connection gets, again and again
  bool strayReplies = false;
  std::size_t announceAnswered = 0;  // prints "answered N" when this many windows got a request
  std::map<int, std::uint64_t> windowOf;  // accepted fd -> the window it came to
  std::set<std::uint64_t> answered;
  std::string refill;         // written again to the target connection whenever it has room
  int refillFd = -1;

  WindowHandle target;
  std::vector<Slot> slots;
  bool persist = false;

  void Add(int fd, std::string bytes, bool readAnswers = true, int slot = -1) {
    Peer& peer = peers[fd];
    peer.fd = fd;
    peer.out += bytes;
    peer.readAnswers = readAnswers;
    peer.slot = slot;
  }

  // Connections to TARGET: made now, and again after the target closes them
  // when the attack persists.
  void AddSlot(std::string bytes, bool readAnswers) {
    slots.push_back({std::move(bytes), readAnswers, false, {}});
    Connect(static_cast<int>(slots.size() - 1));
  }

  void Connect(int index) {
    const int fd = ConnectTo(target);
    Slot& slot = slots[static_cast<std::size_t>(index)];
    slot.closedAt = std::chrono::steady_clock::now();
    if (fd < 0) return;
    slot.open = true;
    Add(fd, slot.bytes, slot.readAnswers, index);
  }

  void Closed(const Peer& peer) {
    if (peer.slot < 0) return;
    Slot& slot = slots[static_cast<std::size_t>(peer.slot)];
    slot.open = false;
    slot.closedAt = std::chrono::steady_clock::now();
  }

  void Reconnect() {
    if (!persist) return;
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < slots.size(); ++i) {
      if (!slots[i].open && now - slots[i].closedAt >= std::chrono::milliseconds(100)) Connect(static_cast<int>(i));
    }
  }

  [[noreturn]] void Run() {
    std::mt19937_64 random(static_cast<std::uint64_t>(::getpid()));
    for (;;) {
      std::vector<pollfd> fds;
      for (const auto& window : windows) fds.push_back({window.listenFd, POLLIN, 0});
      for (auto& [fd, peer] : peers) {
        const bool more = peer.sent < peer.out.size() || (fd == refillFd && !refill.empty()) ||
                          (!forged.empty() && peer.readAnswers);
        fds.push_back({fd, static_cast<short>((peer.readAnswers ? POLLIN : 0) | (more ? POLLOUT : 0)), 0});
      }
      ::poll(fds.data(), fds.size(), 5);
      for (const auto& entry : fds) {
        if (entry.revents == 0) continue;
        if (IsListener(entry.fd)) {
          int fd;
          while ((fd = ::accept4(entry.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
            Add(fd, forged);
            windowOf[fd] = WindowOfListener(entry.fd);
          }
          continue;
        }
        auto it = peers.find(entry.fd);
        if (it == peers.end()) continue;
        Peer& peer = it->second;
        if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !Read(peer)) {
          Closed(peer);
          ::close(peer.fd);
          peers.erase(it);
          continue;
        }
        if ((entry.revents & POLLOUT) != 0) Write(peer);
      }
      Reconnect();
      if (strayReplies) {
        for (auto& [fd, peer] : peers) {
          if (peer.readAnswers && peer.out.size() - peer.sent < 4096) {
            peer.out += Frame(FrameType::Reply, random() | 1, {}, 0, 0, 0, {});
          }
        }
      }
    }
  }

 private:
  std::uint64_t WindowOfListener(int fd) const {
    for (const auto& window : windows) {
      if (window.listenFd == fd) return window.handle.value;
    }
    return 0;
  }

  bool IsListener(int fd) const {
    for (const auto& window : windows) {
      if (window.listenFd == fd) return true;
    }
    return false;
  }

  bool Read(Peer& peer) {
    char buffer[65536];
    const ssize_t n = ::recv(peer.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    peer.in.append(buffer, static_cast<std::size_t>(n));
    for (;;) {
      const auto parsed =
          ParseFrame({reinterpret_cast<const std::uint8_t*>(peer.in.data()), peer.in.size()});
      if (parsed.status == ParseStatus::Invalid) return false;
      if (parsed.status == ParseStatus::NeedMore) break;
      if (parsed.header.type == FrameType::Send && announceAnswered != 0 && answered.size() < announceAnswered) {
        answered.insert(windowOf[peer.fd]);
        if (answered.size() == announceAnswered) {
          std::printf("answered %zu\n", answered.size());
          std::fflush(stdout);
        }
      }
      if (parsed.header.type == FrameType::Send && answer != Answer::Never) {
        const std::int64_t result = answer == Answer::ReplyPlusOne ? parsed.header.lParam + 1 : 0;
        peer.out += Frame(FrameType::Reply, parsed.header.serial, {}, parsed.header.message, kReplyHandled, result, {});
      }
      peer.in.erase(0, parsed.frameSize);
    }
    return true;
  }

  void Write(Peer& peer) {
    for (;;) {
      if (peer.sent == peer.out.size()) {
        peer.out.clear();
        peer.sent = 0;
        if (peer.fd == refillFd && !refill.empty()) {
          peer.out = refill;
        } else if (!forged.empty() && peer.readAnswers) {
          peer.out = forged;
        } else {
          return;
        }
      }
      const ssize_t n = ::send(peer.fd, peer.out.data() + peer.sent, peer.out.size() - peer.sent,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n <= 0) return;
      peer.sent += static_cast<std::size_t>(n);
    }
  }
};

WindowHandle Target(const std::string& text) {
  if (!text.empty() && text[0] == '#') return WindowHandle{std::strtoull(text.c_str() + 1, nullptr, 16)};
  for (int i = 0; i < 500; ++i) {
    if (const auto found = FindWindow(text)) return found;
    ::usleep(10000);
  }
  Fail("no window titled " + text);
}

void Ready(const std::vector<FakeWindow>& windows) {
  std::printf("ready");
  for (const auto& window : windows) std::printf(" %016llx", static_cast<unsigned long long>(window.handle.value));
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) Fail("usage: vokar_desktop_hostile KIND TARGET COUNT [SIZE]");
  ::signal(SIGPIPE, SIG_IGN);
  const std::string kind = argv[1];
  const std::string target = argv[2];
  const long count = std::strtol(argv[3], nullptr, 10);
  const std::string size = argc > 4 ? argv[4] : "0";
  Program program;
  program.persist = std::getenv("VOKAR_HOSTILE_PERSIST") != nullptr;

  if (kind == "foreign") {
    const WindowHandle handle{(static_cast<std::uint64_t>(count) << 32) | 1};
    program.windows.push_back(MakeWindow(handle, target.c_str(), 128));
    program.answer = Answer::ReplyPlusOne;
  } else if (kind == "forge") {
    program.windows.push_back(MakeWindow(OwnHandle(1), target.c_str(), 128));
    for (long serial = 1; serial <= count; ++serial) {
      program.forged += Frame(FrameType::Reply, static_cast<std::uint64_t>(serial), {}, 0, kReplyHandled, 666, {});
    }
  } else if (kind == "fullqueue") {
    program.windows.push_back(MakeWindow(OwnHandle(1), nullptr, 0));
    // Connections of our own that are never taken fill the queue.
    std::vector<int> fillers;
    for (int i = 0; i < 64; ++i) {
      const int fd = ConnectTo(program.windows.back().handle);
      if (fd < 0) break;
      fillers.push_back(fd);
    }
    program.windows.back().listenFd = -1;  // never accepted
    Ready(program.windows);
    for (;;) ::pause();
  } else if (kind == "forge-dde") {
    const WindowHandle window = Target(target);
    const std::uint64_t sender = std::strtoull(size.c_str(), nullptr, 16);
    Ready({});
    for (;;) {
      for (long handle = 1; handle <= count; ++handle) {
        PostMessage(window, kAck, sender, static_cast<std::int64_t>(0x8000 | (static_cast<std::uint64_t>(handle) << 16)));
      }
      PostMessage(window, kTerminate, sender, 0);
      PumpMessages(milliseconds(5));
    }
 } else {
    const WindowHandle window = target == "-" ? WindowHandle{} : Target(target);
    program.target = window;
    if (kind == "idle" || kind == "partial" || kind == "bigpartial") {
      std::string bytes;
      if (kind == "partial") bytes = Frame(FrameType::Post, 0, window, WM_USER, 0, 0, {}).substr(0, 20);
      if (kind == "bigpartial") {
        bytes = Frame(FrameType::Post, 0, window, WM_USER, 0, 0, std::string(kMaxPayload, 'b'));
        bytes.pop_back();
      }
      for (long i = 0; i < count; ++i) program.AddSlot(bytes, true);
    } else if (kind == "unread") {
      const auto message = static_cast<std::uint32_t>(std::strtoul(size.c_str(), nullptr, 10));
      std::string bytes;
      for (std::uint64_t i = 1; i <= 256; ++i) bytes += Frame(FrameType::Send, i, window, message, 0, 0, {});
      for (long i = 0; i < count; ++i) program.AddSlot(bytes, false);
    } else if (kind == "initiate" || kind == "claim") {
      const bool claim = kind == "claim";
      const long windows = claim ? count : 1;
      for (long i = 0; i < windows; ++i) program.windows.push_back(MakeWindow(OwnHandle(static_cast<std::uint32_t>(i + 1)), nullptr, 128));
      program.answer = claim ? Answer::Reply : Answer::Never;
      program.strayReplies = !claim && size != "silent";
      if (claim) program.announceAnswered = static_cast<std::size_t>(count);
      Ready(program.windows);
      if (!window) program.Run();  // windows only, for whoever sends to them
      const int fd = ConnectTo(window);
      if (fd < 0) Fail("cannot connect");
      std::string bytes;
      static const std::string names("Vokar\0System", 12);
      for (long i = 0; i < count; ++i) {
        const WindowHandle client = program.windows[claim ? static_cast<std::size_t>(i) : 0].handle;
        bytes += Frame(FrameType::Send, static_cast<std::uint64_t>(i + 1), window, kInitiate, client.value, 0, names);
      }
      if (!claim) {
        program.refill = bytes;
        program.refillFd = fd;
      }
      program.Add(fd, std::move(bytes));
    } else {
      Fail("unknown kind " + kind);
    }
  }
  if (kind != "initiate" && kind != "claim") Ready(program.windows);
  program.Run();
}
