// Helpers shared by the voice tests (each test's folder is a TestFolder) and a
// complete allophone file of the standard inventory with short synthetic
// samples, which the checks accept and each test then damages in one way.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "AlfFile.h"
#include "Inventory.h"
#include "TestFolder.h"

namespace vokar::alf::testing {

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A sine of the frequency, one period shape per entry, starting and ending
// on the middle value.
inline std::vector<std::uint8_t> Tone(std::size_t count, double freq) {
  std::vector<std::uint8_t> out(count);
  for (std::size_t i = 0; i < count; ++i) {
    const double env = std::sin(std::numbers::pi * i / (count - 1));
    out[i] = static_cast<std::uint8_t>(std::lround(128 + 100 * env * std::sin(2 * std::numbers::pi * freq * i / 22050)));
  }
  return out;
}

inline AlfFile StandardFile() {
  AlfFile file;
  file.versionText = "test";
  for (const StandardEntry& s : StandardInventory()) {
    AlfEntry e;
    e.index = static_cast<std::uint16_t>(s.index);
    e.name = std::string(s.name);
    e.classBits = s.classBits;
    e.samples = Tone(200 + s.index, 200 + 10 * s.index);
    file.entries.push_back(std::move(e));
  }
  return file;
}

inline AlfEntry* EntryAt(AlfFile& file, int index) {
  for (AlfEntry& e : file.entries) {
    if (e.index == index) return &e;
  }
  return nullptr;
}

}  // namespace vokar::alf::testing
