#include "FileWaveOut.h"

#include <cmath>
#include <cstring>

namespace vokar::vksay {
namespace {

using waveout::PcmLayout;
using waveout::SampleType;

constexpr PcmLayout kOutput{SampleType::S16, 2, FileWaveOut::kOutputRate};

class FileDevice final : public IWaveOutDevice {
 public:
  FileDevice(FileWaveOut& owner, PcmLayout layout, int device, std::function<void()> onDone)
      : owner_(owner), layout_(layout), device_(device), onDone_(std::move(onDone)) {}

  WaveOutResult Write(std::span<const std::uint8_t> samples) override {
    if (!owner_.Append(layout_, samples, device_)) return WaveOutResult::Error;
    owner_.Notify(onDone_);
    return WaveOutResult::Ok;
  }
  // The file takes a buffer whole at once, so there is nothing to pause.
  void Pause() override {}
  void Restart() override {}
  void Reset() override {}

 private:
  FileWaveOut& owner_;
  PcmLayout layout_;
  int device_;
  std::function<void()> onDone_;
};

}  // namespace

FileWaveOut::FileWaveOut(std::filesystem::path path) : file_(std::move(path)) {}

std::optional<WaveOutCaps> FileWaveOut::Caps(int device) {
  if (!IsDevice(device)) return std::nullopt;
  return WaveOutCaps{"WAV file", true, true};
}

WaveOutResult FileWaveOut::Open(int device, const WaveFormat& format, std::function<void()> onDone,
                                std::unique_ptr<IWaveOutDevice>& opened) {
  if (!IsDevice(device)) return WaveOutResult::Error;
  const auto layout = waveout::LayoutOf(format);
  if (!layout) return WaveOutResult::BadFormat;
  opened = std::make_unique<FileDevice>(*this, *layout, device, std::move(onDone));
  return WaveOutResult::Ok;
}

void FileWaveOut::Notify(std::function<void()> onDone) {
  hub_->Post(hub_->NewSource(), std::make_shared<const std::function<void()>>(std::move(onDone)));
}

bool FileWaveOut::Append(const PcmLayout& layout, std::span<const std::uint8_t> samples, int device) {
  const std::size_t frames = samples.size() / layout.FrameBytes();
  if (frames == 0) return true;
  // Volume and channels first, at the source rate; then linear
  // interpolation to the file's rate.
  std::vector<std::uint8_t> stereo(frames * kOutput.FrameBytes());
  waveout::ConvertFrames(samples.data(), layout, frames, {SampleType::S16, 2, layout.rate},
                         volumes_->GainsOf(device), stereo.data());
  auto sample = [&](std::size_t frame, int channel) {
    std::int16_t value;
    std::memcpy(&value, &stereo[(frame * 2 + channel) * 2], 2);
    return static_cast<double>(value);
  };
  const double step = static_cast<double>(layout.rate) / kOutputRate;
  const auto outFrames = static_cast<std::size_t>(std::floor(static_cast<double>(frames) / step));
  std::vector<std::uint8_t> out(outFrames * kOutput.FrameBytes());
  for (std::size_t i = 0; i < outFrames; ++i) {
    const double at = static_cast<double>(i) * step;
    const auto left = static_cast<std::size_t>(at);
    const std::size_t right = std::min(left + 1, frames - 1);
    const double fraction = at - static_cast<double>(left);
    for (int channel = 0; channel < 2; ++channel) {
      const double v = sample(left, channel) * (1 - fraction) + sample(right, channel) * fraction;
      const auto value = static_cast<std::int16_t>(std::lround(v));
      std::memcpy(&out[(i * 2 + channel) * 2], &value, 2);
    }
  }
  if (!file_.Begin(kOutput) || !file_.Append(out.data(), out.size())) {
    error_ = file_.LastError();
    return false;
  }
  frames_ += outFrames;
  return true;
}

}  // namespace vokar::vksay
