#include "Agent.h"

#include <QTcpSocket>

#include <algorithm>
#include <cstdio>

#include "Auth.h"
#include "DdeMessages.h"
#include "PeerOwner.h"
#include "RemoteText.h"
#include "ServiceName.h"

namespace vokar::netdde {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kServerTitle = "Vokar";
constexpr const char* kServerService = "Vokar";
constexpr const char* kServerTopic = "System";
constexpr const char* kPokeItem = "text";
// The item the text goes to the server as: the server reads it as a text from
// another computer (its tags act inside its own reading only). The peer names
// "text"; only the agent names this one.
constexpr const char* kSharePokeItem = "sharetext";
// How long the server may take to answer INITIATE; the agent waits on
// nothing else.
constexpr milliseconds kInitiateTimeout{2000};
// A peer being closed that does not take its last bytes is cut after this.
constexpr milliseconds kClosingGrace{5000};
// A poke that a reading still winding down after the peer's "break" refuses
// as busy is tried again every so often, for this long after the break.
constexpr milliseconds kBreakSettle{2000};
constexpr milliseconds kRetryEvery{50};
constexpr qint64 kReadChunk = 16 * 1024;
constexpr qint64 kSocketBuffer = 64 * 1024;
// At most this many log lines in one window; the rest are counted.
constexpr int kLogBurst = 20;
constexpr milliseconds kLogWindow{10000};

constexpr std::uint16_t kAckPositive = dde::kAckPositive;
constexpr std::uint16_t kAckBusy = dde::kAckBusy;
constexpr std::uint16_t kAckNegative = 0;

bool EqualsNoCase(std::string_view a, std::string_view b) { return dde::AtomNamesEqual(a, b); }

std::string Seconds(milliseconds ms) {
  const auto whole = ms.count() / 1000;
  const auto tenths = (ms.count() % 1000) / 100;
  return std::to_string(whole) + (tenths != 0 ? "." + std::to_string(tenths) : std::string()) + " s";
}

}  // namespace

CNetDdeAgent::CNetDdeAgent(AllowList allow, std::string key, AgentLimits limits, QObject* parent)
    : QObject(parent), allow_(std::move(allow)), key_(std::move(key)), limits_(limits) {
  log_ = [](const std::string& line) { std::fprintf(stderr, "vknetdde: %s\n", line.c_str()); };
  server_.setMaxPendingConnections(std::max(limits_.maxPeers, 30));
  // A burst of peers waits in the system's queue until it is taken (and
  // refused if there are too many), rather than losing its first packets.
  server_.setListenBacklogSize(std::max(2 * limits_.maxPeers, 256));
  connect(&server_, &QTcpServer::newConnection, this, [this] { OnNewConnection(); });
  connect(&tick_, &QTimer::timeout, this, [this] { OnTick(); });
}

CNetDdeAgent::~CNetDdeAgent() { Stop(); }

std::size_t CNetDdeAgent::ServedCount() const {
  return static_cast<std::size_t>(std::count_if(peers_.begin(), peers_.end(), [](const auto& entry) {
    return entry.second->stage == Stage::Ready || entry.second->stage == Stage::Conversing;
  }));
}

std::size_t CNetDdeAgent::GreetingCount() const {
  return static_cast<std::size_t>(std::count_if(
      peers_.begin(), peers_.end(), [](const auto& entry) { return entry.second->stage == Stage::Greeting; }));
}

milliseconds CNetDdeAgent::GreetingLimit() const { return std::min(limits_.greeting, limits_.handshake); }

void CNetDdeAgent::Reconfigure(AllowList allow, std::string key, AgentLimits limits) {
  const bool keyChanged = key != key_;
  allow_ = std::move(allow);
  key_ = std::move(key);
  limits_ = limits;
  if (keyChanged) {
    // Guesses at the old key say nothing of the new one.
    wrongKeys_.clear();
    bannedUntil_.clear();
  }
  std::vector<std::uint64_t> ids;
  for (const auto& [id, peer] : peers_) ids.push_back(id);
  for (const auto id : ids) {
    Peer* peer = FindPeer(id);
    if (peer == nullptr || peer->stage == Stage::Closing) continue;
    if (keyChanged) {
      Refuse(*peer, RefusedReason::SettingsChanged, "the key was changed");
    } else if (!allow_.Allows(peer->address)) {
      Refuse(*peer, RefusedReason::NotAllowed, "no longer in the allow-list");
    }
  }
}

bool CNetDdeAgent::Relisten(const QHostAddress& address, std::uint16_t port, std::string& error) {
  server_.close();
  std::vector<std::uint64_t> ids;
  for (const auto& [id, peer] : peers_) ids.push_back(id);
  for (const auto id : ids) {
    if (Peer* peer = FindPeer(id); peer != nullptr && peer->stage != Stage::Closing) {
      Refuse(*peer, RefusedReason::SettingsChanged, "the share now listens elsewhere");
    }
  }
  if (!server_.listen(address, port)) {
    error = "cannot listen on " + address.toString().toStdString() + " port " + std::to_string(port) + ": " +
            server_.errorString().toStdString();
    return false;
  }
  return true;
}

bool CNetDdeAgent::Start(const QHostAddress& address, std::uint16_t port, std::string& error) {
  if (!InitCrypto()) {
    error = "the cryptography library cannot be used";
    return false;
  }
  auto created = desktop::Window::Create(
      "", [this](desktop::Message& message) { return OnBusMessage(message); }, desktop::WindowKind::MessageOnly);
  if (!created.window) {
    error = "cannot use the desktop: " + created.error;
    return false;
  }
  window_ = std::move(created.window);
  if (!server_.listen(address, port)) {
    error = "cannot listen on " + address.toString().toStdString() + " port " + std::to_string(port) + ": " +
            server_.errorString().toStdString();
    window_.reset();
    return false;
  }
  tick_.start(100);
  return true;
}

void CNetDdeAgent::Stop() {
  tick_.stop();
  server_.close();
  std::vector<std::uint64_t> ids;
  for (const auto& [id, peer] : peers_) ids.push_back(id);
  for (const auto id : ids) {
    if (Peer* peer = FindPeer(id)) {
      if (peer->stage == Stage::Conversing) {
        EndConversation(*peer);
        Send(*peer, Terminate{});
        peer->socket->flush();
      }
      Drop(id);
    }
  }
  for (const auto& [server, watch] : serverWatches_) desktop::CancelWatch(watch);
  serverWatches_.clear();
  pending_.clear();
  window_.reset();
}

std::uint32_t CNetDdeAgent::NewHandle() {
  if (nextHandle_ == 0) nextHandle_ = 1;  // 0 is no handle
  return nextHandle_++;
}

CNetDdeAgent::Peer* CNetDdeAgent::FindPeer(std::uint64_t id) {
  auto it = peers_.find(id);
  return it == peers_.end() ? nullptr : it->second.get();
}

void CNetDdeAgent::Log(const std::string& line) {
  const auto now = Clock::now();
  if (now - logWindow_ > kLogWindow) {
    if (logSuppressed_ > 0 && log_) {
      log_("... and " + std::to_string(logSuppressed_) + " more such lines in " + Seconds(kLogWindow));
    }
    logWindow_ = now;
    logLines_ = 0;
    logSuppressed_ = 0;
  }
  if (logLines_ < kLogBurst) {
    ++logLines_;
    if (log_) log_(line);
  } else {
    ++logSuppressed_;
  }
}

bool CNetDdeAgent::Banned(const QHostAddress& address) {
  const QString key = address.toString();
  auto it = bannedUntil_.find(key);
  if (it == bannedUntil_.end()) return false;
  if (Clock::now() < it->second) return true;
  bannedUntil_.erase(it);
  return false;
}

void CNetDdeAgent::CountWrongKey(const QHostAddress& address) {
  const QString key = address.toString();
  auto& times = wrongKeys_[key];
  const auto now = Clock::now();
  times.push_back(now);
  while (!times.empty() && now - times.front() > limits_.wrongKeyWindow) times.pop_front();
  if (static_cast<int>(times.size()) >= limits_.wrongKeysAllowed) {
    bannedUntil_[key] = now + limits_.wrongKeyWindow;
    times.clear();
    Log(key.toStdString() + ": " + std::to_string(limits_.wrongKeysAllowed) + " wrong keys; for " +
        Seconds(limits_.wrongKeyWindow) + " every answer to it comes after " + Seconds(limits_.lockedOutAnswer));
  }
}

void CNetDdeAgent::TurnAway(QTcpSocket* socket, RefusedReason reason, const std::string& name,
                            const std::string& why) {
  ++counters_.refused;
  Log("refused " + name + ": " + why);
  // One small frame on a fresh connection goes whole into the system's
  // buffer; the connection is then closed without waiting for the peer.
  if (const auto bytes = Encode(Refused{reason, why.substr(0, kMaxName)})) {
    socket->write(bytes->data(), static_cast<qint64>(bytes->size()));
    socket->flush();
  }
  socket->disconnectFromHost();
  if (socket->state() != QAbstractSocket::UnconnectedState) socket->abort();
  socket->deleteLater();
}

std::optional<std::string> CNetDdeAgent::OtherUsersPeer(const QTcpSocket& socket, const QHostAddress& address) {
  const auto owner = LocalPeerOwner(address, socket.peerPort(), Normalized(socket.localAddress()), socket.localPort());
  if (owner) {
    if (*owner == limits_.localUser) return std::nullopt;
    return "a program of user " + std::to_string(*owner) + " of this computer, and no key is set";
  }
  // Not a program of this computer, as far as the lists say; on loopback it
  // must be one, so an owner that cannot be told is refused.
  if (address.isLoopback()) return "its user on this computer cannot be told, and no key is set";
  return std::nullopt;
}

void CNetDdeAgent::OnNewConnection() {
  while (server_.hasPendingConnections()) {
    QTcpSocket* socket = server_.nextPendingConnection();
    if (socket == nullptr) break;
    socket->setParent(nullptr);
    const QHostAddress address = Normalized(socket->peerAddress());
    const std::string name = address.toString().toStdString() + " port " + std::to_string(socket->peerPort());
    if (!allow_.Allows(address)) {
      TurnAway(socket, RefusedReason::NotAllowed, name, "not in the allow-list");
      continue;
    }
    if (key_.empty()) {
      if (const auto why = OtherUsersPeer(*socket, address)) {
        TurnAway(socket, RefusedReason::OtherUser, name, *why);
        continue;
      }
    }
    // Room for the newcomer among the peers being greeted: the one that has
    // waited longest goes. A crowd that never answers thus cannot keep out a
    // peer that answers at once.
    if (static_cast<int>(GreetingCount()) >= limits_.maxGreeting) {
      Peer* oldest = nullptr;
      for (const auto& [id, peer] : peers_) {
        if (peer->stage == Stage::Greeting && (oldest == nullptr || peer->accepted < oldest->accepted)) {
          oldest = peer.get();
        }
      }
      if (oldest != nullptr) {
        Refuse(*oldest, RefusedReason::TooSlow,
               "no answer to the greeting while " + std::to_string(limits_.maxGreeting) + " peers were being greeted");
      }
    }
    auto peer = std::make_unique<Peer>();
    peer->id = nextPeer_++;
    peer->socket = socket;
    peer->address = address;
    peer->name = name;
    peer->accepted = peer->lastFrame = Clock::now();
    peer->agentNonce = RandomNonce();
    socket->setReadBufferSize(kSocketBuffer);
    const std::uint64_t id = peer->id;
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { OnReadable(id); });
    // Queued, so that a peer is never dropped while its own frame is handled.
    connect(socket, &QTcpSocket::disconnected, this, [this, id] { OnDisconnected(id); }, Qt::QueuedConnection);
    Peer& added = *peer;
    peers_[id] = std::move(peer);
    ++counters_.accepted;
    Hello hello;
    hello.keyRequired = !key_.empty();
    hello.nonce = added.agentNonce;
    Send(added, hello);
  }
}

void CNetDdeAgent::OnReadable(std::uint64_t id) {
  Peer* peer = FindPeer(id);
  if (peer == nullptr) return;
  while (peer->socket->bytesAvailable() > 0) {
    const QByteArray bytes = peer->socket->read(kReadChunk);
    if (bytes.isEmpty()) break;
    if (peer->stage == Stage::Closing) continue;  // nothing more is taken from a peer being closed
    const bool wasInFrame = peer->reader.InFrame();
    peer->reader.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!wasInFrame) peer->frameStarted = Clock::now();
    std::string body;
    for (;;) {
      const auto status = peer->reader.Next(body);
      if (status == FrameReader::Status::NeedMore) break;
      if (status == FrameReader::Status::Error) {
        Refuse(*peer, RefusedReason::BadFrame, "sent " + peer->reader.error());
        return;
      }
      peer->lastFrame = Clock::now();
      auto decoded = Decode(body);
      if (!decoded) {
        Refuse(*peer, RefusedReason::BadFrame,
               "sent a malformed frame (" + decoded.error + " at byte " + std::to_string(decoded.offset) + ")");
        return;
      }
      HandleFrame(*peer, std::move(*decoded.frame));
      peer = FindPeer(id);
      if (peer == nullptr || peer->stage == Stage::Closing) return;
      // The next frame's clock starts with the bytes already here.
      if (peer->reader.InFrame()) peer->frameStarted = Clock::now();
    }
  }
}

void CNetDdeAgent::OnDisconnected(std::uint64_t id) {
  Peer* peer = FindPeer(id);
  if (peer == nullptr) return;
  if (peer->stage == Stage::Conversing) EndConversation(*peer);
  Drop(id);
}

void CNetDdeAgent::Drop(std::uint64_t id) {
  auto it = peers_.find(id);
  if (it == peers_.end()) return;
  QTcpSocket* socket = it->second->socket;
  disconnect(socket, nullptr, this, nullptr);
  socket->abort();
  socket->deleteLater();
  peers_.erase(it);
}

void CNetDdeAgent::OnTick() {
  const auto now = Clock::now();
  std::vector<std::pair<std::uint64_t, std::string>> cut;
  std::vector<std::uint64_t> stuck, answered;
  for (const auto& [id, peer] : peers_) {
    if (peer->stage == Stage::Closing) {
      if (now - peer->lastFrame > kClosingGrace) stuck.push_back(id);
      continue;
    }
    if (peer->verdict) {
      if (now >= peer->verdictAt) answered.push_back(id);
      continue;
    }
    if (peer->reader.InFrame() && now - peer->frameStarted > limits_.handshake) {
      cut.emplace_back(id, "too slow: a frame did not arrive whole within " + Seconds(limits_.handshake));
    } else if (peer->stage == Stage::Greeting && now - peer->accepted > GreetingLimit()) {
      cut.emplace_back(id, "too slow: no answer to the greeting within " + Seconds(GreetingLimit()));
    } else if (peer->stage != Stage::Greeting && !peer->transactionPending && now - peer->lastFrame > limits_.idle) {
      cut.emplace_back(id, "idle for " + Seconds(limits_.idle));
    }
  }
  for (const auto id : answered) {
    if (Peer* peer = FindPeer(id); peer != nullptr && peer->verdict) {
      const bool proved = *peer->verdict;
      peer->verdict.reset();
      Admit(*peer, proved, peer->agentProof);
    }
  }
  for (const auto& [id, why] : cut) {
    if (Peer* peer = FindPeer(id)) {
      const bool slow = why.starts_with("too slow");
      Refuse(*peer, slow ? RefusedReason::TooSlow : RefusedReason::Idle, why);
    }
  }
  for (const auto id : stuck) {
    if (Peer* peer = FindPeer(id)) {
      Log("cut " + peer->name + ": it did not take its last answer");
      Drop(id);
    }
  }
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (now > it->second.deadline) {
      if (Peer* peer = FindPeer(it->second.peer)) peer->transactionPending = false;
      it = pending_.erase(it);
    } else {
      ++it;
    }
  }
}

bool CNetDdeAgent::Send(Peer& peer, const Frame& frame) {
  const auto bytes = Encode(frame);
  if (!bytes) return false;
  peer.socket->write(bytes->data(), static_cast<qint64>(bytes->size()));
  if (peer.socket->bytesToWrite() > limits_.maxUnsent && peer.stage != Stage::Closing) {
    ++counters_.refused;
    Log("cut " + peer.name + ": it does not read its answers");
    if (peer.stage == Stage::Conversing) EndConversation(peer);
    peer.stage = Stage::Closing;
    peer.lastFrame = Clock::now();
    peer.socket->abort();
    return false;
  }
  return true;
}

void CNetDdeAgent::Answer(Peer& peer, std::uint32_t handle, std::uint16_t status) {
  Send(peer, Ack{handle, status});
}

void CNetDdeAgent::Refuse(Peer& peer, std::optional<RefusedReason> reason, const std::string& why) {
  if (peer.stage == Stage::Closing) return;
  ++counters_.refused;
  Log("refused " + peer.name + ": " + why);
  if (peer.stage == Stage::Conversing) EndConversation(peer);
  if (reason) Send(peer, Refused{*reason, why.substr(0, kMaxName)});
  Close(peer);
}

void CNetDdeAgent::Close(Peer& peer) {
  if (peer.stage == Stage::Closing) return;
  peer.stage = Stage::Closing;
  peer.lastFrame = Clock::now();
  // Writes what is left, then closes; the disconnected notice drops the peer.
  peer.socket->disconnectFromHost();
}

void CNetDdeAgent::EndConversation(Peer& peer) {
  if (peer.stage != Stage::Conversing) return;
  peer.stage = Stage::Ready;
  if (window_ && peer.server) dde::PostTerminate(peer.server, {window_->handle(), 0});
  peer.server = {};
}

void CNetDdeAgent::HandleFrame(Peer& peer, Frame frame) {
  switch (peer.stage) {
    case Stage::Greeting:
      // One answer to the greeting; nothing while its verdict is held back.
      if (const auto* auth = std::get_if<Auth>(&frame); auth != nullptr && !peer.verdict) return OnAuth(peer, *auth);
      break;
    case Stage::Ready:
      if (const auto* initiate = std::get_if<Initiate>(&frame)) return OnInitiate(peer, *initiate);
      if (std::holds_alternative<Terminate>(frame)) return OnTerminate(peer);
      break;
    case Stage::Conversing:
      if (const auto* poke = std::get_if<Poke>(&frame)) return OnPoke(peer, *poke);
      if (const auto* execute = std::get_if<Execute>(&frame)) return OnExecute(peer, *execute);
      if (std::holds_alternative<Terminate>(frame)) return OnTerminate(peer);
      if (const auto* initiate = std::get_if<Initiate>(&frame)) {
        // One conversation per connection.
        Send(peer, InitiateAck{false, initiate->application, initiate->topic});
        return;
      }
      break;
    case Stage::Closing:
      return;
  }
  Refuse(peer, RefusedReason::BadFrame, "sent " + std::string(FrameName(TypeOf(frame))) + " out of turn");
}

void CNetDdeAgent::OnAuth(Peer& peer, const Auth& auth) {
  if (auth.version != kProtocolVersion) {
    Refuse(peer, RefusedReason::WrongVersion, "speaks version " + std::to_string(auth.version));
    return;
  }
  bool proved = true;
  Proof agentProof{};
  if (!key_.empty()) {
    proved = ProofsEqual(auth.proof, PeerProof(key_, peer.agentNonce, auth.nonce));
    if (proved) agentProof = AgentProof(key_, peer.agentNonce, auth.nonce);
  }
  if (!key_.empty() && Banned(peer.address)) {
    // Too many wrong keys from this address lately: the answer, whichever it
    // is, comes later. Nobody who knows the key is kept out by another's
    // guesses; a guesser learns little each second.
    peer.verdict = proved;
    peer.verdictAt = Clock::now() + limits_.lockedOutAnswer;
    peer.agentProof = agentProof;
    return;
  }
  Admit(peer, proved, agentProof);
}

void CNetDdeAgent::Admit(Peer& peer, bool keyProved, const Proof& agentProof) {
  if (!keyProved) {
    const QHostAddress address = peer.address;
    Refuse(peer, RefusedReason::WrongKey, "wrong key");
    CountWrongKey(address);
    return;
  }
  if (static_cast<int>(ServedCount()) >= limits_.maxPeers) {
    Refuse(peer, RefusedReason::TooManyPeers, "already serving " + std::to_string(limits_.maxPeers) + " peers");
    return;
  }
  Welcome welcome;
  welcome.proof = agentProof;
  peer.stage = Stage::Ready;
  peer.lastFrame = Clock::now();
  Send(peer, welcome);
}

void CNetDdeAgent::OnInitiate(Peer& peer, const Initiate& initiate) {
  const bool ours = EqualsNoCase(initiate.topic, kShareTopic) &&
                    initiate.application.size() >= kShareSuffix.size() &&
                    EqualsNoCase(std::string_view(initiate.application).substr(initiate.application.size() -
                                                                                kShareSuffix.size()),
                                 kShareSuffix);
  const std::uint64_t id = peer.id;
  const desktop::WindowHandle server = ours ? desktop::FindWindow(kServerTitle) : desktop::WindowHandle{};
  bool accepted = false;
  if (server && window_ && serverWatches_.contains(server)) {
    // The server already took the agent's conversation and still runs: it
    // keeps no state per conversation, so the next peer is let in without
    // asking again. Asking is a wait of the whole agent, and on a busy
    // machine an answer that comes late gets the agent's further requests
    // held back by the bus: a crowd of peers must not make it ask each time.
    accepted = true;
  } else if (server && window_) {
    const auto request = dde::Encode(dde::Initiate{window_->handle(), kServerService, kServerTopic});
    initiating_ = server;
    initiateAnswered_ = false;
    // The server answers with a send of its own, which this wait takes.
    desktop::SendMessage(server, request.message, request.wParam, request.lParam, request.payload, kInitiateTimeout);
    initiating_ = {};
    accepted = initiateAnswered_;
  }
  // The peer may have gone, or been cut (the settings changed), while the
  // server was asked.
  if (const Peer* again = FindPeer(id); again == nullptr || again->stage != Stage::Ready) return;
  if (accepted) {
    peer.stage = Stage::Conversing;
    peer.server = server;
    if (!serverWatches_.contains(server)) {
      serverWatches_[server] = desktop::WatchWindow(server, [this, server] { OnServerGone(server); });
    }
  }
  Send(peer, InitiateAck{accepted, initiate.application, initiate.topic});
}

void CNetDdeAgent::OnPoke(Peer& peer, const Poke& poke) {
  if (poke.item != kPokeItem || poke.format != dde::CF_TEXT) {
    Answer(peer, poke.handle, kAckNegative);
    return;
  }
  if (peer.transactionPending) {
    Answer(peer, poke.handle, kAckBusy);
    return;
  }
  std::string text = poke.data;
  if (const std::size_t removed = RemoveWaveInserts(text); removed > 0) {
    counters_.waveInsertsRemoved += removed;
    Log("took " + std::to_string(removed) + " wave-insert tag" + (removed == 1 ? "" : "s") + " out of the text from " +
        peer.name);
  }
  Pending pending;
  pending.peer = peer.id;
  pending.peerHandle = poke.handle;
  pending.server = peer.server;
  pending.deadline = Clock::now() + limits_.transaction;
  pending.poke = true;
  pending.pokeData = std::move(text);
  if (peer.lastBreak != Clock::time_point{}) pending.retryUntil = peer.lastBreak + kBreakSettle;
  const std::uint32_t handle = NewHandle();
  if (!PostPoke(handle, pending)) {
    Answer(peer, poke.handle, desktop::IsWindow(peer.server) ? kAckBusy : kAckNegative);
    return;
  }
  peer.transactionPending = true;
  pending_[handle] = std::move(pending);
}

bool CNetDdeAgent::PostPoke(std::uint32_t busHandle, const Pending& pending) {
  if (!window_) return false;
  const auto message = dde::Encode(dde::Poke{window_->handle(), busHandle, kSharePokeItem,
                                             dde::PokeBlock{dde::kPokeRelease, dde::CF_TEXT, pending.pokeData}});
  if (!desktop::PostMessage(pending.server, message.message, message.wParam, message.lParam, message.payload)) {
    return false;
  }
  ++counters_.forwarded;
  return true;
}

void CNetDdeAgent::OnExecute(Peer& peer, const Execute& execute) {
  const std::string_view text = execute.command;
  const std::string_view command = text.substr(0, text.find('\0'));
  if (command != "read" && command != "pause" && command != "break" && command != "status") {
    Answer(peer, execute.handle, kAckNegative);
    return;
  }
  if (peer.transactionPending) {
    Answer(peer, execute.handle, kAckBusy);
    return;
  }
  const std::uint32_t handle = NewHandle();
  std::string data(command);
  data.push_back('\0');
  const auto message = dde::Encode(dde::Execute{window_->handle(), handle, data});
  if (!desktop::PostMessage(peer.server, message.message, message.wParam, message.lParam, message.payload)) {
    Answer(peer, execute.handle, desktop::IsWindow(peer.server) ? kAckBusy : kAckNegative);
    return;
  }
  ++counters_.forwarded;
  Pending pending;
  pending.peer = peer.id;
  pending.peerHandle = execute.handle;
  pending.server = peer.server;
  pending.deadline = Clock::now() + limits_.transaction;
  if (command == "break") pending.retryUntil = Clock::time_point::max();  // marks a break
  peer.transactionPending = true;
  pending_[handle] = std::move(pending);
}

void CNetDdeAgent::OnTerminate(Peer& peer) {
  EndConversation(peer);
  Send(peer, Terminate{});
  Close(peer);
}

std::int64_t CNetDdeAgent::OnBusMessage(desktop::Message& message) {
  if (message.message == dde::WM_DDE_ACK && initiating_) {
    const auto ack = dde::DecodeInitiateAck(message);
    // Only the server asked answers: the window the answer names must be the
    // sender's own, as the bus can prove it (by the credentials of both
    // connections, so that a server in another PID namespace, or an agent in
    // one, is recognised too).
    if (ack && ack.value->server == initiating_ && dde::SentByOwnerOf(message, initiating_)) {
      initiateAnswered_ = true;
    }
    return 0;
  }
  if (message.message != dde::WM_DDE_ACK) return 0;  // TERMINATE answers ours; nothing else is expected
  const auto ack = dde::DecodeTransactionAck(message);
  if (!ack) return 0;
  auto it = pending_.find(ack.value->handle);
  if (it == pending_.end()) return 0;
  if (ack.value->server != it->second.server || !dde::SentByOwnerOf(message, it->second.server)) {
    return 0;  // only the server the transaction went to answers it
  }
  Pending pending = std::move(it->second);
  pending_.erase(it);
  Peer* peer = FindPeer(pending.peer);
  if (peer == nullptr || peer->stage != Stage::Conversing) return 0;
  const std::uint16_t status = ack.value->status;
  const auto now = Clock::now();
  if (pending.poke && (status & kAckBusy) != 0 && now < pending.retryUntil) {
    // The reading that the peer's "break" stopped has not ended yet: the
    // text is handed over again shortly, within the settling time.
    const std::uint32_t retry = NewHandle();
    pending.deadline = now + limits_.transaction;
    const std::uint64_t peerId = peer->id;
    QTimer::singleShot(kRetryEvery, this, [this, retry, peerId, pending]() mutable {
      Peer* again = FindPeer(peerId);
      if (again == nullptr || again->stage != Stage::Conversing) return;
      if (!PostPoke(retry, pending)) {
        again->transactionPending = false;
        Answer(*again, pending.peerHandle, kAckBusy);
        return;
      }
      pending_[retry] = std::move(pending);
    });
    return 0;
  }
  if (!pending.poke && pending.retryUntil == Clock::time_point::max() && (status & kAckPositive) != 0) {
    peer->lastBreak = now;
  }
  peer->transactionPending = false;
  Answer(*peer, pending.peerHandle, status);
  return 0;
}

void CNetDdeAgent::OnServerGone(desktop::WindowHandle server) {
  serverWatches_.erase(server);
  std::vector<std::uint64_t> affected;
  for (const auto& [id, peer] : peers_) {
    if (peer->stage == Stage::Conversing && peer->server == server) affected.push_back(id);
  }
  for (auto it = pending_.begin(); it != pending_.end();) {
    it = it->second.server == server ? pending_.erase(it) : std::next(it);
  }
  for (const auto id : affected) {
    Peer* peer = FindPeer(id);
    if (peer == nullptr) continue;
    peer->server = {};
    peer->stage = Stage::Ready;
    peer->transactionPending = false;
    // The sender hears that the server ended the conversation.
    Send(*peer, Terminate{});
    Close(*peer);
  }
}

}  // namespace vokar::netdde
