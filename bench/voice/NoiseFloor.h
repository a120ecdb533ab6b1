// The noise the 8-bit conversion adds to the default voice, per band, in
// the pauses, the weak consonants and the sonorants of running sentences:
// the pieces the manifest cuts (before the conversion) against the same
// pieces rounded plainly (as the voice is built), with the noise shaped by
// the threshold of hearing, with the noise following the sound, and with
// triangular dither; and whether silence stays exactly 128 in each.
#pragma once

#include <filesystem>
#include <optional>
#include <span>

#include "AllophoneDb.h"
#include "SpeechSettings.h"

// With out, the first two sentences in every way go there as WAV files
// (noise-WAY-N.wav), and the pieces before rounding (noise-source-N.wav).
int RunNoiseFloor(const vokar::CAllophoneDb& db, const vokar::CSpeechSettingsValues& settings,
                  std::span<const char* const> sentences, const std::filesystem::path& manifest,
                  const std::optional<std::filesystem::path>& out);
