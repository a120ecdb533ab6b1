#include "Ddeml.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "DdeBook.h"

namespace vokar::dde {
namespace {

using desktop::milliseconds;

// How long one window may take to answer INITIATE before the next is asked:
// a hung program must not stop the search for ever.
constexpr milliseconds kInitiateTimeout{2000};
// How long Disconnect waits for the server's answering TERMINATE.
constexpr milliseconds kTerminateWait{1000};
// Posted by a conversation's window to itself, so that the disconnect notice
// reaches the program from its message loop and never from inside a call.
constexpr std::uint32_t kNotifyDisconnect = desktop::WM_USER + 0x200;

struct ConversationState : DdeConversationBase {
  Conversation handle;
  std::string service;
  std::string topic;
  std::unique_ptr<desktop::Window> window;
  WindowHandle server;
  // The partner's program as this one sees it: only messages that the system
  // says come from it are believed, whatever window they name in wParam.
  desktop::PeerCredentials serverProcess;
  desktop::PeerCredentials candidateProcess;  // while initiating: the program being asked
  bool connected = false;
  bool initiating = false;
  bool terminating = false;
  bool terminateAnswered = false;
  int watch = 0;
  std::uint32_t awaitedHandle = 0;
  std::optional<std::uint16_t> ackStatus;
};

struct InstanceState : DdeInstanceBase {
  DdeCallback callback;
};

using Book = CDdeBook<InstanceState, ConversationState>;

// Never freed, like the bus: conversations still open at exit are closed by
// the bus's own clean-up, whatever order static objects die in.
Book& State() {
  static Book* book = new Book;
  return *book;
}

InstanceState* FindInstance(DdeInstance id) { return State().FindInstance(id); }

ConversationState* FindConversation(std::uint32_t id) { return State().FindConversation(id); }

void Log(const std::string& text) { std::fprintf(stderr, "vokar dde: %s\n", text.c_str()); }

// The conversation's server is gone (it ended the conversation or its window
// disappeared): the program hears of it from its message loop.
void LoseServer(ConversationState& conversation) {
  if (!conversation.connected) return;
  conversation.connected = false;
  if (conversation.watch != 0) desktop::CancelWatch(conversation.watch);
  conversation.watch = 0;
  desktop::PostMessage(conversation.window->handle(), kNotifyDisconnect, 0, 0);
}

std::int64_t HandleConversationMessage(std::uint32_t id, desktop::Message& message) {
  ConversationState* conversation = FindConversation(id);
  if (conversation == nullptr) return 0;
  switch (message.message) {
    case WM_DDE_ACK: {
      if (conversation->initiating) {
        const auto ack = DecodeInitiateAck(message);
        if (!ack) {
          Log("ignored a malformed answer to INITIATE: " + ack.error);
        } else if (!desktop::SameProcess(message.sender, conversation->candidateProcess) ||
                   !dde::SentByOwnerOf(message, ack.value->server)) {
          // Only the program asked may answer, and only with a window of its own.
          Log("ignored an answer to INITIATE from a program that was not asked");
        } else if (!conversation->server) {
          conversation->server = ack.value->server;
          conversation->serverProcess = message.sender;
        } else if (ack.value->server != conversation->server) {
          // A second server answered the same request: it is told at once
          // that the conversation will not take place.
          PostTerminate(ack.value->server, {conversation->window->handle(), 0});
        }
        return 0;
      }
      const auto ack = DecodeTransactionAck(message);
      if (!ack) {
        Log("ignored a malformed acknowledgement: " + ack.error);
      } else if (!desktop::SameProcess(message.sender, conversation->serverProcess)) {
        Log("ignored an acknowledgement that did not come from the conversation's server");
      } else if (conversation->awaitedHandle != 0 && ack.value->handle == conversation->awaitedHandle &&
                 ack.value->server == conversation->server) {
        conversation->ackStatus = ack.value->status;
      }
      // Anything else answers a transaction that has already timed out.
      return 0;
    }
    case WM_DDE_TERMINATE: {
      const auto terminate = DecodeTerminate(message);
      if (!terminate || terminate.value->sender != conversation->server) return 0;
      if (!desktop::SameProcess(message.sender, conversation->serverProcess)) {
        Log("ignored a TERMINATE that did not come from the conversation's server");
        return 0;
      }
      if (conversation->terminating) {
        conversation->terminateAnswered = true;
      } else if (conversation->connected) {
        PostTerminate(conversation->server, {conversation->window->handle(), terminate.value->lParam});
        LoseServer(*conversation);
      }
      return 0;
    }
    case kNotifyDisconnect: {
      const InstanceState* instance = FindInstance(conversation->instance);
      if (instance == nullptr || !instance->callback) return 0;
      // The callback may disconnect or uninitialise: nothing here is touched
      // after it.
      const DdeCallback callback = instance->callback;
      const Conversation handle = conversation->handle;
      callback(Notice::Disconnect, handle);
      return 0;
    }
    default:
      return 0;
  }
}

// Asks every window for the conversation's service and topic until one
// answers; then watches that window.
bool FindServer(std::uint32_t id) {
  ConversationState* conversation = FindConversation(id);
  if (conversation == nullptr) return false;
  conversation->initiating = true;
  conversation->server = {};
  conversation->serverProcess = {};
  const auto request = Encode(Initiate{conversation->window->handle(), conversation->service, conversation->topic});
  for (const auto& candidate : desktop::EnumerateWindows()) {
    const auto process = desktop::WindowOwner(candidate.window);
    conversation = FindConversation(id);
    if (conversation == nullptr) return false;
    if (!process) continue;
    conversation->candidateProcess = *process;
    desktop::SendMessage(candidate.window, request.message, request.wParam, request.lParam, request.payload,
                         kInitiateTimeout);
    conversation = FindConversation(id);
    if (conversation == nullptr) return false;
    if (conversation->server) break;
  }
  conversation->initiating = false;
  conversation->candidateProcess = {};
  if (!conversation->server) return false;
  conversation->connected = true;
  conversation->watch = desktop::WatchWindow(conversation->server, [id] {
    if (ConversationState* gone = FindConversation(id)) {
      gone->watch = 0;
      LoseServer(*gone);
    }
  });
  return true;
}

}  // namespace

std::uint32_t Initialize(DdeInstance& instance, DdeCallback callback, InitMode) {
  instance = 0;
  if (auto error = desktop::PrepareDesktopFolder(desktop::DesktopFolder())) {
    Log("cannot use the desktop: " + *error);
    return DMLERR_SYS_ERROR;
  }
  InstanceState state;
  state.callback = std::move(callback);
  instance = State().AddInstance(std::move(state));
  return DMLERR_NO_ERROR;
}

bool Uninitialize(DdeInstance instance) { return State().RemoveInstance(instance, Disconnect); }

StringHandle CreateStringHandle(DdeInstance instance, std::string_view text) {
  return State().CreateStringHandle(instance, text, kMaxAtomName);
}

bool FreeStringHandle(DdeInstance instance, StringHandle handle) { return State().FreeStringHandle(instance, handle); }

std::string QueryString(DdeInstance instance, StringHandle handle) { return State().QueryString(instance, handle); }

Conversation Connect(DdeInstance instance, StringHandle service, StringHandle topic) {
  InstanceState* state = FindInstance(instance);
  if (state == nullptr) return {};
  // A zero handle is the wildcard, as on the desktop; an unknown one is an
  // error.
  if ((service && !state->strings.contains(service.value)) || (topic && !state->strings.contains(topic.value))) {
    state->lastError = DMLERR_INVALIDPARAMETER;
    return {};
  }
  auto conversation = std::make_unique<ConversationState>();
  const std::uint32_t id = State().NewConversationId();
  conversation->handle = Conversation{id};
  conversation->instance = instance;
  conversation->service = service ? state->strings[service.value] : std::string();
  conversation->topic = topic ? state->strings[topic.value] : std::string();
  auto created = desktop::Window::Create(
      "", [id](desktop::Message& message) { return HandleConversationMessage(id, message); },
      desktop::WindowKind::MessageOnly);
  if (!created.window) {
    Log("cannot create a conversation window: " + created.error);
    state->lastError = DMLERR_SYS_ERROR;
    return {};
  }
  conversation->window = std::move(created.window);
  State().AddConversation(id, std::move(conversation));

  if (!FindServer(id)) {
    State().RemoveConversation(id);
    if (InstanceState* again = FindInstance(instance)) again->lastError = DMLERR_NO_CONV_ESTABLISHED;
    return {};
  }
  return Conversation{id};
}

Conversation Reconnect(Conversation handle) {
  ConversationState* conversation = FindConversation(handle.value);
  if (conversation == nullptr) return {};
  if (conversation->connected) return handle;
  const DdeInstance instance = conversation->instance;
  // A new window for the new conversation: whatever the old partner still
  // sends to the old one (the answer to our TERMINATE, say) finds no window.
  const std::uint32_t id = handle.value;
  auto created = desktop::Window::Create(
      "", [id](desktop::Message& message) { return HandleConversationMessage(id, message); },
      desktop::WindowKind::MessageOnly);
  if (!created.window) {
    Log("cannot create a conversation window: " + created.error);
    if (InstanceState* state = FindInstance(instance)) state->lastError = DMLERR_SYS_ERROR;
    return {};
  }
  conversation->window = std::move(created.window);
  if (FindServer(handle.value)) return handle;
  if (InstanceState* state = FindInstance(instance)) state->lastError = DMLERR_NO_CONV_ESTABLISHED;
  return {};
}

bool Disconnect(Conversation handle) {
  const std::uint32_t id = handle.value;
  ConversationState* conversation = FindConversation(id);
  if (conversation == nullptr) return false;
  if (conversation->connected) {
    conversation->terminating = true;
    conversation->terminateAnswered = false;
    if (PostTerminate(conversation->server, {conversation->window->handle(), 0})) {
      desktop::RunUntil(
          [id] {
            const ConversationState* waiting = FindConversation(id);
            return waiting == nullptr || waiting->terminateAnswered || !waiting->connected;
          },
          kTerminateWait);
    }
  }
  conversation = FindConversation(id);
  if (conversation == nullptr) return true;
  if (conversation->watch != 0) desktop::CancelWatch(conversation->watch);
  State().RemoveConversation(id);
  return true;
}

bool ClientTransaction(std::string_view data, Conversation handle, StringHandle item, std::uint16_t format,
                       TransactionType type, milliseconds timeout, std::uint32_t* result) {
  if (result != nullptr) *result = 0;
  if (!handle) {
    State().SetErrorEverywhere(DMLERR_NO_CONV_ESTABLISHED);
    return false;
  }
  ConversationState* conversation = FindConversation(handle.value);
  if (conversation == nullptr) {
    State().SetErrorEverywhere(DMLERR_INVALIDPARAMETER);
    return false;
  }
  const std::uint32_t id = handle.value;
  const DdeInstance instanceId = conversation->instance;
  const auto fail = [instanceId](std::uint32_t error) {
    if (InstanceState* instance = FindInstance(instanceId)) instance->lastError = error;
    return false;
  };
  InstanceState* instance = FindInstance(instanceId);
  if (instance == nullptr) return false;
  if (instance->inTransaction) return fail(DMLERR_REENTRANCY);

  std::string itemName;
  if (type == TransactionType::Poke) {
    auto it = instance->strings.find(item.value);
    if (it == instance->strings.end()) return fail(DMLERR_INVALIDPARAMETER);
    itemName = it->second;
  }
  // What one message can carry: a poke's payload is the item name, its NUL,
  // the DDEPOKE header and the data; an execute's is the command alone.
  const std::size_t payloadSize =
      type == TransactionType::Poke ? itemName.size() + 1 + kPokeHeaderSize + data.size() : data.size();
  if (payloadSize > desktop::kMaxPayload) return fail(DMLERR_INVALIDPARAMETER);
  if (!conversation->connected) return fail(DMLERR_SERVER_DIED);

  const std::uint32_t dataHandle = State().NewDataHandle();
  const WindowHandle own = conversation->window->handle();
  const desktop::Message message =
      type == TransactionType::Poke
          ? Encode(Poke{own, dataHandle, itemName, PokeBlock{kPokeRelease, format, std::string(data)}})
          : Encode(Execute{own, dataHandle, std::string(data)});
  if (!desktop::PostMessage(conversation->server, message.message, message.wParam, message.lParam, message.payload)) {
    LoseServer(*conversation);
    return fail(DMLERR_SERVER_DIED);
  }

  conversation->awaitedHandle = dataHandle;
  conversation->ackStatus.reset();
  instance->inTransaction = true;
  desktop::RunUntil(
      [id] {
        const ConversationState* waiting = FindConversation(id);
        return waiting == nullptr || waiting->ackStatus.has_value() || !waiting->connected;
      },
      timeout);
  if (InstanceState* again = FindInstance(instanceId)) again->inTransaction = false;

  conversation = FindConversation(id);
  if (conversation == nullptr) return fail(DMLERR_NO_CONV_ESTABLISHED);
  conversation->awaitedHandle = 0;
  if (conversation->ackStatus) {
    const std::uint16_t status = *conversation->ackStatus;
    if (result != nullptr) *result = status;
    const DdeAck ack = FromStatusWord(status);
    if (ack.ack) return true;
    return fail(ack.busy ? DMLERR_BUSY : DMLERR_NOTPROCESSED);
  }
  if (!conversation->connected) return fail(DMLERR_SERVER_DIED);
  return fail(type == TransactionType::Poke ? DMLERR_POKEACKTIMEOUT : DMLERR_EXECACKTIMEOUT);
}

std::uint32_t GetLastError(DdeInstance instance) { return State().TakeLastError(instance); }

}  // namespace vokar::dde
