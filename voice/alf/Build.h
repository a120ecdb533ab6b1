// Turns a manifest into an allophone file: each source is decoded, converted
// to mono 22050 Hz, cut, given its gain and fades and stored as 8-bit unsigned
// samples, the format every pause entry of the engine assumes.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "AlfFile.h"
#include "Manifest.h"

namespace vokar::alf {

struct BuildOutput {
  AlfFile file;
  // Things worth knowing that do not stop the build, such as clipped samples.
  std::vector<std::string> warnings;
};

// The samples of every entry that is not silence as they stand before the
// 8-bit conversion (cut, with gain and fades), by index. Errors as BuildAlf.
Result<std::map<int, std::vector<float>>> CutPieces(const Manifest& manifest);

// Entries are stored in index order. Errors: a source that cannot be read or
// decoded, cut points outside the source, an entry left with no samples.
Result<BuildOutput> BuildAlf(const Manifest& manifest);

}  // namespace vokar::alf
