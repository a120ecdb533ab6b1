// Verifies what the engine and the client programs rely on in an allophone
// file: every index the transcription rules can produce, the entries the
// loader needs, the names the allophone lists send, voicing pairs 14 apart
// with their class bits, vowels and nasal vowels marked. Each fault names the
// entry by index and name.
#pragma once

#include <string>
#include <vector>

#include "AlfFile.h"

namespace vokar::alf {

enum class Severity { Error, Warning };

struct Finding {
  Severity severity = Severity::Error;
  int index = -1;          // -1 for faults of the whole file or of a name
  std::string name;        // the entry's name in the file, or the name looked for
  std::string text;

  // "error: index 23 (aan): no samples"
  std::string ToString() const;
};

// Indices that the transcription and phrase rules can put into a sequence
// and that the file must therefore hold, in ascending order.
std::vector<int> ProducedIndices();

std::vector<Finding> CheckAlf(const AlfFile& file);

// True when no finding is an error.
bool Passes(const std::vector<Finding>& findings);

}  // namespace vokar::alf
