#include "EspeakRun.h"

#ifdef VOKAR_BENCH_ESPEAK
#include <espeak-ng/speak_lib.h>
#endif

namespace vokar::bench {

#ifdef VOKAR_BENCH_ESPEAK
namespace {

// The library hands each synthesis's user data to the callback with every
// event list, so the buffer travels there without a global.
int AppendSamples(short* wav, int count, espeak_EVENT* events) {
  if (wav == nullptr || count <= 0 || events == nullptr || events->user_data == nullptr) return 0;
  auto* out = static_cast<std::vector<std::int16_t>*>(events->user_data);
  out->insert(out->end(), wav, wav + count);
  return 0;
}

}  // namespace

bool EspeakRun::Open(const char* voice) {
  sampleRate_ = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
  if (sampleRate_ <= 0) {
    error_ = "espeak-ng does not start (no data folder?)";
    return false;
  }
  espeak_SetSynthCallback(AppendSamples);
  if (espeak_SetVoiceByName(voice) != EE_OK) {
    error_ = std::string("espeak-ng has no voice \"") + voice + "\"";
    return false;
  }
  return true;
}

bool EspeakRun::Render(std::string_view utf8Text, std::vector<std::int16_t>& out) {
  const std::string text(utf8Text);
  const espeak_ERROR result = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                                           nullptr, &out);
  return result == EE_OK && espeak_Synchronize() == EE_OK;
}

#else

bool EspeakRun::Open(const char*) {
  error_ = "built without libespeak-ng (install libespeak-ng-dev and configure again)";
  return false;
}

bool EspeakRun::Render(std::string_view, std::vector<std::int16_t>&) { return false; }

#endif

}  // namespace vokar::bench
