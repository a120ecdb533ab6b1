// From what a client asked to be said to the text our engine reads: code page
// 1250, characters the code page lacks brought to their nearest letters or
// left out, the engine's control tags kept out of the client's reach, spelled
// stretches read letter by letter, punctuation read by name when the module
// is asked to, and the index marks moved along with the text. Characters and
// key names (CHAR, KEY) become their Polish names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Ssml.h"

namespace vokar::speechd {

enum class Punctuation { None, Some, Most, All };
enum class CapitalLetters { None, Spell, Icon };

struct TextOptions {
  Punctuation punctuation = Punctuation::None;
  // The module names punctuation itself only when speech-dispatcher leaves
  // it to the module; otherwise the names come already written out.
  bool namePunctuation = false;
  // The marks named at the levels "some" and "most" (UTF-8); "all" names
  // every mark.
  std::string someMarks = "#$%&*+/<=>@\\^_|~";
  std::string mostMarks = "#$%&*+/<=>@\\^_|~\"'()[]{}`-;:";
  bool spelling = false;
  CapitalLetters capitals = CapitalLetters::None;
};

struct EngineText {
  std::string text;  // code page 1250, without NUL bytes
  std::vector<IndexMark> marks;  // offsets into text, in order
};

// A message (SPEAK), its marks and spelled stretches.
EngineText ForEngine(const SpeechText& speech, const TextOptions& options);

// One character (CHAR): its name; "space" is the space bar.
EngineText CharacterForEngine(std::string_view utf8Character, const TextOptions& options);

// A key name (KEY) such as "a", "shift_a", "control_alt_delete", "kp-enter".
EngineText KeyForEngine(std::string_view keyName, const TextOptions& options);

}  // namespace vokar::speechd
