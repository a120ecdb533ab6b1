// The speech client every client program carries: it finds the speech server
// "Vokar" on the desktop, starts it when it is not running, checks its
// version, keeps one DDE conversation with it and hands it text to speak
// (code page 1250 bytes). Failures are told to the user in message boxes
// captioned with the program's title. All calls come from the UI thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Ddeml.h"
#include "DesktopTypes.h"

class QWidget;

namespace vokar {

// Window messages of the server's protocol that clients use.
inline constexpr std::uint32_t WM_SERVER_VERSION = desktop::WM_USER + 1;
inline constexpr std::uint32_t WM_CLIENT_DISCONNECTED = desktop::WM_USER + 3;
inline constexpr std::uint32_t WM_SERVER_SHOW = desktop::WM_USER + 4;

// The version a client works with, as the server's two answers give it.
inline constexpr std::uint32_t kServerVersionMost = 0x00010001;   // 1.1
inline constexpr std::uint32_t kServerVersionLeast = 0x005F0003;  // 95.3

// What differs between the programs that carry a client.
struct SpeechClientProgram {
  std::string title;              // the program's own title: "Radko", "Horalo", ...
  std::uint32_t quitCommand = 0;  // WM_COMMAND id sent to the main window on Abort
  std::string serverTitle = "Vokar";
  std::string serverExecutable = "vokar";
  // How long each DDE transaction and the wait for a started server may take.
  desktop::milliseconds timeout{10000};
};

// Speak's results.
inline constexpr int kSpeakSent = 0;     // handed over and "read" accepted (also for no text at all)
inline constexpr int kSpeakNotSent = 1;  // the server was reading, another Speak runs, or the text is empty
inline constexpr int kSpeakError = -1;   // a DDE error (most told to the user) or DDE not initialised

enum class BreakFirst : bool { No, Yes };

// The DDE errors that fail a Speak, local or over the network, as the clients
// answer them (each in its own words): the server was reading (the text is
// not sent, nothing is said), no acknowledgement in time, a bad parameter, no
// conversation, another transaction of the program still waits (nothing is
// said), the server went away, anything else.
enum class SpeakFailure { Busy, TimedOut, InvalidParameter, NoConversation, Reentrancy, ServerDied, Other };
SpeakFailure SpeakFailureOf(std::uint32_t ddeError);
// Speak's result for the failure: kSpeakNotSent for a busy server,
// kSpeakError for the rest.
int SpeakResultOf(SpeakFailure failure);

// The transactions of one Speak, over whichever conversation `transaction`
// carries them: the break command when asked, the text (data, with its NUL)
// poked, the read command. True when the server took all of them; the first
// refused ends it.
bool SendForReading(std::string_view data, BreakFirst breakFirst,
                    const std::function<bool(std::string_view data, dde::TransactionType type)>& transaction);

// The abort box of a client's failed transaction: Abort, Retry and Ignore,
// owned by the program's window; Abort sends mainWindow the program's quit
// command, Retry and Ignore go on without retrying.
void AskToAbort(const std::string& caption, const std::string& utf8Text, QWidget* owner,
                desktop::WindowHandle mainWindow, std::uint64_t quitCommand);

class CSpeechClient {
 public:
  explicit CSpeechClient(SpeechClientProgram program);
  ~CSpeechClient();  // Disconnect
  CSpeechClient(const CSpeechClient&) = delete;
  CSpeechClient& operator=(const CSpeechClient&) = delete;

  // Called once when the program starts. mainWindow receives the disconnect
  // notice (WM_CLIENT_DISCONNECTED, wParam the conversation) and the quit
  // command; owner parents the message boxes. Either may be none. Starts DDE
  // use and connects; false when the server cannot be reached or used.
  bool Connect(desktop::WindowHandle mainWindow = {}, QWidget* owner = nullptr);

  // Finds the server's window (starting the server when there is none),
  // checks its version and opens the conversation, replacing an old one.
  bool ConnectToServer();

  // True when the version words are the expected ones. When second is 0 the
  // words are read from the version record of the executable name (a file
  // name alone is looked for in the current folder, then on PATH). Otherwise
  // the user is told that name has the wrong version.
  bool CheckServerVersion(std::string_view name, std::uint32_t first, std::uint32_t second);

  // Starts the server executable recorded in the machine's App Paths, else
  // the one found on PATH, with "/L-", after checking its version. True when
  // the program was started.
  bool StartServer();

  // Hands the text to the server and has it read (after a break when asked):
  // kSpeakSent, kSpeakNotSent or kSpeakError. A null text gives kSpeakSent.
  int Speak(const char* text, BreakFirst breakFirst);
  int Speak(const std::string& text, BreakFirst breakFirst) { return Speak(text.c_str(), breakFirst); }

  // Executes "break"; true when the server acknowledged it. Errors are not
  // reported.
  bool BreakSpeech();

  // Executes another command of the protocol, "pause" or "read" (sent with
  // its terminating NUL); true when the server acknowledged it. Errors are
  // not reported.
  bool Execute(std::string_view command);

  // The server's status byte (bit 0 reading, bit 1 stopped or paused: idle 2,
  // reading 1, paused 3), or 0 when it cannot be asked.
  int QueryStatus();

  // What a program does with WM_CLIENT_DISCONNECTED: connects the dropped
  // conversation again, or starts the server again when its window is gone.
  void OnServerDisconnected();

  // Connects the dropped conversation to the server again, keeping its
  // handle, and tells nobody; false when that fails. For programs that react
  // to the notice in their own way.
  bool ReconnectConversation();

  // Ends the conversation and DDE use; the client may Connect again later.
  void Disconnect();

  bool IsInitialized() const { return instance_ != 0; }
  bool IsConnected() const { return static_cast<bool>(conversation_); }
  const SpeechClientProgram& program() const { return program_; }

  // Where StartServer would start the server from: App Paths, else the
  // executable name in the current folder, else on PATH; nothing when none.
  std::optional<std::filesystem::path> FindServerExecutable() const;

 private:
  bool CheckWindowVersion(desktop::WindowHandle server);
  bool AcceptVersion(std::string_view name, std::uint32_t first, std::uint32_t second);
  bool Transaction(std::string_view command, dde::TransactionType type, std::uint32_t* status);
  void ShowMessage(const std::string& utf8Text);
  void AskAbortRetryIgnore(const std::string& utf8Text);

  SpeechClientProgram program_;
  desktop::WindowHandle mainWindow_;
  QWidget* owner_ = nullptr;
  dde::DdeInstance instance_ = 0;
  dde::Conversation conversation_;
  bool sending_ = false;
  dde::StringHandle programTitle_, service_, topic_, item_;
};

}  // namespace vokar
