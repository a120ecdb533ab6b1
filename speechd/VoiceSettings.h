// The voice settings speech-dispatcher sends in SET blocks, and what our
// engine makes of them: the rate becomes the engine's speed, the pitch and
// the pitch range move and widen the melody of the prosody stage, the volume
// becomes the output level; punctuation, spelling and capital letters shape
// the text. The engine has one Polish voice: voice and language are kept but
// change nothing.
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

// How the engine makes its speed: by the playback rate (the pitch moves
// with it), or by the tempo of the prosody stage (the pitch is kept).
enum class SpeedBy { PlaybackRate, Tempo };

// The engine's speed in percent for a rate. Slower than normal: half the
// rate (-50 at -100). Faster: half the rate by the playback rate (+50 at
// 100), one and a half times the rate by the tempo (+150 at 100, two and a
// half times normal speed, as fast as screen-reader users listen). Rounded
// to the nearest, halves away from zero.
int SpeedOfRate(int rate, SpeedBy by);

// The melody's shift in semitones for a pitch: six at either end.
double SemitonesOfPitch(int pitch);
// The scale of the melody's movements for a pitch range: 0 (a monotone) at
// -100, as designed at 0, twice as wide at +100.
double ScaleOfPitchRange(int pitchRange);

// The output level in percent (0 .. 100) for a volume: full at 0 and above,
// since the engine cannot be louder than its recordings; below 0 it falls in
// step to silence at -100.
int LevelOfVolume(int volume);

}  // namespace vokar::speechd
