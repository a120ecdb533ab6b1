// Other ways of rounding a voice to 8 bits than plain rounding, so that they
// can be measured against it (bench_voice --noise): error feedback that
// shapes the rounding noise after the threshold of hearing (out of 2-5 kHz,
// up towards 11 kHz), error feedback that makes the noise follow the
// spectrum of the sound itself, and triangular dither.
//
// Each keeps silence silent: wherever the source lies under half an 8-bit
// step for a run of kQuietRun samples or more, or from such a sample to
// either end of the block, the output is the zero level 128 exactly and the
// quantiser forgets its error, so no shaped noise or dither reaches a pause,
// a stop's closure or the faded ends of a piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vokar::alf {

// The shortest run of samples under half a step that counts as silence
// inside a block.
inline constexpr std::size_t kQuietRun = 32;

// Which samples are silence in the sense above.
std::vector<bool> QuietMask(std::span<const float> samples);

// The threshold of hearing in dB SPL at a frequency (Terhardt's fit:
// 3.64 f^-0.8 - 6.5 exp(-0.6 (f - 3.3)^2) + 0.001 f^4, f in kHz).
double HearingThresholdDb(double hz);

// The curve the threshold shaping follows: the threshold of hearing, held
// at its 1 kHz value below 1 kHz so that the noise is not piled into the
// lowest frequencies.
double ShapingCurveDb(double hz);

// The noise transfer filter 1 + c1 z^-1 + ... + cN z^-N (returned: c1..cN)
// whose power response follows ShapingCurveDb as closely as a
// minimum-phase filter of that order can: the prediction-error filter of a
// process whose spectrum is the inverse of the curve. Empty for a rate or
// order of 0 or less.
std::vector<double> DesignNoiseShaping(int rate, int order);

// The threshold shaping of order 8 at 22050 Hz.
const std::vector<double>& ThresholdNoiseShaping();

// The power gain in dB of a noise transfer filter at a frequency.
double ShapingGainDb(std::span<const double> filter, double hz, int rate);

// 8-bit unsigned samples (value * 127 + 128, as ToUnsigned8) by error
// feedback through a fixed filter; clipped counts the source samples
// outside -1..1. With an empty filter this is plain rounding.
std::vector<std::uint8_t> ToUnsigned8Shaped(std::span<const float> samples, std::span<const double> filter,
                                            std::size_t* clipped);

// How the noise is made to follow the sound.
struct FollowingShaping {
  int order = 12;           // of the envelope
  double flattening = 0.5;  // the envelope's poles pulled in to this radius
  std::size_t block = 128;  // samples that share one envelope
  std::size_t window = 512; // samples the envelope is measured over, centred on the block
};

// The prediction-error filter a1..aN of a stretch (Hann window, 60 Hz lag
// window) with the noise of plain 8-bit rounding added as a floor, so that a
// stretch near that noise gets a flat filter. Empty for an empty stretch.
std::vector<double> EnvelopeFilter(std::span<const float> stretch, int order);

// 8-bit unsigned samples whose rounding noise follows the spectral envelope
// of the sound, flattened: 1/A(z/g) with A measured for every block. The
// noise stays within kMaxShapedNoise steps of the source.
inline constexpr double kMaxShapedNoise = 6.0;
std::vector<std::uint8_t> ToUnsigned8Following(std::span<const float> samples, std::size_t* clipped,
                                               const FollowingShaping& shaping = {});

// 8-bit unsigned samples rounded with triangular dither of one step either
// way, from a generator seeded with seed (the same seed, the same output).
std::vector<std::uint8_t> ToUnsigned8Dithered(std::span<const float> samples, std::uint32_t seed,
                                              std::size_t* clipped);

}  // namespace vokar::alf
