// What the talking keyboard's echo engine needs from its window: speech
// through the speech client, the mode and the six sound switches as the
// window's controls show them at that moment, and a fresh "Bufor:" display.
// Contracts: the window implements every call; Speak returns 0 when the
// server took the text and anything else when the text must be tried again.
#pragma once

#include <string>

namespace vokar::keyboard {

// The six sound check boxes of the window.
enum class Sound { Separator, CR, ClearBuffer, Desynchro, OnOff, Echo };

// Whether a text interrupts what the server is saying.
enum class Interrupt : bool { No, Yes };

class IKlavoHost {
 public:
  virtual ~IKlavoHost() = default;

  // Hands the text (code page 1250, with control tags) to the speech server.
  // Runs the program's message loop while it waits, so key events and timer
  // ticks may arrive inside it.
  virtual int Speak(const std::string& text, Interrupt interrupt) = 0;
  virtual void BreakSpeech() = 0;

  // True in keyboard echo mode, false in whole-word reading.
  virtual bool EchoMode() const = 0;
  virtual bool SoundOn(Sound sound) const = 0;
  // Whether an unfinished word is read after a pause in typing.
  virtual bool DelayedTalk() const = 0;

  // The typing buffer changed: the display shows its tail again.
  virtual void RefreshDisplay() = 0;
};

}  // namespace vokar::keyboard
