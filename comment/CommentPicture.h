// The picture of a comment: 32 x 32 pixels, one byte per pixel, bottom row
// first, each byte an index into the standard 16-colour palette, index 8
// (grey) transparent. It shows as the comment's presentation (a 40 x 40
// raised square with the picture inside) and as the icons of the program and
// of the comment file type.
#pragma once

#include <QColor>
#include <QImage>

#include <array>
#include <cstdint>

namespace vokar::comment {

inline constexpr int kPictureSize = 32;
inline constexpr int kPresentationSize = 40;
inline constexpr std::uint8_t kTransparentIndex = 8;

// The picture as stored: row kPictureSize - 1 of the image comes first.
const std::array<std::uint8_t, kPictureSize * kPictureSize>& CommentPictureBytes();

// The colour of a palette index (0 black ... 15 white).
QColor PaletteColor(std::uint8_t index);

// The picture alone, transparent where the index is 8.
QImage RenderPicture();

// The presentation: the square in the button-face colour, a black border, white
// lines along the top and left and button-shadow lines along the bottom and
// right inside it, and the picture at 4,4. Button face and shadow are the
// classic grey tones unless given.
QImage RenderPresentation(QColor buttonFace = QColor(192, 192, 192), QColor buttonShadow = QColor(128, 128, 128));

}  // namespace vokar::comment
