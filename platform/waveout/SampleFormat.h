// The PCM layouts a wave-output device plays and the software volume that
// scales samples on their way to it: 8-bit unsigned samples around 128,
// 16-bit signed ones around 0, a mono source spread over two channels when
// the left and right levels differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "WaveFormat.h"

namespace vokar::waveout {

enum class SampleType { U8, S16 };

struct PcmLayout {
  SampleType type = SampleType::U8;
  unsigned channels = 1;
  std::uint32_t rate = 0;

  std::size_t BytesPerSample() const { return type == SampleType::U8 ? 1 : 2; }
  std::size_t FrameBytes() const { return BytesPerSample() * channels; }
  bool operator==(const PcmLayout&) const = default;
};

// The layout of a format record, or nothing when no device of ours plays it:
// not PCM, not 8 or 16 bits, not one or two channels, a rate of 0 or above
// 1000000, or a block align that does not match the channels and bits.
std::optional<PcmLayout> LayoutOf(const WaveFormat& format);

// The format record of a layout, as a WAV file's "fmt " chunk holds it.
WaveFormat FormatOf(const PcmLayout& layout);

// The two levels of a volume word: the low 16 bits are the left channel,
// the high 16 bits the right one; 0xFFFF is full level.
struct Gains {
  std::uint16_t left = 0xFFFF;
  std::uint16_t right = 0xFFFF;

  static Gains FromVolumeWord(std::uint32_t word) {
    return {static_cast<std::uint16_t>(word & 0xFFFF), static_cast<std::uint16_t>(word >> 16)};
  }
  bool Centred() const { return left == right; }
};

// The channel count a device opens for a source: the source's own, except
// that a mono source takes two channels when the levels differ, so that the
// balance can be heard.
unsigned OutputChannels(const PcmLayout& source, Gains gains);

// Converts whole frames from layout `in` to layout `out` (same rate),
// scaling every sample by its channel's level. A mono source fills both
// output channels; a stereo source played on one channel is mixed down; a
// mono source on a mono output takes the louder of the two levels. `dst`
// holds frames × out.FrameBytes() bytes. Each sample is rounded once to the
// nearest step of the output (halves away from zero), never truncated; full
// level on the same sample type and channels copies the frames unchanged.
void ConvertFrames(const std::uint8_t* src, const PcmLayout& in, std::size_t frames, const PcmLayout& out,
                   Gains gains, std::uint8_t* dst);

// How many frames ResampleFrames makes of `frames` frames: floor(frames ×
// toRate / fromRate), 0 for a rate of 0.
std::size_t ResampledFrames(std::size_t frames, std::uint32_t fromRate, std::uint32_t toRate);

// Brings whole frames of `in` (at in.rate) to the rate `toRate`, same sample
// type and channels, by linear interpolation in integer arithmetic: output
// frame i lies at input position i × in.rate / toRate, between two input
// frames, and is rounded to the nearest step. `dst` holds
// ResampledFrames(frames, in.rate, toRate) × in.FrameBytes() bytes.
void ResampleFrames(const std::uint8_t* src, const PcmLayout& in, std::size_t frames, std::uint32_t toRate,
                    std::uint8_t* dst);

}  // namespace vokar::waveout
