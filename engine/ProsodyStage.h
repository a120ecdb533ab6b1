// The prosody stage: between the assembly of a chunk's allophones and the
// wave output, it gives the chunk the melody and rhythm its sentence's plan
// asks for and the speed the listener chose, in a 16-bit path that ends in
// 16-bit mono samples at the voice's rate. Voiced sound is laid down one
// pitch period at a time (overlap-add of two-period grains centred on the
// pitch marks, each period repeated or dropped as the tempo needs and spaced
// at the pitch the melody asks for); unvoiced sound is stretched by
// overlap-add of short grains; pauses take their planned length; signal
// sounds play as recorded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "AllophoneDb.h"
#include "PitchMarks.h"
#include "SpeechSettings.h"
#include "Utterance.h"

namespace vokar {

// The speeds the stage takes when it keeps the pitch: the tempo is
// (100 + speed) / 100, half to two and a half times normal.
inline constexpr int kSlowestShapedSpeed = -50;
inline constexpr int kFastestShapedSpeed = 150;

// What the host asks of the stage for one chunk.
struct ChunkShaping {
  ProsodySettings prosody;
  // The speed in percent. With the pitch kept the stage makes the tempo;
  // otherwise the device's rate does, and the stage keeps the tempo.
  int speedPercent = 0;
};

// The tempo the stage makes for a shaping: input samples per output sample.
double TempoOf(const ChunkShaping& shaping);

// The stage shapes only voices of 8-bit mono samples, the format whose
// pauses the loader makes; any other voice is concatenated as it stands.
bool CanShape(const CAllophoneDb& db);

// The format of shaped chunks: 16-bit mono at the voice's rate.
WaveFormat ShapedFormat(const CAllophoneDb& db);

// Shapes the tokens [first, end) of an utterance whose plan is made into
// utterance.chunk (samples as 16-bit little-endian, chunkFormat set) and
// sets chunkTokenOffsets to where each token's sound starts, in bytes.
void ShapeChunk(CUtterance& utterance, const CAllophoneDb& db, std::size_t first, std::size_t end,
                const ChunkShaping& shaping);

// A piece of a run: its samples, and the time it takes at normal speed
// (longer or shorter than its samples where the rhythm asks for it).
struct RunPiece {
  std::uint32_t samples = 0;
  std::uint32_t nominal = 0;
};

// One stretch of speech between pauses, as the stage lays it down.
struct RunShape {
  // Normal-speed samples per output sample.
  double tempo = 1.0;
  // The run's pieces in order, which together hold all its samples; empty:
  // the run takes its own length at normal speed.
  std::span<const RunPiece> pieces;
  // Without a melody each period keeps its own length times this.
  double periodScale = 1.0;
  // With a melody the period at the place x samples into the run at normal
  // speed is melodyPeriod lowered by melody->PitchAt(melodyStart + x)
  // semitones (raised for a negative one).
  const SentencePlan* melody = nullptr;
  double melodyStart = 0.0;
  double melodyPeriod = 0.0;
};

// The period the stage lays down for a wanted one, in samples: within
// kShortestTargetPeriod..kLongestTargetPeriod (defined below).
double LimitedPeriod(double wanted);

// The mean step of the grains of unvoiced sound, in samples (5 ms); each
// step is drawn from half to one and a half times it.
inline constexpr int kUnvoicedStep = 110;
// The shortest and the longest period the stage lays down: an octave over
// and under what the analysis finds.
inline constexpr int kShortestTargetPeriod = kMinPeriod / 2;
inline constexpr int kLongestTargetPeriod = 2 * kMaxPeriod;
// Samples of silence a run's input must have on either side, so that a
// grain reaching past either end reads silence: more than the longest step.
inline constexpr std::size_t kRunMargin = 1024;

// The samples a run of `nominalSamples` at normal speed takes at a tempo.
std::size_t ShapedLength(std::size_t nominalSamples, double tempo);

// Lays down one run of speech. `padded` holds kRunMargin zeros, the run's
// samples and kRunMargin zeros; `marks` are its pitch marks (positions in
// the run's samples, a voiced stretch starting at each mark with
// startsRun). Writes ShapedLength(its normal-speed length, tempo) 16-bit
// little-endian samples to `out`, which must have room for them. With a
// tempo of 1, each piece at its own length and each period kept the output
// equals the input.
void ShapeRun(std::span<const std::int16_t> padded, std::span<const PitchMark> marks, const RunShape& shape,
              std::uint8_t* out);

// The same for a run given without its margins, as 16-bit samples.
std::vector<std::int16_t> ShapeRun(std::span<const std::int16_t> samples, std::span<const PitchMark> marks,
                                   const RunShape& shape);

}  // namespace vokar
