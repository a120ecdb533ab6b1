#include "FileWaveOut.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "WavFileSeries.h"

namespace vokar::vksay {
namespace {

using waveout::PcmLayout;
using waveout::SampleType;

using waveout::kMaxWavDataBytes;
using waveout::kWavHeaderBytes;
// Frames converted at a time when the file is widened.
constexpr std::size_t kWidenBlockFrames = 65536;

bool FullLevel(waveout::Gains gains) { return gains.left == 0xFFFF && gains.right == 0xFFFF; }

class FileDevice final : public IWaveOutDevice {
 public:
  FileDevice(FileWaveOut& owner, PcmLayout layout, int device, std::function<void()> onDone)
      : owner_(owner), layout_(layout), device_(device), onDone_(std::move(onDone)) {}

  WaveOutResult Write(std::span<const std::uint8_t> samples) override {
    if (!owner_.Append(layout_, samples, device_)) return WaveOutResult::Error;
    owner_.Notify(onDone_);
    return WaveOutResult::Ok;
  }
  // The file takes a buffer whole at once, so there is nothing to pause.
  void Pause() override {}
  void Restart() override {}
  void Reset() override {}

 private:
  FileWaveOut& owner_;
  PcmLayout layout_;
  int device_;
  std::function<void()> onDone_;
};

}  // namespace

FileWaveOut::FileWaveOut(std::filesystem::path path) : path_(std::move(path)) {}

FileWaveOut::~FileWaveOut() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<WaveOutCaps> FileWaveOut::Caps(int device) {
  if (!IsDevice(device)) return std::nullopt;
  return WaveOutCaps{"WAV file", true, true};
}

WaveOutResult FileWaveOut::Open(int device, const WaveFormat& format, std::function<void()> onDone,
                                std::unique_ptr<IWaveOutDevice>& opened) {
  if (!IsDevice(device)) return WaveOutResult::Error;
  const auto layout = waveout::LayoutOf(format);
  if (!layout) return WaveOutResult::BadFormat;
  opened = std::make_unique<FileDevice>(*this, *layout, device, std::move(onDone));
  return WaveOutResult::Ok;
}

void FileWaveOut::Notify(std::function<void()> onDone) {
  hub_->Post(hub_->NewSource(), std::make_shared<const std::function<void()>>(std::move(onDone)));
}

double FileWaveOut::Seconds() const {
  if (!layout_) return 0.0;
  return static_cast<double>(dataBytes_ / layout_->FrameBytes()) / layout_->rate;
}

bool FileWaveOut::Fail(const std::string& what) {
  if (error_.empty()) error_ = what;
  return false;
}

bool FileWaveOut::WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(std::strerror(n < 0 ? errno : EIO));
    bytes += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool FileWaveOut::ReadAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::pread(fd_, bytes, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n < 0 ? std::strerror(errno) : "the file was cut short while being written");
    bytes += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

// The header (and the pad byte that an odd data chunk needs) is brought up
// to date after every buffer, so the file is a complete WAV file at any
// moment, also when the reading is broken off.
bool FileWaveOut::WriteHeader() {
  const auto header = waveout::WavHeader(*layout_, dataBytes_);
  if (dataBytes_ % 2 == 1) {
    const std::uint8_t pad = 0;
    if (!WriteAt(kWavHeaderBytes + dataBytes_, &pad, 1)) return false;
  }
  return WriteAt(0, header.data(), kWavHeaderBytes);
}

bool FileWaveOut::Create(const PcmLayout& layout) {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) return Fail(std::strerror(errno));
  layout_ = layout;
  dataBytes_ = 0;
  return WriteHeader();
}

bool FileWaveOut::Finish() {
  if (!error_.empty()) return false;
  if (fd_ >= 0) return true;
  return Create(*waveout::LayoutOf(kVoiceFormat));
}

// Rewrites what the file holds in a wider layout (16 bits for 8, two
// channels for one; the same rate), in place: the new frames take more room
// than the old, so going from the last block to the first never overwrites
// a frame that is still to be read.
bool FileWaveOut::Widen(const PcmLayout& wider) {
  const PcmLayout old = *layout_;
  const std::uint64_t frames = dataBytes_ / old.FrameBytes();
  if (frames * wider.FrameBytes() > kMaxWavDataBytes) return Fail("the WAV file would exceed 4 GB");
  std::vector<std::uint8_t> in(kWidenBlockFrames * old.FrameBytes());
  std::vector<std::uint8_t> out(kWidenBlockFrames * wider.FrameBytes());
  std::uint64_t end = frames;
  while (end > 0) {
    const std::uint64_t begin = end > kWidenBlockFrames ? end - kWidenBlockFrames : 0;
    const auto count = static_cast<std::size_t>(end - begin);
    if (!ReadAt(kWavHeaderBytes + begin * old.FrameBytes(), in.data(), count * old.FrameBytes())) return false;
    waveout::ConvertFrames(in.data(), old, count, wider, {}, out.data());
    if (!WriteAt(kWavHeaderBytes + begin * wider.FrameBytes(), out.data(), count * wider.FrameBytes())) return false;
    end = begin;
  }
  layout_ = wider;
  dataBytes_ = frames * wider.FrameBytes();
  return WriteHeader();
}

bool FileWaveOut::Append(const PcmLayout& layout, std::span<const std::uint8_t> samples, int device) {
  if (!error_.empty()) return false;
  const std::size_t frames = samples.size() / layout.FrameBytes();
  const waveout::Gains gains = volumes_->GainsOf(device);
  // What this buffer needs to be heard as on a device: its own sample type,
  // and two channels for a mono source when the balance is off centre.
  const PcmLayout needed{layout.type, waveout::OutputChannels(layout, gains), layout.rate};
  if (fd_ < 0 && !Create(needed)) return false;
  PcmLayout target = *layout_;
  if (needed.type == SampleType::S16) target.type = SampleType::S16;
  target.channels = std::max(target.channels, needed.channels);
  if (!(target == *layout_) && !Widen(target)) return false;
  if (frames == 0) return true;

  const std::uint8_t* bytes = samples.data();
  std::size_t size = frames * layout.FrameBytes();
  const PcmLayout atSourceRate{target.type, target.channels, layout.rate};
  if (!(atSourceRate == layout) || !FullLevel(gains)) {
    converted_.resize(frames * atSourceRate.FrameBytes());
    waveout::ConvertFrames(bytes, layout, frames, atSourceRate, gains, converted_.data());
    bytes = converted_.data();
    size = converted_.size();
  }
  if (layout.rate != target.rate) {
    const std::size_t count = waveout::ResampledFrames(frames, layout.rate, target.rate);
    resampled_.resize(count * target.FrameBytes());
    waveout::ResampleFrames(bytes, atSourceRate, frames, target.rate, resampled_.data());
    bytes = resampled_.data();
    size = resampled_.size();
  }
  if (dataBytes_ + size > kMaxWavDataBytes) return Fail("the WAV file would exceed 4 GB");
  if (!WriteAt(kWavHeaderBytes + dataBytes_, bytes, size)) return false;
  dataBytes_ += size;
  return WriteHeader();
}

}  // namespace vokar::vksay
