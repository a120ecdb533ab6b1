#include "NetSpeechClient.h"

#include <cstdio>
#include <cstring>

#include "ClientText.h"
#include "Desktop.h"
#include "MessageBox.h"
#include "ServiceName.h"
#include "SievoIds.h"
#include "SievoStrings.h"
#include "SpeechClientTexts.h"

namespace vokar::netsend {
using speechclient::Format;
using speechclient::kNotRegisteredAsClient;
using speechclient::WithNul;

NetSpeechClient::NetSpeechClient(NetSpeechOptions options) : options_(std::move(options)) {}

NetSpeechClient::~NetSpeechClient() { Disconnect(); }

bool NetSpeechClient::Connect(desktop::WindowHandle mainWindow, QWidget* owner) {
  mainWindow_ = mainWindow;
  owner_ = owner;
  if (instance_ != 0) return true;
  if (netdde::Initialize(instance_, options_.network) != dde::DMLERR_NO_ERROR) {
    instance_ = 0;
    msgbox::ShowMessageBox(options_.title, Format(kNotRegisteredAsClient, options_.title.c_str()),
                           msgbox::Icon::Warning, msgbox::Buttons::Ok, msgbox::DefaultButton::First, owner_);
    return false;
  }
  title_ = netdde::CreateStringHandle(instance_, options_.title);
  system_ = netdde::CreateStringHandle(instance_, "system");  // made, as ever, and never used
  item_ = netdde::CreateStringHandle(instance_, "text");
  topic_ = netdde::CreateStringHandle(instance_, netdde::kShareTopic);
  return true;
}

bool NetSpeechClient::ConnectTo(std::string_view computer) {
  if (instance_ == 0) return false;
  CloseConversation();
  service_ = netdde::CreateStringHandle(instance_, netdde::MakeServiceName(computer));
  conversation_ = service_ ? netdde::Connect(instance_, service_, topic_) : netdde::Conversation{};
  if (!conversation_) {
    NoteDetail();
    const netdde::Failure failure = service_ ? netdde::LastFailure(instance_) : netdde::Failure::NoComputer;
    if (service_) netdde::FreeStringHandle(instance_, service_);
    service_ = {};
    // The message says why, in a sentence of its own below the old one.
    std::string text = Strings().Utf8(IDS_NO_CONNECTION);
    const std::string why = FailureText(failure, computer);
    if (!why.empty()) text += "\n\n" + why;
    msgbox::ShowMessageBox(options_.title, text, msgbox::Icon::Warning, msgbox::Buttons::Ok,
                           msgbox::DefaultButton::First, owner_);
    return false;
  }
  return true;
}

std::string NetSpeechClient::ServiceName() const {
  return service_ ? netdde::QueryString(instance_, service_) : std::string();
}

bool NetSpeechClient::Transaction(std::string_view data, netdde::TransactionType type) {
  const bool poke = type == netdde::TransactionType::Poke;
  return netdde::ClientTransaction(data, conversation_, poke ? item_ : netdde::StringHandle{},
                                   poke ? dde::CF_TEXT : std::uint16_t{0}, type, options_.timeout, nullptr);
}

bool NetSpeechClient::BreakSpeech() { return Transaction(WithNul("break"), netdde::TransactionType::Execute); }

int NetSpeechClient::Speak(const char* text, BreakFirst breakFirst) {
  if (text == nullptr) return kSpeakSent;
  if (!conversation_) return kSpeakError;
  if (busy_ || *text == '\0') return kSpeakNotSent;
  busy_ = true;

  // The text goes with its terminating NUL.
  const bool sent = SendForReading(std::string_view(text, std::strlen(text) + 1), breakFirst,
                                   [this](std::string_view part, dde::TransactionType type) {
                                     return Transaction(part, type);
                                   });
  int result = kSpeakSent;
  if (!sent) {
    const std::uint32_t error = netdde::GetLastError(instance_);
    NoteDetail();
    const SpeakFailure failure = SpeakFailureOf(error);
    result = SpeakResultOf(failure);
    switch (failure) {
      case SpeakFailure::Busy:
      case SpeakFailure::Reentrancy:
        break;
      case SpeakFailure::TimedOut:
        ShowPlain(Strings().Utf8(IDS_SEND_IMPOSSIBLE) + "\n" + Strings().Utf8(IDS_CHECK_COMPUTER) + "\n" +
                  Strings().Utf8(IDS_CHECK_VERSION) + "\n");
        break;
      case SpeakFailure::InvalidParameter:
        AskAbortRetryIgnore(Strings().Utf8(IDS_INVALID_PARAMETER));
        break;
      case SpeakFailure::NoConversation:
        AskAbortRetryIgnore(Strings().Utf8(IDS_NO_CONVERSATION));
        break;
      case SpeakFailure::ServerDied:
        ShowPlain(Strings().Utf8(IDS_SERVER_DIED));
        AskAbortRetryIgnore(Strings().Utf8(IDS_SERVER_DIED));
        break;
      case SpeakFailure::Other:
        AskAbortRetryIgnore(Format(Strings().Utf8(IDS_OTHER_ERROR).c_str(), error));
        break;
    }
  }
  busy_ = false;
  return result;
}

void NetSpeechClient::CloseConversation() {
  if (conversation_) netdde::Disconnect(conversation_);
  conversation_ = {};
  if (service_ && instance_ != 0) netdde::FreeStringHandle(instance_, service_);
  service_ = {};
}

void NetSpeechClient::Disconnect() {
  CloseConversation();
  if (instance_ == 0) return;
  for (netdde::StringHandle* handle : {&title_, &system_, &item_, &topic_}) {
    if (*handle) netdde::FreeStringHandle(instance_, *handle);
    *handle = {};
  }
  netdde::Uninitialize(instance_);
  instance_ = 0;
}

void NetSpeechClient::NoteDetail() {
  lastDetail_ = netdde::LastDetail(instance_);
  if (!lastDetail_.empty()) std::fprintf(stderr, "%s: %s\n", options_.title.c_str(), lastDetail_.c_str());
}

void NetSpeechClient::ShowPlain(const std::string& utf8Text) {
  msgbox::ShowMessageBox(options_.title, utf8Text, msgbox::Icon::None, msgbox::Buttons::Ok,
                         msgbox::DefaultButton::First, owner_);
}

void NetSpeechClient::AskAbortRetryIgnore(const std::string& utf8Text) {
  AskToAbort(options_.title, utf8Text, owner_, mainWindow_, static_cast<std::uint64_t>(options_.quitCommand));
}

}  // namespace vokar::netsend
