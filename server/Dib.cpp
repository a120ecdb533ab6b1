#include "Dib.h"

namespace vokar::server {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kBiRgb = 0;

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }
  std::uint32_t U16(std::size_t at) const { return bytes_[at] | (bytes_[at + 1] << 8); }
  std::uint32_t U32(std::size_t at) const {
    return static_cast<std::uint32_t>(bytes_[at]) | (static_cast<std::uint32_t>(bytes_[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes_[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes_[at + 3]) << 24);
  }
  std::uint8_t Byte(std::size_t at) const { return bytes_[at]; }
  std::size_t size() const { return bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
};

std::optional<DibImage> Fail(DibError* error, std::string what, std::size_t offset) {
  if (error) *error = {std::move(what), offset};
  return std::nullopt;
}

}  // namespace

std::optional<DibImage> ReadDib(std::span<const std::uint8_t> file, DibError* error) {
  const Reader in(file);
  if (!in.Has(0, kFileHeaderSize) || in.Byte(0) != 'B' || in.Byte(1) != 'M')
    return Fail(error, "not a bitmap file (no \"BM\")", 0);
  const std::uint32_t bitsOffset = in.U32(10);
  const std::size_t header = kFileHeaderSize;
  if (!in.Has(header, 4)) return Fail(error, "the bitmap header is missing", header);
  const std::uint32_t headerSize = in.U32(header);

  std::int64_t width = 0, height = 0;
  std::uint32_t planes = 0, bitCount = 0, compression = kBiRgb, colorsUsed = 0;
  std::size_t entrySize = 4;
  // Where each field lies, for the errors: the core header packs them tighter.
  std::size_t widthAt = header + 4, planesAt = header + 12, bitCountAt = header + 14;
  if (headerSize == kInfoHeaderSize) {
    if (!in.Has(header, kInfoHeaderSize)) return Fail(error, "the information header is cut short", header);
    width = static_cast<std::int32_t>(in.U32(header + 4));
    height = static_cast<std::int32_t>(in.U32(header + 8));
    planes = in.U16(header + 12);
    bitCount = in.U16(header + 14);
    compression = in.U32(header + 16);
    colorsUsed = in.U32(header + 32);
  } else if (headerSize == kCoreHeaderSize) {
    if (!in.Has(header, kCoreHeaderSize)) return Fail(error, "the core header is cut short", header);
    width = in.U16(header + 4);
    height = in.U16(header + 6);
    planes = in.U16(header + 8);
    bitCount = in.U16(header + 10);
    entrySize = 3;
    planesAt = header + 8;
    bitCountAt = header + 10;
  } else {
    return Fail(error, "a bitmap header of unknown size " + std::to_string(headerSize), header);
  }
  if (planes != 1) return Fail(error, "a bitmap with " + std::to_string(planes) + " planes", planesAt);
  if (compression != kBiRgb) return Fail(error, "a compressed bitmap", header + 16);
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width < 1 || width > kMaxDibSide || height < 1 || height > kMaxDibSide)
    return Fail(error, "bitmap dimensions out of range", widthAt);

  std::size_t colors = 0;
  switch (bitCount) {
    case 1: case 4: case 8: {
      const std::size_t full = std::size_t{1} << bitCount;
      colors = colorsUsed == 0 ? full : colorsUsed;
      if (colors > full) return Fail(error, "more colours than the bit depth allows", header + 32);
      break;
    }
    case 24: case 32:
      // A colour table may be there to help palette devices; it is skipped.
      if (colorsUsed > 256) return Fail(error, "a colour count above 256", header + 32);
      colors = colorsUsed;
      break;
    default:
      return Fail(error, "a bit depth of " + std::to_string(bitCount), bitCountAt);
  }
  const std::size_t tableOffset = header + headerSize;
  if (!in.Has(tableOffset, colors * entrySize)) return Fail(error, "the colour table is cut short", tableOffset);
  std::vector<std::uint32_t> palette(colors);
  for (std::size_t i = 0; i < colors; ++i) {
    const std::size_t at = tableOffset + i * entrySize;
    palette[i] = 0xFF000000u | (std::uint32_t{in.Byte(at + 2)} << 16) | (std::uint32_t{in.Byte(at + 1)} << 8) |
                 in.Byte(at);
  }

  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  const std::size_t rowBytes = (w * bitCount + 31) / 32 * 4;
  // The rows follow the colour table, or start where the file header says
  // when that lies further on inside the file.
  std::size_t bits = tableOffset + colors * entrySize;
  if (bitsOffset > bits && in.Has(bitsOffset, 0)) bits = bitsOffset;
  if (!in.Has(bits, rowBytes * h)) return Fail(error, "the bitmap's rows are cut short", bits);

  DibImage image;
  image.width = static_cast<int>(w);
  image.height = static_cast<int>(h);
  image.pixels.resize(w * h);
  for (std::size_t row = 0; row < h; ++row) {
    const std::size_t source = bits + (topDown ? row : h - 1 - row) * rowBytes;
    std::uint32_t* target = image.pixels.data() + row * w;
    for (std::size_t x = 0; x < w; ++x) {
      if (bitCount <= 8) {
        const std::size_t bitIndex = x * bitCount;
        const std::uint8_t byte = in.Byte(source + bitIndex / 8);
        const unsigned shift = 8 - bitCount - static_cast<unsigned>(bitIndex % 8);
        const std::size_t index = (byte >> shift) & ((1u << bitCount) - 1);
        // An index past a short colour table shows black, as the platform did.
        target[x] = index < palette.size() ? palette[index] : 0xFF000000u;
      } else {
        const std::size_t at = source + x * (bitCount / 8);
        target[x] = 0xFF000000u | (std::uint32_t{in.Byte(at + 2)} << 16) | (std::uint32_t{in.Byte(at + 1)} << 8) |
                    in.Byte(at);
      }
    }
  }
  return image;
}

std::vector<std::uint8_t> WriteDib8(int width, int height, const std::vector<std::uint32_t>& palette,
                                    const std::vector<std::uint8_t>& indices) {
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  const std::size_t rowBytes = (w + 3) / 4 * 4;
  const std::size_t tableBytes = palette.size() * 4;
  const std::size_t bitsOffset = kFileHeaderSize + kInfoHeaderSize + tableBytes;
  const std::size_t total = bitsOffset + rowBytes * h;
  std::vector<std::uint8_t> out(total, 0);
  auto put16 = [&](std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<std::uint32_t>(total));
  put32(10, static_cast<std::uint32_t>(bitsOffset));
  put32(14, kInfoHeaderSize);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  put16(26, 1);
  put16(28, 8);
  put32(34, static_cast<std::uint32_t>(rowBytes * h));
  put32(46, static_cast<std::uint32_t>(palette.size()));
  for (std::size_t i = 0; i < palette.size(); ++i) put32(kFileHeaderSize + kInfoHeaderSize + i * 4, palette[i] & 0xFFFFFF);
  for (std::size_t row = 0; row < h; ++row) {
    const std::size_t target = bitsOffset + (h - 1 - row) * rowBytes;
    for (std::size_t x = 0; x < w; ++x) out[target + x] = indices[row * w + x];
  }
  return out;
}

}  // namespace vokar::server
