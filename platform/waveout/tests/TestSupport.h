// Helpers shared by the wave-output tests: a scratch folder per test, a
// strict reader of the WAV files the devices write, and a wait for a done
// notice through the notice fd, as an owner's poll loop would do it.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WaveFormat.h"

namespace vokar::waveout::test {

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct WavContents {
  WaveFormat format;
  std::vector<std::uint8_t> data;
};

inline std::uint32_t Le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Reads a canonical WAV file and checks that its sizes agree with the file:
// the RIFF size covers the rest of the file, "fmt " comes first with 16
// bytes, and the data chunk (plus its pad byte) ends the file.
inline std::optional<WavContents> ReadWav(const std::filesystem::path& path) {
  const auto bytes = ReadBytes(path);
  if (bytes.size() < 44) return std::nullopt;
  const auto* p = bytes.data();
  if (std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVEfmt ", 8) != 0) return std::nullopt;
  if (Le32(p + 4) != bytes.size() - 8 || Le32(p + 16) != 16) return std::nullopt;
  if (std::memcmp(p + 36, "data", 4) != 0) return std::nullopt;
  const std::uint32_t size = Le32(p + 40);
  if (44 + size + size % 2 != bytes.size()) return std::nullopt;
  WavContents wav;
  wav.format = {Le16(p + 20), Le16(p + 22), Le32(p + 24), Le32(p + 28), Le16(p + 32), Le16(p + 34)};
  wav.data.assign(p + 44, p + 44 + size);
  return wav;
}

inline WaveFormat U8Mono(std::uint32_t rate) { return {WaveFormat::kPcm, 1, rate, rate, 1, 8}; }
inline WaveFormat S16Stereo(std::uint32_t rate) { return {WaveFormat::kPcm, 2, rate, rate * 4, 4, 16}; }

// A ramp of 8-bit samples, so that lost or repeated stretches show.
inline std::vector<std::uint8_t> Ramp(std::size_t size) {
  std::vector<std::uint8_t> samples(size);
  for (std::size_t i = 0; i < size; ++i) samples[i] = static_cast<std::uint8_t>(i * 7 % 251);
  return samples;
}

inline bool FdReadable(int fd, int timeoutMs) {
  pollfd pfd{fd, POLLIN, 0};
  return ::poll(&pfd, 1, timeoutMs) == 1;
}

using Clock = std::chrono::steady_clock;

inline long MillisSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Runs the owner's side until `done` becomes true or `limitMs` passes:
// wait for the notice fd, deliver. Returns the milliseconds it took.
template <typename Owner>
long WaitDone(Owner& owner, const bool& done, int limitMs = 5000) {
  const auto start = Clock::now();
  while (!done && MillisSince(start) < limitMs) {
    if (FdReadable(owner.NoticeFd(), 20)) owner.DeliverNotices();
  }
  return MillisSince(start);
}

}  // namespace vokar::waveout::test
