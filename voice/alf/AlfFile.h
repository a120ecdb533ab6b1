// The allophone file in memory and its RIFF "ALOF" form: a PCM "fmt " chunk,
// a "VER " chunk (1, 1, 2, 3 and a short text), then one "data" chunk of raw
// samples followed by its 12-byte "info" chunk (name, index, class bits) per
// entry. Writing is atomic; reading goes through the engine's RIFF reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "AlfError.h"
#include "WaveFormat.h"

namespace vokar::alf {

inline constexpr std::size_t kNameBytes = 8;
inline constexpr std::size_t kInfoBytes = 12;
inline constexpr std::size_t kVersionChunkMax = 40;
// The four words that open the "VER " chunk; text may follow up to 40 bytes.
inline constexpr std::uint16_t kVersionWords[4] = {1, 1, 2, 3};
inline constexpr std::size_t kVersionTextMax = kVersionChunkMax - 8;

struct AlfEntry {
  std::uint16_t index = 0;
  std::string name;  // 1-8 bytes
  std::uint16_t classBits = 0;
  std::vector<std::uint8_t> samples;
  // Where the "data" chunk stood when the entry was read from a file.
  std::size_t fileOffset = 0;
};

struct AlfFile {
  WaveFormat format = kVoiceFormat;
  std::string versionText;
  std::vector<AlfEntry> entries;  // in file order
};

// The bytes of the file. Each data chunk is written with the pad byte RIFF
// asks for after an odd size. Errors: a name that is empty or longer than 8
// bytes, a version text longer than 32 bytes, more than 4 GB in all.
Result<std::vector<std::uint8_t>> SerializeAlf(const AlfFile& file);

// Reads every entry of an allophone file held in memory. Errors carry the
// byte offset of the damage.
Result<AlfFile> ParseAlf(std::span<const std::uint8_t> bytes, const std::string& fileName = {});

// Reads and parses a file from disk.
Result<AlfFile> ReadAlfFile(const std::filesystem::path& path);

// Writes bytes to a temporary file beside the target and renames it into
// place, so that a reader never sees half a file and a failed write leaves
// the old file as it was.
std::optional<AlfError> WriteFileAtomically(const std::filesystem::path& path,
                                            std::span<const std::uint8_t> bytes);

}  // namespace vokar::alf
