// What the prosody stage plans for one sentence before its first chunk is
// shaped: how long each of its sounds lasts at normal speed (the rhythm) and
// the pitch it should have at every moment (the melody), so that chunks of
// one sentence continue one melody.
#pragma once

#include <cstdint>
#include <vector>

namespace vokar {

enum class SentenceKind {
  Statement,
  Exclamation,
  YesNoQuestion,   // "Czy ...?", or a question without a question word
  WordQuestion,    // a question that opens with a question word (kto, gdzie, ...)
};

struct PlannedSound {
  // Samples from the sentence's start at normal speed, and its length there:
  // the entry's own length, or the pause's planned length.
  std::uint32_t start = 0;
  std::uint32_t length = 0;
};

struct SentencePlan {
  SentenceKind kind = SentenceKind::Statement;
  // One per allophone element of every token, in order; a token's elements
  // start at firstSound[token].
  std::vector<PlannedSound> sounds;
  std::vector<std::uint32_t> firstSound;
  // Semitones against the voice's plain pitch, one value every kContourStep
  // samples of the sentence at normal speed (20 ms; the melody's quickest
  // movements take ten steps and more); empty without intonation.
  std::vector<float> contour;
  static constexpr std::uint32_t kContourStep = 441;

  // The melody at a place of the sentence, between its values; 0 without one.
  float PitchAt(double sample) const {
    if (contour.empty()) return 0.0f;
    const double at = sample / kContourStep;
    if (at <= 0.0) return contour.front();
    const auto i = static_cast<std::size_t>(at);
    if (i + 1 >= contour.size()) return contour.back();
    const auto f = static_cast<float>(at - static_cast<double>(i));
    return contour[i] + f * (contour[i + 1] - contour[i]);
  }
};

}  // namespace vokar
