#include "Figures.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "LetterNames.h"
#include "NumberWords.h"

namespace vokar {
namespace {

// An integer of this many digits or more is read digit by digit: its value
// would not fit the number words, and a long digit string is more likely a
// telephone or account number than a quantity.
constexpr std::size_t kDigitByDigitLength = 10;
// A field pattern keeps at most 7 characters; only its first letter matters.
constexpr std::size_t kFieldPatternLength = 7;
constexpr int kDaysInMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// A separator of NUL means the setting is empty; it must never match the end
// of the text.
bool IsSeparator(unsigned char c, unsigned char separator) { return c != 0 && c == separator; }

void AddWords(CUtterance& utterance, const std::vector<std::string>& words) {
  std::string phrase;
  for (const std::string& word : words) {
    if (!phrase.empty()) phrase.push_back(' ');
    phrase += word;
  }
  utterance.AddPhrase(phrase);
}

void AddDigitNames(CUtterance& utterance, std::string_view digits) {
  for (const char digit : digits) utterance.AddWord(LetterName(static_cast<unsigned char>(digit)), true);
}

std::uint32_t DigitValue(std::string_view digits) {
  std::uint32_t value = 0;
  for (const char digit : digits) value = value * 10 + static_cast<std::uint32_t>(digit - '0');
  return value;
}

// The integer part, with thousands separators between groups of exactly three
// digits. A group of another length after a separator is not part of the
// figure: the position goes back to that separator and the group is dropped,
// so "1.2345" yields 1 and leaves ".2345" in the text.
std::string CollectGroupedDigits(CTextSource& source, unsigned char thousand) {
  std::string result;
  std::string group;
  bool firstGroup = true;
  std::size_t lastSeparator = 0;
  for (;;) {
    const unsigned char c = source.Peek();
    if (IsDigit(c)) {
      group.push_back(static_cast<char>(c));
      source.Next();
      continue;
    }
    if (!firstGroup && group.size() != 3) {
      source.SetPosition(lastSeparator);
      return result;
    }
    result += group;
    if (!IsSeparator(c, thousand)) return result;
    lastSeparator = source.Position();
    source.Next();
    group.clear();
    firstGroup = false;
  }
}

std::string CollectDigits(CTextSource& source) {
  std::string digits;
  while (IsDigit(source.Peek())) digits.push_back(static_cast<char>(source.Next()));
  return digits;
}

enum class DateFieldKind { Day, Month, Year };

struct DateField {
  DateFieldKind kind = DateFieldKind::Month;
  int maxDigits = 0;
};

// The three fields of the short-date pattern, in the order they are written.
// A field whose pattern starts with a letter other than d, M or y takes no
// digits, so such a pattern never yields a date.
std::array<DateField, 3> DateFields(const LocalePunctuation& locale) {
  std::array<std::string_view, 3> patterns = {"dd", "MM", "yy"};
  if (!locale.shortDate.empty()) {
    std::string_view rest = locale.shortDate;
    for (std::string_view& pattern : patterns) {
      const std::size_t end = locale.date == 0 ? std::string_view::npos : rest.find(static_cast<char>(locale.date));
      pattern = rest.substr(0, end).substr(0, kFieldPatternLength);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
  }
  std::array<DateField, 3> fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const char letter = patterns[i].empty() ? '\0' : patterns[i][0];
    if (letter == 'd')
      fields[i] = {DateFieldKind::Day, 2};
    else if (letter == 'y')
      fields[i] = {DateFieldKind::Year, 4};
    else
      fields[i] = {DateFieldKind::Month, letter == 'M' ? 2 : 0};
  }
  return fields;
}

// Reads a date at the position and adds its words. On failure nothing is
// consumed and nothing is added.
bool ReadDate(CTextSource& source, CUtterance& utterance, const LocalePunctuation& locale) {
  const std::size_t start = source.Position();
  const std::array<DateField, 3> fields = DateFields(locale);
  int day = 0;
  int month = 0;
  int year = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    int value = 0;
    int digits = 0;
    while (digits < fields[i].maxDigits && IsDigit(source.Peek())) {
      value = value * 10 + (source.Next() - '0');
      ++digits;
    }
    const bool last = i + 1 == fields.size();
    const bool endsWell = last ? !IsDigit(source.Peek()) : IsSeparator(source.Peek(), locale.date);
    if (digits == 0 || value == 0 || !endsWell) {
      source.SetPosition(start);
      return false;
    }
    if (!last) source.Next();
    switch (fields[i].kind) {
      case DateFieldKind::Day: day = value; break;
      case DateFieldKind::Month: month = value; break;
      case DateFieldKind::Year: year = value; break;
    }
  }
  // There is no leap-year test: 29 February is a date in every year.
  const bool valid = year >= 1 && year <= 2999 && month >= 1 && month <= 12 && day >= 1 &&
                     day <= kDaysInMonth[month - 1];
  if (!valid) {
    source.SetPosition(start);
    return false;
  }
  AddWords(utterance, DateWords(day, month, year));
  return true;
}

}  // namespace

bool ReadFigure(CTextSource& source, CUtterance& utterance, const FigureOptions& options) {
  const LocalePunctuation& locale = options.locale;
  source.StepBack();
  const std::size_t triggerAt = source.Position();
  const unsigned char trigger = source.Peek();

  if (IsDigit(trigger) && options.convertDate && ReadDate(source, utterance, locale)) return true;

  if (trigger == '-' && IsDigit(source.Peek(1))) {
    utterance.AddWord(FigureWordText(FigureWord::Minus), true);
    source.Next();
  } else if (!IsDigit(trigger)) {
    // A hyphen that is no minus: the scanner speaks it as a token.
    source.SetPosition(triggerAt + 1);
    return false;
  }

  const std::string integer = CollectGroupedDigits(source, locale.thousand);
  if (integer.size() >= kDigitByDigitLength) {
    for (const char digit : integer) {
      utterance.AddWord(LetterName(static_cast<unsigned char>(digit)), true);
      utterance.AddByte(kBoundaryDigit, false);
    }
    return true;
  }

  // A separator is taken only when a digit follows it. A full stop or comma
  // after a number stays in the text, so that it still ends the sentence or
  // makes its pause.
  std::string fraction;
  bool sayPoint = false;
  const unsigned char after = source.Peek();
  if ((IsSeparator(after, locale.decimal) || after == '.') && IsDigit(source.Peek(1))) {
    source.Next();
    if (locale.decimal == '.' || after != '.')
      fraction = CollectDigits(source);
    else
      // "2.5" where the decimal separator is a comma: the digits after the
      // full stop are read as the next figure.
      sayPoint = true;
  }

  if (options.convertNumber) {
    const std::string_view kept = std::string_view(fraction).substr(0, kMaxFractionDigits);
    AddWords(utterance, CardinalWords(DigitValue(integer), DigitValue(kept), static_cast<int>(kept.size()),
                                      CardinalStyle::Plain));
  } else {
    AddDigitNames(utterance, integer);
    if (!fraction.empty()) {
      utterance.AddWord(FigureWordText(FigureWord::Also), true);
      AddDigitNames(utterance, fraction);
    }
  }
  if (sayPoint) utterance.AddWord(FigureWordText(FigureWord::Point), true);
  return true;
}

}  // namespace vokar
