// The sender's speech client: the common client's items and commands, but
// addressed to the share "VOKAR$" of another computer ("COMPUTER\NDDE$\"),
// one conversation per operation, no local server, 30-second transactions,
// and messages that name Network DDE. Failures are told in message boxes
// captioned "Sievo"; the abort box's Abort sends the main window the quit
// command 1100. All calls come from the UI thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "DesktopTypes.h"
#include "NetDdeClient.h"
#include "SpeechClient.h"

class QWidget;

namespace vokar::netsend {

// Speak's results and its switch are those of the local client.
using vokar::BreakFirst;
using vokar::kSpeakError;
using vokar::kSpeakNotSent;
using vokar::kSpeakSent;

struct NetSpeechOptions {
  std::string title = "Sievo";
  int quitCommand = 1100;
  std::chrono::milliseconds timeout{30000};
  netdde::ClientOptions network;
};

class NetSpeechClient {
 public:
  explicit NetSpeechClient(NetSpeechOptions options);
  ~NetSpeechClient();  // Disconnect
  NetSpeechClient(const NetSpeechClient&) = delete;
  NetSpeechClient& operator=(const NetSpeechClient&) = delete;

  // Starts DDE use as a client and makes the string handles of the title,
  // "system", "text" and "VOKAR$". mainWindow gets the quit command, owner
  // parents the message boxes. False (after the message) on failure.
  bool Connect(desktop::WindowHandle mainWindow, QWidget* owner);

  // Drops any open conversation and connects to the share of the computer
  // (its text as entered). False after message 104 when no conversation
  // comes about.
  bool ConnectTo(std::string_view computer);

  // Hands the text (code page 1250) to the server and has it read, after a
  // break when asked: kSpeakSent, kSpeakNotSent or kSpeakError.
  int Speak(const char* text, BreakFirst breakFirst);

  // Executes "break"; true when the server acknowledged it.
  bool BreakSpeech();

  // Closes the conversation and frees the service name's handle.
  void CloseConversation();

  // Closes the conversation, frees every string handle and ends DDE use.
  void Disconnect();

  bool IsInitialized() const { return instance_ != 0; }
  bool IsConnected() const { return static_cast<bool>(conversation_); }
  bool busy() const { return busy_; }
  // The service name of the current conversation, "" when none.
  std::string ServiceName() const;
  // Why the last connection or transaction failed, in words (also written
  // to standard error).
  const std::string& lastDetail() const { return lastDetail_; }

 private:
  bool Transaction(std::string_view data, netdde::TransactionType type);
  void ShowPlain(const std::string& utf8Text);
  void AskAbortRetryIgnore(const std::string& utf8Text);
  void NoteDetail();

  NetSpeechOptions options_;
  desktop::WindowHandle mainWindow_;
  QWidget* owner_ = nullptr;
  // In the order of the original: instance, conversation, busy flag, and
  // the string handles.
  netdde::DdeInstance instance_ = 0;
  netdde::Conversation conversation_;
  bool busy_ = false;
  netdde::StringHandle title_, service_, system_, item_, topic_;
  std::string lastDetail_;
};

}  // namespace vokar::netsend
