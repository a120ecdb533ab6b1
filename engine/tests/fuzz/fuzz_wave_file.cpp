// Feeds arbitrary bytes to the wave-file reader: every input must end in an
// insert or a failure that names its message, never in a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "WaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto wave = vokar::ReadWave(std::span(data, size));
  if (wave) {
    if (!wave->loaded || wave->samples.size() > size) std::abort();
    if (wave->format.formatTag != vokar::WaveFormat::kPcm) std::abort();
  } else {
    const auto message = wave.GetError().message;
    if (message != vokar::kMsgWaveRead && message != vokar::kMsgBadSoundFile) std::abort();
    if (wave.GetError().error.offset > size) std::abort();
  }
  return 0;
}
