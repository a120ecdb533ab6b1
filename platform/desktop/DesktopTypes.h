// The vocabulary of the desktop message bus: window handles, messages with
// their number, wParam, lParam and byte payload, and the results of a
// synchronous send. Shared by the bus, its wire format and its users.
#pragma once

#include <chrono>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vokar::desktop {

// A window: the owner's process id in the high 32 bits and that process's
// window counter in the low 32 bits. 0 is no window. Handles are never reused
// inside one process; a new process with a recycled pid starts its counter at
// a random point, so a handle held by a peer rarely names a stranger.
struct WindowHandle {
  std::uint64_t value = 0;

  explicit operator bool() const { return value != 0; }
  std::uint32_t processId() const { return static_cast<std::uint32_t>(value >> 32); }
  auto operator<=>(const WindowHandle&) const = default;
};

// Message numbers of the desktop that the suite uses beside its own.
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_USER = 0x0400;

// The largest payload one message may carry. A DDE poke carries at most 65276
// bytes of text and a path at most 259; a megabyte leaves ample room while a
// malformed length can never make a reader allocate more than this.
inline constexpr std::size_t kMaxPayload = std::size_t{1} << 20;

// The largest title a window may have.
inline constexpr std::size_t kMaxTitle = 1024;

// What the system vouches for about the process at the other end of a
// connection, read when the connection was made: its id as this process sees
// it (0 for a process in a PID namespace this one cannot see into: a
// container, a sandbox), its user and group, and, where the kernel gives
// one, an identity of the process that holds in every namespace (the inode
// of its pidfd; 0 where the kernel has none).
struct PeerCredentials {
  bool known = false;
  std::uint32_t process = 0;
  std::uint32_t user = 0;
  std::uint32_t group = 0;
  std::uint64_t identity = 0;
};

// Whether two sets of credentials are those of one process, as far as the
// system can prove it: by the identity where both have one, else by the
// process ids where both are seen. Two processes out of this one's sight are
// taken as one when they are of the same user and group, which is all the
// system shows of them; one seen and one not are never the same.
bool SameProcess(const PeerCredentials& a, const PeerCredentials& b);

struct Message {
  WindowHandle window;  // the receiving window
  std::uint32_t message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  std::string payload;  // atom names, paths, DDE data: bytes the bus does not interpret
  // Bytes a handler hands back to a synchronous sender together with its
  // result (as a window fills the buffer of a text query). Ignored for posts.
  std::string reply;
  // The process that sent the message, as this process sees it (the system
  // vouches for it; wParam and the payload are only what the sender wrote).
  // This process's own id for its own messages, 0 when unknown or out of
  // this process's sight.
  std::uint32_t senderProcess = 0;
  // The same process's credentials: whether it owns a window is decided by
  // them (SameProcess with WindowOwner), which also holds for a process in
  // another PID namespace.
  PeerCredentials sender;
};

enum class SendStatus {
  Ok,
  NoWindow,     // no live window has this handle
  Timeout,      // the window did not answer in time
  WindowGone,   // the window went away before it answered
  Refused,      // the payload is larger than the bus carries
};

struct SendResult {
  SendStatus status = SendStatus::NoWindow;
  std::int64_t result = 0;
  std::string reply;

  bool ok() const { return status == SendStatus::Ok; }
};

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a send waits when the caller names no timeout.
inline constexpr milliseconds kDefaultSendTimeout{5000};

}  // namespace vokar::desktop
