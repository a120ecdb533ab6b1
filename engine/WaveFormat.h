// The PCM wave format record shared by the allophone file, wave inserts and the
// wave-output devices: the 16 bytes of a RIFF "fmt " chunk.
#pragma once

#include <cstdint>

namespace vokar {

struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;

  static constexpr std::uint16_t kPcm = 1;
  bool operator==(const WaveFormat&) const = default;
};

// The format every pause entry assumes: 8-bit unsigned mono at 22050 Hz.
inline constexpr WaveFormat kVoiceFormat{WaveFormat::kPcm, 1, 22050, 22050, 1, 8};

}  // namespace vokar
