// The "Bufor:" display's fitting of the buffer's tail into the box: five
// characters dropped from the front at a time, then single ones put back while
// the text stays narrower than the box.
#include <gtest/gtest.h>

#include <string>

#include "DisplayFit.h"

namespace {

using vokar::keyboard::FitTail;

// Ten pixels a character, a narrow i and a wide W.
int Width(std::string_view text) {
  int width = 0;
  for (const char c : text) width += c == 'i' ? 4 : c == 'W' ? 16 : 10;
  return width;
}

std::string Letters(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += static_cast<char>('a' + i % 26 == 'i' ? 'j' : 'a' + i % 26);
  return text;
}

TEST(DisplayFit, LongestTailThatFits) {
  EXPECT_EQ(FitTail("abcdef", 100, Width), "abcdef");
  EXPECT_EQ(FitTail("", 100, Width), "");
  EXPECT_EQ(FitTail("abcdef", 60, Width), "abcdef") << "exactly the width fits";
  // 128 characters into 300 pixels: down to 28 by fives, then one put back
  // (290 < 300); a 30th would make it 300, not narrower.
  const std::string text = Letters(128);
  EXPECT_EQ(FitTail(text, 300, Width), text.substr(128 - 29));
  EXPECT_EQ(FitTail(text, 301, Width), text.substr(128 - 30));
  // Narrow characters are put back one by one while there is room.
  const std::string narrow = std::string(40, 'i') + std::string(10, 'a');
  EXPECT_EQ(FitTail(narrow, 130, Width), std::string(7, 'i') + std::string(10, 'a'));
  EXPECT_EQ(FitTail(narrow, 100, Width), std::string(10, 'a'));
  EXPECT_EQ(FitTail("WWWWWW", 0, Width), "");
}

}  // namespace
