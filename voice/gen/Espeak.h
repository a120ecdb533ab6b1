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

 private:
  CEspeak() = default;
};

}  // namespace vokar::voicegen
