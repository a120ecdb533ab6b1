#include "Assembly.h"

#include "AllophoneIndex.h"

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

}  // namespace

bool RenderNextChunk(CUtterance& utterance, const CAllophoneDb& db, IControlHandler& controls) {
  utterance.chunk.Stop();
  utterance.chunk.samples.clear();
  auto& tokens = utterance.Tokens();

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
      if (IsPauseToken(token, db)) break;
    }
  }

  const std::size_t rendered = utterance.nextToken;
  utterance.nextToken = end;
  utterance.chunkFirstToken = rendered;
  utterance.chunkTokenOffsets.clear();
  if (total == 0) return false;

  auto& samples = utterance.chunk.samples;
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
  return true;
}

}  // namespace vokar
