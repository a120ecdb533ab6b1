// The voice settings speech-dispatcher sends in SET blocks, and what our
// engine makes of them: the rate becomes the engine's speed, the volume its
// output level, punctuation, spelling and capital letters shape the text.
// The engine has no pitch of its own apart from its speed, and one Polish
// voice: pitch, pitch range, voice and language are kept but change nothing.
#pragma once

#include <string>
#include <string_view>

#include "EngineText.h"

namespace vokar::speechd {

struct VoiceSettings {
  int rate = 0;     // -100 slowest .. +100 fastest
  int pitch = 0;    // -100 .. +100
  int pitchRange = 0;
  int volume = 0;   // -100 silent .. 0 normal .. +100
  Punctuation punctuation = Punctuation::None;
  bool spelling = false;
  CapitalLetters capitals = CapitalLetters::None;
  std::string voice;
  std::string language;
  std::string synthesisVoice;

  // Takes one name=value line of a SET block. False for a name it does not
  // know or a value it cannot read; the setting then stays as it was.
  // Numbers outside -100..100 are brought to the nearest end.
  bool Apply(std::string_view name, std::string_view value);
};

// The engine's speed in percent (-50 .. +50) for a rate: half the rate,
// rounded to the nearest, halves away from zero.
int SpeedOfRate(int rate);

// The output level in percent (0 .. 100) for a volume: full at 0 and above,
// since the engine cannot be louder than its recordings; below 0 it falls in
// step to silence at -100.
int LevelOfVolume(int volume);

}  // namespace vokar::speechd
