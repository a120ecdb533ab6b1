#include "CommentPicture.h"

#include <string_view>

namespace vokar::comment {
namespace {

// The picture as one sees it, top row first, one hexadecimal palette index per
// pixel: a speech bubble with lines of text and a sound.
constexpr std::string_view kArt[kPictureSize] = {
    "88888888888888888888888888888888",
    "88888888888888888888888888888888",
    "88888000000000000000000000088888",
    "88800FFFFFFFFFFFFFFFFFFFFFF00888",
    "880FFFFFFFFFFFFFFFFFFFFFFFFFF088",
    "880FFFFFFFFFFFFFFFFFFFFFFFFFF078",
    "80FFFFFFFFFFFFFFFFFFFFFFFFFFFF08",
    "80FFFF44444444444444444444FFFF07",
    "80FFFF44444444444444444444FFFF07",
    "80FFFFFFFFFFFFFFFFFFFFFFFFFFFF07",
    "80FFFFFFFFFFFFFFFFFFFFFFFFFFFF07",
    "80FFFF444444444444444444FFFFFF07",
    "80FFFF444444444444444444FFFFFF07",
    "80FFFFFFFFFFFFFFFFFFFFFF9FFFFF07",
    "80FFFFFFFFFFFFFFFFFFF9FFF9FFFF07",
    "80FFFF4444444444444FFF9FF9FFFF07",
    "80FFFF4444444444444FFF9FF9FFFF07",
    "80FFFFFFFFFFFFFFFFFFF9FFF9FFFF07",
    "880FFFFFFFFFFFFFFFFFFFFF9FFFF077",
    "880FFFFFFFFFFFFFFFFFFFFFFFFFF078",
    "88800FFFFFFFFFFFFFFFFFFFFFF00778",
    "8888800FFFFF00000000000000077788",
    "88888880FFF077777777777777778888",
    "88888880FF0888888888888888888888",
    "88888880F08888888888888888888888",
    "8888880F088888888888888888888888",
    "88888800888888888888888888888888",
    "88888808888888888888888888888888",
    "88888088888888888888888888888888",
    "88888888888888888888888888888888",
    "88888888888888888888888888888888",
    "88888888888888888888888888888888",
};

constexpr std::uint8_t HexValue(char c) {
  return static_cast<std::uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10);
}

constexpr std::array<std::uint8_t, kPictureSize * kPictureSize> StoredForm() {
  std::array<std::uint8_t, kPictureSize * kPictureSize> bytes{};
  for (int row = 0; row < kPictureSize; ++row) {
    const std::string_view line = kArt[kPictureSize - 1 - row];
    for (int x = 0; x < kPictureSize; ++x) bytes[static_cast<std::size_t>(row * kPictureSize + x)] = HexValue(line[x]);
  }
  return bytes;
}

constexpr auto kStored = StoredForm();

}  // namespace

const std::array<std::uint8_t, kPictureSize * kPictureSize>& CommentPictureBytes() { return kStored; }

QColor PaletteColor(std::uint8_t index) {
  static const QColor colors[16] = {
      {0, 0, 0},     {128, 0, 0},     {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
      {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
      {0, 0, 255},   {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
  };
  return colors[index & 0x0F];
}

namespace {

// Draws the picture's opaque pixels with their top-left corner at x0, y0.
void DrawPicture(QImage& image, int x0, int y0) {
  const auto& bytes = CommentPictureBytes();
  for (int row = 0; row < kPictureSize; ++row) {
    const int y = y0 + kPictureSize - 1 - row;
    for (int x = 0; x < kPictureSize; ++x) {
      const std::uint8_t index = bytes[static_cast<std::size_t>(row * kPictureSize + x)];
      if (index != kTransparentIndex) image.setPixelColor(x0 + x, y, PaletteColor(index));
    }
  }
}

}  // namespace

QImage RenderPicture() {
  QImage image(kPictureSize, kPictureSize, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  DrawPicture(image, 0, 0);
  return image;
}

QImage RenderPresentation(QColor buttonFace, QColor buttonShadow) {
  const int last = kPresentationSize - 1;
  QImage image(kPresentationSize, kPresentationSize, QImage::Format_ARGB32);
  image.fill(buttonFace);
  for (int i = 0; i <= last; ++i) {
    for (const auto& [x, y] : {std::pair{i, 0}, {i, last}, {0, i}, {last, i}}) image.setPixelColor(x, y, Qt::black);
  }
  // The light edges start at 1,1 and are 38 units long; the shadow edges are
  // drawn after them, the bottom from 2,38 (37 units), the right from 38,1 (38).
  for (int i = 1; i < 1 + 38; ++i) {
    image.setPixelColor(i, 1, Qt::white);
    image.setPixelColor(1, i, Qt::white);
  }
  for (int i = 2; i < 2 + 37; ++i) image.setPixelColor(i, 38, buttonShadow);
  for (int i = 1; i < 1 + 38; ++i) image.setPixelColor(38, i, buttonShadow);
  DrawPicture(image, 4, 4);
  return image;
}

}  // namespace vokar::comment
