// Messages the engine shows to the user, and the sink that shows them. The
// texts are the system's own, kept here in UTF-8; the sink decides how to show
// them (a message box in the server, standard error in the tools).
#pragma once

#include <string>
#include <string_view>

namespace vokar {

enum class MessageIcon { None, Stop, Warning, Information };

// Implemented by each program that runs the engine.
class IMessageSink {
 public:
  virtual ~IMessageSink() = default;
  // Shows one message; returns when the user has seen it (or at once in tools).
  virtual void ShowMessage(std::string_view utf8Text, MessageIcon icon) = 0;
};

// Result codes of the engine are the numbers of their messages.
enum MessageCode : int {
  kMsgDeviceOpen = 4801,
  kMsgPrepare = 4802,
  kMsgWrite = 4803,
  kMsgWaveRead = 4804,
  kMsgBadSoundFile = 4805,
  kMsgBadWaveFormat = 4806,
  kMsgDeviceBusy = 4808,
  kMsgNoMemory = 4809,
  kMsgBadAllophoneFile = 4851,
  kMsgFileOpen = 4900,
};

// The text of a message code, or an empty view for an unknown code.
std::string_view MessageText(int code);

// "Nie znaleziono pliku: %s\n" with the name filled in.
std::string FileNotFoundMessage(std::string_view name);

// A sink that forgets every message; for callers that have nobody to tell.
class CSilentSink final : public IMessageSink {
 public:
  void ShowMessage(std::string_view, MessageIcon) override {}
};

}  // namespace vokar
