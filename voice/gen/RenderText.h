// A text read with a loaded voice as the engine reads it (the rules choose the
// allophones, their samples are joined one after another), with where each
// allophone lies, so that the joins can be measured.
#pragma once

#include <string>
#include <vector>

#include "AllophoneDb.h"
#include "JoinMeasures.h"
#include "SpeechSettings.h"

namespace vokar::voicegen {

struct RenderedSpeech {
  std::vector<float> samples;     // -1..1, at 22050 Hz
  std::vector<Segment> segments;  // one per allophone, in order
  std::vector<int> indices;       // the allophone of each segment
};

RenderedSpeech RenderText(const CAllophoneDb& db, const CSpeechSettingsValues& settings, const std::string& utf8);

}  // namespace vokar::voicegen
