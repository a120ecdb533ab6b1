#include "Bus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

// How long connecting to a window may wait when its listen queue is full.
constexpr milliseconds kPostConnectWait{1000};

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

}  // namespace

Bus& Bus::Get() {
  // Never freed: windows held by other static objects may be destroyed after
  // exit handlers have run, and must still find a bus to talk to.
  static Bus* bus = new Bus;
  return *bus;
}

Bus::Bus() {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
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
      if (connection->outboxSent < connection->outbox.size()) waiting.push_back({connection->fd, POLLOUT, 0});
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
  endpoint->handle = WindowHandle{(std::uint64_t{static_cast<std::uint32_t>(::getpid())} << 32) | NextCounter()};
  endpoint->folder = folder;
  endpoint->title = std::string(title);
  endpoint->kind = kind;
  endpoint->handler = std::move(handler);
  const WindowHandle handle = endpoint->handle;
  RemoveEndpointFiles(folder, handle);

  sockaddr_un address;
  const auto socketPath = EndpointPath(folder, handle, EndpointFile::Socket);
  if (!FillAddress(socketPath, address)) return {{}, "the desktop folder's path is too long for a socket: " + folder.string()};

  // The lock is taken under a temporary name and renamed into place, so no
  // one ever sees the lock file of a live window unlocked.
  const auto lockPath = EndpointPath(folder, handle, EndpointFile::Lock);
  const std::string lockTemporary = lockPath.string() + ".tmp";
  endpoint->lockFd = ::open(lockTemporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (endpoint->lockFd < 0 || ::flock(endpoint->lockFd, LOCK_EX | LOCK_NB) != 0 ||
      ::rename(lockTemporary.c_str(), lockPath.c_str()) != 0) {
    const std::string error = std::string("cannot create the window's lock: ") + std::strerror(errno);
    if (endpoint->lockFd >= 0) ::close(endpoint->lockFd);
    RemoveEndpointFiles(folder, handle);
    return {{}, error};
  }

  endpoint->listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (endpoint->listenFd < 0 || ::bind(endpoint->listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(endpoint->listenFd, 128) != 0) {
    const std::string error = std::string("cannot open the window's socket: ") + std::strerror(errno);
    if (endpoint->listenFd >= 0) ::close(endpoint->listenFd);
    ::close(endpoint->lockFd);
    RemoveEndpointFiles(folder, handle);
    return {{}, error};
  }

  // The title file comes last: once it is there, others find a window that
  // is ready to answer.
  if (kind == WindowKind::TopLevel && !WriteTitleFile(folder, handle, title)) {
    const std::string error = std::string("cannot write the window's title: ") + std::strerror(errno);
    ::close(endpoint->listenFd);
    ::close(endpoint->lockFd);
    RemoveEndpointFiles(folder, handle);
    return {{}, error};
  }

  listenerByFd_[endpoint->listenFd] = handle.value;
  WatchFd(endpoint->listenFd, LoopIntegration::Interest::Read);
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

bool Bus::IsWindow(WindowHandle window) {
  if (!window) return false;
  if (window.processId() == static_cast<std::uint32_t>(::getpid())) return FindEndpoint(window) != nullptr;
  return EndpointAlive(DesktopFolder(), window);
}

Connection* Bus::FindConnection(std::uint64_t id) {
  auto it = connections_.find(id);
  return it == connections_.end() ? nullptr : it->second.get();
}

Connection* Bus::OutgoingConnection(WindowHandle window, Clock::time_point deadline) {
  if (auto it = outgoing_.find(window.value); it != outgoing_.end()) return FindConnection(it->second);

  const auto folder = DesktopFolder();
  sockaddr_un address;
  if (!FillAddress(EndpointPath(folder, window, EndpointFile::Socket), address)) return nullptr;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  for (;;) {
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
    // A full listen queue answers EAGAIN; the window is alive but busy, so
    // the connection is tried again until the caller's deadline.
    if (errno == EAGAIN && Clock::now() < deadline) {
      ::poll(nullptr, 0, 1);
      continue;
    }
    if (errno != EINTR) {
      ::close(fd);
      EndpointAlive(folder, window);  // removes the files of a dead window
      return nullptr;
    }
  }
  auto connection = std::make_unique<Connection>();
  connection->id = nextConnectionId_++;
  connection->fd = fd;
  connection->outgoing = true;
  connection->window = window;
  connection->folder = folder;
  Connection* raw = connection.get();
  outgoing_[window.value] = raw->id;
  AddConnection(std::move(connection));
  return raw;
}

void Bus::AddConnection(std::unique_ptr<Connection> connection) {
  connectionByFd_[connection->fd] = connection->id;
  WatchFd(connection->fd, LoopIntegration::Interest::Read);
  connections_[connection->id] = std::move(connection);
}

void Bus::CloseConnection(std::uint64_t id) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  std::unique_ptr<Connection> connection = std::move(it->second);
  connections_.erase(it);
  connectionByFd_.erase(connection->fd);
  UnwatchFd(connection->fd);
  ::close(connection->fd);
  if (!connection->outgoing) return;

  outgoing_.erase(connection->window.value);
  bool watched = false;
  for (const auto& [watchId, watch] : windowWatches_) watched = watched || watch.window == connection->window;
  if (!watched) return;
  // The window may still live (it may have dropped us for a frame it did not
  // like): then the watch gets a new connection, else it is reported.
  if (EndpointAlive(connection->folder, connection->window) &&
      OutgoingConnection(connection->window, Clock::now() + kPostConnectWait) != nullptr) {
    return;
  }
  for (const auto& [watchId, watch] : windowWatches_) {
    if (watch.window == connection->window) goneToReport_.push_back(watchId);
  }
  Wake();
}

void Bus::Enqueue(Connection& connection, const FrameHeader& header, std::string_view payload) {
  if (connection.outboxSent == connection.outbox.size()) {
    connection.outbox.clear();
    connection.outboxSent = 0;
  }
  connection.outbox += EncodeFrame(header, payload);
}

bool Bus::Flush(std::uint64_t id) {
  Connection* connection = FindConnection(id);
  if (connection == nullptr) return false;
  while (connection->outboxSent < connection->outbox.size()) {
    const ssize_t n = ::send(connection->fd, connection->outbox.data() + connection->outboxSent,
                             connection->outbox.size() - connection->outboxSent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      connection->outboxSent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      SetWriteInterest(*connection, true);
      return true;
    }
    CloseConnection(id);
    return false;
  }
  connection->outbox.clear();
  connection->outboxSent = 0;
  SetWriteInterest(*connection, false);
  return true;
}

void Bus::SetWriteInterest(Connection& connection, bool write) {
  if (connection.writeWatched == write) return;
  connection.writeWatched = write;
  WatchFd(connection.fd, write ? LoopIntegration::Interest::ReadWrite : LoopIntegration::Interest::Read);
}

SendResult Bus::Send(WindowHandle window, Message message, milliseconds timeout) {
  SendResult result;
  if (!window) return result;
  if (message.payload.size() > kMaxPayload) {
    result.status = SendStatus::Refused;
    return result;
  }
  message.window = window;

  // A window of this program is called directly, as the desktop does for a
  // window of the sender's own thread.
  if (window.processId() == static_cast<std::uint32_t>(::getpid())) {
    auto endpoint = FindEndpoint(window);
    if (!endpoint) return result;
    if (endpoint->handler) {
      ++dispatched_;
      result.result = endpoint->handler(message);
      result.reply = std::move(message.reply);
    }
    result.status = SendStatus::Ok;
    return result;
  }

  const auto deadline = Clock::now() + timeout;
  Connection* connection = OutgoingConnection(window, deadline);
  if (connection == nullptr) return result;
  const std::uint64_t connectionId = connection->id;
  const std::uint64_t serial = nextSerial_++;
  FrameHeader header;
  header.type = FrameType::Send;
  header.serial = serial;
  header.window = window.value;
  header.message = message.message;
  header.wParam = message.wParam;
  header.lParam = message.lParam;
  Enqueue(*connection, header, message.payload);
  awaiting_.insert(serial);
  Flush(connectionId);

  for (;;) {
    if (auto reply = replies_.find(serial); reply != replies_.end()) {
      result.status = reply->second.status == kReplyHandled ? SendStatus::Ok : SendStatus::NoWindow;
      result.result = reply->second.result;
      result.reply = std::move(reply->second.payload);
      replies_.erase(reply);
      break;
    }
    if (FindConnection(connectionId) == nullptr) {
      result.status = SendStatus::WindowGone;
      break;
    }
    if (Clock::now() >= deadline) {
      result.status = SendStatus::Timeout;
      break;
    }
    PollOnce(deadline, Scope::SentOnly);
  }
  awaiting_.erase(serial);
  return result;
}

bool Bus::Post(WindowHandle window, Message message) {
  if (!window || message.payload.size() > kMaxPayload) return false;
  message.window = window;
  if (window.processId() == static_cast<std::uint32_t>(::getpid())) {
    if (!FindEndpoint(window)) return false;
    QueuePosted(std::move(message));
    return true;
  }
  Connection* connection = OutgoingConnection(window, Clock::now() + kPostConnectWait);
  if (connection == nullptr) return false;
  if (connection->outbox.size() - connection->outboxSent > kMaxOutbox) {
    Log("refused a post: the window does not read its messages");
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

void Bus::QueuePosted(Message message) {
  posted_.push_back(std::move(message));
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
  for (const auto& [fd, handle] : listenerByFd_) fds.push_back({fd, POLLIN, 0});
  for (const auto& [id, connection] : connections_) {
    const short events = connection->outboxSent < connection->outbox.size() ? POLLIN | POLLOUT : POLLIN;
    fds.push_back({connection->fd, events, 0});
  }
  const std::size_t busFds = fds.size();
  std::vector<int> readyWatches;
  if (scope == Scope::All) {
    for (const auto& [id, watch] : descriptorWatches_) fds.push_back({watch.fd, POLLIN, 0});
  }

  const bool due = scope == Scope::All && (!posted_.empty() || !goneToReport_.empty());
  const int timeout = due ? 0 : RemainingMs(deadline);
  const int count = ::poll(fds.data(), fds.size(), timeout);
  if (count < 0 && errno != EINTR) Log(std::string("poll failed: ") + std::strerror(errno));

  if (count > 0) {
    for (std::size_t i = 0; i < busFds; ++i) {
      if (fds[i].revents == 0) continue;
      HandleReady(fds[i].fd, (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0, (fds[i].revents & POLLOUT) != 0);
    }
    for (std::size_t i = busFds; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      for (const auto& [id, watch] : descriptorWatches_) {
        if (watch.fd == fds[i].fd) readyWatches.push_back(id);
      }
    }
  }

  DispatchSent();
  if (scope == Scope::SentOnly) return;
  DispatchPosted();
  ReportGone();
  for (const int id : readyWatches) {
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
  } else if (listenerByFd_.contains(fd) || connectionByFd_.contains(fd)) {
    HandleReady(fd, true, true);
  } else {
    std::vector<int> ready;
    for (const auto& [id, watch] : descriptorWatches_) {
      if (watch.fd == fd) ready.push_back(id);
    }
    for (const int id : ready) {
      auto it = descriptorWatches_.find(id);
      if (it == descriptorWatches_.end()) continue;
      auto callback = it->second.onReadable;
      callback();
    }
  }
  DispatchSent();
  DispatchPosted();
  ReportGone();
}

void Bus::HandleReady(int fd, bool readable, bool writable) {
  if (auto listener = listenerByFd_.find(fd); listener != listenerByFd_.end()) {
    if (auto endpoint = FindEndpoint(WindowHandle{listener->second})) AcceptAll(*endpoint);
    return;
  }
  auto it = connectionByFd_.find(fd);
  if (it == connectionByFd_.end()) return;
  const std::uint64_t id = it->second;
  if (writable && !Flush(id)) return;
  if (readable) ReadConnection(id);
}

void Bus::AcceptAll(const Endpoint& endpoint) {
  for (;;) {
    const int fd = ::accept4(endpoint.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return;
    }
    // The folder is private, but a socket is checked again: only programs of
    // this user may speak to our windows.
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || credentials.uid != ::geteuid()) {
      Log("refused a connection from another user");
      ::close(fd);
      continue;
    }
    auto connection = std::make_unique<Connection>();
    connection->id = nextConnectionId_++;
    connection->fd = fd;
    connection->window = endpoint.handle;
    connection->folder = endpoint.folder;
    AddConnection(std::move(connection));
  }
}

void Bus::ReadConnection(std::uint64_t id) {
  char buffer[65536];
  for (;;) {
    Connection* connection = FindConnection(id);
    if (connection == nullptr) return;
    const ssize_t n = ::recv(connection->fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      CloseConnection(id);
      return;
    }
    connection->inbox.append(buffer, static_cast<std::size_t>(n));

    std::size_t used = 0;
    for (;;) {
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
  }
}

void Bus::Refuse(Connection& connection, const std::string& why, std::size_t offset) {
  Log("refused a frame (" + why + " at byte " + std::to_string(offset) + " of the stream); connection closed");
  CloseConnection(connection.id);
}

bool Bus::RouteFrame(Connection& connection, const FrameHeader& header, std::string payload) {
  if (header.type == FrameType::Reply) {
    if (!connection.outgoing) {
      Refuse(connection, "a reply where only requests may come", 6);
      return false;
    }
    // A reply that comes after its sender stopped waiting is dropped.
    if (awaiting_.contains(header.serial)) {
      replies_[header.serial] = Reply{header.wParam, header.lParam, std::move(payload)};
    }
    return true;
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
  if (header.type == FrameType::Send) {
    sent_.push_back({std::move(message), connection.id, header.serial});
  } else {
    QueuePosted(std::move(message));
  }
  return true;
}

void Bus::DispatchSent() {
  while (!sent_.empty()) {
    PendingSend pending = std::move(sent_.front());
    sent_.pop_front();
    FrameHeader reply;
    reply.type = FrameType::Reply;
    reply.serial = pending.serial;
    reply.message = pending.message.message;
    reply.wParam = kReplyNoWindow;
    if (auto endpoint = FindEndpoint(pending.message.window)) {
      reply.wParam = kReplyHandled;
      if (endpoint->handler) {
        ++dispatched_;
        reply.lParam = endpoint->handler(pending.message);
      }
    }
    Connection* connection = FindConnection(pending.connectionId);
    if (connection == nullptr) continue;
    std::string replyPayload = std::move(pending.message.reply);
    if (replyPayload.size() > kMaxPayload) replyPayload.resize(kMaxPayload);
    Enqueue(*connection, reply, replyPayload);
    Flush(pending.connectionId);
  }
}

void Bus::DispatchPosted() {
  // Only what was queued when the pass began: a handler that posts to its own
  // window must not keep this pass running for ever.
  for (std::size_t count = posted_.size(); count > 0 && !posted_.empty(); --count) {
    Message message = std::move(posted_.front());
    posted_.pop_front();
    auto endpoint = FindEndpoint(message.window);
    if (!endpoint || !endpoint->handler) continue;
    ++dispatched_;
    endpoint->handler(message);
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
  if (window.processId() == static_cast<std::uint32_t>(::getpid())) {
    if (!FindEndpoint(window)) goneToReport_.push_back(id);
  } else if (OutgoingConnection(window, Clock::now() + kPostConnectWait) == nullptr) {
    goneToReport_.push_back(id);
  }
  if (!goneToReport_.empty()) Wake();
  return id;
}

void Bus::CancelWatch(int id) { windowWatches_.erase(id); }

int Bus::WatchDescriptor(int fd, std::function<void()> onReadable) {
  const int id = nextWatchId_++;
  descriptorWatches_[id] = {fd, std::move(onReadable)};
  WatchFd(fd, LoopIntegration::Interest::Read);
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
  UnwatchFd(fd);
}

void Bus::WatchFd(int fd, LoopIntegration::Interest interest) {
  if (integration_ != nullptr) integration_->Watch(fd, interest);
}

void Bus::UnwatchFd(int fd) {
  if (integration_ != nullptr) integration_->Unwatch(fd);
}

void Bus::SetIntegration(LoopIntegration* integration) {
  if (integration_ != nullptr) {
    integration_->Unwatch(wakeFd_);
    for (const auto& [fd, handle] : listenerByFd_) integration_->Unwatch(fd);
    for (const auto& [id, connection] : connections_) integration_->Unwatch(connection->fd);
    for (const auto& [id, watch] : descriptorWatches_) integration_->Unwatch(watch.fd);
  }
  integration_ = integration;
  if (integration_ == nullptr) return;
  integration_->Watch(wakeFd_, LoopIntegration::Interest::Read);
  for (const auto& [fd, handle] : listenerByFd_) integration_->Watch(fd, LoopIntegration::Interest::Read);
  for (const auto& [id, connection] : connections_) {
    integration_->Watch(connection->fd, connection->writeWatched ? LoopIntegration::Interest::ReadWrite
                                                                 : LoopIntegration::Interest::Read);
  }
  for (const auto& [id, watch] : descriptorWatches_) integration_->Watch(watch.fd, LoopIntegration::Interest::Read);
  if (!posted_.empty() || !goneToReport_.empty()) Wake();
}

}  // namespace vokar::desktop::detail
