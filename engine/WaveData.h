// A block of PCM samples with its format, played on a wave-output device one
// buffer at a time: the rendered chunks of speech and the wave inserts. The
// playback record says when the buffer playing now is done.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "WaveFormat.h"
#include "WaveOut.h"

namespace vokar {

// Shared by every CWaveData of a program, on its UI thread: the devices, the
// done flag of the buffer playing now, and the guard against an insert
// starting inside another.
struct WavePlayback {
  explicit WavePlayback(IWaveOut& waveOut) : out(waveOut) {}
  IWaveOut& out;
  // 0 while a buffer plays, 1 when the device has reported it done.
  bool done = true;
  int insertNesting = 0;
  // Numbers each started buffer, so that a late notice of an earlier buffer
  // never marks the current one done.
  std::uint64_t generation = 0;
};

class CWaveData {
 public:
  CWaveData() = default;
  CWaveData(CWaveData&&) noexcept = default;
  CWaveData& operator=(CWaveData&& other) noexcept;
  virtual ~CWaveData();

  WaveFormat format{};
  std::vector<std::uint8_t> samples;

  // Plays the samples asynchronously on a device (kWaveMapper or a device
  // number), at a speed in percent: the rate becomes (speed + 100) / 100 of
  // the format's, changed in place in `format`. Stops an earlier playback
  // first. Returns 0, -1 when there are no samples, or a message code: 4808
  // busy, 4809 no memory, 4806 format refused, 4801 any other open failure,
  // 4803 the buffer could not be written.
  int PlayBuffer(WavePlayback& playback, int device, int speedPercent);

  // Resets and closes the device; no done notice follows.
  void Stop();
  void Pause();
  void Restart();
  bool Playing() const { return device_ != nullptr; }

 private:
  std::unique_ptr<IWaveOutDevice> device_;
};

// A wave file loaded for the wave-insert tag that ended a sentence.
struct CWaveInsert : CWaveData {
  bool loaded = false;
};

// The rate of a speed setting in percent, as the player computes it.
std::uint32_t SpeedScaledRate(std::uint32_t samplesPerSec, int speedPercent);

// The device's volume word (low 16 bits left, high 16 bits right), or 0 when
// it has no volume control.
std::uint32_t GetDeviceVolume(WavePlayback& playback, int device);
// Sets it; nothing for a word of 0 (which stands for a volume never read) or
// a device without volume control.
void SetDeviceVolume(WavePlayback& playback, int device, std::uint32_t volume);
// Sets the word as it stands, 0 included: the level a volume or balance tag
// asks for, where 0 is silence. Nothing on a device without volume control.
void SetDeviceLevel(WavePlayback& playback, int device, std::uint32_t volume);

// Plays an insert whole at normal speed, handling messages with pump until it
// is done or stopRequested says so, then stops it. Returns -1 when another
// insert is playing, else PlayBuffer's result.
int PlayInsert(CWaveData& insert, WavePlayback& playback, int device, const std::function<void()>& pump,
               const std::function<bool()>& stopRequested);

}  // namespace vokar
