#include "SpeechClient.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "AppPaths.h"
#include "ClientText.h"
#include "Desktop.h"
#include "MessageBox.h"
#include "NamedObjects.h"
#include "Spawn.h"
#include "SpeechClientTexts.h"
#include "Uninstalling.h"
#include "VersionReader.h"

namespace vokar {
namespace {

namespace fs = std::filesystem;
using namespace speechclient;

// The key of App Paths that records where the server is installed.
constexpr std::string_view kAppPathsName = "Vokar.exe";
constexpr std::string_view kStartedEvent = "Server_VOKAR_Started";
constexpr std::string_view kServerSwitches = "/L-";
constexpr std::uint32_t kStatusAck = 0x8000;

bool IsRegularFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// The executable name in the folders of PATH (an empty entry is the current
// folder, as the shell takes it).
std::optional<fs::path> SearchPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr || name.empty()) return std::nullopt;
  std::string_view rest(path);
  while (true) {
    const auto colon = rest.find(':');
    const std::string_view folder = rest.substr(0, colon);
    const fs::path candidate = (folder.empty() ? fs::path(".") : fs::path(folder)) / name;
    if (IsRegularFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(colon + 1);
  }
}

}  // namespace

CSpeechClient::CSpeechClient(SpeechClientProgram program) : program_(std::move(program)) {}

CSpeechClient::~CSpeechClient() { Disconnect(); }

bool CSpeechClient::Connect(desktop::WindowHandle mainWindow, QWidget* owner) {
  mainWindow_ = mainWindow;
  owner_ = owner;
  if (instance_ == 0) {
    const auto callback = [this](dde::Notice notice, dde::Conversation conversation) {
      if (notice == dde::Notice::Disconnect && mainWindow_) {
        desktop::PostMessage(mainWindow_, WM_CLIENT_DISCONNECTED, conversation.value, 0);
      }
    };
    if (dde::Initialize(instance_, callback, dde::InitMode::ClientOnly) != dde::DMLERR_NO_ERROR) {
      instance_ = 0;
      ShowMessage(Format(kNotRegisteredAsClient, program_.title.c_str()));
      return false;
    }
    programTitle_ = dde::CreateStringHandle(instance_, program_.title);
    service_ = dde::CreateStringHandle(instance_, program_.serverTitle);
    topic_ = dde::CreateStringHandle(instance_, "System");
    item_ = dde::CreateStringHandle(instance_, "text");
  }
  return ConnectToServer();
}

bool CSpeechClient::ConnectToServer() {
  if (instance_ == 0) return false;
  if (conversation_) {
    dde::Disconnect(conversation_);
    conversation_ = {};
  }

  desktop::WindowHandle server = desktop::FindWindow(program_.serverTitle);
  if (server) {
    if (!CheckWindowVersion(server)) return false;
  } else {
    // The event is made before the server starts, so that a server that is
    // ready at once cannot set it before anyone holds it. A client that finds
    // it already made waits on the same event as the client that made it:
    // resetting it here could wipe the signal the other one waits for.
    auto event = named::NamedEvent::CreateOrOpen(kStartedEvent, named::InitialState::NotSignaled);
    if (!event) std::fprintf(stderr, "%s: %s\n", program_.title.c_str(), event.error().description.c_str());
    if (!StartServer()) return false;
    const auto deadline = desktop::Clock::now() + program_.timeout;
    if (event) {
      const auto left = std::chrono::duration_cast<desktop::milliseconds>(deadline - desktop::Clock::now());
      event->Wait(std::max(left, desktop::milliseconds(0)));
    }
    // A set event may be another start's, and without an event there is only
    // the window to go by: either way the window is waited for too.
    while (!(server = desktop::FindWindow(program_.serverTitle)) && desktop::Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!server) return false;
    // The window that came may belong to another server than the file that
    // was checked and started: a server is never used unchecked.
    if (!CheckWindowVersion(server)) return false;
  }

  conversation_ = dde::Connect(instance_, service_, topic_);
  if (!conversation_) {
    ShowMessage(kNoDdeConnection);
    return false;
  }
  return true;
}

bool CSpeechClient::CheckWindowVersion(desktop::WindowHandle server) {
  const auto first = desktop::SendMessage(server, WM_SERVER_VERSION, 0, 0, {}, program_.timeout);
  const auto second = desktop::SendMessage(server, WM_SERVER_VERSION, 1, 0, {}, program_.timeout);
  const auto firstWord = first.ok() ? static_cast<std::uint32_t>(first.result) : 0;
  // A window that answers, even 0, is judged by its answers alone: one that
  // does not know the version query is no server of ours, whatever file bears
  // the server's name. Only a window that gives no answer leaves the file to
  // decide.
  if (second.ok()) return AcceptVersion(program_.serverExecutable, firstWord, static_cast<std::uint32_t>(second.result));
  return CheckServerVersion(program_.serverExecutable, firstWord, 0);
}

bool CSpeechClient::CheckServerVersion(std::string_view name, std::uint32_t first, std::uint32_t second) {
  if (second == 0) {
    first = 0;
    fs::path file(name);
    if (!IsRegularFile(file) && file.filename() == file) {
      if (auto found = SearchPath(std::string(name))) file = *found;
    }
    if (const auto version = version::ReadFileVersion(file)) {
      first = version.value().MostSignificant();
      second = version.value().LeastSignificant();
    }
  }
  return AcceptVersion(name, first, second);
}

bool CSpeechClient::AcceptVersion(std::string_view name, std::uint32_t first, std::uint32_t second) {
  if (first == kServerVersionMost && second == kServerVersionLeast) return true;
  ShowMessage(Format(kWrongVersion, std::string(name).c_str(), static_cast<int>(kServerVersionMost >> 16),
                     static_cast<int>(kServerVersionMost & 0xFFFF), static_cast<int>(kServerVersionLeast >> 16),
                     static_cast<int>(kServerVersionLeast & 0xFFFF)));
  return false;
}

std::optional<fs::path> CSpeechClient::FindServerExecutable() const {
  fs::path path;
  if (auto recorded = registry::ReadAppPath(kAppPathsName)) path = recorded.value();
  if (path.empty()) path = program_.serverExecutable;
  if (IsRegularFile(path)) return path;
  return SearchPath(program_.serverExecutable);
}

bool CSpeechClient::StartServer() {
  // The uninstaller asks for the server to be closed: a client never brings
  // it back while the uninstaller runs.
  if (suite::UninstallerRuns()) {
    std::fprintf(stderr, "%s: the uninstaller runs; the speech server is not started\n", program_.title.c_str());
    return false;
  }
  const auto path = FindServerExecutable();
  if (!path) {
    ShowMessage(kServerNotFound);
    return false;
  }
  if (!CheckServerVersion(path->string(), 0, 0)) return false;
  spawn::SpawnOptions options;
  // The server comes up minimised, as a program started for another one.
  options.extraEnvironment = {"VOKAR_SHOW_MINIMIZED=1"};
  const auto started = spawn::SpawnDetached(*path, {std::string(kServerSwitches)}, options);
  if (!started.ok()) {
    std::fprintf(stderr, "%s: %s\n", program_.title.c_str(), started.error.c_str());
    ShowMessage(Format(kCannotStartServer, path->c_str()));
    return false;
  }
  return true;
}

bool CSpeechClient::Transaction(std::string_view data, dde::TransactionType type, std::uint32_t* status) {
  return dde::ClientTransaction(data, conversation_, type == dde::TransactionType::Poke ? item_ : dde::StringHandle{},
                                type == dde::TransactionType::Poke ? dde::CF_TEXT : 0, type, program_.timeout,
                                status);
}

bool CSpeechClient::BreakSpeech() { return Transaction(WithNul("break"), dde::TransactionType::Execute, nullptr); }

bool CSpeechClient::Execute(std::string_view command) {
  return Transaction(WithNul(command), dde::TransactionType::Execute, nullptr);
}

int CSpeechClient::QueryStatus() {
  std::uint32_t status = 0;
  if (!Transaction(WithNul("status"), dde::TransactionType::Execute, &status)) return 0;
  return (status & kStatusAck) != 0 ? static_cast<int>(status & 0xFF) : 0;
}

int CSpeechClient::Speak(const char* text, BreakFirst breakFirst) {
  if (instance_ == 0) return kSpeakError;
  if (text == nullptr) return kSpeakSent;
  if (sending_ || *text == '\0') return kSpeakNotSent;

  sending_ = true;
  int result = kSpeakNotSent;
  std::string question;
  const std::string_view data(text, std::strlen(text) + 1);
  for (int attempt = 1;; ++attempt) {
    bool retry = false;
    const bool read = SendForReading(data, breakFirst, [this](std::string_view part, dde::TransactionType type) {
      return Transaction(part, type, nullptr);
    });
    if (read) {
      result = kSpeakSent;
    } else {
      const std::uint32_t error = dde::GetLastError(instance_);
      const SpeakFailure failure = SpeakFailureOf(error);
      result = SpeakResultOf(failure);
      switch (failure) {
        case SpeakFailure::Busy:
        case SpeakFailure::Reentrancy:
          break;
        case SpeakFailure::TimedOut:
          ShowMessage(kTransactionTimeout);
          break;
        case SpeakFailure::InvalidParameter:
          question = kInvalidParameter;
          break;
        case SpeakFailure::NoConversation:
          question = kNoConversation;
          break;
        case SpeakFailure::ServerDied:
          if (ConnectToServer()) {
            retry = true;
          } else {
            ShowMessage(kServerDied);
            question = kServerDied;
          }
          break;
        case SpeakFailure::Other:
          question = Format(kOtherDdeError, error);
          break;
      }
    }
    if (!question.empty()) break;
    if (!retry || attempt >= 2) {
      sending_ = false;
      return result;
    }
  }
  AskAbortRetryIgnore(question);
  sending_ = false;
  return result;
}

SpeakFailure SpeakFailureOf(std::uint32_t ddeError) {
  switch (ddeError) {
    case dde::DMLERR_BUSY:
      return SpeakFailure::Busy;
    case dde::DMLERR_EXECACKTIMEOUT:
    case dde::DMLERR_POKEACKTIMEOUT:
      return SpeakFailure::TimedOut;
    case dde::DMLERR_INVALIDPARAMETER:
      return SpeakFailure::InvalidParameter;
    case dde::DMLERR_NO_CONV_ESTABLISHED:
      return SpeakFailure::NoConversation;
    case dde::DMLERR_REENTRANCY:
      return SpeakFailure::Reentrancy;
    case dde::DMLERR_SERVER_DIED:
      return SpeakFailure::ServerDied;
    default:
      return SpeakFailure::Other;
  }
}

int SpeakResultOf(SpeakFailure failure) { return failure == SpeakFailure::Busy ? kSpeakNotSent : kSpeakError; }

bool SendForReading(std::string_view data, BreakFirst breakFirst,
                    const std::function<bool(std::string_view data, dde::TransactionType type)>& transaction) {
  if (breakFirst == BreakFirst::Yes && !transaction(WithNul("break"), dde::TransactionType::Execute)) return false;
  return transaction(data, dde::TransactionType::Poke) &&
         transaction(WithNul("read"), dde::TransactionType::Execute);
}

void CSpeechClient::OnServerDisconnected() {
  if (desktop::FindWindow(program_.serverTitle)) {
    if (!dde::Reconnect(conversation_)) AskAbortRetryIgnore(kReconnectFailed);
  } else {
    ConnectToServer();
  }
}

bool CSpeechClient::ReconnectConversation() {
  if (!conversation_) return false;
  return static_cast<bool>(dde::Reconnect(conversation_));
}

void CSpeechClient::Disconnect() {
  if (conversation_) {
    dde::Disconnect(conversation_);
    conversation_ = {};
  }
  if (instance_ != 0) {
    for (dde::StringHandle* handle : {&programTitle_, &service_, &topic_, &item_}) {
      if (*handle) dde::FreeStringHandle(instance_, *handle);
      *handle = {};
    }
    dde::Uninitialize(instance_);
    instance_ = 0;
  }
}

void CSpeechClient::ShowMessage(const std::string& utf8Text) {
  msgbox::ShowMessageBox(program_.title, utf8Text, msgbox::Icon::Warning, msgbox::Buttons::Ok,
                         msgbox::DefaultButton::First, owner_);
}

void CSpeechClient::AskAbortRetryIgnore(const std::string& utf8Text) {
  AskToAbort(program_.title, utf8Text, owner_, mainWindow_, program_.quitCommand);
}

void AskToAbort(const std::string& caption, const std::string& utf8Text, QWidget* owner,
                desktop::WindowHandle mainWindow, std::uint64_t quitCommand) {
  const auto answer = msgbox::ShowMessageBox(caption, utf8Text, msgbox::Icon::None, msgbox::Buttons::AbortRetryIgnore,
                                             msgbox::DefaultButton::First, owner);
  if (answer == msgbox::Answer::Abort && mainWindow) {
    desktop::SendMessage(mainWindow, desktop::WM_COMMAND, quitCommand, 0);
  }
}

}  // namespace vokar
