// The comment's picture in its stored form and its presentation: pixels at
// places worked out from the picture's rows and the drawing rules.
#include <gtest/gtest.h>

#include <QColor>

#include "CommentPicture.h"

namespace vokar::comment {
namespace {

const QColor kBlack(0, 0, 0), kWhite(255, 255, 255), kFace(192, 192, 192), kShadow(128, 128, 128), kDarkBlue(0, 0, 128),
    kRed(255, 0, 0);

TEST(CommentPicture, StoredBottomRowFirst) {
  const auto& bytes = CommentPictureBytes();
  // The bottom row of the picture is empty (all transparent grey).
  for (int x = 0; x < 32; ++x) EXPECT_EQ(bytes[static_cast<std::size_t>(x)], 8) << x;
  // The third row from the top is the top of the bubble: black from x 5 to 26.
  const std::size_t topOfBubble = 29 * 32;
  EXPECT_EQ(bytes[topOfBubble + 4], 8);
  EXPECT_EQ(bytes[topOfBubble + 5], 0);
  EXPECT_EQ(bytes[topOfBubble + 26], 0);
  EXPECT_EQ(bytes[topOfBubble + 27], 8);
  for (const auto b : bytes) EXPECT_LT(b, 16);
}

TEST(CommentPicture, Palette) {
  const std::pair<int, QColor> expected[] = {{0, kBlack},   {1, QColor(128, 0, 0)},  {4, kDarkBlue}, {7, kFace},
                                             {8, kShadow},  {9, kRed},               {11, QColor(255, 255, 0)},
                                             {14, QColor(0, 255, 255)}, {15, kWhite}};
  for (const auto& [index, color] : expected) EXPECT_EQ(PaletteColor(static_cast<std::uint8_t>(index)), color) << index;
}

TEST(CommentPicture, PictureIsTransparentWhereGrey) {
  const QImage picture = RenderPicture();
  ASSERT_EQ(picture.size(), QSize(32, 32));
  EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0);
  EXPECT_EQ(picture.pixelColor(5, 2), kBlack);
  EXPECT_EQ(picture.pixelColor(6, 7), kDarkBlue);
  EXPECT_EQ(picture.pixelColor(24, 13), kRed);
  EXPECT_EQ(picture.pixelColor(5, 3), kWhite);
  EXPECT_EQ(picture.pixelColor(3, 3), kBlack);
}

TEST(CommentPicture, PresentationFrameAndPicture) {
  const QImage image = RenderPresentation();
  ASSERT_EQ(image.size(), QSize(40, 40));
  const struct {
    int x, y;
    QColor color;
    const char* why;
  } pixels[] = {
      {0, 0, kBlack, "border corner"},
      {39, 39, kBlack, "far border corner"},
      {39, 20, kBlack, "right border"},
      {20, 0, kBlack, "top border"},
      {1, 1, kWhite, "start of the light lines"},
      {37, 1, kWhite, "top light line"},
      {1, 38, kWhite, "left light line ends at 38"},
      {38, 1, kShadow, "right shadow starts at 38,1 over the light line"},
      {38, 38, kShadow, "shadows meet"},
      {2, 38, kShadow, "bottom shadow starts at 2,38"},
      {2, 2, kFace, "face inside the edges"},
      {4, 4, kFace, "transparent picture pixel shows the face"},
      {37, 37, kFace, "below and right of the picture"},
      {9, 6, kBlack, "picture pixel 5,2 at 4,4"},
      {10, 11, kDarkBlue, "picture pixel 6,7"},
      {28, 17, kRed, "picture pixel 24,13"},
  };
  for (const auto& p : pixels) EXPECT_EQ(image.pixelColor(p.x, p.y), p.color) << p.why;
}

TEST(CommentPicture, SystemColoursReplaceTheClassicOnes) {
  const QImage image = RenderPresentation(QColor(10, 20, 30), QColor(40, 50, 60));
  EXPECT_EQ(image.pixelColor(2, 2), QColor(10, 20, 30));
  EXPECT_EQ(image.pixelColor(38, 38), QColor(40, 50, 60));
}

}  // namespace
}  // namespace vokar::comment
