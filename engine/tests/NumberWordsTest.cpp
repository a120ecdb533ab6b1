// Number and date words read as text: values in, the spoken words out, joined
// by blanks and shown in UTF-8.
#include "NumberWords.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Cp1250.h"

namespace vokar {
namespace {

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text.push_back(' ');
    text += cp1250::ToUtf8(word);
  }
  return text;
}

std::string Cardinal(std::uint32_t value, std::uint32_t fraction = 0, int digits = 0,
                     CardinalStyle style = CardinalStyle::Plain) {
  return Joined(CardinalWords(value, fraction, digits, style));
}

struct CardinalCase {
  std::uint32_t value;
  const char* words;
};

TEST(NumberWordsTest, IntegersBelowAThousandUseTheRespeltTables) {
  const CardinalCase cases[] = {
      {0, "zero"},
      {1, "jeden"},
      {9, "dziewięć"},
      {10, "dziesięć"},
      {11, "jedenaście"},
      {15, "pietnaście"},
      {19, "dziewietnaście"},
      {20, "dwadzieścia"},
      {21, "dwadzieścia jeden"},
      {50, "pieńdziesiąt"},
      {64, "sześdziesiąt cztery"},
      {98, "dziewieńdziesiąt osiem"},
      {100, "sto"},
      {101, "sto jeden"},
      {110, "sto dziesięć"},
      {200, "dwieście"},
      {512, "pieńcet dwanaście"},
      {600, "sześset"},
      {999, "dziewieńcet dziewieńdziesiąt dziewięć"},
  };
  for (const auto& c : cases) EXPECT_EQ(Cardinal(c.value), c.words) << c.value;
}

TEST(NumberWordsTest, ScaleWordsFollowTheCount) {
  const CardinalCase cases[] = {
      {1001, "jeden tysiąc jeden"},
      {2000, "dwa tysiące"},
      {4000, "cztery tysiące"},
      {5000, "pięć tysięcy"},
      {12000, "dwanaście tysięcy"},
      {13000, "trzynaście tysięcy"},
      {14000, "czternaście tysięcy"},
      {21000, "dwadzieścia jeden tysięcy"},
      {22000, "dwadzieścia dwa tysiące"},
      {24000, "dwadzieścia cztery tysiące"},
      {25000, "dwadzieścia pięć tysięcy"},
      {112000, "sto dwanaście tysięcy"},
      {122000, "sto dwadzieścia dwa tysiące"},
      {1'000'000, "jeden milion"},
      {1'000'001, "jeden milion jeden"},
      {2'000'000, "dwa miliony"},
      {5'000'000, "pięć milionów"},
      {12'000'000, "dwanaście milionów"},
      {23'000'000, "dwadzieścia trzy miliony"},
  };
  for (const auto& c : cases) EXPECT_EQ(Cardinal(c.value), c.words) << c.value;
}

TEST(NumberWordsTest, ALoneThousandAfterOneMillionOrInAYearHasNoJeden) {
  EXPECT_EQ(Cardinal(1'001'000), "jeden milion tysiąc");
  EXPECT_EQ(Cardinal(2'001'000), "dwa miliony jeden tysiąc");
  EXPECT_EQ(Cardinal(1000, 0, 0, CardinalStyle::Year), "tysiąc");
  EXPECT_EQ(Cardinal(1900, 0, 0, CardinalStyle::Year), "tysiąc dziewieńcet");
  EXPECT_EQ(Cardinal(2000, 0, 0, CardinalStyle::Year), "dwa tysiące");
}

struct FractionCase {
  std::uint32_t value;
  std::uint32_t fraction;
  int digits;
  const char* words;
};

TEST(NumberWordsTest, FractionsTakeTheFeminineAndTheDenominatorByCount) {
  const FractionCase cases[] = {
      {0, 2, 1, "zero i dwie dziesiąte"},
      {0, 4, 1, "zero i cztery dziesiąte"},
      {0, 12, 2, "zero i dwanaście setnych"},
      {0, 13, 2, "zero i trzynaście setnych"},
      {0, 21, 2, "zero i dwadzieścia jeden setnych"},
      {0, 22, 2, "zero i dwadzieścia dwie setne"},
      {0, 23, 2, "zero i dwadzieścia trzy setne"},
      {0, 1, 3, "zero i jedna tysięczna"},
      {0, 102, 3, "zero i sto dwie tysięczne"},
      // Above 2 only a count ending in 2 takes the feminine: 101 is masculine.
      {0, 101, 3, "zero i sto jeden tysięcznych"},
      {0, 201, 4, "zero i dwieście jeden dziesięciotysięcznych"},
      {0, 1101, 4, "zero i tysiąc sto jeden dziesięciotysięcznych"},
      {0, 3, 1, "zero i trzy dziesiąte"},
      {0, 113, 3, "zero i sto trzynaście tysięcznych"},
      {0, 12345, 5, "zero i dwanaście tysięcy trzysta czterdzieści pięć stutysięcznych"},
      {0, 1, 6, "zero i jedna milionowa"},
      {0, 2, 6, "zero i dwie milionowe"},
      {0, 999999, 6,
       "zero i dziewieńcet dziewieńdziesiąt dziewięć tysięcy dziewieńcet dziewieńdziesiąt dziewięć milionowych"},
      {7, 0, 3, "siedem"},
  };
  for (const auto& c : cases) EXPECT_EQ(Cardinal(c.value, c.fraction, c.digits), c.words) << c.fraction;
}

TEST(NumberWordsTest, FractionThousandsChooseTheDenominatorByTheLastCountSpoken) {
  // The thousands of a fraction are never "jeden", and when nothing follows
  // them the denominator agrees with them.
  const FractionCase cases[] = {
      {0, 2000, 4, "zero i dwa tysiące dziesięciotysięczne"},
      {0, 5000, 4, "zero i pięć tysięcy dziesięciotysięcznych"},
      {0, 2002, 4, "zero i dwa tysiące dwie dziesięciotysięczne"},
      {0, 1001, 4, "zero i tysiąc jedna dziesięciotysięczna"},
      {0, 22005, 5, "zero i dwadzieścia dwa tysiące pięć stutysięcznych"},
  };
  for (const auto& c : cases) EXPECT_EQ(Cardinal(c.value, c.fraction, c.digits), c.words) << c.fraction;
}

TEST(NumberWordsTest, OutOfRangeInputIsCutNotMisread) {
  EXPECT_EQ(Cardinal(kCardinalLimit + 5), "pięć");
  EXPECT_EQ(Cardinal(1, 5, 7), "jeden");
  EXPECT_EQ(Cardinal(1, 5, 0), "jeden");
}

// Every value must come out as words of letters only: a missing or
// misconverted table entry shows as an empty word or a '?'.
TEST(NumberWordsTest, EveryWordOfASweepIsMadeOfLetters) {
  auto check = [](const std::vector<std::string>& words, std::uint32_t value) {
    ASSERT_FALSE(words.empty()) << value;
    for (const std::string& word : words) {
      ASSERT_FALSE(word.empty()) << value;
      for (const char c : word) ASSERT_TRUE(cp1250::IsAlpha(static_cast<unsigned char>(c))) << value;
    }
  };
  for (std::uint32_t v = 0; v < 3000; ++v) {
    check(CardinalWords(v * 333'667, v * 331 % kFractionLimit, static_cast<int>(v % 6) + 1, CardinalStyle::Plain),
          v);
    check(DateWords(static_cast<int>(v % 31) + 1, static_cast<int>(v % 12) + 1, static_cast<int>(v)), v);
  }
}

struct DateCase {
  int day;
  int month;
  int year;
  const char* words;
};

TEST(NumberWordsTest, DatesAreOrdinalsWithTheMonthInTheGenitive) {
  const DateCase cases[] = {
      {1, 1, 1, "pierwszy stycznia pierwszego roku"},
      {15, 6, 15, "pietnasty czerwca pietnastego roku"},
      {19, 7, 19, "dziewietnasty lipca dziewietnastego roku"},
      {20, 5, 20, "dwudziesty maja dwudziestego roku"},
      {30, 9, 50, "trzydziesty września pieńdziesiątego roku"},
      {31, 10, 1996, "trzydziesty pierwszy października tysiąc dziewieńcet dziewieńdziesiątego szóstego roku"},
      {11, 12, 0, "jedenasty grudnia zerowego roku"},
  };
  for (const auto& c : cases) EXPECT_EQ(Joined(DateWords(c.day, c.month, c.year)), c.words) << c.year;
}

TEST(NumberWordsTest, YearsAreGenitiveOrdinalsOfTheirLastPart) {
  const struct {
    int year;
    const char* words;
  } cases[] = {
      {10, "dziesiątego"},
      {100, "setnego"},
      {101, "sto pierwszego"},
      {400, "czterechsetnego"},
      {900, "dziewięćsetnego"},
      {1000, "tysięcznego"},
      {1010, "tysiąc dziesiątego"},
      {1900, "tysiąc dziewięćsetnego"},
      {1996, "tysiąc dziewieńcet dziewieńdziesiątego szóstego"},
      {2000, "dwutysięcznego"},
      {2001, "dwa tysiące pierwszego"},
      {2100, "dwa tysiące setnego"},
      {2600, "dwa tysiące sześćsetnego"},
      {2999, "dwa tysiące dziewieńcet dziewieńdziesiątego dziewiątego"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Joined(DateWords(1, 1, c.year)), std::string("pierwszy stycznia ") + c.words + " roku") << c.year;
}

TEST(NumberWordsTest, EveryMonthHasItsGenitive) {
  const char* months[] = {"stycznia", "lutego",   "marca",    "kwietnia",     "maja",      "czerwca",
                          "lipca",    "sierpnia", "września", "października", "listopada", "grudnia"};
  for (int m = 1; m <= 12; ++m)
    EXPECT_EQ(Joined(DateWords(2, m, 2)), std::string("drugi ") + months[m - 1] + " drugiego roku");
}

}  // namespace
}  // namespace vokar
