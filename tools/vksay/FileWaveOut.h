// A wave output that writes everything it is given into one WAV file, as it
// would be heard: every buffer is brought to 16-bit stereo at 22050 Hz, so
// speed changes (played at a higher or lower rate) and wave inserts of other
// formats keep their sound. Buffers are done as soon as they are written.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "WaveOutBase.h"
#include "WavFileSeries.h"

namespace vokar::vksay {

class FileWaveOut final : public waveout::WaveOutBase {
 public:
  explicit FileWaveOut(std::filesystem::path path);

  int DeviceCount() override { return 1; }
  std::optional<WaveOutCaps> Caps(int device) override;
  WaveOutResult Open(int device, const WaveFormat& format, std::function<void()> onDone,
                     std::unique_ptr<IWaveOutDevice>& opened) override;

  // Why writing failed; empty when it did not.
  std::string Error() const { return error_; }
  // Seconds of sound written so far.
  double Seconds() const { return static_cast<double>(frames_) / kOutputRate; }

  static constexpr std::uint32_t kOutputRate = 22050;

  // Appends one buffer; used by the open device.
  bool Append(const waveout::PcmLayout& layout, std::span<const std::uint8_t> samples, int device);
  void Notify(std::function<void()> onDone);

 private:
  waveout::WavFileSeries file_;
  std::string error_;
  std::uint64_t frames_ = 0;
};

}  // namespace vokar::vksay
