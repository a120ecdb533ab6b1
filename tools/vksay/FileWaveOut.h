// A wave output that writes everything it is given into one WAV file, as it
// would be heard, and as fast as the engine makes it: the file takes the
// layout of the first buffer (for speech, the voice's own 8-bit mono), and
// every buffer of that layout at full level is written as it is. A later
// buffer at another rate (a speed tag) is resampled to the file's rate; one
// that needs more than the file holds (16 bits, or two channels for the
// balance) first widens what was written, so nothing loses its sound. All
// conversions are integer arithmetic. Buffers are done as soon as written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "WaveOutBase.h"

namespace vokar::vksay {

class FileWaveOut final : public waveout::WaveOutBase {
 public:
  explicit FileWaveOut(std::filesystem::path path);
  ~FileWaveOut() override;
  FileWaveOut(const FileWaveOut&) = delete;
  FileWaveOut& operator=(const FileWaveOut&) = delete;

  int DeviceCount() override { return 1; }
  std::optional<WaveOutCaps> Caps(int device) override;
  WaveOutResult Open(int device, const WaveFormat& format, std::function<void()> onDone,
                     std::unique_ptr<IWaveOutDevice>& opened) override;

  // Why writing failed; empty when it did not.
  std::string Error() const { return error_; }
  // Seconds of sound written so far.
  double Seconds() const;
  // The file's layout, once the first buffer has fixed it.
  std::optional<waveout::PcmLayout> Layout() const { return layout_; }

  // Makes the file when nothing was written into it yet (an empty text), in
  // the voice's format, so that a file always stands where it was asked for.
  bool Finish();

  // Appends one buffer; used by the open device.
  bool Append(const waveout::PcmLayout& layout, std::span<const std::uint8_t> samples, int device);
  void Notify(std::function<void()> onDone);

 private:
  bool Create(const waveout::PcmLayout& layout);
  bool Widen(const waveout::PcmLayout& wider);
  bool WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size);
  bool ReadAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t size);
  bool WriteHeader();
  bool Fail(const std::string& what);

  std::filesystem::path path_;
  int fd_ = -1;
  std::optional<waveout::PcmLayout> layout_;
  std::uint64_t dataBytes_ = 0;
  std::string error_;
  std::vector<std::uint8_t> converted_;
  std::vector<std::uint8_t> resampled_;
};

}  // namespace vokar::vksay
