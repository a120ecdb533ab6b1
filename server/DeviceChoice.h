// The wave device a setting names: 0 the mapper, k the k-th device; negative
// values mean the mapper and values above the device count the last device.
// The value written back is the device id plus one (the mapper writes 0).
#pragma once

#include <algorithm>
#include <optional>

#include "WaveOut.h"

namespace vokar::server {

// The device id for a setting, or nothing when there are no devices.
inline std::optional<int> ChooseWaveDevice(int setting, int deviceCount) {
  if (deviceCount <= 0) return std::nullopt;
  const int s = std::clamp(setting, 0, deviceCount);
  return s > 0 ? s - 1 : kWaveMapper;
}

inline int WaveDeviceSetting(int deviceId) { return deviceId == kWaveMapper ? 0 : deviceId + 1; }

}  // namespace vokar::server
