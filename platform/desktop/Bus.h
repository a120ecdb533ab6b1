// The process's side of the desktop bus (internal): its windows' endpoints,
// the connections to and from other programs, the queues of sent and posted
// messages and the poll loop. Desktop.h is the face programs use.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

#include "Desktop.h"
#include "Frame.h"
#include "LoopIntegration.h"

namespace vokar::desktop::detail {

struct Endpoint {
  WindowHandle handle;
  std::filesystem::path folder;
  std::string title;
  WindowKind kind = WindowKind::TopLevel;
  MessageHandler handler;
  int listenFd = -1;
  int lockFd = -1;
};

struct Connection {
  std::uint64_t id = 0;
  int fd = -1;
  // Outgoing connections carry our sends and posts to another program's
  // window and bring back the replies; accepted ones carry other programs'
  // messages to one of our windows.
  bool outgoing = false;
  WindowHandle window;
  std::filesystem::path folder;
  std::string inbox;
  std::string outbox;
  std::size_t outboxSent = 0;
  bool writeWatched = false;
};

class Bus {
 public:
  static Bus& Get();

  // At exit: flushes what is still to be written, removes every endpoint of
  // this program and closes every connection. The bus stays usable.
  void Shutdown();

  struct CreateResult {
    WindowHandle handle;
    std::string error;
  };
  CreateResult CreateEndpoint(std::string_view title, MessageHandler handler, WindowKind kind);
  void DestroyEndpoint(WindowHandle handle);
  std::optional<std::string> TitleOf(WindowHandle handle) const;
  bool SetTitle(WindowHandle handle, std::string_view title);
  void SetHandler(WindowHandle handle, MessageHandler handler);

  bool IsWindow(WindowHandle window);
  SendResult Send(WindowHandle window, Message message, milliseconds timeout);
  bool Post(WindowHandle window, Message message);

  int Pump(milliseconds maxWait);
  int WatchWindow(WindowHandle window, std::function<void()> onGone);
  void CancelWatch(int id);
  int WatchDescriptor(int fd, std::function<void()> onReadable);
  void CancelDescriptor(int id);

  void SetIntegration(LoopIntegration* integration);
  void DescriptorReady(int fd);

 private:
  Bus();

  enum class Scope {
    SentOnly,  // a sender waiting for its result: only sent messages are handled
    All,       // the program's loop: everything is handled
  };

  struct PendingSend {
    Message message;
    std::uint64_t connectionId = 0;
    std::uint64_t serial = 0;
  };
  struct Reply {
    std::uint64_t status = kReplyHandled;
    std::int64_t result = 0;
    std::string payload;
  };
  struct WindowWatch {
    WindowHandle window;
    std::function<void()> onGone;
  };
  struct DescriptorWatch {
    int fd = -1;
    std::function<void()> onReadable;
  };

  std::uint32_t NextCounter();
  std::shared_ptr<Endpoint> FindEndpoint(WindowHandle handle) const;
  Connection* FindConnection(std::uint64_t id);
  Connection* OutgoingConnection(WindowHandle window, Clock::time_point deadline);
  void AddConnection(std::unique_ptr<Connection> connection);
  void CloseConnection(std::uint64_t id);
  void Enqueue(Connection& connection, const FrameHeader& header, std::string_view payload);
  bool Flush(std::uint64_t id);
  void SetWriteInterest(Connection& connection, bool write);

  void PollOnce(Clock::time_point deadline, Scope scope);
  void HandleReady(int fd, bool readable, bool writable);
  void AcceptAll(const Endpoint& endpoint);
  void ReadConnection(std::uint64_t id);
  bool RouteFrame(Connection& connection, const FrameHeader& header, std::string payload);
  void Refuse(Connection& connection, const std::string& why, std::size_t offset);

  void DispatchSent();
  void DispatchPosted();
  void ReportGone();
  void QueuePosted(Message message);
  void Wake();
  void WatchFd(int fd, LoopIntegration::Interest interest);
  void UnwatchFd(int fd);

  std::map<std::uint64_t, std::shared_ptr<Endpoint>> endpoints_;
  std::unordered_map<int, std::uint64_t> listenerByFd_;
  std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  std::unordered_map<int, std::uint64_t> connectionByFd_;
  std::map<std::uint64_t, std::uint64_t> outgoing_;  // target window -> connection id
  std::deque<PendingSend> sent_;
  std::deque<Message> posted_;
  std::set<std::uint64_t> awaiting_;
  std::map<std::uint64_t, Reply> replies_;
  std::map<int, WindowWatch> windowWatches_;
  std::map<int, DescriptorWatch> descriptorWatches_;
  std::deque<int> goneToReport_;
  std::string preparedFolder_;
  int wakeFd_ = -1;
  std::uint32_t counter_ = 0;
  std::uint64_t nextSerial_ = 1;
  std::uint64_t nextConnectionId_ = 1;
  int nextWatchId_ = 1;
  std::uint64_t dispatched_ = 0;
  LoopIntegration* integration_ = nullptr;
};

}  // namespace vokar::desktop::detail
