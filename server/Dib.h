// Reads the start-up bitmap: a device-independent bitmap file ("BM", the
// 14-byte file header, then the 40-byte information header or the 12-byte
// core header, the colour table and the rows). Palettes of 2, 16 or 256
// colours by bit depth, or the count the header gives; 24- and 32-bit rows
// without a palette. Every size and offset is checked against the file, so a
// damaged or hostile file yields an error that says what and where, never a
// crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vokar::server {

struct DibImage {
  int width = 0;
  int height = 0;
  // Top row first, each pixel 0xFFRRGGBB.
  std::vector<std::uint32_t> pixels;
};

struct DibError {
  std::string what;
  std::size_t offset = 0;  // where in the file reading failed
};

// A logo is small; anything wider or higher than this is refused.
inline constexpr int kMaxDibSide = 4096;

// The image, or nothing with the error filled in.
std::optional<DibImage> ReadDib(std::span<const std::uint8_t> file, DibError* error = nullptr);

// Writes an 8-bit bitmap with a colour table of up to 256 entries (0x00RRGGBB)
// and the 40-byte information header; pixels are palette indices, top row
// first. For the build's own logo and for tests.
std::vector<std::uint8_t> WriteDib8(int width, int height, const std::vector<std::uint32_t>& palette,
                                    const std::vector<std::uint8_t>& indices);

}  // namespace vokar::server
