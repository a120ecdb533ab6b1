// What every wave-output backend of ours shares: the notice hub that carries
// done notices to the owner's thread, and the software volume of each device
// (left and right levels kept for the life of the backend object).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "NoticeHub.h"
#include "SampleFormat.h"
#include "WaveOut.h"

namespace vokar::waveout {

// The volume word of each device number, full level until set. Shared with
// the open devices, which read it on their own threads.
class VolumeTable {
 public:
  std::uint32_t Get(int device) const;
  void Set(int device, std::uint32_t word);
  Gains GainsOf(int device) const { return Gains::FromVolumeWord(Get(device)); }

 private:
  mutable std::mutex mutex_;
  std::map<int, std::uint32_t> words_;
};

class WaveOutBase : public IWaveOut {
 public:
  WaveOutBase();

  void DeliverNotices() override;
  void WaitForNotice(int timeoutMs) override;

  // Every device has volume control, done on the samples themselves; the
  // level applies to what the device plays from then on.
  std::optional<std::uint32_t> GetVolume(int device) override;
  bool SetVolume(int device, std::uint32_t volume) override;

  // Readable while done notices wait for DeliverNotices; for a poll loop or a
  // QSocketNotifier on the owner's thread.
  int NoticeFd() const { return hub_->Fd(); }

 protected:
  // The mapper (when MapperAvailable), or a number below DeviceCount().
  bool IsDevice(int device);
  virtual bool MapperAvailable() { return true; }

  std::shared_ptr<NoticeHub> hub_;
  std::shared_ptr<VolumeTable> volumes_;
};

}  // namespace vokar::waveout
