#include "Audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "Riff.h"

namespace vokar::alf {
namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
constexpr int kMaxChannels = 64;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 768000;

AlfError SourceError(const std::string& file, std::size_t offset, std::string text) {
  return MakeError(ErrorKind::Source, file, offset, std::move(text));
}

AlfError FromRiff(const riff::Error& error, const std::string& file) {
  return SourceError(file, error.offset, error.description);
}

float DecodeOne(const std::uint8_t* p, std::uint16_t tag, int bits) {
  if (tag == kTagFloat) {
    if (bits == 32) {
      std::uint32_t u = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
      float f;
      std::memcpy(&f, &u, 4);
      return std::isfinite(f) ? f : 0.0f;
    }
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
    double d;
    std::memcpy(&d, &u, 8);
    return std::isfinite(d) ? static_cast<float>(d) : 0.0f;
  }
  switch (bits) {
    case 8: return (static_cast<int>(p[0]) - 128) / 128.0f;
    case 16: return static_cast<std::int16_t>(p[0] | (p[1] << 8)) / 32768.0f;
    case 24: {
      std::int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
      if (v & 0x800000) v -= 0x1000000;
      return static_cast<float>(v / 8388608.0);
    }
    default: {
      const std::uint32_t u =
          p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
      return static_cast<float>(static_cast<std::int32_t>(u) / 2147483648.0);
    }
  }
}

double Sinc(double x) {
  if (std::abs(x) < 1e-9) return 1.0;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

// Blackman window over -1..1.
double Window(double x) {
  if (x <= -1.0 || x >= 1.0) return 0.0;
  const double t = (x + 1.0) / 2.0;
  return 0.42 - 0.5 * std::cos(2 * std::numbers::pi * t) + 0.08 * std::cos(4 * std::numbers::pi * t);
}

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

}  // namespace

Result<Audio> DecodeWav(std::span<const std::uint8_t> bytes, const std::string& fileName) {
  auto form = riff::CFormReader::Find(bytes, riff::FourCC("WAVE"));
  if (!form) return FromRiff(form.GetError(), fileName);
  auto fmtChunk = form->FindChunk(riff::FourCC("fmt "));
  if (!fmtChunk) return SourceError(fileName, fmtChunk.GetError().offset, "no \"fmt \" chunk");
  auto fmt = form->Data(*fmtChunk);
  if (!fmt) return FromRiff(fmt.GetError(), fileName);
  const std::size_t fmtAt = fmtChunk->dataOffset;
  if (fmt->size() < 16) return SourceError(fileName, fmtAt, "\"fmt \" chunk shorter than 16 bytes");

  std::uint16_t tag = riff::ReadU16(*fmt, 0);
  const int channels = riff::ReadU16(*fmt, 2);
  const std::uint32_t rate = riff::ReadU32(*fmt, 4);
  const int blockAlign = riff::ReadU16(*fmt, 12);
  const int bits = riff::ReadU16(*fmt, 14);
  if (tag == kTagExtensible) {
    // The sub-format GUID starts with the plain format tag.
    if (fmt->size() < 26) return SourceError(fileName, fmtAt, "extensible \"fmt \" chunk too short");
    tag = riff::ReadU16(*fmt, 24);
  }
  if (tag != kTagPcm && tag != kTagFloat) {
    return SourceError(fileName, fmtAt, "format tag " + std::to_string(tag) +
                                            " is neither integer PCM nor float PCM");
  }
  if (channels < 1 || channels > kMaxChannels) {
    return SourceError(fileName, fmtAt + 2, "channel count " + std::to_string(channels));
  }
  if (rate < kMinRate || rate > kMaxRate) {
    return SourceError(fileName, fmtAt + 4, "sample rate " + std::to_string(rate) + " Hz");
  }
  const bool bitsOk = tag == kTagFloat ? (bits == 32 || bits == 64)
                                       : (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  if (!bitsOk) {
    return SourceError(fileName, fmtAt + 14, std::to_string(bits) + " bits per sample");
  }
  const int bytesPerSample = bits / 8;
  if (blockAlign != channels * bytesPerSample) {
    return SourceError(fileName, fmtAt + 12, "block align " + std::to_string(blockAlign) +
                                                 " does not match channels and sample size");
  }

  auto dataChunk = form->FindChunk(riff::FourCC("data"));
  if (!dataChunk) return SourceError(fileName, dataChunk.GetError().offset, "no \"data\" chunk");
  auto data = form->Data(*dataChunk);
  if (!data) return FromRiff(data.GetError(), fileName);

  Audio audio;
  audio.rate = static_cast<int>(rate);
  const std::size_t frames = data->size() / static_cast<std::size_t>(blockAlign);
  audio.samples.resize(frames);
  for (std::size_t f = 0; f < frames; ++f) {
    const std::uint8_t* frame = data->data() + f * static_cast<std::size_t>(blockAlign);
    float sum = 0.0f;
    for (int c = 0; c < channels; ++c) sum += DecodeOne(frame + c * bytesPerSample, tag, bits);
    audio.samples[f] = sum / static_cast<float>(channels);
  }
  return audio;
}

Result<Audio> ReadWavFile(const std::filesystem::path& path) {
  auto bytes = riff::ReadFileBytes(path, 512u * 1024u * 1024u);
  if (!bytes) return FromRiff(bytes.GetError(), path.string());
  return DecodeWav(*bytes, path.string());
}

std::vector<float> Resample(std::span<const float> input, int fromRate, int toRate) {
  if (fromRate == toRate || input.empty() || fromRate <= 0 || toRate <= 0) {
    return {input.begin(), input.end()};
  }
  const double step = static_cast<double>(fromRate) / toRate;  // input samples per output
  // Below the lower of the two Nyquist frequencies, with a little room for
  // the transition band.
  const double cutoff = std::min(1.0, static_cast<double>(toRate) / fromRate) * 0.95;
  constexpr double kZeroCrossings = 16.0;
  const double halfWidth = kZeroCrossings / cutoff;
  const auto outCount = static_cast<std::size_t>(std::floor(input.size() / step));
  std::vector<float> out(outCount);
  const auto last = static_cast<long>(input.size()) - 1;
  for (std::size_t n = 0; n < outCount; ++n) {
    const double t = n * step;
    const long first = std::max(0L, static_cast<long>(std::ceil(t - halfWidth)));
    const long end = std::min(last, static_cast<long>(std::floor(t + halfWidth)));
    double sum = 0.0;
    for (long k = first; k <= end; ++k) {
      const double d = t - k;
      sum += input[static_cast<std::size_t>(k)] * cutoff * Sinc(cutoff * d) * Window(d / halfWidth);
    }
    out[n] = static_cast<float>(sum);
  }
  return out;
}

void FadeIn(std::span<float> samples, std::size_t count) {
  count = std::min(count, samples.size());
  for (std::size_t i = 0; i < count; ++i) {
    const double x = static_cast<double>(i) / count;
    samples[i] *= static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * x));
  }
}

void FadeOut(std::span<float> samples, std::size_t count) {
  count = std::min(count, samples.size());
  const std::size_t n = samples.size();
  for (std::size_t i = 0; i < count; ++i) {
    const double x = static_cast<double>(i) / count;
    samples[n - 1 - i] *= static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * x));
  }
}

void ApplyGainDb(std::span<float> samples, double gainDb) {
  const auto factor = static_cast<float>(std::pow(10.0, gainDb / 20.0));
  for (float& s : samples) s *= factor;
}

double Rms(std::span<const float> samples) {
  if (samples.empty()) return 0.0;
  double sum = 0.0;
  for (float s : samples) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / samples.size());
}

std::vector<std::uint8_t> ToUnsigned8(std::span<const float> samples, std::size_t* clipped) {
  std::vector<std::uint8_t> out(samples.size());
  std::size_t clips = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double v = std::round(samples[i] * 127.0) + 128.0;
    if (v < 0.0 || v > 255.0) ++clips;
    out[i] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
  }
  if (clipped) *clipped = clips;
  return out;
}

std::vector<float> FromUnsigned8(std::span<const std::uint8_t> samples) {
  std::vector<float> out(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) out[i] = (samples[i] - 128) / 127.0f;
  return out;
}

std::vector<std::uint8_t> EncodeWav(std::span<const std::uint8_t> pcm, const WaveFormat& format) {
  std::vector<std::uint8_t> out;
  out.reserve(pcm.size() + 46);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  PutU32(out, static_cast<std::uint32_t>(36 + pcm.size() + pcm.size() % 2));
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutU32(out, 16);
  PutU16(out, format.formatTag);
  PutU16(out, format.channels);
  PutU32(out, format.samplesPerSec);
  PutU32(out, format.avgBytesPerSec);
  PutU16(out, format.blockAlign);
  PutU16(out, format.bitsPerSample);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutU32(out, static_cast<std::uint32_t>(pcm.size()));
  out.insert(out.end(), pcm.begin(), pcm.end());
  if (pcm.size() % 2 != 0) out.push_back(0);
  return out;
}

std::vector<std::uint8_t> EncodeWav16(const Audio& audio) {
  std::vector<std::uint8_t> pcm;
  pcm.reserve(audio.samples.size() * 2);
  for (float s : audio.samples) {
    const auto v = static_cast<std::int16_t>(std::clamp(std::round(s * 32767.0f), -32768.0f, 32767.0f));
    PutU16(pcm, static_cast<std::uint16_t>(v));
  }
  const auto rate = static_cast<std::uint32_t>(audio.rate);
  return EncodeWav(pcm, WaveFormat{WaveFormat::kPcm, 1, rate, rate * 2, 2, 16});
}

}  // namespace vokar::alf
