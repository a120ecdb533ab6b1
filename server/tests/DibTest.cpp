// The start-up bitmap reader: the bit depths and headers it knows, and files
// whose sizes do not hold together, which give no logo and an error that
// says where.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Dib.h"

namespace {

using vokar::server::DibError;
using vokar::server::ReadDib;

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::size_t at, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A file with the 40-byte header: colours in the table, then rows as given
// (bottom row first, each padded to 4 bytes by the caller).
Bytes InfoFile(int width, int height, int bits, std::uint32_t colorsUsed, const std::vector<std::uint32_t>& table,
               const Bytes& rows) {
  Bytes b(14 + 40 + table.size() * 4, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 10, static_cast<std::uint32_t>(b.size()), 4);
  Put(b, 14, 40, 4);
  Put(b, 18, static_cast<std::uint32_t>(width), 4);
  Put(b, 22, static_cast<std::uint32_t>(height), 4);
  Put(b, 26, 1, 2);
  Put(b, 28, static_cast<std::uint32_t>(bits), 2);
  Put(b, 46, colorsUsed, 4);
  for (std::size_t i = 0; i < table.size(); ++i) Put(b, 54 + i * 4, table[i], 4);
  b.insert(b.end(), rows.begin(), rows.end());
  Put(b, 2, static_cast<std::uint32_t>(b.size()), 4);
  return b;
}

TEST(Dib, MonochromeRowsReadBottomUp) {
  // 3 x 2 pixels, 1 bit: bottom row 101, top row 010.
  const Bytes rows = {0b10100000, 0, 0, 0, 0b01000000, 0, 0, 0};
  const auto image = ReadDib(InfoFile(3, 2, 1, 0, {0x000000, 0xFFFFFF}, rows));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);
  const std::vector<std::uint32_t> expected = {0xFF000000, 0xFFFFFFFF, 0xFF000000,
                                               0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF};
  EXPECT_EQ(image->pixels, expected);
}

TEST(Dib, SixteenColoursWithAShortTableAndTopDownRows) {
  // 2 x 1, 4 bits, only 2 colours used; index 5 lies past the table: black.
  Bytes file = InfoFile(2, -1, 4, 2, {0x112233, 0x445566}, {0x15, 0, 0, 0});
  const auto image = ReadDib(file);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels, (std::vector<std::uint32_t>{0xFF445566, 0xFF000000}));
}

TEST(Dib, CoreHeaderAndTrueColour) {
  // 12-byte header, 8 bits, a 3-byte-per-entry table of 256 colours.
  Bytes core(14 + 12 + 256 * 3, 0);
  core[0] = 'B';
  core[1] = 'M';
  Put(core, 14, 12, 4);
  Put(core, 18, 1, 2);
  Put(core, 20, 1, 2);
  Put(core, 22, 1, 2);
  Put(core, 24, 8, 2);
  Put(core, 26 + 7 * 3, 0xABCDEF, 3);
  core.insert(core.end(), {7, 0, 0, 0});
  auto image = ReadDib(core);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels, (std::vector<std::uint32_t>{0xFFABCDEF}));
  // Errors name the core header's own field positions.
  Bytes badDepth = core;
  Put(badDepth, 24, 96, 2);
  DibError error;
  EXPECT_FALSE(ReadDib(badDepth, &error));
  EXPECT_EQ(error.offset, 24u);
  Bytes badPlanes = core;
  Put(badPlanes, 22, 3, 2);
  EXPECT_FALSE(ReadDib(badPlanes, &error));
  EXPECT_EQ(error.offset, 22u);

  // 24 bits: blue, green, red in each pixel.
  image = ReadDib(InfoFile(1, 1, 24, 0, {}, {0x30, 0x20, 0x10, 0}));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels, (std::vector<std::uint32_t>{0xFF102030}));
}

TEST(Dib, WriterAndReaderAgree) {
  const std::vector<std::uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00};
  const std::vector<std::uint8_t> indices = {0, 1, 2, 2, 1, 0, 1, 1, 1, 0, 0, 2, 2, 2, 0};
  const auto image = ReadDib(vokar::server::WriteDib8(5, 3, palette, indices));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->pixels.size(), indices.size());
  for (std::size_t i = 0; i < indices.size(); ++i) EXPECT_EQ(image->pixels[i], 0xFF000000 | palette[indices[i]]) << i;
}

TEST(Dib, HostileFilesGiveNoImage) {
  const Bytes good = InfoFile(4, 4, 8, 0, std::vector<std::uint32_t>(256, 0x808080), Bytes(16, 3));
  ASSERT_TRUE(ReadDib(good));
  struct Case {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    int width;
    std::size_t errorOffset;
  };
  const Case cases[] = {
      {"magic", 0, 'X', 1, 0},
      {"header size", 14, 64, 4, 14},
      {"width 0", 18, 0, 4, 18},
      {"width above the limit", 18, 4097, 4, 18},
      {"negative width", 18, 0xFFFFFFFF, 4, 18},
      {"height above the limit", 22, 4097, 4, 18},
      {"most negative height", 22, 0x80000000, 4, 18},
      {"planes", 26, 2, 2, 26},
      {"bit depth", 28, 7, 2, 28},
      {"compressed", 30, 1, 4, 30},
      {"257 colours", 46, 257, 4, 46},
      {"rows beyond the file", 22, 5, 4, 1078},
  };
  for (const auto& c : cases) {
    Bytes file = good;
    Put(file, c.at, c.value, c.width);
    DibError error;
    EXPECT_FALSE(ReadDib(file, &error)) << c.what;
    EXPECT_EQ(error.offset, c.errorOffset) << c.what << ": " << error.what;
  }
  // The largest sides are read; one more is refused (above). Cut files fail
  // at every length.
  const Bytes wide = InfoFile(4096, 1, 8, 1, {0}, Bytes(4096, 0));
  EXPECT_TRUE(ReadDib(wide));
  for (std::size_t length = 0; length < good.size(); ++length)
    EXPECT_FALSE(ReadDib(std::span(good.data(), length))) << length;
}

}  // namespace
