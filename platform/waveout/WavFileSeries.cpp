#include "WavFileSeries.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vokar::waveout {
namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::array<std::uint8_t, kWavHeaderBytes> WavHeader(const PcmLayout& layout, std::uint64_t dataBytes) {
  std::array<std::uint8_t, kWavHeaderBytes> header{};
  std::uint8_t* const bytes = header.data();
  const WaveFormat format = FormatOf(layout);
  std::memcpy(bytes, "RIFF", 4);
  Put32(bytes + 4, static_cast<std::uint32_t>(dataBytes + dataBytes % 2 + kWavHeaderBytes - 8));
  std::memcpy(bytes + 8, "WAVEfmt ", 8);
  Put32(bytes + 16, 16);
  Put16(bytes + 20, format.formatTag);
  Put16(bytes + 22, format.channels);
  Put32(bytes + 24, format.samplesPerSec);
  Put32(bytes + 28, format.avgBytesPerSec);
  Put16(bytes + 32, format.blockAlign);
  Put16(bytes + 34, format.bitsPerSample);
  std::memcpy(bytes + 36, "data", 4);
  Put32(bytes + 40, static_cast<std::uint32_t>(dataBytes));
  return header;
}

WavFileSeries::WavFileSeries(std::filesystem::path path) : path_(std::move(path)) {}

WavFileSeries::~WavFileSeries() { CloseFile(); }

std::filesystem::path WavFileSeries::NthPath(const std::filesystem::path& path, int n) {
  if (n <= 1) return path;
  auto numbered = path;
  numbered.replace_filename(path.stem().string() + "-" + std::to_string(n) + path.extension().string());
  return numbered;
}

bool WavFileSeries::Begin(const PcmLayout& layout) {
  std::lock_guard lock(mutex_);
  if (file_ && layout == layout_) return true;
  return StartFile(layout);
}

bool WavFileSeries::StartFile(const PcmLayout& layout) {
  CloseFile();
  const auto path = NthPath(path_, static_cast<int>(files_.size()) + 1);
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    Fail("cannot create " + path.string() + ": " + std::strerror(errno));
    return false;
  }
  files_.push_back(path);
  layout_ = layout;
  dataBytes_ = 0;
  return WriteHeader();
}

bool WavFileSeries::Append(const std::uint8_t* bytes, std::size_t size) {
  std::lock_guard lock(mutex_);
  if (!file_) {
    Fail("no WAV file is open");
    return false;
  }
  while (size > 0) {
    if (dataBytes_ + layout_.FrameBytes() > kMaxWavDataBytes && !StartFile(layout_)) return false;
    std::uint64_t room = (kMaxWavDataBytes - dataBytes_) / layout_.FrameBytes() * layout_.FrameBytes();
    const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(room, size));
    // Write over the pad byte that an odd-sized data chunk ends with.
    if (std::fseek(file_, static_cast<long>(kWavHeaderBytes + dataBytes_), SEEK_SET) != 0 ||
        std::fwrite(bytes, 1, part, file_) != part) {
      Fail("cannot write " + files_.back().string() + ": " + std::strerror(errno));
      return false;
    }
    dataBytes_ += part;
    bytes += part;
    size -= part;
  }
  if (dataBytes_ % 2 == 1 && std::fputc(0, file_) == EOF) {
    Fail("cannot write " + files_.back().string() + ": " + std::strerror(errno));
    return false;
  }
  return WriteHeader();
}

bool WavFileSeries::WriteHeader() {
  const auto header = WavHeader(layout_, dataBytes_);
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header.data(), 1, kWavHeaderBytes, file_) != kWavHeaderBytes ||
      std::fflush(file_) != 0) {
    Fail("cannot write " + files_.back().string() + ": " + std::strerror(errno));
    return false;
  }
  return true;
}

void WavFileSeries::CloseFile() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void WavFileSeries::Fail(const std::string& what) { lastError_ = what; }

std::vector<std::filesystem::path> WavFileSeries::Files() const {
  std::lock_guard lock(mutex_);
  return files_;
}

std::string WavFileSeries::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

}  // namespace vokar::waveout
