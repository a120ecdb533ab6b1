// The agent of the share "VOKAR$": it listens on the configured address,
// lets in only peers of the allow-list that pass the key's challenge, and
// carries each peer's DDE conversation to the speech server's window on this
// desktop. Only the share's conversation goes through: INITIATE of topic
// "VOKAR$", POKE of item "text" in CF_TEXT (with every wave-insert tag taken
// out), EXECUTE of "read", "pause", "break" and "status", and TERMINATE;
// anything else is answered by the agent itself and never reaches the
// server. Every peer is served from the one event loop without waiting on
// another: the server is asked with posts whose answers come back as
// messages, and only INITIATE waits, briefly, for the server's answer.
//
// The text a peer pokes goes to the server as item "sharetext": the server
// reads it as a text from another computer, whose tags shape only its own
// reading. Peers that have not yet proved the key have a limit of their own
// and a short deadline, so that they never keep out one that can; an address
// that guessed wrong keys waits for its answers, and still gets in with the
// right one. Without a key, of the programs on this computer only those of
// the agent's own user are let in.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "AgentConfig.h"
#include "Desktop.h"
#include "Wire.h"

class QTcpSocket;

namespace vokar::netdde {

struct AgentLimits {
  std::chrono::milliseconds idle{60000};
  std::chrono::milliseconds handshake{10000};
  // Peers let in (past the key) at once.
  int maxPeers = 64;
  // Peers that have not yet answered the greeting: at most this many at once
  // (a new one pushes out the one that has waited longest), each for at most
  // this long (or the handshake's limit when that is shorter).
  int maxGreeting = 64;
  std::chrono::milliseconds greeting{3000};
  // How long an answer of the server is waited for before the agent forgets
  // the transaction (the sender gives up after 30 s).
  std::chrono::milliseconds transaction{35000};
  // A peer that does not read its answers is cut when this much waits for it.
  qint64 maxUnsent = 256 * 1024;
  // After this many wrong keys from one address within the window, the
  // address is refused for the window's length.
  int wrongKeysAllowed = 5;
  std::chrono::milliseconds wrongKeyWindow{60000};
  // Meanwhile each answer to a peer of that address, right key or wrong,
  // comes after this long: guessing slows down, the key still lets in.
  std::chrono::milliseconds lockedOutAnswer{1000};
  // Without a key, the user whose programs on this computer are let in.
  uid_t localUser = ::geteuid();
};

// What the agent has done since it started, for --status and the tests.
struct AgentCounters {
  std::uint64_t accepted = 0;
  std::uint64_t refused = 0;
  std::uint64_t forwarded = 0;  // pokes and executes handed to the server
  std::uint64_t waveInsertsRemoved = 0;
};

class CNetDdeAgent final : public QObject {
 public:
  CNetDdeAgent(AllowList allow, std::string key, AgentLimits limits, QObject* parent = nullptr);
  ~CNetDdeAgent() override;

  // Creates the agent's window on the desktop bus and starts listening;
  // false with the reason when either fails.
  bool Start(const QHostAddress& address, std::uint16_t port, std::string& error);

  // Ends every conversation (the server is told) and stops listening.
  void Stop();

  // New settings for the running agent: peers let in under the old key, and
  // those the allow-list no longer names, are cut at once; the limits hold
  // for what comes next.
  void Reconfigure(AllowList allow, std::string key, AgentLimits limits);
  // Cuts every peer and listens on another address or port; false with the
  // reason when that fails (then it listens nowhere).
  bool Relisten(const QHostAddress& address, std::uint16_t port, std::string& error);

  std::uint16_t port() const { return server_.serverPort(); }
  QHostAddress address() const { return server_.serverAddress(); }
  std::size_t PeerCount() const { return peers_.size(); }
  // Peers let in, and peers still being greeted.
  std::size_t ServedCount() const;
  std::size_t GreetingCount() const;
  const AgentCounters& counters() const { return counters_; }

  // Where the agent says what it refused and why (standard error by default).
  void SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

 private:
  enum class Stage { Greeting, Ready, Conversing, Closing };
  struct Peer {
    std::uint64_t id = 0;
    QTcpSocket* socket = nullptr;
    QHostAddress address;
    std::string name;
    FrameReader reader;
    Stage stage = Stage::Greeting;
    Nonce agentNonce{};
    std::chrono::steady_clock::time_point accepted, lastFrame, frameStarted;
    desktop::WindowHandle server;
    bool transactionPending = false;
    std::chrono::steady_clock::time_point lastBreak;
    // An answer held back while the peer's address is locked out.
    std::optional<bool> verdict;
    std::chrono::steady_clock::time_point verdictAt;
    Proof agentProof{};
  };
  struct Pending {
    std::uint64_t peer = 0;
    std::uint32_t peerHandle = 0;
    desktop::WindowHandle server;
    std::chrono::steady_clock::time_point deadline;
    bool poke = false;
    std::string pokeData;  // kept for a retry while a broken reading winds down
    std::chrono::steady_clock::time_point retryUntil;
  };

  void OnNewConnection();
  void OnReadable(std::uint64_t id);
  void OnDisconnected(std::uint64_t id);
  void OnTick();
  void HandleFrame(Peer& peer, Frame frame);
  void OnAuth(Peer& peer, const Auth& auth);
  // Lets the peer in (when there is room) or refuses its key.
  void Admit(Peer& peer, bool keyProved, const Proof& agentProof);
  // Refuses a connection before it is a peer: one frame, then closed.
  void TurnAway(QTcpSocket* socket, RefusedReason reason, const std::string& name, const std::string& why);
  // Without a key: why a peer of this computer is not let in, or nothing.
  std::optional<std::string> OtherUsersPeer(const QTcpSocket& socket, const QHostAddress& address);
  std::chrono::milliseconds GreetingLimit() const;
  void OnInitiate(Peer& peer, const Initiate& initiate);
  void OnPoke(Peer& peer, const Poke& poke);
  void OnExecute(Peer& peer, const Execute& execute);
  void OnTerminate(Peer& peer);
  bool PostPoke(std::uint32_t busHandle, const Pending& pending);
  std::int64_t OnBusMessage(desktop::Message& message);
  void OnServerGone(desktop::WindowHandle server);

  bool Send(Peer& peer, const Frame& frame);
  void Answer(Peer& peer, std::uint32_t handle, std::uint16_t status);
  // Refuses the peer: tells it why (when reason is given), says so on the log
  // and closes the connection once the refusal is written.
  void Refuse(Peer& peer, std::optional<RefusedReason> reason, const std::string& why);
  void Close(Peer& peer);
  void Drop(std::uint64_t id);
  void EndConversation(Peer& peer);
  void Log(const std::string& line);
  bool Banned(const QHostAddress& address);
  void CountWrongKey(const QHostAddress& address);
  Peer* FindPeer(std::uint64_t id);
  std::uint32_t NewHandle();

  AllowList allow_;
  std::string key_;
  AgentLimits limits_;
  QTcpServer server_;
  QTimer tick_;
  std::unique_ptr<desktop::Window> window_;
  std::map<std::uint64_t, std::unique_ptr<Peer>> peers_;
  std::map<std::uint32_t, Pending> pending_;
  std::map<desktop::WindowHandle, int> serverWatches_;
  std::map<QString, std::deque<std::chrono::steady_clock::time_point>> wrongKeys_;
  std::map<QString, std::chrono::steady_clock::time_point> bannedUntil_;
  std::uint64_t nextPeer_ = 1;
  std::uint32_t nextHandle_ = 1;
  // While INITIATE waits for the server's answer.
  desktop::WindowHandle initiating_;
  bool initiateAnswered_ = false;
  AgentCounters counters_;
  std::function<void(const std::string&)> log_;
  // Log lines are limited, so that a flood of refused peers cannot flood it.
  std::chrono::steady_clock::time_point logWindow_;
  int logLines_ = 0;
  int logSuppressed_ = 0;
};

}  // namespace vokar::netdde
