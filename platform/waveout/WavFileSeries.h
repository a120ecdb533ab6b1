// The files of the WAV-writing virtual device: everything played goes into
// PATH while the format stays the same; each change of format starts the
// next file, named PATH with "-2", "-3" ... before its extension
// ("out.wav", "out-2.wav"). The header is brought up to date after every
// append, so each file is a complete WAV file at any moment.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "SampleFormat.h"

namespace vokar::waveout {

// A PCM WAV file: the 44 bytes of its header, then the data chunk.
inline constexpr std::size_t kWavHeaderBytes = 44;
// A RIFF size field is 32 bits; the data chunk stops short of it so that the
// RIFF size (data, its pad byte and 36) still fits.
inline constexpr std::uint64_t kMaxWavDataBytes = 0xFFFFFFFFull - 36 - 1;

// The header of a WAV file holding dataBytes (at most kMaxWavDataBytes) of
// sound in the layout. RIFF chunks are padded to even sizes: the RIFF size
// counts the pad byte an odd data chunk needs, which the writer adds.
std::array<std::uint8_t, kWavHeaderBytes> WavHeader(const PcmLayout& layout, std::uint64_t dataBytes);

class WavFileSeries {
 public:
  explicit WavFileSeries(std::filesystem::path path);
  ~WavFileSeries();
  WavFileSeries(const WavFileSeries&) = delete;
  WavFileSeries& operator=(const WavFileSeries&) = delete;

  // Makes sure the current file takes samples of `layout`, starting the next
  // file when the layout differs from the current one's. False, with
  // LastError set, when the file cannot be created.
  bool Begin(const PcmLayout& layout);

  // Appends whole frames of the layout given to Begin. False, with LastError
  // set, when writing fails; the file keeps what was written before.
  bool Append(const std::uint8_t* bytes, std::size_t size);

  // The files made so far, in order.
  std::vector<std::filesystem::path> Files() const;
  std::string LastError() const;

  // The name of the n-th file of a series (n from 1).
  static std::filesystem::path NthPath(const std::filesystem::path& path, int n);

 private:
  bool StartFile(const PcmLayout& layout);
  bool WriteHeader();
  void CloseFile();
  void Fail(const std::string& what);

  mutable std::mutex mutex_;
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  PcmLayout layout_;
  std::uint64_t dataBytes_ = 0;
  std::vector<std::filesystem::path> files_;
  std::string lastError_;
};

}  // namespace vokar::waveout
