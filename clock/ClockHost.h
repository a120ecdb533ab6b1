// What the clock's pages need from the program around them: speech through
// the speech client, the settings store, the owner of message boxes and the
// run-time's random draws. CHoraloApp provides it; the pages never reach the
// client themselves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class QWidget;

namespace vokar::app {
class CSettings;
}

namespace vokar::clock {

// " \Rst\": every text the clock hands over ends by resetting the server's
// reading state, so that a speed or volume tag of a prefix ends with it.
inline constexpr std::string_view kResetTag = " \\Rst\\";

// SpeakText's result when the server did not take the text because it was
// reading (or another text was on its way): it may be tried again.
inline constexpr int kSpeakRefused = 1;

class IClockHost {
 public:
  virtual ~IClockHost() = default;

  // Nothing for an empty text (counted as spoken: 0); otherwise the text and
  // kResetTag go to the speech client's Speak. The client's result: 0 handed
  // over, 1 not sent (the server was reading), -1 an error.
  virtual int SpeakText(const std::string& cp1250Text, bool breakFirst) = 0;
  // The server's status byte (bit 0: reading), 0 when it cannot be asked.
  virtual int QueryStatus() = 0;
  // True once the client is connected to the server.
  virtual bool Connected() const = 0;

  virtual const app::CSettings& settings() const = 0;
  // The owner of message boxes and file dialogs.
  virtual QWidget* mainWindow() = 0;
  // The next draw of the run-time's generator, 0..32767.
  virtual std::uint32_t Draw() = 0;
  // The time value of now.
  virtual std::int64_t Now() const = 0;
};

// A message box of the clock, captioned "Horalo".
void TellUser(QWidget* owner, std::string_view utf8Text, bool exclamation = false);

}  // namespace vokar::clock
