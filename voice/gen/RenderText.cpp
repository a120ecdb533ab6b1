#include "RenderText.h"

#include "AllophoneIndex.h"
#include "Cp1250.h"
#include "Messages.h"
#include "TextScanner.h"

namespace vokar::voicegen {

RenderedSpeech RenderText(const CAllophoneDb& db, const CSpeechSettingsValues& settings, const std::string& utf8) {
  RenderedSpeech out;
  const std::string text = cp1250::FromUtf8(utf8);
  CSilentSink sink;
  CSpeechSettingsValues copy = settings;
  CTextScanner scanner(text, {copy, db, nullptr, sink});
  while (CUtterance* utterance = scanner.NextUtterance()) {
    for (const CWordToken& token : utterance->Tokens()) {
      if (token.control) continue;
      for (const AllophoneElement& e : token.allophones) {
        if (e.index >= allo::kNothing) continue;
        const CAllophone* a = db.Entry(e.index);
        if (a == nullptr || a->samples.empty()) continue;
        Segment segment;
        segment.begin = out.samples.size();
        for (std::uint8_t v : a->samples) out.samples.push_back((static_cast<int>(v) - 128) / 128.0f);
        segment.end = out.samples.size();
        segment.sound = ClassOfEntry(e.index);
        out.segments.push_back(segment);
        out.indices.push_back(e.index);
      }
    }
  }
  return out;
}

}  // namespace vokar::voicegen
