#include "Bus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace vokar::desktop::detail {
namespace {

// A program that posts faster than a peer reads gets its posts refused once
// this much waits unsent for one window, instead of growing without bound.
constexpr std::size_t kMaxOutbox = 16 * kMaxPayload;

// How often a send whose window's listen queue is full tries to connect
// again, handling messages meanwhile.
constexpr milliseconds kConnectRetry{5};

// Serials of sends that stopped waiting, remembered per connection so that
// their late replies are recognised and dropped.
constexpr std::size_t kLateMemory = 64;

// A watched window whose connection closed within this time of being made is
// connected to again only from the clock, not at once, so a window that
// keeps dropping us cannot keep the loop busy.
constexpr milliseconds kReconnectPause{1000};

// Buffers keep at most this much room when they are empty again.
constexpr std::size_t kKeepCapacity = 64 * 1024;

// An accepted connection may be closed to make room for a new one once it has
// carried nothing for this long.
constexpr milliseconds kEvictableIdle{1000};

// Messages about misbehaving peers are said once per interval and kind, with
// the number of those left unsaid, so a flood cannot flood the log.
constexpr milliseconds kLogInterval{10000};
constexpr int kLogBurst = 5;

void Log(const std::string& text) { std::fprintf(stderr, "vokar desktop: %s\n", text.c_str()); }

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return left > 1'000'000 ? 1'000'000 : static_cast<int>(left);
}

bool FillAddress(const std::filesystem::path& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  const std::string text = path.string();
  if (text.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

std::uint32_t OwnProcess() { return static_cast<std::uint32_t>(::getpid()); }

std::optional<ucred> SocketCredentials(int fd) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return std::nullopt;
  return credentials;
}

// The kernel's pidfd of the peer (Linux 6.5 on).
#ifndef SO_PEERPIDFD
#define SO_PEERPIDFD 77
#endif

desktop::PeerCredentials CredentialsOf(int fd, const ucred& credentials) {
  desktop::PeerCredentials peer;
  peer.known = true;
  peer.process = static_cast<std::uint32_t>(credentials.pid);
  peer.user = credentials.uid;
  peer.group = credentials.gid;
  int pidfd = -1;
  socklen_t length = sizeof pidfd;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERPIDFD, &pidfd, &length) == 0 && pidfd >= 0) {
    peer.identity = PidfdIdentity(pidfd);
    ::close(pidfd);
  }
  return peer;
}

std::string Hex(WindowHandle window) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(window.value));
  return text;
}

LoopIntegration::Interest ToInterest(int watched) {
  if (watched == (kWatchRead | kWatchWrite)) return LoopIntegration::Interest::ReadWrite;
  return watched == kWatchWrite ? LoopIntegration::Interest::Write : LoopIntegration::Interest::Read;
}

}  // namespace

std::uint64_t PidfdIdentity(int pidfd) {
  // The file system of pidfds whose inode numbers tell processes apart
  // (Linux 6.9 on); before it every pidfd had the same inode.
  constexpr unsigned long kPidfsMagic = 0x50494446;
  struct statfs fileSystem {};
  if (::fstatfs(pidfd, &fileSystem) != 0 || static_cast<unsigned long>(fileSystem.f_type) != kPidfsMagic) return 0;
  struct stat status {};
  if (::fstat(pidfd, &status) != 0) return 0;
  return static_cast<std::uint64_t>(status.st_ino);
}

Bus& Bus::Get() {
  // Never freed: windows held by other static objects may be destroyed after
  // exit handlers have run, and must still find a bus to talk to.
  static Bus* bus = new Bus;
  return *bus;
}

Bus::Bus() {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  timerFd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  // Kept for the moment the process runs out of descriptors: closing it makes
  // room to take a waiting connection and close it, so the listener does not
  // stay readable and spin the loop.
  spareFd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
    // Room is left for the program's own files, devices and windows.
    const auto soft = static_cast<std::size_t>(files.rlim_cur);
    maxConnections_ = std::clamp<std::size_t>(soft > 96 ? soft - 64 : soft / 2, 16, 4096);
  }
  // A process that reuses the pid of a dead one must not hand out the dead
  // one's handles again, so the counter starts at a random point.
  counter_ = static_cast<std::uint32_t>(std::random_device{}());
  std::atexit([] { Get().Shutdown(); });
}

void Bus::Shutdown() {
  // An integration still set at exit belongs to a loop that may be gone.
  integration_ = nullptr;
  // Posts written just before exit should still reach their windows; a peer
  // that does not read gets half a second.
  const auto deadline = Clock::now() + milliseconds(500);
  for (;;) {
    std::vector<pollfd> waiting;
    for (auto& [id, connection] : connections_) {
      if (connection->unsent() > 0) waiting.push_back({connection->fd, POLLOUT, 0});
    }
    if (waiting.empty() || Clock::now() >= deadline) break;
    ::poll(waiting.data(), waiting.size(), RemainingMs(deadline));
    for (const auto& entry : waiting) {
      if (auto it = connectionByFd_.find(entry.fd); it != connectionByFd_.end()) Flush(it->second);
    }
  }
  while (!endpoints_.empty()) DestroyEndpoint(WindowHandle{endpoints_.begin()->first});
  // Watches go first, or closing a watched connection would open a new one.
  windowWatches_.clear();
  watchRetry_.clear();
  descriptorWatches_.clear();
  while (!connections_.empty()) CloseConnection(connections_.begin()->first);
}

std::uint32_t Bus::NextCounter() {
  if (++counter_ == 0) ++counter_;
  return counter_;
}

Bus::CreateResult Bus::CreateEndpoint(std::string_view title, MessageHandler handler, WindowKind kind) {
  if (title.size() > kMaxTitle) return {{}, "the title is longer than " + std::to_string(kMaxTitle) + " bytes"};
  const auto folder = DesktopFolder();
  if (preparedFolder_ != folder.string()) {
    if (auto error = PrepareDesktopFolder(folder)) return {{}, *error};
    preparedFolder_ = folder.string();
  }

  auto endpoint = std::make_shared<Endpoint>();
  endpoint->folder = folder;
  endpoint->title = std::string(title);
  endpoint->kind = kind;
  endpoint->handler = std::move(handler);

  // A program in another PID namespace may have our pid, and so handles like
  // ours: a handle whose window lives, or is being made, is passed over.
  // The lock is taken under a temporary name and renamed into place, so no
  // one ever sees the lock file of a live window unlocked.
  WindowHandle handle;
  std::string lockError;
  for (int attempt = 0; attempt < 16 && endpoint->lockFd < 0; ++attempt) {
    handle = WindowHandle{(std::uint64_t{OwnProcess()} << 32) | NextCounter()};
    if (EndpointAlive(folder, handle)) continue;
    const std::string lockTemporary = EndpointPath(folder, handle, EndpointFile::Lock).string() + ".tmp";
    const int fd = ::open(lockTemporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      lockError = std::strerror(errno);
      if (errno == EEXIST) continue;
      break;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      // Another program looking through the folder may be trying the lock
      // this very moment: the next handle is tried instead.
      const int reason = errno;
      lockError = std::strerror(reason);
      ::close(fd);
      ::unlink(lockTemporary.c_str());
      if (reason == EWOULDBLOCK) continue;
      break;
    }
    endpoint->lockFd = fd;
  }
  if (endpoint->lockFd < 0) return {{}, "cannot create the window's lock: " + lockError};
  endpoint->handle = handle;
  const auto fail = [&](const std::string& error) {
    if (endpoint->listenFd >= 0) ::close(endpoint->listenFd);
    ::close(endpoint->lockFd);
    RemoveEndpointFiles(folder, handle);
    return CreateResult{{}, error};
  };

  // Leftovers of a window that had this handle go before the new files come.
  ::unlink(EndpointPath(folder, handle, EndpointFile::Socket).c_str());
  ::unlink(EndpointPath(folder, handle, EndpointFile::Title).c_str());
  const auto lockPath = EndpointPath(folder, handle, EndpointFile::Lock);
  if (::rename((lockPath.string() + ".tmp").c_str(), lockPath.c_str()) != 0) {
    return fail(std::string("cannot create the window's lock: ") + std::strerror(errno));
  }

  sockaddr_un address;
  const auto socketPath = EndpointPath(folder, handle, EndpointFile::Socket);
  if (!FillAddress(socketPath, address)) return fail("the desktop folder's path is too long for a socket: " + folder.string());
  endpoint->listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (endpoint->listenFd < 0 || ::bind(endpoint->listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(endpoint->listenFd, 128) != 0) {
    return fail(std::string("cannot open the window's socket: ") + std::strerror(errno));
  }

  // The title file comes last: once it is there, others find a window that
  // is ready to answer.
  if (kind == WindowKind::TopLevel && !WriteTitleFile(folder, handle, title)) {
    return fail(std::string("cannot write the window's title: ") + std::strerror(errno));
  }

  listenerByFd_[endpoint->listenFd] = handle.value;
  WatchFd(endpoint->listenFd, kWatchRead);
  endpoints_[handle.value] = std::move(endpoint);
  return {handle, {}};
}

void Bus::DestroyEndpoint(WindowHandle handle) {
  auto it = endpoints_.find(handle.value);
  if (it == endpoints_.end()) return;
  const std::shared_ptr<Endpoint> endpoint = it->second;
  endpoints_.erase(it);

  ::unlink(EndpointPath(endpoint->folder, handle, EndpointFile::Title).c_str());
  UnwatchFd(endpoint->listenFd);
  listenerByFd_.erase(endpoint->listenFd);
  pausedListeners_.erase(endpoint->listenFd);
  ::close(endpoint->listenFd);
  ::unlink(EndpointPath(endpoint->folder, handle, EndpointFile::Socket).c_str());

  // Closing the accepted connections tells every program that waits on this
  // window that it is gone.
  std::vector<std::uint64_t> closing;
  for (const auto& [id, connection] : connections_) {
    if (!connection->outgoing && connection->window == handle) closing.push_back(id);
  }
  for (const auto id : closing) CloseConnection(id);

  ::unlink(EndpointPath(endpoint->folder, handle, EndpointFile::Lock).c_str());
  ::close(endpoint->lockFd);

  for (const auto& [id, watch] : windowWatches_) {
    if (watch.window == handle) goneToReport_.push_back(id);
  }
  if (!goneToReport_.empty()) Wake();
}

std::shared_ptr<Endpoint> Bus::FindEndpoint(WindowHandle handle) const {
  auto it = endpoints_.find(handle.value);
  return it == endpoints_.end() ? nullptr : it->second;
}

std::optional<std::string> Bus::TitleOf(WindowHandle handle) const {
  auto endpoint = FindEndpoint(handle);
  if (!endpoint) return std::nullopt;
  return endpoint->title;
}

bool Bus::SetTitle(WindowHandle handle, std::string_view title) {
  auto endpoint = FindEndpoint(handle);
  if (!endpoint || title.size() > kMaxTitle) return false;
  if (endpoint->kind == WindowKind::TopLevel && !WriteTitleFile(endpoint->folder, handle, title)) return false;
  endpoint->title = std::string(title);
  return true;
}

void Bus::SetHandler(WindowHandle handle, MessageHandler handler) {
  if (auto endpoint = FindEndpoint(handle)) endpoint->handler = std::move(handler);
}

std::optional<std::filesystem::path> Bus::UsableFolder() {
  auto folder = DesktopFolder();
  if (auto problem = DesktopFolderProblem(folder)) {
    // Said once per folder: the user must learn why no window is found, but
    // not once for every search.
    if (reportedFolders_.insert(folder.string()).second) Log(*problem);
    return std::nullopt;
  }
  reportedFolders_.erase(folder.string());
  return folder;
}

bool Bus::IsWindow(WindowHandle window) {
  if (!window) return false;
  if (FindEndpoint(window)) return true;
  const auto folder = UsableFolder();
  return folder && EndpointAlive(*folder, window);
}

std::optional<PeerCredentials> Bus::WindowOwner(WindowHandle window) {
  if (!window) return std::nullopt;
  if (FindEndpoint(window)) return OwnCredentials();
  const Outgoing out = OutgoingConnection(window);
  if (out.connection == nullptr) return std::nullopt;
  return out.connection->peerCredentials;
}

std::uint32_t Bus::WindowProcess(WindowHandle window) {
  if (!window) return 0;
  if (FindEndpoint(window)) return OwnProcess();
  const Outgoing out = OutgoingConnection(window);
  return out.connection != nullptr ? out.connection->peerProcess : 0;
}

Connection* Bus::FindConnection(std::uint64_t id) {
  auto it = connections_.find(id);
  return it == connections_.end() ? nullptr : it->second.get();
}

Bus::Outgoing Bus::OutgoingConnection(WindowHandle window) {
  const auto now = Clock::now();
  if (auto it = outgoing_.find(window.value); it != outgoing_.end()) {
    Connection* cached = FindConnection(it->second);
    if (cached == nullptr) {
      outgoing_.erase(it);
    } else if (cached->awaiting == 0 && cached->unsent() == 0 && now - cached->lastActivity > Limits::kOutgoingReuseLimit) {
      // Left idle so long that the window may be closing it this moment:
      // replaced before it carries anything. The new one takes over any
      // watch of the window.
      outgoing_.erase(it);
      CloseConnection(cached->id);
    } else {
      return {cached, ConnectStatus::Connected};
    }
  }

  const auto folder = UsableFolder();
  if (!folder) return {};
  sockaddr_un address;
  if (!FillAddress(EndpointPath(*folder, window, EndpointFile::Socket), address)) return {};
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    LogLimited("socket", std::string("cannot make a socket: ") + std::strerror(errno));
    return {};
  }
  for (;;) {
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
    if (errno == EINTR) continue;
    const int reason = errno;
    ::close(fd);
    // A full listen queue answers EAGAIN: the window lives but takes no
    // connections now. Nobody waits here for it; the caller decides.
    if (reason == EAGAIN) return {nullptr, ConnectStatus::QueueFull};
    EndpointAlive(*folder, window);  // removes the files of a dead window
    return {};
  }
  // The folder is ours, but whoever listens on a socket in it is checked
  // too: a message for a window of another user would be theirs to read
  // and to answer.
  const auto credentials = SocketCredentials(fd);
  if (!credentials || credentials->uid != ::geteuid()) {
    LogLimited("user", "refused to send to window " + Hex(window) + ": its socket belongs to another user (uid " +
                           (credentials ? std::to_string(credentials->uid) : std::string("unknown")) + ")");
    ::close(fd);
    return {};
  }
  auto connection = std::make_unique<Connection>();
  connection->id = nextConnectionId_++;
  connection->fd = fd;
  connection->outgoing = true;
  connection->window = window;
  connection->folder = *folder;
  connection->peerProcess = static_cast<std::uint32_t>(credentials->pid);
  connection->peerCredentials = CredentialsOf(fd, *credentials);
  connection->peer = credentials->pid > 0 ? PeerKey{credentials->pid} : -static_cast<PeerKey>(connection->id);
  connection->lastActivity = connection->lastWrite = now;
  Connection* raw = connection.get();
  outgoing_[window.value] = raw->id;
  AddConnection(std::move(connection));
  TrimOutgoing();
  return {raw, ConnectStatus::Connected};
}

// Connections to windows this program no longer talks to are closed, least
// recently used first, so that windows claimed by the hundred cannot make it
// hold a connection to each.
void Bus::TrimOutgoing() {
  std::size_t count = 0;
  for (const auto& [window, id] : outgoing_) count += FindConnection(id) != nullptr;
  while (count > Limits::kMaxOutgoing) {
    Connection* oldest = nullptr;
    for (const auto& [window, id] : outgoing_) {
      Connection* candidate = FindConnection(id);
      if (candidate == nullptr || candidate->awaiting != 0 || candidate->unsent() != 0 || !candidate->inbox.empty()) {
        continue;
      }
      bool watched = false;
      for (const auto& [watchId, watch] : windowWatches_) watched = watched || watch.window.value == window;
      if (watched) continue;
      if (oldest == nullptr || candidate->lastActivity < oldest->lastActivity) oldest = candidate;
    }
    if (oldest == nullptr) return;
    outgoing_.erase(oldest->window.value);
    CloseConnection(oldest->id);
    --count;
  }
}

void Bus::AddConnection(std::unique_ptr<Connection> connection) {
  Connection& added = *connection;
  connectionByFd_[added.fd] = added.id;
  connections_[added.id] = std::move(connection);
  UpdateInterest(added);
  ArmTimer();
}

void Bus::CloseConnection(std::uint64_t id) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  std::unique_ptr<Connection> connection = std::move(it->second);
  connections_.erase(it);
  connectionByFd_.erase(connection->fd);
  paused_.erase(id);
  if (connection->watched != 0 && integration_ != nullptr) integration_->Unwatch(connection->fd);
  ::close(connection->fd);
  Release(connection->peer, connection->held);
  if (auto unsent = peerUnsent_.find(connection->peer); unsent != peerUnsent_.end()) {
    unsent->second -= std::min(unsent->second, connection->unsentCounted);
    if (unsent->second == 0) peerUnsent_.erase(unsent);
  }

  if (!connection->outgoing) {
    if (auto endpoint = FindEndpoint(connection->window); endpoint && endpoint->connections > 0) --endpoint->connections;
    const auto key = std::make_pair(connection->window.value, connection->peer);
    if (auto count = peerConnections_.find(key); count != peerConnections_.end() && --count->second == 0) {
      peerConnections_.erase(count);
    }
    // Its requests can no longer be answered. Posts it brought stay queued:
    // a program may post and end at once, and its posts must still arrive.
    for (auto send = sent_.begin(); send != sent_.end();) {
      if (send->connectionId == id) {
        Release(send->peer, send->bytes);
        send = sent_.erase(send);
      } else {
        ++send;
      }
    }
    ResumePaused();
    return;
  }

  auto current = outgoing_.find(connection->window.value);
  if (current == outgoing_.end() || current->second != id) return;  // replaced, not lost
  outgoing_.erase(current);
  bool watched = false;
  for (const auto& [watchId, watch] : windowWatches_) watched = watched || watch.window == connection->window;
  if (!watched) return;
  // The window may still live (it may have dropped us because we were idle,
  // or for a frame it did not like): then the watch gets a new connection,
  // else it is reported. A window that dropped a fresh connection is tried
  // again from the clock.
  if (Clock::now() - connection->created < kReconnectPause && EndpointAlive(connection->folder, connection->window)) {
    watchRetry_.insert(connection->window.value);
    ArmTimer();
    return;
  }
  const Outgoing again = OutgoingConnection(connection->window);
  if (again.status == ConnectStatus::QueueFull) {
    watchRetry_.insert(connection->window.value);
    ArmTimer();
  } else if (again.status == ConnectStatus::NoWindow) {
    for (const auto& [watchId, watch] : windowWatches_) {
      if (watch.window == connection->window) goneToReport_.push_back(watchId);
    }
    Wake();
  }
}

void Bus::Enqueue(Connection& connection, const FrameHeader& header, std::string_view payload) {
  if (connection.outboxSent == connection.outbox.size()) {
    connection.outbox.clear();
    connection.outboxSent = 0;
  }
  connection.outbox += EncodeFrame(header, payload);
  connection.lastActivity = Clock::now();
  UpdateHeld(connection);
}

bool Bus::Flush(std::uint64_t id) {
  Connection* connection = FindConnection(id);
  if (connection == nullptr) return false;
  while (connection->outboxSent < connection->outbox.size()) {
    const ssize_t n = ::send(connection->fd, connection->outbox.data() + connection->outboxSent,
                             connection->outbox.size() - connection->outboxSent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      connection->outboxSent += static_cast<std::size_t>(n);
      connection->lastWrite = Clock::now();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    CloseConnection(id);
    return false;
  }
  if (connection->outboxSent == connection->outbox.size()) {
    if (connection->outbox.capacity() > kKeepCapacity) {
      std::string().swap(connection->outbox);
    } else {
      connection->outbox.clear();
    }
    connection->outboxSent = 0;
    connection->lastWrite = Clock::now();
  }
  UpdateHeld(*connection);
  UpdateInterest(*connection);
  return true;
}

bool Bus::CanRead(const Connection& connection) const {
  // Replies to our own sends are always read: the outgoing connections are
  // few, and each holds at most one frame.
  if (connection.outgoing) return true;
  if (connection.queued >= Limits::kMaxQueuedPerConnection) return false;
  if (connection.unsent() > Limits::kMaxUnsentReplies) return false;
  const auto bytes = peerBytes_.find(connection.peer);
  const std::size_t peerHeld = bytes == peerBytes_.end() ? 0 : bytes->second;
  if (peerHeld > Limits::kMaxBytesPerPeer) return false;
  // When all programs together hold too much, only small requests go on.
  if (heldTotal_ > Limits::kMaxBytesTotal && peerHeld > kMaxPayload / 8) return false;
  return true;
}

int Bus::DesiredInterest(const Connection& connection) const {
  return (CanRead(connection) ? kWatchRead : 0) | (connection.unsent() > 0 ? kWatchWrite : 0);
}

void Bus::UpdateInterest(Connection& connection) {
  const bool paused = !CanRead(connection);
  if (paused && !connection.paused) {
    paused_.insert(connection.id);
  } else if (!paused && connection.paused) {
    paused_.erase(connection.id);
    // A partial frame's clock starts again: the wait was ours, not the peer's.
    if (!connection.inbox.empty()) connection.frameStarted = Clock::now();
  }
  connection.paused = paused;
  if (integration_ == nullptr) return;
  const int desired = DesiredInterest(connection);
  if (desired == connection.watched) return;
  connection.watched = desired;
  if (desired == 0) {
    integration_->Unwatch(connection.fd);
  } else {
    integration_->Watch(connection.fd, ToInterest(desired));
  }
}

void Bus::UpdateHeld(Connection& connection) {
  const std::size_t unsent = connection.unsent();
  if (unsent != connection.unsentCounted) {
    std::size_t& total = peerUnsent_[connection.peer];
    total = total + unsent > connection.unsentCounted ? total + unsent - connection.unsentCounted : 0;
    connection.unsentCounted = unsent;
    if (total == 0) peerUnsent_.erase(connection.peer);
  }
  const std::size_t now = connection.inbox.size() + unsent;
  if (now >= connection.held) {
    peerBytes_[connection.peer] += now - connection.held;
    heldTotal_ += now - connection.held;
  } else {
    Release(connection.peer, connection.held - now);
  }
  connection.held = now;
}

void Bus::Release(PeerKey peer, std::size_t bytes) {
  if (bytes == 0) return;
  heldTotal_ -= std::min(heldTotal_, bytes);
  auto it = peerBytes_.find(peer);
  if (it == peerBytes_.end()) return;
  it->second -= std::min(it->second, bytes);
  if (it->second == 0) peerBytes_.erase(it);
}

void Bus::ResumePaused() {
  if (resuming_ || paused_.empty()) return;
  resuming_ = true;
  const std::vector<std::uint64_t> waiting(paused_.begin(), paused_.end());
  for (const auto id : waiting) {
    Connection* connection = FindConnection(id);
    if (connection == nullptr || !CanRead(*connection)) continue;
    UpdateInterest(*connection);
    // Whole frames may have waited in the inbox for their turn.
    ProcessInbox(id);
  }
  resuming_ = false;
}

void Bus::SetLate(Connection& connection, std::uint64_t serial) {
  connection.late.push_back(serial);
  if (connection.late.size() > kLateMemory) connection.late.pop_front();
}

SendResult Bus::Send(WindowHandle window, Message message, milliseconds timeout) {
  SendResult result;
  if (!window) return result;
  if (message.payload.size() > kMaxPayload) {
    result.status = SendStatus::Refused;
    return result;
  }
  message.window = window;
  message.senderProcess = OwnProcess();
  message.sender = OwnCredentials();

  // A window of this program is called directly, as the desktop does for a
  // window of the sender's own thread.
  if (auto endpoint = FindEndpoint(window)) {
    if (endpoint->handler) {
      ++dispatched_;
      ++depth_;
      result.result = endpoint->handler(message);
      --depth_;
      result.reply = std::move(message.reply);
    }
    result.status = SendStatus::Ok;
    return result;
  }

  // A send made while another waits ends when that one must end at the
  // latest, so that nesting can never make the outer wait longer.
  const auto ownDeadline = Clock::now() + timeout;
  auto deadline = ownDeadline;
  if (!waits_.empty()) deadline = std::min(deadline, waits_.back().deadline);
  waits_.push_back({deadline, cancelGeneration_});
  const std::uint64_t generation = cancelGeneration_;

  const std::uint64_t serial = nextSerial_++;
  FrameHeader header;
  header.type = FrameType::Send;
  header.serial = serial;
  header.window = window.value;
  header.message = message.message;
  header.wParam = message.wParam;
  header.lParam = message.lParam;

  std::uint64_t connectionId = 0;
  bool sent = false;
  bool resent = false;
  result.status = SendStatus::NoWindow;
  for (;;) {
    if (!sent) {
      const Outgoing out = OutgoingConnection(window);
      if (out.status == ConnectStatus::NoWindow) {
        result.status = resent ? SendStatus::WindowGone : SendStatus::NoWindow;
        break;
      }
      if (out.status == ConnectStatus::Connected) {
        connectionId = out.connection->id;
        Enqueue(*out.connection, header, message.payload);
        ++out.connection->awaiting;
        awaiting_[serial] = connectionId;
        sent = true;
        Flush(connectionId);
        continue;
      }
    } else if (auto reply = replies_.find(serial); reply != replies_.end()) {
      result.status = reply->second.status == kReplyHandled ? SendStatus::Ok : SendStatus::NoWindow;
      result.result = reply->second.result;
      result.reply = std::move(reply->second.payload);
      replies_.erase(reply);
      break;
    } else if (FindConnection(connectionId) == nullptr) {
      awaiting_.erase(serial);
      // Closed without an answer. A window that still lives dropped the
      // connection before reading our request (it was idle, or the window
      // had too many), so the request goes once more on a new connection.
      const auto folder = DesktopFolder();
      if (!resent && EndpointAlive(folder, window)) {
        resent = true;
        sent = false;
        connectionId = 0;
        continue;
      }
      result.status = SendStatus::WindowGone;
      break;
    }
    if (cancelGeneration_ != generation) {
      result.status = SendStatus::Timeout;
      break;
    }
    if (Clock::now() >= deadline) {
      result.status = SendStatus::Timeout;
      // The program whose request we are handling named a window that kept
      // us waiting in vain. A wait cut short by the one it is nested in says
      // nothing about the window.
      if (deadline == ownDeadline && !handlingPeers_.empty() && handlingPeers_.back() != 0) {
        Penalise(handlingPeers_.back());
      }
      break;
    }
    PollOnce(sent ? deadline : std::min(deadline, Clock::now() + kConnectRetry), Scope::SentOnly);
  }
  awaiting_.erase(serial);
  replies_.erase(serial);
  if (Connection* connection = sent ? FindConnection(connectionId) : nullptr) {
    if (connection->awaiting > 0) --connection->awaiting;
    if (result.status == SendStatus::Timeout) SetLate(*connection, serial);
    connection->lastActivity = Clock::now();
  }
  waits_.pop_back();
  return result;
}

bool Bus::Post(WindowHandle window, Message message) {
  if (!window || message.payload.size() > kMaxPayload) return false;
  message.window = window;
  message.senderProcess = OwnProcess();
  message.sender = OwnCredentials();
  if (FindEndpoint(window)) {
    QueuePosted({std::move(message), 0, 0, 0});
    return true;
  }
  const Outgoing out = OutgoingConnection(window);
  if (out.status == ConnectStatus::QueueFull) {
    // The window's program takes no connections now; as on the desktop, a
    // post to a full queue fails at once rather than holding up this one.
    LogLimited("queue-full", "a message to window " + Hex(window) + " was not posted: its queue is full");
    return false;
  }
  Connection* connection = out.connection;
  if (connection == nullptr) return false;
  if (connection->unsent() > kMaxOutbox) {
    LogLimited("outbox", "refused a post: window " + Hex(window) + " does not read its messages");
    return false;
  }
  FrameHeader header;
  header.type = FrameType::Post;
  header.window = window.value;
  header.message = message.message;
  header.wParam = message.wParam;
  header.lParam = message.lParam;
  Enqueue(*connection, header, message.payload);
  return Flush(connection->id);
}

void Bus::CancelWaitingSends() { ++cancelGeneration_; }

void Bus::QueuePosted(PendingPost post) {
  posted_.push_back(std::move(post));
  Wake();
}

void Bus::Wake() {
  if (integration_ == nullptr || wakeFd_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

int Bus::Pump(milliseconds maxWait) {
  const auto before = dispatched_;
  const auto deadline = Clock::now() + maxWait;
  if (integration_ != nullptr) {
    integration_->RunOnce(deadline);
  } else {
    PollOnce(deadline, Scope::All);
  }
  return static_cast<int>(dispatched_ - before);
}

void Bus::PollOnce(Clock::time_point deadline, Scope scope) {
  std::vector<pollfd> fds;
  if (timerFd_ >= 0) fds.push_back({timerFd_, POLLIN, 0});
  for (const auto& [fd, handle] : listenerByFd_) {
    if (!pausedListeners_.contains(fd)) fds.push_back({fd, POLLIN, 0});
  }
  for (const auto& [id, connection] : connections_) {
    const int interest = DesiredInterest(*connection);
    if (interest == 0) continue;
    fds.push_back({connection->fd,
                   static_cast<short>(((interest & kWatchRead) ? POLLIN : 0) | ((interest & kWatchWrite) ? POLLOUT : 0)),
                   0});
  }
  const std::size_t busFds = fds.size();
  for (const auto& [id, watch] : descriptorWatches_) {
    if (scope == Scope::All || watch.scope == WatchScope::AlsoWhileSending) fds.push_back({watch.fd, POLLIN, 0});
  }

  bool due = scope == Scope::All && (!posted_.empty() || !goneToReport_.empty());
  if (!due) {
    for (const auto& pending : sent_) due = due || MayDispatchSent(pending);
  }
  const int timeout = due ? 0 : RemainingMs(deadline);
  const int count = ::poll(fds.data(), fds.size(), timeout);
  if (count < 0 && errno != EINTR) LogLimited("poll", std::string("poll failed: ") + std::strerror(errno));

  std::vector<int> readyWatches;
  if (count > 0) {
    for (std::size_t i = 0; i < busFds; ++i) {
      if (fds[i].revents != 0) HandleReady(fds[i].fd, fds[i].revents);
    }
    for (std::size_t i = busFds; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      for (const auto& [id, watch] : descriptorWatches_) {
        if (watch.fd == fds[i].fd) readyWatches.push_back(id);
      }
    }
  }

  DispatchSent();
  if (scope == Scope::SentOnly) {
    RunWatches(readyWatches);
    return;
  }
  DispatchPosted();
  ReportGone();
  RunWatches(readyWatches);
}

void Bus::RunWatches(const std::vector<int>& ready) {
  for (const int id : ready) {
    auto it = descriptorWatches_.find(id);
    if (it == descriptorWatches_.end()) continue;
    auto callback = it->second.onReadable;
    callback();
  }
}

void Bus::DescriptorReady(int fd) {
  if (fd == wakeFd_) {
    std::uint64_t value;
    [[maybe_unused]] const auto n = ::read(wakeFd_, &value, sizeof value);
  } else if (fd == timerFd_ || listenerByFd_.contains(fd) || connectionByFd_.contains(fd)) {
    HandleReady(fd, POLLIN | POLLOUT);
  } else {
    std::vector<int> ready;
    for (const auto& [id, watch] : descriptorWatches_) {
      if (watch.fd == fd) ready.push_back(id);
    }
    RunWatches(ready);
  }
  DispatchSent();
  DispatchPosted();
  ReportGone();
  // A pass handles only what was there when it began: what came meanwhile
  // wakes the loop again at once instead of waiting for the next descriptor.
  if (!posted_.empty() || !goneToReport_.empty() ||
      std::any_of(sent_.begin(), sent_.end(), [this](const PendingSend& p) { return MayDispatchSent(p); })) {
    Wake();
  }
}

void Bus::HandleReady(int fd, short events) {
  if (fd == timerFd_) {
    std::uint64_t expirations;
    [[maybe_unused]] const auto n = ::read(timerFd_, &expirations, sizeof expirations);
    Tick(Clock::now());
    return;
  }
  if (auto listener = listenerByFd_.find(fd); listener != listenerByFd_.end()) {
    if (auto endpoint = FindEndpoint(WindowHandle{listener->second})) AcceptAll(*endpoint);
    return;
  }
  auto it = connectionByFd_.find(fd);
  if (it == connectionByFd_.end()) return;
  const std::uint64_t id = it->second;
  if ((events & POLLOUT) != 0 && !Flush(id)) return;
  Connection* connection = FindConnection(id);
  if (connection == nullptr) return;
  if (CanRead(*connection)) {
    if ((events & (POLLIN | POLLHUP | POLLERR)) != 0) ReadConnection(id);
  } else if ((events & (POLLHUP | POLLERR)) != 0) {
    // Not read for now, and the peer has gone: nothing more can come.
    CloseConnection(id);
  }
}

void Bus::AcceptAll(Endpoint& endpoint) {
  const WindowHandle handle = endpoint.handle;
  for (;;) {
    const int fd = ::accept4(endpoint.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EMFILE || errno == ENFILE) {
        // Out of descriptors: a connection that has carried nothing for a
        // while makes room, so that a program that holds many idle ones
        // cannot lock everyone else out.
        if (EvictIdle(endpoint)) continue;
        LogLimited("descriptors", "out of file descriptors: a connection to window " + Hex(handle) + " was refused");
        if (spareFd_ >= 0) {
          ::close(spareFd_);
          const int dropped = ::accept4(endpoint.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
          if (dropped >= 0) ::close(dropped);
          spareFd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
          if (dropped >= 0) continue;
        }
        // Nothing could be taken: the listener rests until the clock's next
        // look instead of waking the loop at once again.
        pausedListeners_.insert(endpoint.listenFd);
        UnwatchFd(endpoint.listenFd);
        ArmTimer();
      }
      return;
    }
    // The folder is private, but a socket is checked again: only programs of
    // this user may speak to our windows.
    const auto credentials = SocketCredentials(fd);
    if (!credentials || credentials->uid != ::geteuid()) {
      LogLimited("user", "refused a connection from another user");
      ::close(fd);
      continue;
    }
    const std::uint64_t id = nextConnectionId_++;
    const PeerKey peer = credentials->pid > 0 ? PeerKey{credentials->pid} : -static_cast<PeerKey>(id);
    const auto key = std::make_pair(handle.value, peer);
    auto fromPeer = peerConnections_.find(key);
    if (fromPeer != peerConnections_.end() && fromPeer->second >= Limits::kMaxConnectionsPerPeer) {
      LogLimited("peer-connections", "refused a connection: process " + std::to_string(credentials->pid) +
                                         " already has " + std::to_string(Limits::kMaxConnectionsPerPeer) +
                                         " connections to window " + Hex(handle));
      ::close(fd);
      continue;
    }
    if ((endpoint.connections >= Limits::kMaxConnectionsPerWindow || connections_.size() >= maxConnections_) &&
        !EvictIdle(endpoint)) {
      LogLimited("window-connections",
                 "refused a connection: window " + Hex(handle) + " has as many connections as it may hold");
      ::close(fd);
      continue;
    }
    auto connection = std::make_unique<Connection>();
    connection->id = id;
    connection->fd = fd;
    connection->window = handle;
    connection->folder = endpoint.folder;
    connection->peerProcess = static_cast<std::uint32_t>(credentials->pid);
    connection->peerCredentials = CredentialsOf(fd, *credentials);
    connection->peer = peer;
    connection->lastActivity = connection->lastWrite = Clock::now();
    ++peerConnections_[key];
    ++endpoint.connections;
    AddConnection(std::move(connection));
  }
}

// Makes room for a new connection by closing the one to this window that has
// carried nothing for longest; false when every one is busy or fresh.
bool Bus::EvictIdle(Endpoint& endpoint) {
  const auto now = Clock::now();
  Connection* oldest = nullptr;
  for (const auto& [id, connection] : connections_) {
    if (connection->outgoing || connection->window != endpoint.handle) continue;
    if (!connection->inbox.empty() || connection->queued != 0 || connection->unsent() != 0) continue;
    if (now - connection->lastActivity < kEvictableIdle) continue;
    if (oldest == nullptr || connection->lastActivity < oldest->lastActivity) oldest = connection.get();
  }
  if (oldest == nullptr) return false;
  CloseConnection(oldest->id);
  return true;
}

void Bus::ReadConnection(std::uint64_t id) {
  // At most this many reads per pass, so one busy peer cannot hold the loop.
  for (int round = 0; round < 16; ++round) {
    Connection* connection = FindConnection(id);
    if (connection == nullptr || !CanRead(*connection)) return;
    char buffer[65536];
    const ssize_t n = ::recv(connection->fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      CloseConnection(id);
      return;
    }
    if (connection->inbox.empty()) connection->frameStarted = Clock::now();
    connection->inbox.append(buffer, static_cast<std::size_t>(n));
    ProcessInbox(id);
  }
}

void Bus::ProcessInbox(std::uint64_t id) {
  Connection* connection = FindConnection(id);
  if (connection == nullptr) return;
  std::size_t used = 0;
  bool waiting = false;
  for (;;) {
    if (!connection->outgoing && connection->queued >= Limits::kMaxQueuedPerConnection) {
      waiting = true;
      break;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(connection->inbox.data()) + used;
    const ParseResult parsed = ParseFrame({bytes, connection->inbox.size() - used});
    if (parsed.status == ParseStatus::NeedMore) break;
    if (parsed.status == ParseStatus::Invalid) {
      Refuse(*connection, parsed.error, used + parsed.errorOffset);
      return;
    }
    std::string payload = connection->inbox.substr(used + kFrameHeaderSize, parsed.header.payloadLength);
    used += parsed.frameSize;
    if (!RouteFrame(*connection, parsed.header, std::move(payload))) return;
  }
  connection->inbox.erase(0, used);
  // A large frame's room is given back once it has gone, and a frame whose
  // header has come gets the room it needs at once rather than by doubling.
  if (connection->inbox.capacity() > kKeepCapacity && connection->inbox.size() < connection->inbox.capacity() / 4) {
    connection->inbox.shrink_to_fit();
  }
  if (!waiting) {
    const auto* rest = reinterpret_cast<const std::uint8_t*>(connection->inbox.data());
    const ParseResult next = ParseFrame({rest, connection->inbox.size()});
    if (next.status == ParseStatus::NeedMore && next.frameSize > 0) connection->inbox.reserve(next.frameSize);
  }
  // Only a frame that has not fully arrived runs against the clock; whole
  // frames waiting for their turn do not.
  if (connection->inbox.empty() || waiting) {
    connection->frameStarted = {};
  } else if (used > 0 || connection->frameStarted == Clock::time_point{}) {
    connection->frameStarted = Clock::now();
  }
  UpdateHeld(*connection);
  UpdateInterest(*connection);
}

void Bus::Refuse(Connection& connection, const std::string& why, std::size_t offset) {
  LogLimited("refused", "refused a frame (" + why + " at byte " + std::to_string(offset) +
                            " of the stream); connection closed");
  CloseConnection(connection.id);
}

bool Bus::RouteFrame(Connection& connection, const FrameHeader& header, std::string payload) {
  const auto now = Clock::now();
  if (header.type == FrameType::Reply) {
    if (!connection.outgoing) {
      Refuse(connection, "a reply where only requests may come", 6);
      return false;
    }
    // A reply counts only on the connection its send went out on; a reply
    // that comes after its sender stopped waiting is dropped. Anything else
    // answers nothing we asked.
    connection.lastActivity = now;
    if (auto awaited = awaiting_.find(header.serial); awaited != awaiting_.end() && awaited->second == connection.id) {
      replies_[header.serial] = Reply{header.wParam, header.lParam, std::move(payload)};
      return true;
    }
    if (auto late = std::find(connection.late.begin(), connection.late.end(), header.serial);
        late != connection.late.end()) {
      connection.late.erase(late);
      return true;
    }
    Refuse(connection, "a reply to no request of this connection", 8);
    return false;
  }
  if (connection.outgoing) {
    Refuse(connection, "a request on a connection that only carries replies", 6);
    return false;
  }
  if (header.window != connection.window.value) {
    Refuse(connection, "a message for another window", 16);
    return false;
  }
  Message message;
  message.window = connection.window;
  message.message = header.message;
  message.wParam = header.wParam;
  message.lParam = header.lParam;
  message.payload = std::move(payload);
  message.senderProcess = connection.peerProcess;
  message.sender = connection.peerCredentials;
  // What waits in the queues counts to the peer until it is handled.
  const std::size_t bytes = kFrameHeaderSize + message.payload.size();
  peerBytes_[connection.peer] += bytes;
  heldTotal_ += bytes;
  ++connection.queued;
  connection.lastActivity = now;
  if (header.type == FrameType::Send) {
    sent_.push_back({std::move(message), connection.id, connection.peer, bytes, header.serial});
  } else {
    QueuePosted({std::move(message), connection.id, connection.peer, bytes});
  }
  return true;
}

bool Bus::MayDispatchSent(const PendingSend& pending) const {
  if (depth_ >= Limits::kMaxNesting) return false;
  // A program that does not read its answers gets no more of them.
  if (auto unsent = peerUnsent_.find(pending.peer);
      unsent != peerUnsent_.end() && unsent->second > Limits::kMaxBytesPerPeer) {
    return false;
  }
  if (auto penalty = penalties_.find(pending.peer); penalty != penalties_.end() && penalty->second.until > Clock::now()) {
    return false;
  }
  auto it = inProgress_.find(pending.peer);
  return it == inProgress_.end() || it->second < Limits::kMaxInProgressPerPeer;
}

void Bus::Penalise(PeerKey peer) {
  Penalty& penalty = penalties_[peer];
  const auto now = Clock::now();
  if (now - penalty.last > 8 * Limits::kPenalty) penalty.level = 0;
  penalty.level = std::min(penalty.level + 1, Limits::kMaxPenaltyDoublings + 1);
  penalty.last = now;
  const auto length = Limits::kPenalty * (1 << (penalty.level - 1));
  penalty.until = now + length;
  LogLimited("penalty", "process " + std::to_string(peer) + " named a window that did not answer; its requests wait " +
                            std::to_string(length.count() / 1000) + " s");
}

namespace {

// The next message to handle from a queue: the oldest of the program served
// least so far in this pass, among those that may be handled now. Each
// program's messages keep their order; a flood from one program waits its
// turn behind everyone else's.
template <class Queue, class May>
typename Queue::iterator NextInTurn(Queue& queue, const std::map<PeerKey, int>& served, May may) {
  auto best = queue.end();
  int bestServed = 0;
  std::set<PeerKey> seen;
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (!seen.insert(it->peer).second) continue;
    if (!may(*it)) continue;
    const auto count = served.find(it->peer);
    const int times = count == served.end() ? 0 : count->second;
    if (best == queue.end() || times < bestServed) {
      best = it;
      bestServed = times;
    }
  }
  return best;
}

}  // namespace

void Bus::DispatchSent() {
  // Only as many as were waiting when the pass began, so that posted
  // messages get their turn however fast requests come.
  std::map<PeerKey, int> served;
  for (std::size_t count = sent_.size(); count > 0; --count) {
    // A program whose requests wait on a window that does not answer holds
    // at most its share of the handlers, and everyone else goes on being
    // served.
    auto next = NextInTurn(sent_, served, [this](const PendingSend& p) { return MayDispatchSent(p); });
    if (next == sent_.end()) return;
    ++served[next->peer];
    PendingSend pending = std::move(*next);
    sent_.erase(next);
    Release(pending.peer, pending.bytes);
    if (Connection* connection = FindConnection(pending.connectionId)) {
      if (connection->queued > 0) --connection->queued;
      ++connection->handling;
    }
    ResumePaused();

    FrameHeader reply;
    reply.type = FrameType::Reply;
    reply.serial = pending.serial;
    reply.message = pending.message.message;
    reply.wParam = kReplyNoWindow;
    if (auto endpoint = FindEndpoint(pending.message.window)) {
      reply.wParam = kReplyHandled;
      if (endpoint->handler) {
        ++dispatched_;
        ++depth_;
        ++inProgress_[pending.peer];
        handlingPeers_.push_back(pending.peer);
        reply.lParam = endpoint->handler(pending.message);
        handlingPeers_.pop_back();
        if (--inProgress_[pending.peer] <= 0) inProgress_.erase(pending.peer);
        --depth_;
      }
    }
    Connection* connection = FindConnection(pending.connectionId);
    if (connection == nullptr) continue;
    if (connection->handling > 0) --connection->handling;
    std::string replyPayload = std::move(pending.message.reply);
    if (replyPayload.size() > kMaxPayload) replyPayload.resize(kMaxPayload);
    Enqueue(*connection, reply, replyPayload);
    Flush(pending.connectionId);
  }
}

void Bus::DispatchPosted() {
  // Only what was queued when the pass began: a handler that posts to its own
  // window must not keep this pass running for ever.
  std::map<PeerKey, int> served;
  for (std::size_t count = posted_.size(); count > 0 && !posted_.empty(); --count) {
    if (depth_ >= Limits::kMaxNesting) return;
    auto next = NextInTurn(posted_, served, [](const PendingPost&) { return true; });
    ++served[next->peer];
    PendingPost post = std::move(*next);
    posted_.erase(next);
    if (post.connectionId != 0) {
      Release(post.peer, post.bytes);
      if (Connection* connection = FindConnection(post.connectionId); connection && connection->queued > 0) {
        --connection->queued;
      }
      ResumePaused();
    }
    auto endpoint = FindEndpoint(post.message.window);
    if (!endpoint || !endpoint->handler) continue;
    ++dispatched_;
    ++depth_;
    handlingPeers_.push_back(post.peer);
    endpoint->handler(post.message);
    handlingPeers_.pop_back();
    --depth_;
  }
}

void Bus::ReportGone() {
  while (!goneToReport_.empty()) {
    const int id = goneToReport_.front();
    goneToReport_.pop_front();
    auto it = windowWatches_.find(id);
    if (it == windowWatches_.end()) continue;
    auto onGone = std::move(it->second.onGone);
    windowWatches_.erase(it);
    ++dispatched_;
    if (onGone) onGone();
  }
}

int Bus::WatchWindow(WindowHandle window, std::function<void()> onGone) {
  const int id = nextWatchId_++;
  windowWatches_[id] = {window, std::move(onGone)};
  if (FindEndpoint(window)) return id;
  const Outgoing out = OutgoingConnection(window);
  if (out.status == ConnectStatus::QueueFull) {
    watchRetry_.insert(window.value);
    ArmTimer();
  } else if (out.status == ConnectStatus::NoWindow) {
    goneToReport_.push_back(id);
    Wake();
  }
  return id;
}

void Bus::CancelWatch(int id) { windowWatches_.erase(id); }

void Bus::RetryWatches() {
  const std::vector<std::uint64_t> windows(watchRetry_.begin(), watchRetry_.end());
  watchRetry_.clear();
  for (const auto value : windows) {
    const WindowHandle window{value};
    bool watched = false;
    for (const auto& [id, watch] : windowWatches_) watched = watched || watch.window == window;
    if (!watched || outgoing_.contains(value)) continue;
    const Outgoing out = OutgoingConnection(window);
    if (out.status == ConnectStatus::QueueFull) {
      watchRetry_.insert(value);
    } else if (out.status == ConnectStatus::NoWindow) {
      for (const auto& [id, watch] : windowWatches_) {
        if (watch.window == window) goneToReport_.push_back(id);
      }
      Wake();
    }
  }
}

int Bus::WatchDescriptor(int fd, std::function<void()> onReadable, WatchScope scope) {
  const int id = nextWatchId_++;
  descriptorWatches_[id] = {fd, std::move(onReadable), scope};
  if (integration_ != nullptr) integration_->Watch(fd, LoopIntegration::Interest::Read);
  return id;
}

void Bus::CancelDescriptor(int id) {
  auto it = descriptorWatches_.find(id);
  if (it == descriptorWatches_.end()) return;
  const int fd = it->second.fd;
  descriptorWatches_.erase(it);
  for (const auto& [other, watch] : descriptorWatches_) {
    if (watch.fd == fd) return;
  }
  if (integration_ != nullptr) integration_->Unwatch(fd);
}

void Bus::WatchFd(int fd, int interest) {
  if (integration_ != nullptr) integration_->Watch(fd, ToInterest(interest));
}

void Bus::UnwatchFd(int fd) {
  if (integration_ != nullptr) integration_->Unwatch(fd);
}

void Bus::ArmTimer() {
  if (timerArmed_ || timerFd_ < 0) return;
  itimerspec spec{};
  spec.it_interval.tv_sec = Limits::kTick.count() / 1000;
  spec.it_interval.tv_nsec = (Limits::kTick.count() % 1000) * 1'000'000;
  spec.it_value = spec.it_interval;
  timerArmed_ = ::timerfd_settime(timerFd_, 0, &spec, nullptr) == 0;
}

void Bus::Tick(Clock::time_point now) {
  std::vector<std::pair<std::uint64_t, std::string>> cut;
  std::vector<std::uint64_t> quiet;
  for (const auto& [id, connection] : connections_) {
    const Connection& c = *connection;
    if (!c.inbox.empty() && c.frameStarted != Clock::time_point{} && now - c.frameStarted > Limits::kPartialFrameTimeout) {
      cut.push_back({id, "sent half a frame and stopped"});
    } else if (c.unsent() > 0 && now - c.lastWrite > Limits::kStalledWriteTimeout) {
      cut.push_back({id, "does not read what it is sent"});
    } else if (!c.outgoing && c.inbox.empty() && c.queued == 0 && c.handling == 0 && c.unsent() == 0 &&
               now - c.lastActivity > Limits::kIdleTimeout) {
      quiet.push_back(id);
    } else if (c.outgoing && c.awaiting == 0 && c.unsent() == 0 && c.inbox.empty() &&
               now - c.lastActivity > Limits::kOutgoingReuseLimit) {
      bool watched = false;
      for (const auto& [watchId, watch] : windowWatches_) watched = watched || watch.window == c.window;
      if (!watched) quiet.push_back(id);
    }
  }
  for (const auto& [id, why] : cut) {
    if (Connection* connection = FindConnection(id)) {
      LogLimited("cut", "closed a connection " + std::string(connection->outgoing ? "to" : "of") + " window " +
                            Hex(connection->window) + ": the other side " + why);
      CloseConnection(id);
    }
  }
  for (const auto id : quiet) CloseConnection(id);
  for (auto penalty = penalties_.begin(); penalty != penalties_.end();) {
    if (now - penalty->second.last > 8 * Limits::kPenalty) {
      penalty = penalties_.erase(penalty);
    } else {
      ++penalty;
    }
  }
  RetryWatches();
  for (const int fd : pausedListeners_) WatchFd(fd, kWatchRead);
  pausedListeners_.clear();
  for (auto& [kind, count] : logged_) {
    if (count.unsaid > 0 && now - count.since >= kLogInterval) {
      Log(std::to_string(count.unsaid) + " more like this were not shown: " + kind);
      count = {now, 0, 0};
    }
  }
  if (connections_.empty() && watchRetry_.empty() && timerArmed_) {
    itimerspec stop{};
    ::timerfd_settime(timerFd_, 0, &stop, nullptr);
    timerArmed_ = false;
  }
}

void Bus::TickNow(Clock::time_point now) { Tick(now); }

void Bus::LogLimited(const std::string& kind, const std::string& text) {
  LogCount& count = logged_[kind];
  const auto now = Clock::now();
  if (now - count.since >= kLogInterval) {
    if (count.unsaid > 0) Log(std::to_string(count.unsaid) + " more like this were not shown: " + kind);
    count = {now, 0, 0};
  }
  if (count.said >= kLogBurst) {
    ++count.unsaid;
    return;
  }
  ++count.said;
  Log(text);
}

Bus::Census Bus::Count() const {
  Census census;
  census.connections = connections_.size();
  for (const auto& [id, connection] : connections_) {
    if (connection->outgoing) {
      ++census.outgoing;
    } else {
      ++census.accepted;
    }
  }
  census.queuedSends = sent_.size();
  census.queuedPosts = posted_.size();
  census.heldBytes = heldTotal_;
  census.waitDepth = static_cast<int>(waits_.size());
  return census;
}

void Bus::SetIntegration(LoopIntegration* integration) {
  if (integration_ != nullptr) {
    integration_->Unwatch(wakeFd_);
    integration_->Unwatch(timerFd_);
    for (const auto& [fd, handle] : listenerByFd_) integration_->Unwatch(fd);
    for (const auto& [id, connection] : connections_) {
      if (connection->watched != 0) integration_->Unwatch(connection->fd);
      connection->watched = 0;
    }
    for (const auto& [id, watch] : descriptorWatches_) integration_->Unwatch(watch.fd);
  }
  integration_ = integration;
  if (integration_ == nullptr) return;
  integration_->Watch(wakeFd_, LoopIntegration::Interest::Read);
  integration_->Watch(timerFd_, LoopIntegration::Interest::Read);
  for (const auto& [fd, handle] : listenerByFd_) {
    if (!pausedListeners_.contains(fd)) integration_->Watch(fd, LoopIntegration::Interest::Read);
  }
  for (const auto& [id, connection] : connections_) UpdateInterest(*connection);
  for (const auto& [id, watch] : descriptorWatches_) integration_->Watch(watch.fd, LoopIntegration::Interest::Read);
  if (!posted_.empty() || !goneToReport_.empty()) Wake();
}

}  // namespace vokar::desktop::detail
