#include "Espeak.h"

#include <espeak-ng/speak_lib.h>

#include <cstring>

namespace vokar::voicegen {
namespace {

// espeak-ng reports through a plain callback; the synthesis in progress
// collects there. The recipe runs one synthesis at a time.
Synthesis* g_current = nullptr;

int OnSynth(short* wav, int count, espeak_EVENT* events) {
  if (g_current == nullptr) return 0;
  for (int i = 0; wav != nullptr && i < count; ++i) g_current->samples.push_back(wav[i] / 32768.0f);
  for (; events != nullptr && events->type != espeakEVENT_LIST_TERMINATED; ++events) {
    if (events->type == espeakEVENT_WORD) {
      g_current->words.push_back(events->sample > 0 ? static_cast<std::size_t>(events->sample) : 0);
      continue;
    }
    if (events->type != espeakEVENT_PHONEME) continue;
    PhonemeMark mark;
    mark.name.assign(events->id.string, strnlen(events->id.string, sizeof events->id.string));
    mark.sample = events->sample > 0 ? static_cast<std::size_t>(events->sample) : 0;
    g_current->marks.push_back(std::move(mark));
  }
  return 0;
}

}  // namespace

alf::Result<CEspeak*> CEspeak::Open(const std::string& voice) {
  static CEspeak instance;
  static bool opened = false;
  if (!opened) {
    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                       espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
    if (rate != 22050) {
      return alf::MakeError(alf::ErrorKind::Io, "espeak-ng", 0,
                            rate < 0 ? "the library does not start" : "unexpected sample rate " + std::to_string(rate));
    }
    espeak_SetSynthCallback(OnSynth);
    opened = true;
  }
  if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
    return alf::MakeError(alf::ErrorKind::Io, "espeak-ng", 0, "no voice '" + voice + "'");
  }
  return &instance;
}

namespace {

alf::Result<Synthesis> Synthesise(const std::string& text, unsigned flags) {
  Synthesis synthesis;
  g_current = &synthesis;
  const espeak_ERROR result =
      espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | flags, nullptr, nullptr);
  espeak_Synchronize();
  g_current = nullptr;
  if (result != EE_OK) return alf::MakeError(alf::ErrorKind::Io, "espeak-ng", 0, "cannot speak " + text);
  return synthesis;
}

}  // namespace

alf::Result<Synthesis> CEspeak::Speak(const std::string& phonemes, const Prosody& prosody) {
  espeak_SetParameter(espeakPITCH, prosody.pitch, 0);
  espeak_SetParameter(espeakRANGE, prosody.range, 0);
  espeak_SetParameter(espeakRATE, prosody.rate, 0);
  return Synthesise("[[" + phonemes + "]]", espeakPHONEMES);
}

alf::Result<Synthesis> CEspeak::SpeakText(const std::string& utf8) {
  espeak_SetParameter(espeakPITCH, 50, 0);
  espeak_SetParameter(espeakRANGE, 50, 0);
  espeak_SetParameter(espeakRATE, 175, 0);
  return Synthesise(utf8, 0);
}

}  // namespace vokar::voicegen
