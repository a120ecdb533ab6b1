// The recipe of the default voice: for each entry of the standard inventory,
// how it is made. Speech entries name an espeak-ng phoneme string (the
// carrier), the phoneme to cut out of it and a prosody preset; signal sounds
// name a tone design; pauses give a silence length.
//
//   prosody plain pitch=58 range=0 rate=170
//   1  speech plain "'a" a len=80
//   63 speech plain "ap'a" p pre=30
//   77 speech plain "'ama" m edge=-3 ramp=20
//   98 signal tick
//   106 silence 30
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AlfError.h"

namespace vokar::voicegen {

struct Prosody {
  int pitch = 50;  // espeak-ng base pitch 0-100
  int range = 50;  // pitch range 0-100; 0 is a monotone
  int rate = 175;  // words per minute
  // Falling pitch at the end of an entry, made after synthesis: over the
  // last (100 - flat) % of the entry the pitch falls by `fall` semitones.
  int fall = 0;
  int flat = 50;
};

enum class RecipeKind { Speech, Signal, Silence };

struct RecipeEntry {
  std::size_t line = 0;
  int index = 0;
  RecipeKind kind = RecipeKind::Speech;
  // Speech.
  std::string prosody;
  std::string carrier;      // phonemes, without the [[ ]]
  std::string phoneme;      // the phoneme to cut, as espeak-ng names it
  int occurrence = 1;       // which occurrence of that phoneme ("p#2")
  double skipMs = 0.0;      // leave out this much at the start
  std::optional<double> lengthMs;  // then keep at most this much
  double preMs = 0.0;       // include this much before the phoneme (stop closures)
  double postMs = 0.0;      // and this much after it
  std::optional<double> releaseMs;  // of a soft consonant's palatal release
  double gainDb = 0.0;      // on top of the level matching
  // The level each end is brought to by a gain ramp inside the entry, in dB
  // against the vowels (edge=-3: 3 dB under them); none when absent.
  std::optional<double> edgeInDb;
  std::optional<double> edgeOutDb;
  double rampMs = 20.0;     // how far into the entry that ramp reaches
  std::optional<double> fadeMs;
  // Signal.
  std::string design;
  // Silence.
  double silenceMs = 0.0;
};

struct Recipe {
  std::string voice = "pl";
  std::string versionText;
  std::map<std::string, Prosody, std::less<>> prosodies;
  std::vector<RecipeEntry> entries;
};

alf::Result<Recipe> ParseRecipe(std::string_view text, const std::string& fileName);
alf::Result<Recipe> ReadRecipe(const std::filesystem::path& path);

}  // namespace vokar::voicegen
