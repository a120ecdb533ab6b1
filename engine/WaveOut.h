// The wave-output devices as the engine sees them: open a device with a PCM
// format, play one buffer asynchronously, pause, restart and reset it, and
// read or set its volume. The platform layer implements it (ALSA and the
// virtual devices); the engine maps the results to its message codes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "WaveFormat.h"

namespace vokar {

enum class WaveOutResult {
  Ok,
  Allocated,  // the device is held by another program
  NoMemory,
  BadFormat,  // the device refuses the format (a sample rate, say)
  Error,      // any other failure
};

// The device number the engine passes: kWaveMapper for the system's default
// device, 0..count-1 for the devices of DeviceCount.
inline constexpr int kWaveMapper = -1;

struct WaveOutCaps {
  std::string name;
  // The device can set its volume; left and right separately when stereo.
  bool volumeControl = false;
  bool leftRightVolume = false;
};

// One open device. Destroying it closes the device (after a reset).
class IWaveOutDevice {
 public:
  virtual ~IWaveOutDevice() = default;

  // Starts playing one buffer and returns at once. The samples must stay alive
  // until the done notice or Reset. When the buffer has been played the done
  // callback given to Open runs, on the owner's thread (see IWaveOut). One
  // buffer at a time: a Write before the last buffer has been played or reset
  // returns Error. A device paused before the Write holds it until Restart.
  virtual WaveOutResult Write(std::span<const std::uint8_t> samples) = 0;

  // Take effect at once. Reset stops the buffer, sends no done notice (one
  // already waiting for DeliverNotices is dropped too) and ends a pause.
  virtual void Pause() = 0;
  virtual void Restart() = 0;
  virtual void Reset() = 0;
};

// Implemented by the platform layer; one per program, used on its UI thread.
class IWaveOut {
 public:
  virtual ~IWaveOut() = default;

  // Number of output devices (the mapper not counted); 0 when there is none.
  virtual int DeviceCount() = 0;
  virtual std::optional<WaveOutCaps> Caps(int device) = 0;

  // Opens a device for one format. onDone is called once per played buffer,
  // never from a device thread: only from DeliverNotices.
  virtual WaveOutResult Open(int device, const WaveFormat& format, std::function<void()> onDone,
                             std::unique_ptr<IWaveOutDevice>& opened) = 0;

  // Runs the done callbacks whose buffers have finished. The owner calls it
  // from its message loop whenever the notice handle signals.
  virtual void DeliverNotices() = 0;

  // Blocks until a notice may be pending or the timeout (milliseconds, -1 for
  // none) passes; for owners without a message loop of their own.
  virtual void WaitForNotice(int timeoutMs) = 0;

  // Volume word: low 16 bits left, high 16 bits right; nothing when the
  // device has no volume control.
  virtual std::optional<std::uint32_t> GetVolume(int device) = 0;
  virtual bool SetVolume(int device, std::uint32_t volume) = 0;
};

}  // namespace vokar
