// Brings the ends of a consonant toward the level of the vowels it joins:
// a short gain ramp inside the piece, strongest at its first (or last)
// sample and gone after a couple of pitch periods, so that a vowel and a
// nasal or liquid meet without a step in loudness while the middle of the
// consonant keeps its own level.
#pragma once

#include <cstddef>
#include <span>

namespace vokar::voicegen {

// The gain in dB that brings a stretch whose level is `levelDb` to
// `targetDb`, held within `limitDb` either way; 0 for a silent stretch
// (level -100 dB or below), which no gain can bring anywhere.
double EdgeCorrectionDb(double levelDb, double targetDb, double limitDb);

// Multiplies the first `ramp` samples by a gain that starts at `beginDb` on
// the first sample and falls along a half cosine (in dB) to 0 dB at sample
// `ramp`, and the last `ramp` samples likewise towards `endDb` on the last
// sample. Each ramp is cut to half the piece, so the two never overlap.
void RampEdges(std::span<float> piece, double beginDb, double endDb, std::size_t ramp);

}  // namespace vokar::voicegen
