// One sentence of the text: its word tokens in text order, each transcribed into
// allophone indices as it is added, then grouped into accent groups for sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SentencePlan.h"
#include "SpeechSettings.h"
#include "WaveData.h"

namespace vokar {

// The first byte of a control token, and the boundary tokens the scanner and
// the figure reader add.
inline constexpr unsigned char kControlMarker = 0x03;
inline constexpr unsigned char kBoundarySpelled = 0x05;
inline constexpr unsigned char kBoundaryFigure = 0x06;
inline constexpr unsigned char kBoundaryDigit = 0x07;

// Control token codes (the byte after the marker).
enum class ControlCode : unsigned char {
  AllophoneList = 1,
  Device = 2,
  Pitch = 3,
  Balance = 4,
  Reset = 6,
  Speed = 7,
  Volume = 8,
  WaveInsert = 9,
};

struct AllophoneElement {
  int index = 0;
  // An element from an allophone-list tag; no rule ever changes it.
  bool fixed = false;
  bool operator==(const AllophoneElement&) const = default;
};

class CWordToken {
 public:
  std::string text;  // code page 1250 bytes
  bool accent = false;
  bool accentBearing = false;
  bool control = false;        // a control token other than an allophone list
  bool allophoneList = false;  // a control token of an allophone-list tag
  bool silent = false;         // its allophone sequence is empty
  bool colloquial = false;     // the pronunciation switch when the token was added
  std::vector<AllophoneElement> allophones;
  // Where the piece of text this token reads begins in the job's text (a
  // byte offset): the word, figure, mark or tag. The tokens of a dictionary
  // replacement all carry the place of the word it replaced.
  std::size_t textPosition = 0;
  // Set by the phrase step: the element that carries the word's stress (the
  // first of a doubled vowel), and whether the word carries the pitch accent
  // of its accent group (the group's penultimate syllable).
  int stressedElement = -1;
  bool groupAccent = false;
};

class CUtterance {
 public:
  explicit CUtterance(const ISpeechSettings& settings) : settings_(&settings) {}

  // Adds a token and transcribes it at once. The token is accented when
  // accent is set or when FluentSpeech is off.
  void AddWord(std::string_view text, bool accent);
  void AddByte(unsigned char byte, bool accent);

  // Splits text at every byte that is not a letter: each run of letters
  // becomes an accented word, each other byte that is neither a control
  // character nor a blank a one-byte token without accent.
  void AddPhrase(std::string_view text);

  std::vector<CWordToken>& Tokens() { return tokens_; }
  const std::vector<CWordToken>& Tokens() const { return tokens_; }
  const ISpeechSettings& Settings() const { return *settings_; }

  // Accent groups as (first token, last token) pairs, filled by Prepare.
  std::vector<std::pair<std::size_t, std::size_t>> phrases;
  // The next token RenderNextChunk takes, and the chunk it rendered last.
  std::size_t nextToken = 0;
  CWaveData chunk;
  // The tokens of that chunk: the index of its first token and the byte at
  // which each of its tokens begins in the chunk's samples, so that a host
  // can tell how far through the text the speech has come.
  std::size_t chunkFirstToken = 0;
  std::vector<std::size_t> chunkTokenOffsets;
  // For a chunk the prosody stage shaped: the sample at which each allophone
  // element of its tokens starts, the elements of all its tokens in order
  // (an element without sound starts where the next one does), for tools
  // that follow the speech sound by sound. Empty for a plain chunk.
  std::vector<std::uint32_t> chunkSoundStarts;
  // The format the chunk was made in, before any speed changes its rate:
  // the voice's own, or 16-bit mono when the prosody stage shaped it.
  WaveFormat chunkFormat{};
  // The prosody stage's plan, made before the sentence's first shaped chunk.
  std::optional<SentencePlan> plan;
  // The text position the scanner gives the tokens it adds next.
  std::size_t textPosition = 0;
  CWaveInsert waveInsert;

 private:
  const ISpeechSettings* settings_;
  std::vector<CWordToken> tokens_;
};

}  // namespace vokar
