#include "DdeMessages.h"

#include "Cp1250.h"

namespace vokar::dde {
namespace {

template <typename T>
Decoded<T> Fail(std::string error, std::size_t offset = 0) {
  Decoded<T> decoded;
  decoded.error = std::move(error);
  decoded.offset = offset;
  return decoded;
}

template <typename T>
Decoded<T> Ok(T value) {
  Decoded<T> decoded;
  decoded.value = std::move(value);
  return decoded;
}

desktop::Message Make(std::uint32_t number, WindowHandle window, std::int64_t lParam, std::string payload) {
  desktop::Message message;
  message.message = number;
  message.wParam = window.value;
  message.lParam = lParam;
  message.payload = std::move(payload);
  return message;
}

std::string JoinNames(std::string_view first, std::string_view second) {
  std::string payload(first);
  payload.push_back('\0');
  payload.append(second);
  return payload;
}

// Splits "first NUL second" and checks both names.
bool SplitNames(std::string_view payload, std::string& first, std::string& second, std::string& error,
                std::size_t& offset) {
  const auto nul = payload.find('\0');
  if (nul == std::string_view::npos) {
    error = "the two atom names are not separated by a NUL";
    offset = payload.size();
    return false;
  }
  first = payload.substr(0, nul);
  second = payload.substr(nul + 1);
  if (second.find('\0') != std::string::npos) {
    error = "a NUL inside the second atom name";
    offset = nul + 1 + second.find('\0');
    return false;
  }
  if (first.size() > kMaxAtomName) {
    error = "the first atom name is longer than an atom";
    offset = 0;
    return false;
  }
  if (second.size() > kMaxAtomName) {
    error = "the second atom name is longer than an atom";
    offset = nul + 1;
    return false;
  }
  return true;
}

}  // namespace

std::uint16_t ToStatusWord(const DdeAck& ack) {
  std::uint16_t word = ack.appReturnCode;
  if (ack.busy) word |= kAckBusy;
  if (ack.ack) word |= kAckPositive;
  return word;
}

DdeAck FromStatusWord(std::uint16_t word) {
  return {static_cast<std::uint8_t>(word & 0xFF), (word & kAckBusy) != 0, (word & kAckPositive) != 0};
}

desktop::Message Encode(const Initiate& initiate) {
  return Make(WM_DDE_INITIATE, initiate.client, 0, JoinNames(initiate.application, initiate.topic));
}

desktop::Message Encode(const InitiateAck& ack) {
  return Make(WM_DDE_ACK, ack.server, 0, JoinNames(ack.application, ack.topic));
}

desktop::Message Encode(const Poke& poke) {
  std::string payload = poke.item;
  payload.push_back('\0');
  if (poke.block) {
    for (const std::uint16_t word : {poke.block->flags, poke.block->format}) {
      payload.push_back(static_cast<char>(word & 0xFF));
      payload.push_back(static_cast<char>(word >> 8));
    }
    payload += poke.block->data;
  }
  return Make(WM_DDE_POKE, poke.client, poke.dataHandle, std::move(payload));
}

desktop::Message Encode(const Execute& execute) {
  return Make(WM_DDE_EXECUTE, execute.client, execute.commandHandle, execute.command);
}

desktop::Message Encode(const TransactionAck& ack) {
  const auto lParam = static_cast<std::int64_t>(std::uint64_t{ack.status} | (std::uint64_t{ack.handle} << 16));
  return Make(WM_DDE_ACK, ack.server, lParam, ack.item);
}

desktop::Message Encode(const Terminate& terminate) {
  return Make(WM_DDE_TERMINATE, terminate.sender, terminate.lParam, {});
}

Decoded<Initiate> DecodeInitiate(const desktop::Message& message) {
  if (message.message != WM_DDE_INITIATE) return Fail<Initiate>("not an INITIATE message");
  Initiate initiate;
  initiate.client = WindowHandle{message.wParam};
  if (!initiate.client) return Fail<Initiate>("no client window in wParam");
  std::string error;
  std::size_t offset = 0;
  if (!SplitNames(message.payload, initiate.application, initiate.topic, error, offset)) {
    return Fail<Initiate>(error, offset);
  }
  return Ok(std::move(initiate));
}

Decoded<InitiateAck> DecodeInitiateAck(const desktop::Message& message) {
  if (message.message != WM_DDE_ACK) return Fail<InitiateAck>("not an ACK message");
  InitiateAck ack;
  ack.server = WindowHandle{message.wParam};
  if (!ack.server) return Fail<InitiateAck>("no server window in wParam");
  if (message.lParam != 0) return Fail<InitiateAck>("an INITIATE answer with a status word");
  std::string error;
  std::size_t offset = 0;
  if (!SplitNames(message.payload, ack.application, ack.topic, error, offset)) return Fail<InitiateAck>(error, offset);
  return Ok(std::move(ack));
}

Decoded<Poke> DecodePoke(const desktop::Message& message) {
  if (message.message != WM_DDE_POKE) return Fail<Poke>("not a POKE message");
  Poke poke;
  poke.client = WindowHandle{message.wParam};
  if (!poke.client) return Fail<Poke>("no client window in wParam");
  if (message.lParam < 0 || message.lParam > 0xFFFFFFFF) return Fail<Poke>("a data handle wider than 32 bits");
  poke.dataHandle = static_cast<std::uint32_t>(message.lParam);

  const std::string_view payload = message.payload;
  const auto nul = payload.find('\0');
  if (nul == std::string_view::npos) return Fail<Poke>("the item name has no NUL", payload.size());
  if (nul > kMaxAtomName) return Fail<Poke>("the item name is longer than an atom", 0);
  poke.item = payload.substr(0, nul);
  const std::string_view block = payload.substr(nul + 1);
  if (block.empty()) return Ok(std::move(poke));
  if (block.size() < kPokeHeaderSize) return Fail<Poke>("a DDEPOKE block shorter than its header", nul + 1);
  const auto byte = [&](std::size_t i) { return static_cast<std::uint16_t>(static_cast<unsigned char>(block[i])); };
  poke.block = PokeBlock{static_cast<std::uint16_t>(byte(0) | (byte(1) << 8)),
                         static_cast<std::uint16_t>(byte(2) | (byte(3) << 8)),
                         std::string(block.substr(kPokeHeaderSize))};
  return Ok(std::move(poke));
}

Decoded<Execute> DecodeExecute(const desktop::Message& message) {
  if (message.message != WM_DDE_EXECUTE) return Fail<Execute>("not an EXECUTE message");
  Execute execute;
  execute.client = WindowHandle{message.wParam};
  if (!execute.client) return Fail<Execute>("no client window in wParam");
  if (message.lParam < 0 || message.lParam > 0xFFFFFFFF) return Fail<Execute>("a command handle wider than 32 bits");
  execute.commandHandle = static_cast<std::uint32_t>(message.lParam);
  execute.command = message.payload;
  return Ok(std::move(execute));
}

Decoded<TransactionAck> DecodeTransactionAck(const desktop::Message& message) {
  if (message.message != WM_DDE_ACK) return Fail<TransactionAck>("not an ACK message");
  TransactionAck ack;
  ack.server = WindowHandle{message.wParam};
  if (!ack.server) return Fail<TransactionAck>("no server window in wParam");
  const auto packed = static_cast<std::uint64_t>(message.lParam);
  if ((packed >> 48) != 0) return Fail<TransactionAck>("bits above the handle are set in lParam");
  if ((packed & 0x3F00) != 0) return Fail<TransactionAck>("reserved bits of the status word are set");
  ack.status = static_cast<std::uint16_t>(packed & 0xFFFF);
  ack.handle = static_cast<std::uint32_t>(packed >> 16);
  if (message.payload.size() > kMaxAtomName) return Fail<TransactionAck>("the item name is longer than an atom", 0);
  if (message.payload.find('\0') != std::string::npos) {
    return Fail<TransactionAck>("a NUL inside the item name", message.payload.find('\0'));
  }
  ack.item = message.payload;
  return Ok(std::move(ack));
}

Decoded<Terminate> DecodeTerminate(const desktop::Message& message) {
  if (message.message != WM_DDE_TERMINATE) return Fail<Terminate>("not a TERMINATE message");
  Terminate terminate{WindowHandle{message.wParam}, message.lParam};
  if (!terminate.sender) return Fail<Terminate>("no window in wParam");
  if (!message.payload.empty()) return Fail<Terminate>("a TERMINATE carries no data", 0);
  return Ok(terminate);
}

bool AtomNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (cp1250::ToUpper(static_cast<unsigned char>(a[i])) != cp1250::ToUpper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool SentByOwnerOf(const desktop::Message& message, WindowHandle window) {
  if (!window) return false;
  // Decided by the credentials the system gives on both connections, so
  // that a program in another PID namespace (whose process id is 0 here)
  // is recognised as well.
  const auto owner = desktop::WindowOwner(window);
  return owner && desktop::SameProcess(message.sender, *owner);
}

bool SendInitiateAck(WindowHandle client, const InitiateAck& ack, desktop::milliseconds timeout) {
  const auto message = Encode(ack);
  return desktop::SendMessage(client, message.message, message.wParam, message.lParam, message.payload, timeout).ok();
}

bool PostTransactionAck(WindowHandle client, const TransactionAck& ack) {
  const auto message = Encode(ack);
  return desktop::PostMessage(client, message.message, message.wParam, message.lParam, message.payload);
}

bool PostTerminate(WindowHandle partner, const Terminate& terminate) {
  const auto message = Encode(terminate);
  return desktop::PostMessage(partner, message.message, message.wParam, message.lParam, message.payload);
}

}  // namespace vokar::dde
