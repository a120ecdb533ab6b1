// An in-memory voice whose pieces sound like speech to the prosody stage:
// vowels and sonorants a steady train of pulses (a decaying 700 Hz ring
// every kTestPeriod samples), cut at the same phase so that two of them
// join without a break; voiced obstruents the pulses over noise, voiceless
// ones noise; pauses silence of the settings' lengths. Lengths are whole
// periods and near a real voice's: 8 periods for a plain vowel, 10 for an
// accented one, 14 for a final one, 6 for a consonant.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "AllophoneDb.h"
#include "AllophoneIndex.h"
#include "TestInventory.h"

namespace vokar::testing {

inline constexpr int kTestPeriod = 232;  // 95 Hz at 22050 Hz

// One pulse of the train at a sample `phase` samples after its start.
inline double Pulse(double phase) {
  return std::exp(-phase / 40.0) * std::sin(2.0 * std::numbers::pi * 700.0 * phase / 22050.0);
}

// Samples of a pulse train (level 0..1 of full scale) starting 0.55 of a
// period after a pulse, as the voice is cut, plus noise of a level.
inline std::vector<std::uint8_t> VoicedSamples(std::size_t periods, double level, double noise, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<std::uint8_t> out(periods * kTestPeriod);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double phase = std::fmod(static_cast<double>(i) + 0.55 * kTestPeriod, kTestPeriod);
    const double v = level * Pulse(phase) + noise * uniform(random);
    out[i] = static_cast<std::uint8_t>(std::lround(128.0 + 120.0 * std::clamp(v, -1.0, 1.0)));
  }
  return out;
}

inline std::size_t PeriodsOf(int index) {
  if (index >= 1 && index <= 16) return 8;
  if (index >= 17 && index <= 32) return 10;
  if (index >= 33 && index <= 48) return 14;
  return 6;
}

// The voice above, loaded as the loader would (pauses, copies, analysis).
inline void FillVoicedInventory(CAllophoneDb& db, const ISpeechSettings& settings) {
  for (int index = 1; index <= allo::kDefault; ++index) {
    if ((index > 97 && index < allo::kPauseDoubleLetter) || index == 11 || index == 14 || index == 11 + 16 ||
        index == 14 + 16 || index == 11 + 32 || index == 14 + 32)
      continue;
    CAllophone entry;
    entry.index = index;
    entry.classBits = UsualClassBits(index);
    entry.name = TestName(index);
    const bool voiced = index <= 48 || (index >= allo::kM && index <= allo::kNFinal) ||
                        (index >= allo::kL && index <= allo::kJ) || index == allo::kDefault;
    const auto seed = static_cast<unsigned>(index);
    if (voiced) entry.samples = VoicedSamples(PeriodsOf(index), 0.8, 0.0, seed);
    else if (index >= allo::kFirstVoiced && index <= allo::kLastVoiced) entry.samples = VoicedSamples(6, 0.4, 0.2, seed);
    else if (index < allo::kPauseDoubleLetter) entry.samples = VoicedSamples(6, 0.0, 0.3, seed);
    db.SetEntry(std::move(entry));
  }
  db.SetFormat(kVoiceFormat);
  db.MarkLoaded(true);
  db.FinishLoading(settings);
}

}  // namespace vokar::testing
