// The process's side of the desktop bus (internal): its windows' endpoints,
// the connections to and from other programs, the queues of sent and posted
// messages and the poll loop. Desktop.h is the face programs use.
//
// A program on the same desktop may misbehave, by mistake or on purpose, so
// everything another program can make this one hold is bounded: connections
// per window and per program, bytes per program and in total, requests
// waiting per connection, the depth of sends handled while a send waits, and
// the time a half-sent frame or an idle connection may stay. A wait never
// outlives the wait it is nested in, and no call blocks on another program.
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
#include <vector>

#include "Desktop.h"
#include "Frame.h"
#include "LoopIntegration.h"

namespace vokar::desktop::detail {

// The limits, in one place so that tests, the fuzz target and the benchmark
// speak of the same numbers.
struct Limits {
  // Sends handled inside the waits of sends of this program, one inside another.
  static constexpr int kMaxNesting = 16;
  // Sends of one program being handled at once here (the rest wait their turn),
  // so that one program's requests cannot fill the nesting for everyone.
  static constexpr int kMaxInProgressPerPeer = 4;
  // Requests read from one connection and not yet handled; beyond it the
  // connection is not read until they are.
  static constexpr std::size_t kMaxQueuedPerConnection = 32;
  // Replies a peer has not read; beyond it its requests are not read.
  static constexpr std::size_t kMaxUnsentReplies = 2 * kMaxPayload + 2 * kFrameHeaderSize;
  // Bytes one program may make this one hold (partial frames, waiting
  // requests, unread replies), and all programs together.
  static constexpr std::size_t kMaxBytesPerPeer = 4 * kMaxPayload + 16 * kFrameHeaderSize;
  static constexpr std::size_t kMaxBytesTotal = 64 * kMaxPayload;
  // Connections to one window from one program, and from all.
  static constexpr std::size_t kMaxConnectionsPerPeer = 8;
  static constexpr std::size_t kMaxConnectionsPerWindow = 128;
  // Connections this program keeps open to other programs' windows.
  static constexpr std::size_t kMaxOutgoing = 32;
  // A program whose request made this one wait for a send in vain (the
  // window it named did not answer in time) has its further requests held
  // back for this long, doubled at each repetition up to 8 times as long:
  // a program cannot keep this one waiting by naming windows that never
  // answer.
  static constexpr milliseconds kPenalty{10000};
  static constexpr int kMaxPenaltyDoublings = 3;
  // A frame must arrive whole within this time of its first byte.
  static constexpr milliseconds kPartialFrameTimeout{5000};
  // A connection that carried nothing for this long is closed. Our own
  // programs drop a connection idle for half as long before they use it again,
  // so a window never closes one that is about to carry a request.
  static constexpr milliseconds kIdleTimeout{120000};
  static constexpr milliseconds kOutgoingReuseLimit{60000};
  // A peer that reads none of its replies for this long is cut off.
  static constexpr milliseconds kStalledWriteTimeout{30000};
  // How often the bus looks at its connections' clocks.
  static constexpr milliseconds kTick{500};
};

using PeerKey = std::int64_t;

// The inode of a pidfd when it names its process in every namespace; 0 when
// the kernel's pidfds cannot tell processes apart.
std::uint64_t PidfdIdentity(int pidfd);

struct Endpoint {
  WindowHandle handle;
  std::filesystem::path folder;
  std::string title;
  WindowKind kind = WindowKind::TopLevel;
  MessageHandler handler;
  int listenFd = -1;
  int lockFd = -1;
  std::size_t connections = 0;  // accepted connections open now
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
  // The program at the other end, as the system reported it when the
  // connection was made (0 when unknown), and the key its bytes count under.
  std::uint32_t peerProcess = 0;
  PeerCredentials peerCredentials;
  PeerKey peer = 0;
  std::string inbox;
  std::string outbox;
  std::size_t outboxSent = 0;
  int watched = 0;  // the interest the loop integration was given (kWatchRead | kWatchWrite)
  bool paused = false;
  Clock::time_point lastActivity;
  Clock::time_point frameStarted;  // when the incomplete frame in the inbox began (while read)
  Clock::time_point lastWrite;     // the last progress with the outbox
  std::size_t queued = 0;          // requests read from it and not yet handled
  std::size_t handling = 0;        // of those, being handled now
  std::size_t held = 0;            // bytes counted to its peer
  std::size_t unsentCounted = 0;   // of its unsent bytes, those counted to its peer's answers
  std::size_t awaiting = 0;        // outgoing: sends waiting for a reply on it
  Clock::time_point created = Clock::now();
  std::deque<std::uint64_t> late;  // outgoing: serials of sends that stopped waiting
  std::size_t unsent() const { return outbox.size() - outboxSent; }
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
  std::uint32_t WindowProcess(WindowHandle window);
  std::optional<PeerCredentials> WindowOwner(WindowHandle window);
  SendResult Send(WindowHandle window, Message message, milliseconds timeout);
  bool Post(WindowHandle window, Message message);
  void CancelWaitingSends();
  // The desktop folder when it may be trusted; else nothing, and the user is
  // told once what is wrong with it.
  std::optional<std::filesystem::path> UsableFolder();

  int Pump(milliseconds maxWait);
  int WatchWindow(WindowHandle window, std::function<void()> onGone);
  void CancelWatch(int id);
  int WatchDescriptor(int fd, std::function<void()> onReadable, WatchScope scope);
  void CancelDescriptor(int id);

  void SetIntegration(LoopIntegration* integration);
  void DescriptorReady(int fd);

  // For tests and the fuzz target: what the bus holds now.
  struct Census {
    std::size_t connections = 0;
    std::size_t accepted = 0;
    std::size_t outgoing = 0;
    std::size_t queuedSends = 0;
    std::size_t queuedPosts = 0;
    std::size_t heldBytes = 0;
    int waitDepth = 0;
  };
  Census Count() const;
  // Runs the clock checks now, as if their time had come (for the fuzz target).
  void TickNow(Clock::time_point now);

 private:
  Bus();

  enum class Scope {
    SentOnly,  // a sender waiting for its result: only sent messages (and urgent watches) are handled
    All,       // the program's loop: everything is handled
  };

  struct PendingSend {
    Message message;
    std::uint64_t connectionId = 0;
    PeerKey peer = 0;
    std::size_t bytes = 0;
    std::uint64_t serial = 0;
  };
  struct PendingPost {
    Message message;
    std::uint64_t connectionId = 0;  // 0 for posts of this program
    PeerKey peer = 0;
    std::size_t bytes = 0;
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
    WatchScope scope = WatchScope::Loop;
  };
  struct Wait {
    Clock::time_point deadline;
    std::uint64_t cancelGeneration = 0;
  };
  enum class ConnectStatus { Connected, NoWindow, QueueFull };
  struct Outgoing {
    Connection* connection = nullptr;
    ConnectStatus status = ConnectStatus::NoWindow;
  };

  std::uint32_t NextCounter();
  std::shared_ptr<Endpoint> FindEndpoint(WindowHandle handle) const;
  Connection* FindConnection(std::uint64_t id);
  Outgoing OutgoingConnection(WindowHandle window);
  void TrimOutgoing();
  void AddConnection(std::unique_ptr<Connection> connection);
  void CloseConnection(std::uint64_t id);
  void Enqueue(Connection& connection, const FrameHeader& header, std::string_view payload);
  bool Flush(std::uint64_t id);

  bool CanRead(const Connection& connection) const;
  int DesiredInterest(const Connection& connection) const;
  void UpdateInterest(Connection& connection);
  void UpdateHeld(Connection& connection);
  void Release(PeerKey peer, std::size_t bytes);
  void ResumePaused();
  void SetLate(Connection& connection, std::uint64_t serial);

  void PollOnce(Clock::time_point deadline, Scope scope);
  void HandleReady(int fd, short events);
  void AcceptAll(Endpoint& endpoint);
  bool EvictIdle(Endpoint& endpoint);
  void ReadConnection(std::uint64_t id);
  void ProcessInbox(std::uint64_t id);
  bool RouteFrame(Connection& connection, const FrameHeader& header, std::string payload);
  void Refuse(Connection& connection, const std::string& why, std::size_t offset);

  bool MayDispatchSent(const PendingSend& pending) const;
  void Penalise(PeerKey peer);
  void DispatchSent();
  void DispatchPosted();
  void ReportGone();
  void RunWatches(const std::vector<int>& ready);
  void QueuePosted(PendingPost post);
  void Wake();
  void WatchFd(int fd, int interest);
  void UnwatchFd(int fd);
  void ArmTimer();
  void Tick(Clock::time_point now);
  void RetryWatches();
  void LogLimited(const std::string& kind, const std::string& text);

  std::map<std::uint64_t, std::shared_ptr<Endpoint>> endpoints_;
  std::unordered_map<int, std::uint64_t> listenerByFd_;
  std::set<int> pausedListeners_;
  std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  std::unordered_map<int, std::uint64_t> connectionByFd_;
  std::map<std::uint64_t, std::uint64_t> outgoing_;  // target window -> connection id
  std::set<std::uint64_t> paused_;                   // connections not read for now
  std::deque<PendingSend> sent_;
  std::deque<PendingPost> posted_;
  std::map<std::uint64_t, std::uint64_t> awaiting_;  // serial -> the connection its reply must come on
  std::map<std::uint64_t, Reply> replies_;
  std::map<PeerKey, std::size_t> peerBytes_;
  std::map<PeerKey, std::size_t> peerUnsent_;  // answers each program has not read yet
  std::map<PeerKey, int> inProgress_;
  std::vector<PeerKey> handlingPeers_;  // whose messages the handlers on the stack handle
  struct Penalty {
    Clock::time_point until;
    Clock::time_point last;
    int level = 0;
  };
  std::map<PeerKey, Penalty> penalties_;
  std::map<std::pair<std::uint64_t, PeerKey>, std::size_t> peerConnections_;  // (window, peer) -> count
  std::size_t heldTotal_ = 0;
  std::size_t maxConnections_ = 1024;
  std::vector<Wait> waits_;
  std::uint64_t cancelGeneration_ = 0;
  std::map<int, WindowWatch> windowWatches_;
  std::set<std::uint64_t> watchRetry_;  // watched windows whose connection must be made again
  std::map<int, DescriptorWatch> descriptorWatches_;
  std::deque<int> goneToReport_;
  struct LogCount {
    Clock::time_point since;
    int said = 0;
    std::size_t unsaid = 0;
  };
  std::map<std::string, LogCount> logged_;
  std::set<std::string> reportedFolders_;
  std::string preparedFolder_;
  int wakeFd_ = -1;
  int timerFd_ = -1;
  int spareFd_ = -1;
  bool timerArmed_ = false;
  bool resuming_ = false;
  int depth_ = 0;  // message handlers of this program on the stack
  std::uint32_t counter_ = 0;
  std::uint64_t nextSerial_ = 1;
  std::uint64_t nextConnectionId_ = 1;
  int nextWatchId_ = 1;
  std::uint64_t dispatched_ = 0;
  LoopIntegration* integration_ = nullptr;
};

inline constexpr int kWatchRead = 1;
inline constexpr int kWatchWrite = 2;

}  // namespace vokar::desktop::detail
