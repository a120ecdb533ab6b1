// Sound sources for allophone files: decoding WAV files of the common PCM
// forms (8-, 16-, 24- and 32-bit integer, 32- and 64-bit float, any channel
// count, extensible headers) into mono samples, resampling, fades and gain,
// and the conversion to the 8-bit unsigned samples the engine plays.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "AlfError.h"
#include "WaveFormat.h"

namespace vokar::alf {

// Mono samples in -1..1 at a sample rate.
struct Audio {
  int rate = 0;
  std::vector<float> samples;
};

// Decodes a RIFF "WAVE" file; channels are averaged. Errors name the file and
// the byte offset of the fault.
Result<Audio> DecodeWav(std::span<const std::uint8_t> bytes, const std::string& fileName);
Result<Audio> ReadWavFile(const std::filesystem::path& path);

// Band-limited resampling (windowed sinc); the input is returned unchanged
// when the rates agree.
std::vector<float> Resample(std::span<const float> input, int fromRate, int toRate);

// Raised-cosine fades over the first or last count samples (fewer when the
// block is shorter).
void FadeIn(std::span<float> samples, std::size_t count);
void FadeOut(std::span<float> samples, std::size_t count);

void ApplyGainDb(std::span<float> samples, double gainDb);

// Root mean square level of the samples, 0 for an empty block.
double Rms(std::span<const float> samples);

// 8-bit unsigned samples (128 is silence); clipped counts the samples that
// lay outside -1..1.
std::vector<std::uint8_t> ToUnsigned8(std::span<const float> samples, std::size_t* clipped);
std::vector<float> FromUnsigned8(std::span<const std::uint8_t> samples);

// A WAV file holding raw PCM samples in the given format.
std::vector<std::uint8_t> EncodeWav(std::span<const std::uint8_t> pcm, const WaveFormat& format);
// A 16-bit mono WAV file of float samples.
std::vector<std::uint8_t> EncodeWav16(const Audio& audio);

}  // namespace vokar::alf
