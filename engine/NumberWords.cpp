#include "NumberWords.h"

#include <array>
#include <cstddef>
#include <unordered_map>
#include <utility>

#include "Cp1250.h"

namespace vokar {
namespace {

// Several words are spelt as they are pronounced ("pietnaście", "pieńcet",
// "sześset"): the transcription rules read them letter by letter, so the
// spelling is what makes them sound right.
constexpr const char* kUnits[10] = {"zero",  "jeden", "dwa",   "trzy",  "cztery",
                                    "pięć",  "sześć", "siedem", "osiem", "dziewięć"};
constexpr const char* kTeens[10] = {"dziesięć",   "jedenaście", "dwanaście",    "trzynaście",   "czternaście",
                                    "pietnaście", "szesnaście", "siedemnaście", "osiemnaście", "dziewietnaście"};
// Index 0 stands for 20.
constexpr const char* kTens[8] = {"dwadzieścia",    "trzydzieści",   "czterdzieści",  "pieńdziesiąt",
                                  "sześdziesiąt",   "siedemdziesiąt", "osiemdziesiąt", "dziewieńdziesiąt"};
// Index 0 stands for 100.
constexpr const char* kHundreds[9] = {"sto",     "dwieście", "trzysta",  "czterysta",  "pieńcet",
                                      "sześset", "siedemset", "osiemset", "dziewieńcet"};

// Nominative masculine ordinals for the day of the month; index 0 stands for 1.
constexpr const char* kDayOrdinals[19] = {
    "pierwszy",   "drugi",      "trzeci",    "czwarty",   "piąty",       "szósty",     "siódmy",
    "ósmy",       "dziewiąty",  "dziesiąty", "jedenasty", "dwunasty",    "trzynasty",  "czternasty",
    "pietnasty",  "szesnasty",  "siedemnasty", "osiemnasty", "dziewietnasty"};
constexpr const char* kDayTens[2] = {"dwudziesty", "trzydziesty"};

// Genitive masculine ordinals for the year.
constexpr const char* kYearZero = "zerowego";
constexpr const char* kYearOrdinals[19] = {
    "pierwszego",  "drugiego",     "trzeciego",    "czwartego",   "piątego",        "szóstego",    "siódmego",
    "ósmego",      "dziewiątego",  "dziesiątego",  "jedenastego", "dwunastego",     "trzynastego", "czternastego",
    "pietnastego", "szesnastego",  "siedemnastego", "osiemnastego", "dziewietnastego"};
constexpr const char* kYearTens[8] = {"dwudziestego",     "trzydziestego",     "czterdziestego",
                                      "pieńdziesiątego",  "sześdziesiątego",   "siedemdziesiątego",
                                      "osiemdziesiątego", "dziewieńdziesiątego"};
constexpr const char* kYearHundreds[9] = {"setnego",     "dwusetnego",   "trzysetnego",
                                          "czterechsetnego", "pięćsetnego", "sześćsetnego",
                                          "siedemsetnego",   "osiemsetnego", "dziewięćsetnego"};
constexpr const char* kYearThousand = "tysięcznego";
constexpr const char* kYearTwoThousand = "dwutysięcznego";

constexpr const char* kMonths[12] = {"stycznia", "lutego",   "marca",       "kwietnia",    "maja",     "czerwca",
                                     "lipca",    "sierpnia", "września",    "października", "listopada", "grudnia"};

constexpr const char* kFeminineOne = "jedna";
constexpr const char* kFeminineTwo = "dwie";

// The three forms of a counted word: for 1, for counts ending in 2-4 (but
// not 12-14), and for every other count.
struct ScaleForms {
  const char* one;
  const char* few;
  const char* many;
};
constexpr ScaleForms kThousand = {"tysiąc", "tysiące", "tysięcy"};
constexpr ScaleForms kMillion = {"milion", "miliony", "milionów"};
// Index 0 names tenths, index 5 millionths.
constexpr ScaleForms kFractionScales[kMaxFractionDigits] = {
    {"dziesiąta", "dziesiąte", "dziesiątych"},
    {"setna", "setne", "setnych"},
    {"tysięczna", "tysięczne", "tysięcznych"},
    {"dziesięciotysięczna", "dziesięciotysięczne", "dziesięciotysięcznych"},
    {"stutysięczna", "stutysięczne", "stutysięcznych"},
    {"milionowa", "milionowe", "milionowych"},
};

constexpr const char* kFigureWords[] = {"minus", "kropka", "i", "oraz", "roku"};

// The tables above are UTF-8 for the reader of this file; the engine speaks
// code page 1250, so every word is converted once, on first use, into a table
// that never changes afterwards. Words are looked up by the address of their
// literal in the tables.
class CWordTable {
 public:
  CWordTable() {
    for (const char* word : kUnits) Insert(word);
    for (const char* word : kTeens) Insert(word);
    for (const char* word : kTens) Insert(word);
    for (const char* word : kHundreds) Insert(word);
    for (const char* word : kDayOrdinals) Insert(word);
    for (const char* word : kDayTens) Insert(word);
    for (const char* word : kYearOrdinals) Insert(word);
    for (const char* word : kYearTens) Insert(word);
    for (const char* word : kYearHundreds) Insert(word);
    for (const char* word : kMonths) Insert(word);
    for (const char* word : kFigureWords) Insert(word);
    for (const char* word : {kYearZero, kYearThousand, kYearTwoThousand, kFeminineOne, kFeminineTwo}) Insert(word);
    for (const ScaleForms& forms : kFractionScales) InsertForms(forms);
    InsertForms(kThousand);
    InsertForms(kMillion);
  }

  const std::string& operator[](const char* utf8) const {
    static const std::string kNone;
    const auto it = words_.find(utf8);
    return it == words_.end() ? kNone : it->second;
  }

 private:
  void Insert(const char* utf8) { words_.emplace(utf8, cp1250::FromUtf8(utf8)); }
  void InsertForms(const ScaleForms& forms) {
    Insert(forms.one);
    Insert(forms.few);
    Insert(forms.many);
  }

  std::unordered_map<const char*, std::string> words_;
};

const std::string& Word(const char* utf8) {
  static const CWordTable table;
  return table[utf8];
}

const char* ScaleFor(const ScaleForms& forms, std::uint32_t count) {
  if (count == 1) return forms.one;
  const std::uint32_t lastTwo = count % 100;
  const std::uint32_t last = count % 10;
  if ((lastTwo < 12 || lastTwo > 14) && last >= 2 && last <= 4) return forms.few;
  return forms.many;
}

enum class Gender { Masculine, Feminine };

class CWordList {
 public:
  void Add(const char* utf8) { words_.push_back(Word(utf8)); }
  void Append(std::vector<std::string> more) {
    for (auto& word : more) words_.push_back(std::move(word));
  }
  std::vector<std::string> Take() { return std::move(words_); }

  // n from 1 to 999; 0 says nothing.
  void AddThreeDigits(std::uint32_t n, Gender gender) {
    n %= 1000;
    if (n >= 100) Add(kHundreds[n / 100 - 1]);
    const std::uint32_t r = n % 100;
    if (r >= 20) {
      Add(kTens[r / 10 - 2]);
      const std::uint32_t unit = r % 10;
      if (unit == 2 && gender == Gender::Feminine)
        Add(kFeminineTwo);
      else if (unit != 0)
        Add(kUnits[unit]);
    } else if (r >= 10) {
      Add(kTeens[r - 10]);
    } else if (r == 1 && gender == Gender::Feminine) {
      Add(kFeminineOne);
    } else if (r == 2 && gender == Gender::Feminine) {
      Add(kFeminineTwo);
    } else if (r > 0) {
      Add(kUnits[r]);
    }
  }

  // A genitive ordinal below 100, as the last part of a year.
  void AddYearOrdinal(std::uint32_t n) {
    if (n == 0) {
      Add(kYearZero);
    } else if (n < 20) {
      Add(kYearOrdinals[n - 1]);
    } else if (n < 100) {
      Add(kYearTens[n / 10 - 2]);
      if (n % 10 != 0) Add(kYearOrdinals[n % 10 - 1]);
    }
  }

 private:
  std::vector<std::string> words_;
};

}  // namespace

std::string_view FigureWordText(FigureWord word) { return Word(kFigureWords[static_cast<std::size_t>(word)]); }

std::vector<std::string> CardinalWords(std::uint32_t value, std::uint32_t fraction, int fractionDigits,
                                       CardinalStyle style) {
  CWordList words;
  std::uint32_t v = value % kCardinalLimit;
  if (v == 0) words.Add(kUnits[0]);

  bool saidOneMillion = false;
  if (v >= 1'000'000) {
    const std::uint32_t millions = v / 1'000'000;
    if (millions == 1) {
      words.Add(kUnits[1]);
      saidOneMillion = true;
    } else {
      words.AddThreeDigits(millions, Gender::Masculine);
    }
    words.Add(ScaleFor(kMillion, millions));
    v %= 1'000'000;
  }
  if (v >= 1000) {
    const std::uint32_t thousands = v / 1000;
    if (thousands >= 2)
      words.AddThreeDigits(thousands, Gender::Masculine);
    else if (!saidOneMillion && style == CardinalStyle::Plain)
      words.Add(kUnits[1]);
    words.Add(ScaleFor(kThousand, thousands));
    v %= 1000;
  }
  if (v > 0) words.AddThreeDigits(v, Gender::Masculine);

  std::uint32_t f = fraction % kFractionLimit;
  if (f > 0 && fractionDigits >= 1 && fractionDigits <= kMaxFractionDigits) {
    words.Add(kFigureWords[static_cast<std::size_t>(FigureWord::And)]);
    std::uint32_t thousands = 0;
    if (f >= 1000) {
      thousands = f / 1000;
      if (thousands >= 2) words.AddThreeDigits(thousands, Gender::Masculine);
      words.Add(ScaleFor(kThousand, thousands));
      f %= 1000;
    }
    if (f > 0) words.AddThreeDigits(f, f < 3 || f % 10 == 2 ? Gender::Feminine : Gender::Masculine);
    // The denominator agrees with the last count spoken.
    words.Add(ScaleFor(kFractionScales[fractionDigits - 1], f != 0 ? f : thousands));
  }
  return words.Take();
}

std::vector<std::string> DateWords(int day, int month, int year) {
  CWordList words;
  if (day >= 20 && day <= 39) {
    words.Add(kDayTens[day / 10 - 2]);
    if (day % 10 != 0) words.Add(kDayOrdinals[day % 10 - 1]);
  } else if (day >= 1 && day < 20) {
    words.Add(kDayOrdinals[day - 1]);
  }

  if (month >= 1 && month <= 12) words.Add(kMonths[month - 1]);

  if (year >= 0 && year <= 99) {
    words.AddYearOrdinal(static_cast<std::uint32_t>(year));
  } else if (year >= 100 && year <= 2999) {
    const auto y = static_cast<std::uint32_t>(year);
    if (y % 100 != 0) {
      words.Append(CardinalWords(y - y % 100, 0, 0, CardinalStyle::Year));
      words.AddYearOrdinal(y % 100);
    } else if (y == 1000) {
      words.Add(kYearThousand);
    } else if (y == 2000) {
      words.Add(kYearTwoThousand);
    } else if (y > 999) {
      words.Append(CardinalWords(y - y % 1000, 0, 0, CardinalStyle::Year));
      if (y % 1000 != 0) words.Add(kYearHundreds[y % 1000 / 100 - 1]);
    } else {
      words.Add(kYearHundreds[y / 100 - 1]);
    }
  }
  words.Add(kFigureWords[static_cast<std::size_t>(FigureWord::Year)]);
  return words.Take();
}

}  // namespace vokar
