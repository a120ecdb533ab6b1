// Wave assembly: the prepared tokens of a sentence rendered into chunks of
// concatenated allophone samples, at most 256 KiB each. Control tokens take
// effect at their place: a chunk ends before one and it is applied before
// rendering goes on. When the host asks for it, the prosody stage shapes
// each chunk after its tokens are chosen.
#pragma once

#include <cstddef>
#include <optional>

#include "AllophoneDb.h"
#include "ProsodyStage.h"
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
  // How the prosody stage shapes the next chunk, asked after the controls
  // before it took effect; nothing renders the plain concatenation. The
  // default asks for nothing.
  virtual std::optional<ChunkShaping> Shaping() const { return std::nullopt; }
};

// Renders the next chunk into utterance.chunk (samples and format, also in
// utterance.chunkFormat): the plain concatenation in the database's format,
// or shaped by the prosody stage when the handler asks for it and the voice
// can be shaped. Under intonation a chunk ends only after a pause that
// takes time, so that a boundary the stage makes silent never cuts the
// speech. Returns false when the sentence is finished.
bool RenderNextChunk(CUtterance& utterance, const CAllophoneDb& db, IControlHandler& controls);

}  // namespace vokar
