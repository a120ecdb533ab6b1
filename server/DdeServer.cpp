#include "DdeServer.h"

#include "ServerIds.h"

namespace vokar::server {

using namespace vokar::dde;

namespace {

// A client that starts a conversation answers our acknowledgement at once,
// while it waits in its own connect call; one that does not is not waited for
// long. The window waits with every other client behind it, so a second is
// ample for a live client and bounds what a silent one can stall.
constexpr desktop::milliseconds kInitiateAckTimeout{1000};

}  // namespace

bool CBusDdeReplies::SentByOwnerOf(const desktop::Message& message, WindowHandle window) const {
  return dde::SentByOwnerOf(message, window);
}

bool CBusDdeReplies::SendInitiateAck(WindowHandle client, const InitiateAck& ack) {
  return dde::SendInitiateAck(client, ack, kInitiateAckTimeout);
}

bool CBusDdeReplies::PostTransactionAck(WindowHandle client, const TransactionAck& ack) {
  return dde::PostTransactionAck(client, ack);
}

bool CBusDdeReplies::PostTerminate(WindowHandle partner, const Terminate& terminate) {
  return dde::PostTerminate(partner, terminate);
}

ExecuteCommand ClassifyExecute(std::string_view command) {
  if (command.find("read") != std::string_view::npos) return ExecuteCommand::Read;
  if (command.find("pause") != std::string_view::npos) return ExecuteCommand::Pause;
  if (command.find("break") != std::string_view::npos) return ExecuteCommand::Break;
  if (command.find("status") != std::string_view::npos) return ExecuteCommand::Status;
  return ExecuteCommand::Other;
}

CDdeServer::CDdeServer(IDdeHost& host, IDdeReplies& replies, WindowHandle self, std::string service)
    : host_(host), replies_(replies), self_(self), service_(std::move(service)) {}

std::int64_t CDdeServer::Handle(const desktop::Message& message) {
  switch (message.message) {
    case WM_DDE_INITIATE: OnInitiate(message); break;
    case WM_DDE_POKE: OnPoke(message); break;
    case WM_DDE_EXECUTE: OnExecute(message); break;
    case WM_DDE_TERMINATE: OnTerminate(message); break;
    default: break;
  }
  return 0;
}

void CDdeServer::OnInitiate(const desktop::Message& message) {
  const auto initiate = DecodeInitiate(message);
  if (!initiate || !replies_.SentByOwnerOf(message, initiate.value->client)) return;
  // An empty name is the wildcard, which this server does not answer.
  if (initiate.value->application.empty() || initiate.value->topic.empty()) return;
  if (!AtomNamesEqual(initiate.value->application, service_) ||
      !AtomNamesEqual(initiate.value->topic, kDdeTopic))
    return;
  replies_.SendInitiateAck(initiate.value->client, {self_, service_, std::string(kDdeTopic)});
}

void CDdeServer::OnPoke(const desktop::Message& message) {
  DdeAck ack;
  const auto poke = DecodePoke(message);
  if (!poke) {
    // A poke that cannot be read whole (a block shorter than its header, a
    // handle too wide) is refused without looking at its data, when the
    // client and the handle can be told at all.
    const WindowHandle client{message.wParam};
    if (!client || message.lParam < 0 || message.lParam > 0xFFFFFFFF) return;
    if (!replies_.SentByOwnerOf(message, client)) return;
    const std::string_view payload = message.payload;
    const auto nul = payload.find('\0');
    std::string item;
    if (nul != std::string_view::npos && nul <= kMaxAtomName) item = payload.substr(0, nul);
    ack.busy = host_.JobRunning();
    replies_.PostTransactionAck(client,
                                {self_, ToStatusWord(ack), static_cast<std::uint32_t>(message.lParam), item});
    return;
  }
  if (!replies_.SentByOwnerOf(message, poke.value->client)) return;
  if (host_.JobRunning()) {
    ack.busy = true;
  } else if (poke.value->block) {
    // The item's name is read as the platform reads an atom, at most 31
    // characters, and compared exactly.
    const std::string_view item = std::string_view(poke.value->item).substr(0, 31);
    if ((item == kPokeItem || item == kSharePokeItem) && poke.value->block->format == CF_TEXT) {
      host_.StoreText(std::string_view(poke.value->block->data).substr(0, kMaxPokeBytes),
                      item == kSharePokeItem ? TextOrigin::Remote : TextOrigin::Local);
      ack.ack = true;
    }
  }
  replies_.PostTransactionAck(poke.value->client,
                              {self_, ToStatusWord(ack), poke.value->dataHandle, poke.value->item});
}

void CDdeServer::OnExecute(const desktop::Message& message) {
  const auto execute = DecodeExecute(message);
  if (!execute || !replies_.SentByOwnerOf(message, execute.value->client)) return;
  std::string_view command = execute.value->command;
  command = command.substr(0, command.find('\0'));
  command = command.substr(0, kMaxExecuteChars);
  DdeAck ack;
  switch (ClassifyExecute(command)) {
    case ExecuteCommand::Read:
      if (!host_.JobRunning()) {
        host_.PostReadText();
      } else {
        host_.SetStopped(false);
      }
      break;
    case ExecuteCommand::Pause:
      if (host_.JobRunning()) host_.SetStopped(true);
      break;
    case ExecuteCommand::Break:
      if (host_.JobRunning()) host_.Break();
      break;
    case ExecuteCommand::Status:
      if (host_.Stopped()) ack.appReturnCode |= 2;
      if (host_.JobRunning()) ack.appReturnCode |= 1;
      break;
    case ExecuteCommand::Other:
      // Acknowledged and nothing else: a command text never opens a file or
      // starts a program.
      break;
  }
  ack.ack = true;
  replies_.PostTransactionAck(execute.value->client, {self_, ToStatusWord(ack), execute.value->commandHandle, {}});
}

void CDdeServer::OnTerminate(const desktop::Message& message) {
  const auto terminate = DecodeTerminate(message);
  if (!terminate || !replies_.SentByOwnerOf(message, terminate.value->sender)) return;
  replies_.PostTerminate(terminate.value->sender, {self_, terminate.value->lParam});
}

}  // namespace vokar::server
