// The figure reader read as text: a figure and the regional settings in, the
// words it added and the text it left for the scanner out. A boundary token
// after a digit shows as "|".
#include "Figures.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Cp1250.h"

namespace vokar {
namespace {

struct Reading {
  bool consumed = false;
  std::string words;
  std::string rest;  // the text after the read position
};

// Reads as the scanner does: the triggering character at start has just been
// read when the reader is called.
Reading Read(std::string_view utf8Text, const FigureOptions& options, std::size_t start = 0) {
  const std::string text = cp1250::FromUtf8(utf8Text);
  CTextSource source(text);
  source.SetPosition(start + 1);
  CSpeechSettingsValues settings;
  CUtterance utterance(settings);
  Reading reading;
  reading.consumed = ReadFigure(source, utterance, options);
  for (const CWordToken& token : utterance.Tokens()) {
    if (!reading.words.empty()) reading.words.push_back(' ');
    if (token.text == std::string(1, static_cast<char>(kBoundaryDigit)))
      reading.words += "|";
    else
      reading.words += cp1250::ToUtf8(token.text);
    EXPECT_EQ(token.accent, token.text[0] != static_cast<char>(kBoundaryDigit)) << token.text;
  }
  reading.rest = cp1250::ToUtf8(text.substr(std::min(source.Position(), text.size())));
  return reading;
}

// Polish regional settings of the time: decimal comma, thousands full stop,
// dates as 12.03.96.
FigureOptions Polish() {
  FigureOptions options;
  options.locale.decimal = ',';
  options.locale.thousand = '.';
  options.locale.date = '.';
  options.locale.shortDate = "dd.MM.yy";
  return options;
}

FigureOptions WithoutDates() {
  FigureOptions options = Polish();
  options.convertDate = false;
  return options;
}

FigureOptions DecimalPoint() {
  FigureOptions options = WithoutDates();
  options.locale.decimal = '.';
  options.locale.thousand = ',';
  return options;
}

FigureOptions BlankThousands() {
  FigureOptions options = WithoutDates();
  options.locale.thousand = ' ';
  return options;
}

FigureOptions DigitsOnly() {
  FigureOptions options = WithoutDates();
  options.convertNumber = false;
  return options;
}

struct FigureCase {
  const char* text;
  const char* words;
  const char* rest;
};

void ExpectReadings(const FigureCase* begin, const FigureCase* end, const FigureOptions& options) {
  for (const FigureCase* c = begin; c != end; ++c) {
    const Reading reading = Read(c->text, options);
    EXPECT_TRUE(reading.consumed) << c->text;
    EXPECT_EQ(reading.words, c->words) << c->text;
    EXPECT_EQ(reading.rest, c->rest) << c->text;
  }
}

template <std::size_t N>
void ExpectReadings(const FigureCase (&cases)[N], const FigureOptions& options) {
  ExpectReadings(cases, cases + N, options);
}

TEST(FiguresTest, IntegersAreReadAsCardinals) {
  const FigureCase cases[] = {
      {"0", "zero", ""},
      {"007", "siedem", ""},
      {"1000", "jeden tysiąc", ""},
      {"2001", "dwa tysiące jeden", ""},
      {"15 kotów", "pietnaście", " kotów"},
      {"999999999",
       "dziewieńcet dziewieńdziesiąt dziewięć milionów dziewieńcet dziewieńdziesiąt dziewięć tysięcy "
       "dziewieńcet dziewieńdziesiąt dziewięć",
       ""},
      {"12a", "dwanaście", "a"},
  };
  ExpectReadings(cases, WithoutDates());
}

TEST(FiguresTest, ThousandsSeparatorsJoinGroupsOfThree) {
  const FigureCase cases[] = {
      {"1.234.567", "jeden milion dwieście trzydzieści cztery tysiące pieńcet sześdziesiąt siedem", ""},
      {"12345.678", "dwanaście milionów trzysta czterdzieści pięć tysięcy sześset siedemdziesiąt osiem", ""},
      // A group of another length goes back to its separator, which is then
      // a full stop between two figures.
      {"1.2345", "jeden kropka", "2345"},
      {"1.23", "jeden kropka", "23"},
      {"1.234.56", "jeden tysiąc dwieście trzydzieści cztery kropka", "56"},
      {"1.234,5", "jeden tysiąc dwieście trzydzieści cztery i pięć dziesiątych", ""},
      {"1..234", "jeden", "..234"},
  };
  ExpectReadings(cases, WithoutDates());

  const FigureCase blank[] = {
      {"1 000", "jeden tysiąc", ""},
      {"1 00", "jeden", " 00"},
      {"22 000 000 zł", "dwadzieścia dwa miliony", " zł"},
      {"5 kg", "pięć", " kg"},
  };
  ExpectReadings(blank, BlankThousands());
}

TEST(FiguresTest, TenDigitsOrMoreAreReadOneByOne) {
  const FigureCase cases[] = {
      {"1234567890",
       "jeden | dwa | trzy | cztery | pięć | sześć | siedem | osiem | dziewięć | zero |", ""},
      {"0000000007", "zero | zero | zero | zero | zero | zero | zero | zero | zero | siedem |", ""},
      // Separated groups count together; a decimal part stays in the text.
      {"1.234.567.890,5",
       "jeden | dwa | trzy | cztery | pięć | sześć | siedem | osiem | dziewięć | zero |", ",5"},
      {"-12345678901", "minus jeden | dwa | trzy | cztery | pięć | sześć | siedem | osiem | dziewięć | zero | jeden |",
       ""},
  };
  ExpectReadings(cases, WithoutDates());
  // Even with number words off the long form keeps its boundaries.
  ExpectReadings(cases, DigitsOnly());
}

TEST(FiguresTest, DecimalFractions) {
  const FigureCase cases[] = {
      {"3,5", "trzy i pięć dziesiątych", ""},
      {"12,25", "dwanaście i dwadzieścia pięć setnych", ""},
      {"0,1", "zero i jedna dziesiąta", ""},
      {"0,05", "zero i pięć setnych", ""},
      {"1,0", "jeden", ""},
      {"0,1001", "zero i tysiąc jedna dziesięciotysięczna", ""},
      {"0,25000", "zero i dwadzieścia pięć tysięcy stutysięcznych", ""},
      // Only the first six fraction digits are read; the others are consumed.
      {"1,12345678", "jeden i sto dwadzieścia trzy tysiące czterysta pieńdziesiąt sześć milionowych", ""},
      // A fraction takes no thousands separators.
      {"1,234.567", "jeden i dwieście trzydzieści cztery tysięczne", ".567"},
  };
  ExpectReadings(cases, WithoutDates());
}

TEST(FiguresTest, AFullStopBetweenDigitsDependsOnTheDecimalSeparator) {
  const FigureCase comma[] = {{"2.5", "dwa kropka", "5"}};
  ExpectReadings(comma, WithoutDates());
  const FigureCase point[] = {
      {"2.5", "dwa i pięć dziesiątych", ""},
      {"2,5", "dwa", ",5"},
      {"2,500.25", "dwa tysiące pieńcet i dwadzieścia pięć setnych", ""},
  };
  ExpectReadings(point, DecimalPoint());
}

TEST(FiguresTest, ASeparatorWithoutADigitAfterItStaysForTheScanner) {
  const FigureCase cases[] = {
      {"5.", "pięć", "."},
      {"5. Potem", "pięć", ". Potem"},
      {"5, 6", "pięć", ", 6"},
      {"5,", "pięć", ","},
  };
  ExpectReadings(cases, WithoutDates());
  ExpectReadings(cases, Polish());
}

TEST(FiguresTest, NumberWordsOffReadsDigitNames) {
  const FigureCase cases[] = {
      {"12,5", "jeden dwa oraz pięć", ""},
      {"007", "zero zero siedem", ""},
      {"2.5", "dwa kropka", "5"},
      {"-3", "minus trzy", ""},
      {"1.000", "jeden zero zero zero", ""},
  };
  ExpectReadings(cases, DigitsOnly());
}

TEST(FiguresTest, Minus) {
  const FigureCase cases[] = {
      {"-7", "minus siedem", ""},
      {"-0,5", "minus zero i pięć dziesiątych", ""},
      // A date is never tried after a minus.
      {"-12.03.96", "minus dwanaście kropka", "03.96"},
  };
  ExpectReadings(cases, Polish());

  for (const char* text : {"-a", "-", "- 5", "--5"}) {
    const Reading reading = Read(text, Polish());
    EXPECT_FALSE(reading.consumed) << text;
    EXPECT_EQ(reading.words, "") << text;
    EXPECT_EQ(reading.rest, std::string(text).substr(1)) << text;
  }
}

TEST(FiguresTest, DatesFollowTheShortDatePattern) {
  const FigureCase cases[] = {
      {"12.03.96", "dwunasty marca dziewieńdziesiątego szóstego roku", ""},
      {"12.03.1996", "dwunasty marca tysiąc dziewieńcet dziewieńdziesiątego szóstego roku", ""},
      {"1.1.1900 r.", "pierwszy stycznia tysiąc dziewięćsetnego roku", " r."},
      {"5.11.2100.", "piąty listopada dwa tysiące setnego roku", "."},
      {"29.02.1997", "dwudziesty dziewiąty lutego tysiąc dziewieńcet dziewieńdziesiątego siódmego roku", ""},
      {"31.12.2000", "trzydziesty pierwszy grudnia dwutysięcznego roku", ""},
  };
  ExpectReadings(cases, Polish());

  FigureOptions iso = WithoutDates();
  iso.convertDate = true;
  iso.locale.date = '-';
  iso.locale.shortDate = "yyyy-MM-dd";
  const FigureCase isoCases[] = {{"1996-03-12", "dwunasty marca tysiąc dziewieńcet dziewieńdziesiątego szóstego roku", ""}};
  ExpectReadings(isoCases, iso);

  // No pattern means day, month, two-digit year with the default separator.
  FigureOptions defaults;
  const FigureCase defaultCases[] = {
      {"12/03/96", "dwunasty marca dziewieńdziesiątego szóstego roku", ""},
      {"12.03.96", "dwanaście kropka", "03.96"},
  };
  ExpectReadings(defaultCases, defaults);

  FigureOptions american = Polish();
  american.locale.date = '/';
  american.locale.shortDate = "MM/dd/yyyy";
  const FigureCase americanCases[] = {{"03/12/1996", "dwunasty marca tysiąc dziewieńcet dziewieńdziesiątego szóstego roku", ""}};
  ExpectReadings(americanCases, american);
}

TEST(FiguresTest, WhatIsNoDateIsReadAsFigures) {
  FigureOptions fullYear = Polish();
  fullYear.locale.shortDate = "dd.MM.yyyy";
  const FigureCase cases[] = {
      {"31.02.1996", "trzydzieści jeden kropka", "02.1996"},
      {"00.01.1996", "zero kropka", "01.1996"},
      {"12.00.1996", "dwanaście kropka", "00.1996"},
      {"12.13.1996", "dwanaście kropka", "13.1996"},
      {"32.01.1996", "trzydzieści dwa kropka", "01.1996"},
      {"01.01.3000", "jeden kropka", "01.3000"},
      {"12.03.19967", "dwanaście kropka", "03.19967"},
      {"12.03", "dwanaście kropka", "03"},
      {"12.03.", "dwanaście kropka", "03."},
      {"123.03.96", "sto dwadzieścia trzy kropka", "03.96"},
      // The date reader tries 1.234 as day and month and gives up at the 4.
      {"1.234.567", "jeden milion dwieście trzydzieści cztery tysiące pieńcet sześdziesiąt siedem", ""},
  };
  ExpectReadings(cases, fullYear);

  const FigureCase off[] = {{"12.03.96", "dwanaście kropka", "03.96"}};
  ExpectReadings(off, WithoutDates());

  // A field pattern of another letter takes no digits, so no date matches.
  FigureOptions odd = Polish();
  odd.locale.shortDate = "dd.MM.rr";
  const FigureCase oddCases[] = {{"12.03.96", "dwanaście kropka", "03.96"}};
  ExpectReadings(oddCases, odd);

  // A pattern with fewer fields than the separator splits into never matches.
  FigureOptions twoFields = Polish();
  twoFields.locale.shortDate = "dd.MM";
  ExpectReadings(oddCases, twoFields);

  // An empty date separator must not match the end of the text.
  FigureOptions noSeparator = Polish();
  noSeparator.locale.date = 0;
  noSeparator.locale.shortDate = "";
  const FigureCase noSeparatorCases[] = {{"12", "dwanaście", ""}};
  ExpectReadings(noSeparatorCases, noSeparator);
}

TEST(FiguresTest, TheReaderStartsAtTheTriggerInsideALongerText) {
  const Reading reading = Read("ma 3,5 kg", WithoutDates(), 3);
  EXPECT_TRUE(reading.consumed);
  EXPECT_EQ(reading.words, "trzy i pięć dziesiątych");
  EXPECT_EQ(reading.rest, " kg");

  const Reading hyphen = Read("a-b", WithoutDates(), 1);
  EXPECT_FALSE(hyphen.consumed);
  EXPECT_EQ(hyphen.rest, "b");
}

TEST(FiguresTest, EmptySeparatorSettingsLeavePlainFigures) {
  FigureOptions options = WithoutDates();
  options.locale.thousand = 0;
  options.locale.decimal = 0;
  const FigureCase cases[] = {{"123", "sto dwadzieścia trzy", ""}, {"1.5", "jeden kropka", "5"}};
  ExpectReadings(cases, options);
}

}  // namespace
}  // namespace vokar
