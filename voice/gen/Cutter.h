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
};

struct CutRequest {
  std::string phoneme;
  int occurrence = 1;
  double skipMs = 0.0;              // leave out this much after the start
  std::optional<double> lengthMs;   // keep at most this much
  double preMs = 0.0;               // reach back before the mark (stop closures)
  double postMs = 0.0;              // reach past the next mark
};

struct Cut {
  std::size_t begin = 0;
  std::size_t end = 0;
  // The level of the loudest phoneme of the carrier, which the level matching
  // of the whole voice brings to one value.
  double referenceRms = 0.0;
};

// Pause marks of the synthesiser ("_", "_:", ...) are not phonemes.
bool IsPauseMark(const std::string& name);

alf::Result<Cut> FindCut(const Synthesis& synthesis, const CutRequest& request);

// The nearest sample to 'at' (within 'radius') where the signal rises through
// zero; 'at' itself when there is none.
std::size_t NearestRisingZero(std::span<const float> samples, std::size_t at, std::size_t radius);

}  // namespace vokar::voicegen
