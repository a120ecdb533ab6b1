// Synthesis of carrier phoneme strings with espeak-ng's library at build time:
// the samples (22050 Hz) and where each phoneme starts. The suite itself never
// runs espeak-ng; only the voice recipe does.
#pragma once

#include <string>

#include "AlfError.h"
#include "Cutter.h"
#include "Recipe.h"

namespace vokar::voicegen {

class CEspeak {
 public:
  // Opens the library with phoneme events and selects the voice.
  static alf::Result<CEspeak*> Open(const std::string& voice);

  // Speaks "[[phonemes]]" with the prosody and collects samples and marks.
  alf::Result<Synthesis> Speak(const std::string& phonemes, const Prosody& prosody);

  // Speaks plain text (UTF-8) as espeak-ng reads it by default: its own pitch,
  // range and rate. The reference that the voice's levels are matched to.
  alf::Result<Synthesis> SpeakText(const std::string& utf8);

 private:
  CEspeak() = default;
};

}  // namespace vokar::voicegen
