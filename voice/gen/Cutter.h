// Finds where one allophone lies in a synthesised carrier: the phoneme marks
// of the synthesiser give its start and end; a stop takes its closure from
// before its mark; quiet edges are trimmed, a length limit keeps steady sounds
// short, and the cut points are moved onto rising zero crossings so that the
// pieces join without clicks.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "AlfError.h"

namespace vokar::voicegen {

struct PhonemeMark {
  std::string name;
  std::size_t sample = 0;  // where the phoneme starts
};

struct Synthesis {
  int rate = 22050;
  std::vector<float> samples;
  std::vector<PhonemeMark> marks;
  // Where each word starts, when the synthesiser reads text.
  std::vector<std::size_t> words;
};

struct CutRequest {
  std::string phoneme;
  int occurrence = 1;
  double skipMs = 0.0;              // leave out this much after the start
  std::optional<double> lengthMs;   // keep at most this much
  double preMs = 0.0;               // reach back before the mark (stop closures)
  double postMs = 0.0;              // reach past the next mark
  // For a soft consonant ("p;"): how much of the palatal release that
  // follows the consonant in the carrier (espeak-ng's ";") to keep; all of
  // it when absent.
  std::optional<double> releaseMs;
};

struct Cut {
  std::size_t begin = 0;
  std::size_t end = 0;
  // Whether each end lies in a voiced, periodic stretch and was put on the
  // period grid: the same phase of a pitch period as every other such end,
  // so that two of them join without a break and need no fade.
  bool periodicBegin = false;
  bool periodicEnd = false;
  // The level of the loudest phoneme of the carrier, which the level matching
  // of the whole voice brings to one value.
  double referenceRms = 0.0;
};

// Pause marks of the synthesiser ("_", "_:", ...) are not phonemes.
bool IsPauseMark(const std::string& name);

alf::Result<Cut> FindCut(const Synthesis& synthesis, const CutRequest& request);

// Where in its pitch period a voiced cut falls, as a fraction of the period
// after the period's positive peak: the quiet end of the period, where the
// ringing of the last pulse has died down most.
inline constexpr double kCutPhase = 0.55;

// Of the rising zero crossings within `radius` of `at`, the one where the
// signal passes zero most gently (the two samples around it nearest to 0),
// so that a piece that starts or ends there starts or ends nearest to
// silence; `at` itself when there is none.
std::size_t QuietestRisingZero(std::span<const float> samples, std::size_t at, std::size_t radius);

// The positive peak of every pitch period of a voiced stretch around
// [from, to): from the strongest sample there, one period at a time each way
// (the highest sample between 0.8 and 1.2 periods on), as far as the
// signal reaches.
std::vector<std::size_t> PeriodPeaks(std::span<const float> samples, std::size_t from, std::size_t to,
                                     double period);

// Puts the ends of a cut that lie in periodic stretches onto the period grid
// (kCutPhase after a peak, then the nearest rising zero crossing within a
// tenth of a period) and marks them. `period` is the carrier's in samples.
void AlignToPeriods(std::span<const float> samples, double period, Cut& cut);

// The nearest sample to 'at' (within 'radius') where the signal rises through
// zero; 'at' itself when there is none.
std::size_t NearestRisingZero(std::span<const float> samples, std::size_t at, std::size_t radius);

}  // namespace vokar::voicegen
