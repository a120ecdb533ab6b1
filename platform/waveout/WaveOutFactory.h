// Chooses the wave-output backend from the VOKAR_WAVEOUT environment
// variable: unset, empty or "alsa" for the sound system; "null" for the
// silent device; "wav:PATH" for the WAV-writing device. Options follow after
// commas: "fast" (no real-time pacing), "devices=N", "busy=N" (the first N
// opens find the device busy) and "maxrate=R" (rates above R are refused).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "VirtualWaveOut.h"
#include "WaveOutBase.h"

namespace vokar::waveout {

enum class BackendKind { Alsa, Virtual };

struct WaveOutSetting {
  BackendKind kind = BackendKind::Alsa;
  VirtualWaveOutOptions options;  // for the virtual devices
};

// The setting a VOKAR_WAVEOUT value stands for, or nothing with `error` saying
// what is wrong with it.
std::optional<WaveOutSetting> ParseWaveOutSetting(std::string_view text, std::string& error);

// The backend for a setting. The result converts to std::unique_ptr<IWaveOut>;
// its NoticeFd is what the owner's loop watches.
std::unique_ptr<WaveOutBase> CreateWaveOut(const WaveOutSetting& setting);

// The backend VOKAR_WAVEOUT asks for. A value that cannot be understood is
// reported on standard error and gives a backend without devices, so that the
// program says it has no sound device rather than play somewhere unexpected.
std::unique_ptr<WaveOutBase> CreateWaveOut();

}  // namespace vokar::waveout
