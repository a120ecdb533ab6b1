// Wave-output devices for machines without sound. The silent device plays
// in real time and discards the samples; the WAV device writes what would
// have been played, at the rate it would have been played, into WAV files
// (see WavFileSeries). Both keep time with a clock of their own, or play at
// once when fast, and both can pretend to be busy or to refuse high rates so
// that callers' retries can be tested.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "WaveOutBase.h"

namespace vokar::waveout {

enum class Pacing {
  RealTime,  // a buffer of N bytes at R bytes per second takes N/R seconds
  Fast,      // a buffer is done as soon as it is written
};

struct VirtualWaveOutOptions {
  std::filesystem::path wavPath;  // empty: the silent device
  Pacing pacing = Pacing::RealTime;
  int deviceCount = 1;            // 0 stands for a machine without devices
  int busyOpens = 0;              // the first N opens find the device busy
  std::uint32_t maxRate = 0;      // sample rates above it are refused; 0: no limit
};

class VirtualWaveOut final : public WaveOutBase {
 public:
  explicit VirtualWaveOut(VirtualWaveOutOptions options = {});
  ~VirtualWaveOut() override;

  int DeviceCount() override;
  std::optional<WaveOutCaps> Caps(int device) override;

  // Refuses a format with BadFormat, the first busyOpens opens with
  // Allocated, and a second device open at the same time on the WAV device
  // with Allocated (its files hold one stream). Error when a WAV file cannot
  // be created or an earlier write to it failed.
  WaveOutResult Open(int device, const WaveFormat& format, std::function<void()> onDone,
                     std::unique_ptr<IWaveOutDevice>& opened) override;

  // Test hooks: change the busy count and the rate limit from now on.
  void SetBusyOpens(int count);
  void SetMaxRate(std::uint32_t rate);

  // The WAV files written so far, in order (empty for the silent device).
  std::vector<std::filesystem::path> WavFiles() const;
  // Why the last WAV write failed; empty when none did.
  std::string WavError() const;

  struct Shared;

 private:
  bool MapperAvailable() override;

  std::shared_ptr<Shared> shared_;
};

}  // namespace vokar::waveout
