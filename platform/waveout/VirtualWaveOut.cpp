#include "VirtualWaveOut.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "WavFileSeries.h"

namespace vokar::waveout {

struct VirtualWaveOut::Shared {
  std::mutex mutex;
  VirtualWaveOutOptions options;
  int openDevices = 0;
  bool writeFailed = false;
  std::unique_ptr<WavFileSeries> files;
};

namespace {

using Clock = std::chrono::steady_clock;

// How often a playing device hands what it has played to the WAV file.
constexpr auto kEmitStep = std::chrono::milliseconds(10);

// One open virtual device. Its thread waits for the moment the buffer would
// have finished playing; pause and restart stop and start that clock. While
// it runs, the frames played so far go to the WAV file every few
// milliseconds, as a card's would reach the loudspeaker, so the file shows
// when the first sound was heard; every stop hands on the rest.
class VirtualDevice final : public IWaveOutDevice {
 public:
  VirtualDevice(std::shared_ptr<VirtualWaveOut::Shared> shared, std::shared_ptr<NoticeHub> hub,
                std::shared_ptr<VolumeTable> volumes, int device, PcmLayout in, PcmLayout out,
                std::function<void()> onDone)
      : shared_(std::move(shared)),
        hub_(std::move(hub)),
        volumes_(std::move(volumes)),
        device_(device),
        in_(in),
        out_(out),
        fast_(shared_->options.pacing == Pacing::Fast),
        source_(hub_->NewSource()),
        onDone_(std::make_shared<const std::function<void()>>(std::move(onDone))) {
    thread_ = std::thread([this] { Run(); });
  }

  ~VirtualDevice() override {
    {
      std::lock_guard lock(mutex_);
      StopLocked();
      quit_ = true;
      ++serial_;
    }
    cv_.notify_all();
    thread_.join();
    hub_->Cancel(source_);
    std::lock_guard lock(shared_->mutex);
    --shared_->openDevices;
  }

  WaveOutResult Write(std::span<const std::uint8_t> samples) override {
    std::lock_guard lock(mutex_);
    if (hasBuffer_) return WaveOutResult::Error;  // one buffer at a time
    if (Failed()) return WaveOutResult::Error;
    data_ = samples.data();
    frames_ = samples.size() / in_.FrameBytes();
    position_ = 0;
    emitted_ = 0;
    clockStart_ = Clock::now();
    hasBuffer_ = true;
    ++serial_;
    cv_.notify_all();
    return WaveOutResult::Ok;
  }

  void Pause() override {
    std::lock_guard lock(mutex_);
    if (paused_) return;
    if (hasBuffer_) {
      position_ = PositionLocked(Clock::now());
      EmitLocked(position_);
    }
    paused_ = true;
    ++serial_;
    cv_.notify_all();
  }

  void Restart() override {
    std::lock_guard lock(mutex_);
    if (!paused_) return;
    paused_ = false;
    clockStart_ = Clock::now();
    ++serial_;
    cv_.notify_all();
  }

  void Reset() override {
    {
      std::lock_guard lock(mutex_);
      StopLocked();
      ++serial_;
    }
    cv_.notify_all();
    hub_->Cancel(source_);
  }

 private:
  // Drops the buffer after handing on what was played of it; a reset device
  // is no longer paused.
  void StopLocked() {
    if (hasBuffer_ && !paused_) position_ = PositionLocked(Clock::now());
    if (hasBuffer_) EmitLocked(position_);
    hasBuffer_ = false;
    paused_ = false;
  }

  // Frames played by `now`, while the clock runs.
  std::size_t PositionLocked(Clock::time_point now) const {
    if (fast_) return frames_;
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - clockStart_).count();
    const auto advanced = static_cast<std::uint64_t>(elapsed < 0 ? 0 : elapsed) * in_.rate / 1000000000ull;
    return std::min<std::size_t>(frames_, position_ + advanced);
  }

  Clock::time_point DeadlineLocked() const {
    if (fast_) return clockStart_;
    const std::uint64_t left = frames_ - position_;
    const auto nanos = (left * 1000000000ull + in_.rate - 1) / in_.rate;
    return clockStart_ + std::chrono::nanoseconds(nanos);
  }

  // Hands the frames from the last hand-over up to `upTo` to the WAV file,
  // at the volume the device has now.
  void EmitLocked(std::size_t upTo) {
    if (!shared_->files || upTo <= emitted_) return;
    const std::size_t frames = upTo - emitted_;
    const std::uint8_t* from = data_ + emitted_ * in_.FrameBytes();
    const Gains gains = volumes_->GainsOf(device_);
    std::span<const std::uint8_t> bytes(from, frames * in_.FrameBytes());
    // Speech at full level goes to the file as it is, without a copy.
    if (!(in_ == out_) || gains.left != 0xFFFF || gains.right != 0xFFFF) {
      scratch_.resize(frames * out_.FrameBytes());
      ConvertFrames(from, in_, frames, out_, gains, scratch_.data());
      bytes = scratch_;
    }
    emitted_ = upTo;
    if (!shared_->files->Append(bytes.data(), bytes.size())) {
      std::lock_guard lock(shared_->mutex);
      shared_->writeFailed = true;
    }
  }

  bool Failed() {
    std::lock_guard lock(shared_->mutex);
    return shared_->writeFailed;
  }

  void Run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
      const auto seen = serial_;
      if (!hasBuffer_ || paused_) {
        cv_.wait(lock, [&] { return serial_ != seen; });
        continue;
      }
      const auto deadline = DeadlineLocked();
      const auto step = std::min(deadline, Clock::now() + kEmitStep);
      if (cv_.wait_until(lock, step, [&] { return serial_ != seen; })) continue;
      if (step < deadline) {
        EmitLocked(PositionLocked(Clock::now()));
        continue;
      }
      position_ = frames_;
      EmitLocked(frames_);
      hasBuffer_ = false;
      hub_->Post(source_, onDone_);
    }
  }

  std::shared_ptr<VirtualWaveOut::Shared> shared_;
  std::shared_ptr<NoticeHub> hub_;
  std::shared_ptr<VolumeTable> volumes_;
  const int device_;
  const PcmLayout in_;
  const PcmLayout out_;
  const bool fast_;
  const std::uint64_t source_;
  const NoticeHub::Callback onDone_;

  std::mutex mutex_;
  std::condition_variable cv_;
  std::uint64_t serial_ = 0;  // bumped by every change the clock thread must see
  bool quit_ = false;
  bool hasBuffer_ = false;
  bool paused_ = false;
  const std::uint8_t* data_ = nullptr;
  std::size_t frames_ = 0;
  std::size_t position_ = 0;  // frames played when the clock last started or stopped
  std::size_t emitted_ = 0;   // frames handed to the WAV file
  Clock::time_point clockStart_;
  std::vector<std::uint8_t> scratch_;
  std::thread thread_;
};

}  // namespace

VirtualWaveOut::VirtualWaveOut(VirtualWaveOutOptions options) : shared_(std::make_shared<Shared>()) {
  if (options.deviceCount < 0) options.deviceCount = 0;
  if (!options.wavPath.empty()) shared_->files = std::make_unique<WavFileSeries>(options.wavPath);
  shared_->options = std::move(options);
}

VirtualWaveOut::~VirtualWaveOut() = default;

int VirtualWaveOut::DeviceCount() {
  std::lock_guard lock(shared_->mutex);
  return shared_->options.deviceCount;
}

bool VirtualWaveOut::MapperAvailable() { return DeviceCount() > 0; }

std::optional<WaveOutCaps> VirtualWaveOut::Caps(int device) {
  if (!IsDevice(device)) return std::nullopt;
  WaveOutCaps caps;
  caps.name = shared_->files ? "Vokar WAV writer" : "Vokar silent device";
  if (device >= 0 && DeviceCount() > 1) caps.name += " " + std::to_string(device + 1);
  caps.volumeControl = true;
  caps.leftRightVolume = true;
  return caps;
}

WaveOutResult VirtualWaveOut::Open(int device, const WaveFormat& format, std::function<void()> onDone,
                                   std::unique_ptr<IWaveOutDevice>& opened) {
  opened.reset();
  if (!IsDevice(device)) return WaveOutResult::Error;
  std::lock_guard lock(shared_->mutex);
  if (shared_->options.busyOpens > 0) {
    --shared_->options.busyOpens;
    return WaveOutResult::Allocated;
  }
  const auto layout = LayoutOf(format);
  if (!layout) return WaveOutResult::BadFormat;
  if (shared_->options.maxRate != 0 && layout->rate > shared_->options.maxRate) return WaveOutResult::BadFormat;
  PcmLayout out = *layout;
  if (shared_->files) {
    if (shared_->openDevices > 0) return WaveOutResult::Allocated;
    if (shared_->writeFailed) return WaveOutResult::Error;
    out.channels = OutputChannels(*layout, volumes_->GainsOf(device));
    if (!shared_->files->Begin(out)) {
      shared_->writeFailed = true;
      return WaveOutResult::Error;
    }
  }
  try {
    opened = std::make_unique<VirtualDevice>(shared_, hub_, volumes_, device, *layout, out, std::move(onDone));
  } catch (const std::system_error&) {
    return WaveOutResult::Error;
  }
  ++shared_->openDevices;
  return WaveOutResult::Ok;
}

void VirtualWaveOut::SetBusyOpens(int count) {
  std::lock_guard lock(shared_->mutex);
  shared_->options.busyOpens = count;
}

void VirtualWaveOut::SetMaxRate(std::uint32_t rate) {
  std::lock_guard lock(shared_->mutex);
  shared_->options.maxRate = rate;
}

std::vector<std::filesystem::path> VirtualWaveOut::WavFiles() const {
  return shared_->files ? shared_->files->Files() : std::vector<std::filesystem::path>{};
}

std::string VirtualWaveOut::WavError() const { return shared_->files ? shared_->files->LastError() : std::string(); }

}  // namespace vokar::waveout
