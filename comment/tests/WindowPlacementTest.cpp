// The main window's placement as the settings keep it: ten numbers and no
// other text, the limits of each field, and a rectangle brought onto a screen.
#include <gtest/gtest.h>

#include "WindowPlacement.h"

namespace vokar::comment {
namespace {

TEST(WindowPos, ParsesTenNumbers) {
  const auto placement = ParseWindowPos("2,3,-1,-1,-1,-1,10,20,810,620");
  ASSERT_TRUE(placement);
  EXPECT_EQ(placement->flags, 2u);
  EXPECT_EQ(placement->showCmd, 3u);
  EXPECT_EQ(placement->minX, -1);
  EXPECT_EQ(placement->maxY, -1);
  EXPECT_EQ(placement->NormalRect(), QRect(10, 20, 800, 600));
  EXPECT_EQ(FormatWindowPos(*placement), "2,3,-1,-1,-1,-1,10,20,810,620");
}

TEST(WindowPos, WhatIsRefused) {
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {
      {"0,1,0,0,0,0,0,0,100,100", true},
      {" 0 , 1 ,0,0,0,0,0,0,100, 100 ", true},
      {"0,1,0,0,0,0,0,0,100", false},          // nine numbers
      {"0,1,0,0,0,0,0,0,100,100,5", false},    // eleven
      {"0,1,0,0,0,0,0,0,100,100,", false},     // a comma too many
      {"", false},
      {"0;1;0;0;0;0;0;0;100;100", false},
      {"0,1,0,0,0,0,0,0,100,1e2", false},
      {"-1,1,0,0,0,0,0,0,100,100", false},     // flags cannot be negative
      {"0,-1,0,0,0,0,0,0,100,100", false},     // nor the show command
      {"4294967295,1,0,0,0,0,0,0,100,100", true},
      {"4294967296,1,0,0,0,0,0,0,100,100", false},
      {"0,1,0,0,0,0,0,0,2147483647,100", true},
      {"0,1,0,0,0,0,0,0,2147483648,100", false},
      {"0,1,0,0,0,0,-2147483648,0,100,100", true},
      {"0,1,0,0,0,0,-2147483649,0,100,100", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseWindowPos(c.text).has_value(), c.accepted) << c.text;
}

TEST(WindowPos, RectangleOnTheScreens) {
  const std::vector<QRect> screens{QRect(0, 0, 1280, 1024), QRect(1280, 0, 800, 600)};
  EXPECT_EQ(UsableRect(QRect(100, 100, 640, 480), screens), QRect(100, 100, 640, 480));
  // On the second screen, partly off it: kept.
  EXPECT_EQ(UsableRect(QRect(1900, 500, 640, 480), screens), QRect(1900, 500, 640, 480));
  // On no screen at all: moved to the first screen's corner.
  EXPECT_EQ(UsableRect(QRect(5000, 5000, 640, 480), screens), QRect(0, 0, 640, 480));
  EXPECT_EQ(UsableRect(QRect(-700, 100, 640, 480), screens), QRect(0, 0, 640, 480));
  // Larger than the largest screen: cut to it.
  EXPECT_EQ(UsableRect(QRect(0, 0, 3000, 2000), screens), QRect(0, 0, 1280, 1024));
  EXPECT_FALSE(UsableRect(QRect(0, 0, 0, 100), screens));
  EXPECT_FALSE(UsableRect(QRect(QPoint(100, 100), QPoint(50, 200)), screens));
  EXPECT_FALSE(UsableRect(QRect(0, 0, 100, 100), {}));
}

}  // namespace
}  // namespace vokar::comment
