#include "WaveData.h"

#include "Messages.h"

namespace vokar {

CWaveData& CWaveData::operator=(CWaveData&& other) noexcept {
  if (this != &other) {
    Stop();
    format = other.format;
    samples = std::move(other.samples);
    device_ = std::move(other.device_);
  }
  return *this;
}

CWaveData::~CWaveData() { Stop(); }

std::uint32_t SpeedScaledRate(std::uint32_t samplesPerSec, int speedPercent) {
  if (speedPercent == 0) return samplesPerSec;
  return static_cast<std::uint32_t>((static_cast<std::int64_t>(speedPercent) + 100) * samplesPerSec / 100);
}

int CWaveData::PlayBuffer(WavePlayback& playback, int device, int speedPercent) {
  if (samples.empty()) return -1;
  Stop();
  if (speedPercent != 0) {
    format.samplesPerSec = SpeedScaledRate(format.samplesPerSec, speedPercent);
    format.avgBytesPerSec = format.samplesPerSec * format.blockAlign;
  }
  const std::uint64_t generation = ++playback.generation;
  auto onDone = [&playback, generation] {
    if (playback.generation == generation) playback.done = true;
  };
  std::unique_ptr<IWaveOutDevice> opened;
  switch (playback.out.Open(device, format, onDone, opened)) {
    case WaveOutResult::Ok: break;
    case WaveOutResult::Allocated: return kMsgDeviceBusy;
    case WaveOutResult::NoMemory: return kMsgNoMemory;
    case WaveOutResult::BadFormat: return kMsgBadWaveFormat;
    case WaveOutResult::Error: return kMsgDeviceOpen;
  }
  if (!opened) return kMsgDeviceOpen;
  device_ = std::move(opened);
  playback.done = false;
  if (device_->Write(samples) != WaveOutResult::Ok) {
    Stop();
    playback.done = true;
    return kMsgWrite;
  }
  return 0;
}

void CWaveData::Stop() {
  if (!device_) return;
  device_->Reset();
  device_.reset();
}

void CWaveData::Pause() {
  if (device_) device_->Pause();
}

void CWaveData::Restart() {
  if (device_) device_->Restart();
}

namespace {

bool HasVolumeControl(WavePlayback& playback, int device) {
  const auto caps = playback.out.Caps(device);
  return caps && caps->volumeControl;
}

}  // namespace

std::uint32_t GetDeviceVolume(WavePlayback& playback, int device) {
  if (!HasVolumeControl(playback, device)) return 0;
  return playback.out.GetVolume(device).value_or(0);
}

void SetDeviceVolume(WavePlayback& playback, int device, std::uint32_t volume) {
  if (volume == 0) return;
  SetDeviceLevel(playback, device, volume);
}

void SetDeviceLevel(WavePlayback& playback, int device, std::uint32_t volume) {
  if (!HasVolumeControl(playback, device)) return;
  playback.out.SetVolume(device, volume);
}

int PlayInsert(CWaveData& insert, WavePlayback& playback, int device, const std::function<void()>& pump,
               const std::function<bool()>& stopRequested) {
  if (playback.insertNesting > 0) return -1;
  // The counter comes back even when playing throws.
  struct Nesting {
    int& count;
    explicit Nesting(int& c) : count(c) { ++count; }
    ~Nesting() { --count; }
  } nesting(playback.insertNesting);
  try {
    const int result = insert.PlayBuffer(playback, device, 0);
    if (result == 0) {
      while (!playback.done && !stopRequested()) pump();
    }
    insert.Stop();
    return result;
  } catch (...) {
    insert.Stop();
    return -1;
  }
}

}  // namespace vokar
