#include "NetDdeClient.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

#include "Auth.h"
#include "DdeBook.h"
#include "ServiceName.h"
#include "Wire.h"

namespace vokar::netdde {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long Disconnect waits for the agent's answering TERMINATE.
constexpr milliseconds kTerminateWait{1000};
// How much is read from the socket at a time.
constexpr qint64 kReadChunk = 16 * 1024;

struct ConversationState : dde::DdeConversationBase {
  QTcpSocket* socket = nullptr;  // deleted later: it may be inside its own signal
  FrameReader reader;
  std::deque<Frame> frames;
  bool open = false;      // the socket is connected and nothing has broken
  bool refusedFrame = false;
  std::string broken;     // why the connection ended, when it did
  std::optional<QAbstractSocket::SocketError> socketError;  // while connecting
};

struct InstanceState : dde::DdeInstanceBase {
  ClientOptions options;
  std::string detail;
  Failure failure = Failure::None;
};

using Book = dde::CDdeBook<InstanceState, ConversationState>;

Book& State() {
  static Book* book = new Book;
  return *book;
}

InstanceState* FindInstance(DdeInstance id) { return State().FindInstance(id); }

ConversationState* FindConversation(std::uint32_t id) { return State().FindConversation(id); }

bool Fail(DdeInstance id, std::uint32_t error, std::string detail) {
  if (InstanceState* instance = FindInstance(id)) {
    instance->lastError = error;
    instance->detail = std::move(detail);
  }
  return false;
}

// Turns Qt's loop until done() holds or the deadline passes.
bool WaitUntil(const std::function<bool()>& done, Clock::time_point deadline, QEventLoop::ProcessEventsFlags flags) {
  while (!done()) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return done();
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(static_cast<int>(std::min<long long>(left, 1'000'000)));
    QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void Break(std::uint32_t id, std::string why) {
  ConversationState* conversation = FindConversation(id);
  if (conversation == nullptr || !conversation->open) return;
  conversation->open = false;
  conversation->broken = std::move(why);
}

void OnReadable(std::uint32_t id) {
  ConversationState* conversation = FindConversation(id);
  if (conversation == nullptr || conversation->socket == nullptr) return;
  while (conversation->socket->bytesAvailable() > 0) {
    const QByteArray bytes = conversation->socket->read(kReadChunk);
    if (bytes.isEmpty()) break;
    conversation->reader.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    std::string body;
    for (;;) {
      const auto status = conversation->reader.Next(body);
      if (status == FrameReader::Status::NeedMore) break;
      if (status == FrameReader::Status::Error) {
        Break(id, "the agent sent " + conversation->reader.error());
        conversation->socket->abort();
        return;
      }
      auto decoded = Decode(body);
      if (!decoded) {
        Break(id, "the agent sent a malformed frame: " + decoded.error);
        conversation->socket->abort();
        return;
      }
      conversation->frames.push_back(std::move(*decoded.frame));
    }
  }
}

bool Send(ConversationState& conversation, const Frame& frame) {
  const auto bytes = Encode(frame);
  if (!bytes || conversation.socket == nullptr || !conversation.open) return false;
  return conversation.socket->write(bytes->data(), static_cast<qint64>(bytes->size())) ==
         static_cast<qint64>(bytes->size());
}

// Waits for the next frame of the conversation; nothing when the connection
// broke or the deadline passed (*timedOut says which).
std::optional<Frame> NextFrame(std::uint32_t id, Clock::time_point deadline, QEventLoop::ProcessEventsFlags flags,
                               bool* timedOut = nullptr) {
  WaitUntil(
      [id] {
        const ConversationState* c = FindConversation(id);
        return c == nullptr || !c->frames.empty() || !c->open;
      },
      deadline, flags);
  ConversationState* conversation = FindConversation(id);
  if (timedOut != nullptr) *timedOut = false;
  if (conversation == nullptr) return std::nullopt;
  if (!conversation->frames.empty()) {
    Frame frame = std::move(conversation->frames.front());
    conversation->frames.pop_front();
    return frame;
  }
  if (timedOut != nullptr) *timedOut = conversation->open;
  return std::nullopt;
}

void Forget(std::uint32_t id) {
  ConversationState* conversation = FindConversation(id);
  if (conversation == nullptr) return;
  if (QTcpSocket* socket = conversation->socket) {
    QObject::disconnect(socket, nullptr, nullptr, nullptr);
    // What is written (the last TERMINATE) still goes out before the close.
    socket->flush();
    socket->disconnectFromHost();
    socket->deleteLater();
  }
  State().RemoveConversation(id);
}

// Why a connection did not come about: for the user, and in words.
struct Why {
  Failure failure = Failure::None;
  std::string detail;

  explicit operator bool() const { return failure != Failure::None; }
};

Why Refusal(const Refused& refused) {
  Why why{Failure::Broken, {}};
  switch (refused.reason) {
    case RefusedReason::WrongKey: why = {Failure::WrongKey, "the key is wrong"}; break;
    case RefusedReason::TooManyPeers: why = {Failure::TooManyPeers, "it serves too many peers now"}; break;
    case RefusedReason::BadFrame: why = {Failure::Broken, "it could not read what was sent"}; break;
    case RefusedReason::TooSlow: why = {Failure::TooSlow, "the handshake took too long"}; break;
    case RefusedReason::Idle: why = {Failure::TooSlow, "the connection was idle too long"}; break;
    case RefusedReason::WrongVersion: why = {Failure::OtherVersion, "it speaks another version"}; break;
    case RefusedReason::NotAllowed: why = {Failure::NotAllowed, "this computer is not on its list"}; break;
    case RefusedReason::OtherUser:
      why = {Failure::OtherUser, "without a key it lets in only the programs of its own user"};
      break;
    case RefusedReason::SettingsChanged: why = {Failure::SettingsChanged, "its settings changed"}; break;
  }
  if (why.detail.empty()) why.detail = "reason " + std::to_string(static_cast<int>(refused.reason));
  why.detail = "the agent refused the connection: " + why.detail + (refused.text.empty() ? "" : " (" + refused.text + ")");
  return why;
}

Why Closed(bool timedOut, const char* late) {
  return timedOut ? Why{Failure::NoAnswer, late} : Why{Failure::Broken, "the agent closed the connection"};
}

Failure ConnectFailure(std::optional<QAbstractSocket::SocketError> error) {
  if (!error) return Failure::NoAnswer;
  switch (*error) {
    case QAbstractSocket::HostNotFoundError: return Failure::HostNotFound;
    case QAbstractSocket::ConnectionRefusedError: return Failure::NobodyListens;
    default: return Failure::NoAnswer;
  }
}

// Connects, passes the handshake and has the topic accepted; nothing on
// success, else why not.
Why Establish(std::uint32_t id, const NetAddress& address, const std::string& service, const std::string& topic,
              const ClientOptions& options) {
  const auto deadline = Clock::now() + options.connectTimeout;
  // No user input while connecting: a button pressed meanwhile must not start
  // a second conversation of the same program.
  const auto flags = QEventLoop::ExcludeUserInputEvents;
  ConversationState* conversation = FindConversation(id);
  conversation->socket->connectToHost(QString::fromStdString(address.host), address.port);
  WaitUntil(
      [id] {
        const ConversationState* c = FindConversation(id);
        return c == nullptr || c->socket->state() == QAbstractSocket::ConnectedState || !c->broken.empty();
      },
      deadline, flags);
  conversation = FindConversation(id);
  if (conversation == nullptr) return {Failure::Broken, "the conversation was ended meanwhile"};
  if (conversation->socket->state() != QAbstractSocket::ConnectedState) {
    const std::string why = !conversation->broken.empty() ? conversation->broken
                                                          : std::string("no answer in time");
    return {ConnectFailure(conversation->socketError),
            "cannot connect to " + address.host + " port " + std::to_string(address.port) + ": " + why};
  }
  conversation->open = true;

  bool timedOut = false;
  auto frame = NextFrame(id, deadline, flags, &timedOut);
  if (!frame) return Closed(timedOut, "the agent did not greet in time");
  if (const auto* refused = std::get_if<Refused>(&*frame)) return Refusal(*refused);
  if (!std::holds_alternative<Hello>(*frame)) return {Failure::Broken, "the agent did not greet"};
  // A copy: the frame is reused for the answers that follow.
  const Hello greeting = std::get<Hello>(*frame);
  const Hello* hello = &greeting;
  if (hello->version != kProtocolVersion) return {Failure::OtherVersion, "the agent speaks another version"};
  if (hello->keyRequired && options.key.empty()) return {Failure::KeyMissing, "the agent wants a key and none is set"};

  Auth auth;
  auth.nonce = RandomNonce();
  if (hello->keyRequired) auth.proof = PeerProof(options.key, hello->nonce, auth.nonce);
  conversation = FindConversation(id);
  if (conversation == nullptr || !Send(*conversation, auth)) return {Failure::Broken, "the connection broke"};
  frame = NextFrame(id, deadline, flags, &timedOut);
  if (!frame) return Closed(timedOut, "the agent did not answer the key in time");
  if (const auto* refused = std::get_if<Refused>(&*frame)) return Refusal(*refused);
  const auto* welcome = std::get_if<Welcome>(&*frame);
  if (welcome == nullptr) return {Failure::Broken, "the agent did not let us in"};
  // An agent that asked for the key proves that it knows it too.
  if (hello->keyRequired && !ProofsEqual(welcome->proof, AgentProof(options.key, hello->nonce, auth.nonce))) {
    return {Failure::AgentLacksKey, "the agent does not know the key"};
  }

  conversation = FindConversation(id);
  if (conversation == nullptr || !Send(*conversation, Initiate{service, topic})) {
    return {Failure::Broken, "the connection broke"};
  }
  frame = NextFrame(id, deadline, flags, &timedOut);
  if (!frame) return Closed(timedOut, "the agent did not answer INITIATE in time");
  if (const auto* refused = std::get_if<Refused>(&*frame)) return Refusal(*refused);
  const auto* answer = std::get_if<InitiateAck>(&*frame);
  if (answer == nullptr) return {Failure::Broken, "the agent did not answer INITIATE"};
  if (!answer->accepted) return {Failure::NoServer, "no speech server answers for the share " + topic};
  return {};
}

}  // namespace

std::uint32_t Initialize(DdeInstance& instance, ClientOptions options) {
  instance = 0;
  if (!InitCrypto()) return dde::DMLERR_SYS_ERROR;
  InstanceState state;
  state.options = std::move(options);
  instance = State().AddInstance(std::move(state));
  return dde::DMLERR_NO_ERROR;
}

bool Uninitialize(DdeInstance instance) { return State().RemoveInstance(instance, netdde::Disconnect); }

StringHandle CreateStringHandle(DdeInstance instance, std::string_view text) {
  return State().CreateStringHandle(instance, text, kMaxName);
}

bool FreeStringHandle(DdeInstance instance, StringHandle handle) { return State().FreeStringHandle(instance, handle); }

std::string QueryString(DdeInstance instance, StringHandle handle) { return State().QueryString(instance, handle); }

Conversation Connect(DdeInstance instance, StringHandle service, StringHandle topic) {
  InstanceState* state = FindInstance(instance);
  if (state == nullptr) return {};
  if (!state->strings.contains(service.value) || !state->strings.contains(topic.value)) {
    Fail(instance, dde::DMLERR_INVALIDPARAMETER, "an unknown string handle");
    return {};
  }
  const std::string serviceName = state->strings[service.value];
  const std::string topicName = state->strings[topic.value];
  const ClientOptions options = state->options;
  const auto address = ParseServiceName(serviceName, options.defaultPort);
  if (!address) {
    Fail(instance, dde::DMLERR_NO_CONV_ESTABLISHED, "'" + serviceName + "' names no computer");
    if (InstanceState* failed = FindInstance(instance)) failed->failure = Failure::NoComputer;
    return {};
  }

  const std::uint32_t id = State().NewConversationId();
  auto conversation = std::make_unique<ConversationState>();
  conversation->instance = instance;
  conversation->socket = new QTcpSocket;
  QTcpSocket* socket = conversation->socket;
  QObject::connect(socket, &QTcpSocket::readyRead, socket, [id] { OnReadable(id); });
  QObject::connect(socket, &QTcpSocket::disconnected, socket, [id] {
    OnReadable(id);
    Break(id, "the agent closed the connection");
  });
  QObject::connect(socket, &QTcpSocket::errorOccurred, socket, [id, socket](QAbstractSocket::SocketError error) {
    ConversationState* c = FindConversation(id);
    if (c == nullptr) return;
    if (c->open) {
      OnReadable(id);
      Break(id, socket->errorString().toStdString());
    } else if (c->broken.empty()) {
      c->broken = socket->errorString().toStdString();
      c->socketError = error;
    }
  });
  State().AddConversation(id, std::move(conversation));

  const Why why = Establish(id, *address, serviceName, topicName, options);
  if (why) {
    Forget(id);
    Fail(instance, dde::DMLERR_NO_CONV_ESTABLISHED, why.detail);
    if (InstanceState* failed = FindInstance(instance)) failed->failure = why.failure;
    return {};
  }
  if (InstanceState* connected = FindInstance(instance)) connected->failure = Failure::None;
  return Conversation{id};
}

bool Disconnect(Conversation handle) {
  const std::uint32_t id = handle.value;
  ConversationState* conversation = FindConversation(id);
  if (conversation == nullptr) return false;
  if (conversation->open && Send(*conversation, Terminate{})) {
    const auto deadline = Clock::now() + kTerminateWait;
    for (;;) {
      auto frame = NextFrame(id, deadline, QEventLoop::ExcludeUserInputEvents);
      if (!frame || std::holds_alternative<Terminate>(*frame)) break;
    }
  }
  Forget(id);
  return true;
}

bool ClientTransaction(std::string_view data, Conversation handle, StringHandle item, std::uint16_t format,
                       TransactionType type, milliseconds timeout, std::uint32_t* result) {
  if (result != nullptr) *result = 0;
  if (!handle) {
    State().SetErrorEverywhere(dde::DMLERR_NO_CONV_ESTABLISHED);
    for (auto& [id, instance] : State().instances()) instance.detail = "no conversation";
    return false;
  }
  ConversationState* conversation = FindConversation(handle.value);
  if (conversation == nullptr) {
    State().SetErrorEverywhere(dde::DMLERR_INVALIDPARAMETER);
    for (auto& [id, instance] : State().instances()) instance.detail = "an unknown conversation";
    return false;
  }
  const std::uint32_t id = handle.value;
  const DdeInstance instanceId = conversation->instance;
  InstanceState* instance = FindInstance(instanceId);
  if (instance == nullptr) return false;
  if (instance->inTransaction) return Fail(instanceId, dde::DMLERR_REENTRANCY, "another transaction waits");

  const std::uint32_t transaction = State().NewDataHandle();
  Frame request;
  if (type == TransactionType::Poke) {
    auto it = instance->strings.find(item.value);
    if (it == instance->strings.end()) return Fail(instanceId, dde::DMLERR_INVALIDPARAMETER, "an unknown item");
    if (data.size() > MaxPokeData(it->second.size())) {
      return Fail(instanceId, dde::DMLERR_INVALIDPARAMETER, "the data is larger than one frame carries");
    }
    request = Poke{transaction, format, it->second, std::string(data)};
  } else {
    if (data.size() > MaxPokeData(0)) {
      return Fail(instanceId, dde::DMLERR_INVALIDPARAMETER, "the command is larger than one frame carries");
    }
    request = Execute{transaction, std::string(data)};
  }
  // What came since the last transaction: answers to transactions that timed
  // out, or the agent's TERMINATE when the server went away meanwhile.
  for (const Frame& early : conversation->frames) {
    if (std::holds_alternative<Terminate>(early)) Break(id, "the speech server ended the conversation");
  }
  conversation->frames.clear();
  if (!conversation->open) return Fail(instanceId, dde::DMLERR_SERVER_DIED, conversation->broken);
  if (!Send(*conversation, request)) return Fail(instanceId, dde::DMLERR_SERVER_DIED, "the connection broke");

  instance->inTransaction = true;
  const auto deadline = Clock::now() + timeout;
  std::optional<Ack> ack;
  bool terminated = false;
  for (;;) {
    auto frame = NextFrame(id, deadline, QEventLoop::AllEvents);
    if (!frame) break;
    if (const auto* answer = std::get_if<Ack>(&*frame); answer != nullptr && answer->handle == transaction) {
      ack = *answer;
      break;
    }
    if (std::holds_alternative<Terminate>(*frame)) {
      terminated = true;
      break;
    }
    // Anything else answers a transaction that has already timed out.
  }
  if (InstanceState* again = FindInstance(instanceId)) again->inTransaction = false;

  conversation = FindConversation(id);
  if (conversation == nullptr) return Fail(instanceId, dde::DMLERR_NO_CONV_ESTABLISHED, "the conversation was ended");
  if (ack) {
    if (result != nullptr) *result = ack->status;
    const dde::DdeAck decoded = dde::FromStatusWord(ack->status);
    if (decoded.ack) {
      if (InstanceState* done = FindInstance(instanceId)) done->detail.clear();
      return true;
    }
    return decoded.busy ? Fail(instanceId, dde::DMLERR_BUSY, "the server is busy")
                        : Fail(instanceId, dde::DMLERR_NOTPROCESSED, "the server refused it");
  }
  if (terminated) {
    // The agent ends the conversation when its server goes away; it is told
    // the conversation is over and the connection closes.
    Send(*conversation, Terminate{});
    conversation->open = false;
    conversation->broken = "the speech server ended the conversation";
  }
  if (!conversation->open) return Fail(instanceId, dde::DMLERR_SERVER_DIED, conversation->broken);
  return Fail(instanceId, type == TransactionType::Poke ? dde::DMLERR_POKEACKTIMEOUT : dde::DMLERR_EXECACKTIMEOUT,
              "no answer in time");
}

std::uint32_t GetLastError(DdeInstance instance) { return State().TakeLastError(instance); }

std::string LastDetail(DdeInstance instance) {
  const InstanceState* state = FindInstance(instance);
  return state == nullptr ? std::string() : state->detail;
}

Failure LastFailure(DdeInstance instance) {
  const InstanceState* state = FindInstance(instance);
  return state == nullptr ? Failure::None : state->failure;
}

}  // namespace vokar::netdde
