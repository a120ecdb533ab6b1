// Polish number words: cardinals with decimal fractions, and dates as spoken
// ordinals. Values go in, words come out as code page 1250 strings, one word
// per element, in the order they are spoken.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vokar {

// In year style a lone thousand is "tysiąc" without "jeden", as in
// "tysiąc dziewięćsetnego roku".
enum class CardinalStyle { Plain, Year };

// Single words the figure reader says around the numbers themselves.
enum class FigureWord { Minus, Point, And, Also, Year };

// The largest integer and fraction read as words, plus one.
inline constexpr std::uint32_t kCardinalLimit = 1'000'000'000;
inline constexpr std::uint32_t kFractionLimit = 1'000'000;
inline constexpr int kMaxFractionDigits = 6;

std::string_view FigureWordText(FigureWord word);

// The words of value (below kCardinalLimit), followed when fraction is not 0
// by "i", the words of the fraction and the name of its denominator, chosen
// by fractionDigits (1 tenths ... 6 millionths). Digits beyond the limits are
// dropped rather than read wrongly.
std::vector<std::string> CardinalWords(std::uint32_t value, std::uint32_t fraction, int fractionDigits,
                                       CardinalStyle style);

// "dwunasty marca dziewieńdziesiątego szóstego roku": day ordinal, month in
// the genitive, year as a genitive ordinal, "roku". Expects a validated date
// (day 1-31, month 1-12, year 0-2999); a part out of range says nothing.
std::vector<std::string> DateWords(int day, int month, int year);

}  // namespace vokar
