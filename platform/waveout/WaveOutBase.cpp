#include "WaveOutBase.h"

namespace vokar::waveout {

std::uint32_t VolumeTable::Get(int device) const {
  std::lock_guard lock(mutex_);
  const auto found = words_.find(device);
  return found == words_.end() ? 0xFFFFFFFFu : found->second;
}

void VolumeTable::Set(int device, std::uint32_t word) {
  std::lock_guard lock(mutex_);
  words_[device] = word;
}

WaveOutBase::WaveOutBase()
    : hub_(std::make_shared<NoticeHub>()), volumes_(std::make_shared<VolumeTable>()) {}

void WaveOutBase::DeliverNotices() { hub_->Deliver(); }

void WaveOutBase::WaitForNotice(int timeoutMs) { hub_->Wait(timeoutMs); }

std::optional<std::uint32_t> WaveOutBase::GetVolume(int device) {
  if (!IsDevice(device)) return std::nullopt;
  return volumes_->Get(device);
}

bool WaveOutBase::SetVolume(int device, std::uint32_t volume) {
  if (!IsDevice(device)) return false;
  volumes_->Set(device, volume);
  return true;
}

bool WaveOutBase::IsDevice(int device) {
  return (device == kWaveMapper && MapperAvailable()) || (device >= 0 && device < DeviceCount());
}

}  // namespace vokar::waveout
