// Reading the advice file and choosing its line, with files in a folder of the
// test's own; expected lines and indices worked out by hand.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "AdviceFile.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::adviser;

TEST(AdviceLines, RandomDrawCoversEveryLineWithoutOverflow) {
  const struct {
    std::uint32_t r;
    std::int64_t n;
    std::int64_t expected;
  } cases[] = {
      {0, 1, 0},
      {32767, 1, 0},          // floor(32767 * 1 / 32767) = 1, held at n - 1
      {16383, 2, 0},          // 32766 / 32767
      {16384, 2, 1},          // 32768 / 32767
      {32767, 3, 2},
      {1, 70000, 2},          // 70000 / 32767 = 2.1
      {16384, 70000, 35001},  // 1146880000 / 32767
      // 65538 lines is the last count whose products fit 31 bits; one more
      // and a 32-bit product would have gone negative.
      {12345, 65538, 24691},
      {32766, 65539, 65536},
      {32767, 65539, 65538},
      {32766, 100000, 99996},
  };
  for (const auto& c : cases) EXPECT_EQ(RandomLine(c.r, c.n), c.expected) << c.r << " of " << c.n;
}

TEST(AdviceLines, InTurnWrapsAndMendsANegativeLastRow) {
  const struct {
    std::int64_t lastRow;
    std::int64_t n;
    std::int64_t expected;
  } cases[] = {
      {2, 3, 0},  // three lines, line 2 spoken last: line 0 next
      {0, 3, 1},
      {9, 4, 2},  // the file was shortened: 10 mod 4
      {3, 4, 0},
      {0, 1, 0},
      {-1, 4, 0},
      {-7, 4, 0},
      {INT_MIN, 4, 0},
      {INT_MAX, 5, 3},  // 2147483648 mod 5, without overflowing
  };
  for (const auto& c : cases) EXPECT_EQ(NextLine(c.lastRow, c.n), c.expected) << c.lastRow << " of " << c.n;
}

TEST(AdviceLines, LinesEndAtTheirLineEndOrAfter255Characters) {
  const std::string x254(254, 'x'), x255(255, 'x');
  const struct {
    std::string text;
    std::vector<std::string> expected;
  } cases[] = {
      {"", {}},
      {"a\nb\n", {"a\n", "b\n"}},
      {"a\nb", {"a\n", "b"}},
      {"\n\n", {"\n", "\n"}},
      {x254 + "\n", {x254 + "\n"}},
      {x255 + "\n", {x255, "\n"}},
      {x255 + "x", {x255, "x"}},
      {x255 + x255 + "\nb", {x255, x255, "\n", "b"}},
  };
  for (const auto& c : cases) {
    const auto lines = SplitLines(c.text);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), c.expected) << c.text.size();
  }
}

TEST(AdviceLines, TextModeAndEncodings) {
  const struct {
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"a\r\nb\r\n", "a\nb\n"},
      {"a\rb\n", "a\rb\n"},                  // a lone CR stays
      {"a\nb\x1A" "c\n", "a\nb"},            // Ctrl+Z ends the text
      {"za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\n", "za\xBF\xF3\xB3\xE6\n"},  // "zażółć" in UTF-8
      {"za\xBF\xF3\xB3\xE6\n", "za\xBF\xF3\xB3\xE6\n"},                  // already code page 1250
      {"\xE6\x97\xA5 \xE2\x82\xAC\n", "? \x80\n"},  // a character the code page lacks, and the euro sign
      {"plain ASCII\n", "plain ASCII\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(TextModeCp1250(c.bytes), c.expected) << c.bytes;

  // A byte order mark is no character of the first line, in UTF-8 or not.
  EXPECT_EQ(TextModeCp1250("\xEF\xBB\xBFza\xC5\xBC\r\n"), "za\xBF\n");
  EXPECT_EQ(TextModeCp1250("\xEF\xBB\xBFza\xBF\r\n"), "za\xBF\n");
  // The start of a longer file that ends inside "ż" (C5 BC) is still UTF-8;
  // read whole, the same bytes are code page 1250.
  EXPECT_EQ(TextModeCp1250("\xC5\xBC\xC3\xB3\xC5", vokar::cp1250::TextEnd::Cut), "\xBF\xF3");
  EXPECT_EQ(TextModeCp1250("\xC5\xBC\xC3\xB3\xC5", vokar::cp1250::TextEnd::Whole), "\xC5\xBC\xC3\xB3\xC5");
  // Before Ctrl+Z the text is whole, so its last byte is kept.
  EXPECT_EQ(TextModeCp1250("\xC5\xBC\xC5\x1A\xBC", vokar::cp1250::TextEnd::Cut), "\xC5\xBC\xC5");

  // 255 Polish letters in UTF-8 (510 bytes) are one line of 255 characters.
  std::string letters;
  for (int i = 0; i < 255; ++i) letters += "\xC4\x85";  // ą
  const std::string text = TextModeCp1250(letters + "\n");
  const auto lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(255, '\xB9'));
  EXPECT_EQ(lines[1], "\n");
}

class AdviceFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("VOKAR_TEST_TMP");
    const fs::path root = base != nullptr ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(root);
    std::string pattern = (root / "advice-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path file = folder_ / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }
  fs::path folder_;
};

TEST_F(AdviceFile, ChoosesTheLineAndTheNewLastRow) {
  const auto three = Write("three.txt", "pierwsza\r\ndruga\r\ntrzecia\r\n");
  const auto four = Write("four.txt", "zero\njeden\ndwa\ntrzy\n");
  const auto empty = Write("empty.txt", "");
  const auto blank = Write("blank.txt", "raz\n\ntrzy\n");
  const auto nul = Write("nul.txt", std::string("raz\n\0dwa\ntrzy\n", 14));
  const struct {
    const char* what;
    fs::path file;
    Order order;
    std::int64_t lastRow;
    std::uint32_t draw;
    std::string line;
    std::int64_t row;
  } cases[] = {
      {"after the last line comes the first", three, Order::InTurn, 2, 0, "pierwsza\n", 0},
      {"a shortened file wraps by the remainder", four, Order::InTurn, 9, 0, "dwa\n", 2},
      {"a negative LastRow starts again", four, Order::InTurn, -5, 0, "zero\n", 0},
      {"the highest draw takes the last line", three, Order::Random, 0, 32767, "trzecia\n", 2},
      {"the lowest draw takes the first line", four, Order::Random, 3, 0, "zero\n", 0},
      {"an empty file says nothing and resets", empty, Order::InTurn, 5, 0, "", 0},
      {"an empty line keeps its line end", blank, Order::InTurn, 0, 0, "\n", 1},
      {"a line cut short by NUL is empty", nul, Order::InTurn, 0, 0, "", 0},
  };
  for (const auto& c : cases) {
    const Choice choice = ChooseLine(c.file, c.order, c.lastRow, c.draw);
    EXPECT_TRUE(choice.opened) << c.what;
    EXPECT_EQ(choice.line, c.line) << c.what;
    EXPECT_EQ(choice.row, c.row) << c.what;
  }
}

TEST_F(AdviceFile, AFileThatCannotBeReadLeavesLastRow) {
  const fs::path fifo = folder_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const fs::path& file : {folder_ / "missing.txt", folder_, fifo}) {
    const Choice choice = ChooseLine(file, Order::InTurn, 7, 0);
    EXPECT_FALSE(choice.opened) << file;
    EXPECT_EQ(choice.row, 7) << file;
    EXPECT_EQ(choice.line, "") << file;
  }
}

TEST_F(AdviceFile, ALargeFileIsChosenFromWhole) {
  std::string text;
  for (int i = 0; i < 70000; ++i) text += "wiersz " + std::to_string(i) + "\n";
  const auto file = Write("large.txt", text);
  const Choice middle = ChooseLine(file, Order::Random, 0, 16384);
  EXPECT_EQ(middle.line, "wiersz 35001\n");
  EXPECT_EQ(middle.row, 35001);
  const Choice last = ChooseLine(file, Order::Random, 0, 32767);
  EXPECT_EQ(last.line, "wiersz 69999\n");
  const Choice next = ChooseLine(file, Order::InTurn, 69998, 0);
  EXPECT_EQ(next.line, "wiersz 69999\n");
  for (int i = 0; i < 20; ++i) EXPECT_LE(DrawRandom(), 32767u);
}

}  // namespace
