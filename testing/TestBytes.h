// Bytes in tests: a whole file read as it is, bytes written as hex digits
// (the way a file's layout is worked out by hand: "0100 FFFF 0A00"), and the
// sound of a WAV file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace vokar::test {

// The file's bytes; empty when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bytes from pairs of hex digits (either case); blanks and other characters
// between them are passed over.
inline std::string Hex(std::string_view digits) {
  std::string bytes;
  int high = -1;
  for (const char c : digits) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    if (value < 0) continue;
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + value));
      high = -1;
    }
  }
  return bytes;
}

// The sound of a WAV file: the bytes of its data chunk (as far as the file
// goes); empty when there is no such file or chunk.
inline std::string WavData(const std::filesystem::path& file) {
  const std::string bytes = ReadAll(file);
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return {};
  std::size_t at = 12;
  while (at + 8 <= bytes.size()) {
    std::uint32_t size = 0;
    std::memcpy(&size, bytes.data() + at + 4, 4);  // little-endian, as the machine
    if (bytes.compare(at, 4, "data") == 0) return bytes.substr(at + 8, std::min<std::size_t>(size, bytes.size() - at - 8));
    at += 8 + size + (size & 1);
  }
  return {};
}

}  // namespace vokar::test
