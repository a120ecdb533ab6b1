#include "SampleFormat.h"

#include <algorithm>

namespace vokar::waveout {
namespace {

constexpr std::uint32_t kMaxRate = 1000000;

// A sample as a signed 16-bit value, whatever its stored type.
int ReadSample(const std::uint8_t* p, SampleType type) {
  if (type == SampleType::U8) return (static_cast<int>(p[0]) - 128) * 256;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// Scales by level/65535, rounding half away from zero so that full level is
// exact and the scaling is symmetric around the centre.
int Scale(int value, std::uint16_t level) {
  const std::int64_t product = static_cast<std::int64_t>(value) * level;
  if (product >= 0) return static_cast<int>((product + 32767) / 65535);
  return -static_cast<int>((-product + 32767) / 65535);
}

void WriteSample(std::uint8_t* p, SampleType type, int value) {
  value = std::clamp(value, -32768, 32767);
  if (type == SampleType::U8) {
    // Round to the nearest 8-bit step rather than truncate, so that a value
    // read from U8 and scaled at full level comes back unchanged.
    const int rounded = value >= 0 ? (value + 128) / 256 : -((-value + 127) / 256);
    p[0] = static_cast<std::uint8_t>(std::clamp(rounded + 128, 0, 255));
    return;
  }
  const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
  p[0] = static_cast<std::uint8_t>(bits & 0xFF);
  p[1] = static_cast<std::uint8_t>(bits >> 8);
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
  const std::size_t inSample = in.BytesPerSample();
  const std::size_t outSample = out.BytesPerSample();
  const std::uint16_t louder = std::max(gains.left, gains.right);
  for (std::size_t i = 0; i < frames; ++i) {
    const int first = ReadSample(src, in.type);
    const int second = in.channels == 2 ? ReadSample(src + inSample, in.type) : first;
    src += in.FrameBytes();
    if (out.channels == 2) {
      WriteSample(dst, out.type, Scale(first, gains.left));
      WriteSample(dst + outSample, out.type, Scale(second, gains.right));
    } else if (in.channels == 2) {
      WriteSample(dst, out.type, (Scale(first, gains.left) + Scale(second, gains.right)) / 2);
    } else {
      WriteSample(dst, out.type, Scale(first, louder));
    }
    dst += out.FrameBytes();
  }
}

}  // namespace vokar::waveout
