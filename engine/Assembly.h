// Wave assembly: the prepared tokens of a sentence rendered into chunks of
// concatenated allophone samples, at most 256 KiB each. Control tokens take
// effect at their place: a chunk ends before one and it is applied before
// rendering goes on.
#pragma once

#include <cstddef>

#include "AllophoneDb.h"
#include "Utterance.h"

namespace vokar {

inline constexpr std::size_t kMaxChunkBytes = 262144;

// Implemented by the reading job: what a control token does when playback
// reaches it.
class IControlHandler {
 public:
  virtual ~IControlHandler() = default;
  // code is the token's control code, argument its stored argument byte.
  virtual void ApplyControl(ControlCode code, int argument, CUtterance& utterance) = 0;
};

// Renders the next chunk into utterance.chunk (samples and the database's
// format). Returns false when the sentence is finished.
bool RenderNextChunk(CUtterance& utterance, const CAllophoneDb& db, IControlHandler& controls);

}  // namespace vokar
