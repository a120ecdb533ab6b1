#include "TextLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vokar::text {
namespace {

std::vector<std::string> AllLines(std::string_view text, std::size_t* count = nullptr) {
  CLines lines(text);
  std::vector<std::string> out;
  for (std::string_view line; lines.Next(line);) out.emplace_back(line);
  if (count != nullptr) *count = lines.number();
  return out;
}

TEST(TextLinesTest, LinesEndAtNewlineAndTheLastNeedsNone) {
  std::size_t count = 99;
  EXPECT_EQ(AllLines("", &count), std::vector<std::string>{});
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(AllLines("one", &count), std::vector<std::string>{"one"});
  EXPECT_EQ(count, 1u);
  // A newline at the end starts no line; empty lines inside are lines.
  EXPECT_EQ(AllLines("a\n\nb\n", &count), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(AllLines("\n", &count), std::vector<std::string>{""});
  EXPECT_EQ(count, 1u);
  // The carriage return of a CRLF file stays for the blanks to take.
  EXPECT_EQ(AllLines("x\r\ny\r\n"), (std::vector<std::string>{"x\r", "y\r"}));
}

TEST(TextLinesTest, BlanksAtBothEndsGoAndWordsStartAfterBlanksBeforeComments) {
  EXPECT_EQ(TrimBlanks(" \t key=value \t\r"), "key=value");
  EXPECT_EQ(TrimBlanks("  "), "");
  EXPECT_EQ(TrimBlanks("a b"), "a b");

  std::size_t at = 0;
  EXPECT_TRUE(SkipToWord("  \tword", at));
  EXPECT_EQ(at, 3u);
  at = 0;
  EXPECT_FALSE(SkipToWord(" \r", at));
  EXPECT_EQ(at, 2u);
  at = 0;
  EXPECT_FALSE(SkipToWord("  # comment", at));
  EXPECT_EQ(at, 2u);
  at = 1;  // inside a word: nothing to skip
  EXPECT_TRUE(SkipToWord("ab", at));
  EXPECT_EQ(at, 1u);
}

}  // namespace
}  // namespace vokar::text
