// The wave-output devices of the sound system, through ALSA. The mapper is
// the PCM "default"; device k is the k-th playback PCM that the configuration
// lists with a description hint (the "null" PCM, which only discards, is left
// out). Each open device plays its buffer on a thread of its own, paced by
// the device; volume and balance are applied to the samples.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "WaveOutBase.h"

namespace vokar::waveout {

struct AlsaPcm {
  std::string name;         // what snd_pcm_open takes, "default" for the mapper
  std::string description;  // the hint's description, its lines joined by ", "
};

// The playback PCMs the configuration describes, in the order it lists them.
std::vector<AlsaPcm> ListAlsaPlaybackPcms();

class AlsaWaveOut final : public WaveOutBase {
 public:
  AlsaWaveOut();
  ~AlsaWaveOut() override;

  // The device list is read once, the first time it is needed, so that the
  // numbers stay the same for the life of the object.
  int DeviceCount() override;
  std::optional<WaveOutCaps> Caps(int device) override;

  // Allocated when another program holds the PCM, BadFormat when it refuses
  // the sample type, channels or rate, NoMemory and Error otherwise.
  WaveOutResult Open(int device, const WaveFormat& format, std::function<void()> onDone,
                     std::unique_ptr<IWaveOutDevice>& opened) override;

  // The PCM name a device number stands for; nothing when there is no such device.
  std::optional<std::string> PcmName(int device);

 private:
  const std::vector<AlsaPcm>& Pcms();

  std::once_flag listed_;
  std::vector<AlsaPcm> pcms_;
};

}  // namespace vokar::waveout
