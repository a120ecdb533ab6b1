#include "Assembly.h"

#include "AllophoneIndex.h"
#include "Intonation.h"

namespace vokar {
namespace {

std::size_t TokenBytes(const CWordToken& token, const CAllophoneDb& db) {
  std::size_t total = 0;
  for (const auto& e : token.allophones)
    if (e.index < allo::kNothing) total += db.Length(e.index);
  return total;
}

// A token of one pause element ends its chunk, so that the pause is played
// out before the next piece is rendered.
bool IsPauseToken(const CWordToken& token, const CAllophoneDb& db) {
  return token.allophones.size() == 1 && (db.ClassBits(token.allophones[0].index) & classbits::kPause);
}

// Under intonation only a pause the plan gives time ends a chunk.
bool EndsChunk(const CUtterance& utterance, std::size_t t, const CAllophoneDb& db) {
  const CWordToken& token = utterance.Tokens()[t];
  if (!IsPauseToken(token, db)) return false;
  if (!utterance.plan) return true;
  return utterance.plan->sounds[utterance.plan->firstSound[t]].length > 0;
}

enum class Rendered { Nothing, Chunk, Silent };

Rendered RenderOneChunk(CUtterance& utterance, const CAllophoneDb& db, IControlHandler& controls) {
  utterance.chunk.Stop();
  auto& tokens = utterance.Tokens();
  // The plan is made for the whole sentence before its first shaped chunk.
  if (const auto shaping = controls.Shaping(); shaping && CanShape(db) && !utterance.plan)
    utterance.plan = PlanSentence(utterance, db, utterance.Settings(), shaping->prosody);

  std::size_t end = utterance.nextToken;  // one past the last token of the chunk
  std::size_t total = 0;
  // Tokens without samples (silent punctuation, an empty pause) never make a
  // chunk of their own: rendering goes on past them.
  while (total == 0 && end < tokens.size()) {
    utterance.nextToken = end;
    while (end < tokens.size()) {
      const CWordToken& token = tokens[end];
      if (token.control) {
        if (total > 0) break;
        ++end;
        utterance.nextToken = end;
        if (token.allophones.size() >= 2)
          controls.ApplyControl(static_cast<ControlCode>(token.allophones[0].index - allo::kControlBase),
                                token.allophones[1].index, utterance);
        continue;
      }
      const std::size_t bytes = TokenBytes(token, db);
      // A token that would take the chunk past the limit starts the next one;
      // a token larger than the limit on its own still makes a chunk alone.
      if (total > 0 && total + bytes > kMaxChunkBytes) break;
      total += bytes;
      ++end;
      if (EndsChunk(utterance, end - 1, db)) break;
    }
  }

  const std::size_t rendered = utterance.nextToken;
  utterance.nextToken = end;
  utterance.chunkFirstToken = rendered;
  utterance.chunkTokenOffsets.clear();
  if (total == 0) {
    utterance.chunk.samples.clear();
    return Rendered::Nothing;
  }

  if (const auto shaping = controls.Shaping(); shaping && utterance.plan) {
    ShapeChunk(utterance, db, rendered, end, *shaping);
    return utterance.chunk.samples.empty() ? Rendered::Silent : Rendered::Chunk;
  }
  utterance.chunkSoundStarts.clear();
  auto& samples = utterance.chunk.samples;
  samples.clear();
  samples.reserve(total);
  for (std::size_t t = rendered; t < end; ++t) {
    utterance.chunkTokenOffsets.push_back(samples.size());
    for (const auto& e : tokens[t].allophones) {
      if (e.index >= allo::kNothing) continue;
      if (const CAllophone* entry = db.Entry(e.index))
        samples.insert(samples.end(), entry->samples.begin(), entry->samples.end());
    }
  }
  utterance.chunk.format = db.Format();
  utterance.chunkFormat = db.Format();
  return Rendered::Chunk;
}

}  // namespace

bool RenderNextChunk(CUtterance& utterance, const CAllophoneDb& db, IControlHandler& controls) {
  // Tokens the stage gives no time (the pause after a figure) make no chunk.
  while (true) {
    switch (RenderOneChunk(utterance, db, controls)) {
      case Rendered::Nothing: return false;
      case Rendered::Chunk: return true;
      case Rendered::Silent: break;
    }
  }
}

}  // namespace vokar
