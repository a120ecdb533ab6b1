#include "SampleFormat.h"

#include <algorithm>
#include <cstring>

namespace vokar::waveout {
namespace {

constexpr std::uint32_t kMaxRate = 1000000;

// A sample as a signed 16-bit value, whatever its stored type.
int ReadSample(const std::uint8_t* p, SampleType type) {
  if (type == SampleType::U8) return (static_cast<int>(p[0]) - 128) * 256;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// numerator / denominator (denominator > 0) rounded to the nearest integer,
// halves away from zero, so that scaling is symmetric around the centre.
std::int64_t RoundedDivide(std::int64_t numerator, std::int64_t denominator) {
  if (numerator >= 0) return (numerator + denominator / 2) / denominator;
  return -((-numerator + denominator / 2) / denominator);
}

// The 16-bit steps of one output sample per unit of `sum`, where `sum` is a
// sum of `terms` samples (in 16-bit steps) each multiplied by its level
// (0xFFFF is full). The scaling, the mixing of two channels and the
// narrowing to 8 bits are all done by this one division, so the result is
// rounded once, never truncated.
void WriteScaled(std::uint8_t* p, SampleType type, std::int64_t sum, int terms) {
  const std::int64_t steps = type == SampleType::U8 ? 256 : 1;
  const std::int64_t value = RoundedDivide(sum, std::int64_t{0xFFFF} * terms * steps);
  if (type == SampleType::U8) {
    p[0] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(value + 128, 0, 255));
    return;
  }
  const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp<std::int64_t>(value, -32768, 32767)));
  p[0] = static_cast<std::uint8_t>(bits & 0xFF);
  p[1] = static_cast<std::uint8_t>(bits >> 8);
}

void WriteRaw(std::uint8_t* p, SampleType type, std::int64_t value) {
  if (type == SampleType::U8) {
    p[0] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
    return;
  }
  const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp<std::int64_t>(value, -32768, 32767)));
  p[0] = static_cast<std::uint8_t>(bits & 0xFF);
  p[1] = static_cast<std::uint8_t>(bits >> 8);
}

// A stored sample as the integer it holds (0-255 for U8, signed for S16).
std::int64_t RawAt(const std::uint8_t* p, SampleType type) {
  if (type == SampleType::U8) return p[0];
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

}  // namespace

std::optional<PcmLayout> LayoutOf(const WaveFormat& format) {
  if (format.formatTag != WaveFormat::kPcm) return std::nullopt;
  if (format.channels != 1 && format.channels != 2) return std::nullopt;
  if (format.samplesPerSec == 0 || format.samplesPerSec > kMaxRate) return std::nullopt;
  PcmLayout layout;
  layout.channels = format.channels;
  layout.rate = format.samplesPerSec;
  if (format.bitsPerSample == 8) {
    layout.type = SampleType::U8;
  } else if (format.bitsPerSample == 16) {
    layout.type = SampleType::S16;
  } else {
    return std::nullopt;
  }
  if (format.blockAlign != layout.FrameBytes()) return std::nullopt;
  return layout;
}

WaveFormat FormatOf(const PcmLayout& layout) {
  WaveFormat format;
  format.formatTag = WaveFormat::kPcm;
  format.channels = static_cast<std::uint16_t>(layout.channels);
  format.samplesPerSec = layout.rate;
  format.blockAlign = static_cast<std::uint16_t>(layout.FrameBytes());
  format.avgBytesPerSec = layout.rate * format.blockAlign;
  format.bitsPerSample = static_cast<std::uint16_t>(layout.BytesPerSample() * 8);
  return format;
}

unsigned OutputChannels(const PcmLayout& source, Gains gains) {
  if (source.channels == 1 && !gains.Centred()) return 2;
  return source.channels;
}

void ConvertFrames(const std::uint8_t* src, const PcmLayout& in, std::size_t frames, const PcmLayout& out,
                   Gains gains, std::uint8_t* dst) {
  // Full level on the same layout changes nothing: the common case of speech
  // written as it is, copied instead of scaled sample by sample.
  if (in.type == out.type && in.channels == out.channels && gains.left == 0xFFFF && gains.right == 0xFFFF) {
    std::memcpy(dst, src, frames * in.FrameBytes());
    return;
  }
  const std::size_t inSample = in.BytesPerSample();
  const std::size_t outSample = out.BytesPerSample();
  const std::int64_t left = gains.left;
  const std::int64_t right = gains.right;
  const std::int64_t louder = std::max(gains.left, gains.right);
  for (std::size_t i = 0; i < frames; ++i) {
    const std::int64_t first = ReadSample(src, in.type);
    const std::int64_t second = in.channels == 2 ? ReadSample(src + inSample, in.type) : first;
    src += in.FrameBytes();
    if (out.channels == 2) {
      WriteScaled(dst, out.type, first * left, 1);
      WriteScaled(dst + outSample, out.type, second * right, 1);
    } else if (in.channels == 2) {
      WriteScaled(dst, out.type, first * left + second * right, 2);
    } else {
      WriteScaled(dst, out.type, first * louder, 1);
    }
    dst += out.FrameBytes();
  }
}

std::size_t ResampledFrames(std::size_t frames, std::uint32_t fromRate, std::uint32_t toRate) {
  if (fromRate == 0) return 0;
  return static_cast<std::size_t>(static_cast<std::uint64_t>(frames) * toRate / fromRate);
}

void ResampleFrames(const std::uint8_t* src, const PcmLayout& in, std::size_t frames, std::uint32_t toRate,
                    std::uint8_t* dst) {
  const std::size_t count = ResampledFrames(frames, in.rate, toRate);
  if (count == 0) return;
  if (toRate == in.rate) {
    std::memcpy(dst, src, count * in.FrameBytes());
    return;
  }
  const std::size_t sample = in.BytesPerSample();
  const std::int64_t den = toRate;
  for (std::size_t i = 0; i < count; ++i) {
    // Output frame i lies at input position i × from / to: frame `at` and a
    // fraction `part / den` of the way to the next one.
    const std::uint64_t position = static_cast<std::uint64_t>(i) * in.rate;
    const std::size_t at = static_cast<std::size_t>(position / toRate);
    const std::int64_t part = static_cast<std::int64_t>(position % toRate);
    const std::size_t next = std::min(at + 1, frames - 1);
    for (unsigned c = 0; c < in.channels; ++c) {
      const std::int64_t a = RawAt(src + at * in.FrameBytes() + c * sample, in.type);
      const std::int64_t b = RawAt(src + next * in.FrameBytes() + c * sample, in.type);
      WriteRaw(dst + c * sample, in.type, RoundedDivide(a * (den - part) + b * part, den));
    }
    dst += in.FrameBytes();
  }
}

}  // namespace vokar::waveout
