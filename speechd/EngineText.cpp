#include "EngineText.h"

#include <algorithm>
#include <optional>

#include "Cp1250.h"
#include "LetterNames.h"
#include "Utf8.h"

namespace vokar::speechd {
namespace {

struct Named {
  char32_t codePoint;
  std::string_view name;  // UTF-8
};

// The spoken names of marks and symbols.
constexpr Named kMarkNames[] = {
    {U'.', "kropka"},
    {U',', "przecinek"},
    {U';', "średnik"},
    {U':', "dwukropek"},
    {U'!', "wykrzyknik"},
    {U'?', "pytajnik"},
    {U'-', "minus"},
    {U'(', "nawias otwierający"},
    {U')', "nawias zamykający"},
    {U'[', "nawias kwadratowy otwierający"},
    {U']', "nawias kwadratowy zamykający"},
    {U'{', "klamra otwierająca"},
    {U'}', "klamra zamykająca"},
    {U'"', "cudzysłów"},
    {U'\'', "apostrof"},
    {U'/', "ukośnik"},
    {U'\\', "ukośnik wsteczny"},
    {U'@', "małpa"},
    {U'#', "krzyżyk"},
    {U'$', "dolar"},
    {U'%', "procent"},
    {U'^', "daszek"},
    {U'&', "ampersand"},
    {U'*', "gwiazdka"},
    {U'_', "podkreślnik"},
    {U'+', "plus"},
    {U'=', "równa się"},
    {U'<', "mniejsze"},
    {U'>', "większe"},
    {U'|', "kreska pionowa"},
    {U'~', "tylda"},
    {U'`', "grawis"},
    {U'\u201E', "cudzysłów"},
    {U'\u201D', "cudzysłów"},
    {U'\u201C', "cudzysłów"},
    {U'\u00AB', "cudzysłów"},
    {U'\u00BB', "cudzysłów"},
    {U'\u2018', "apostrof"},
    {U'\u2019', "apostrof"},
    {U'\u2013', "półpauza"},
    {U'\u2014', "pauza"},
    {U'\u2026', "wielokropek"},
    {U'\u20AC', "euro"},
    {U'\u00A7', "paragraf"},
    {U'\u00B0', "stopień"},
    {U'\u00D7', "razy"},
    {U'\u00F7', "podzielić przez"},
    {U'\u00B6', "akapit"},
    {U'\u2022', "punktor"},
    {U'\u00A9', "copyright"},
    {U'\u00AE', "zastrzeżony znak towarowy"},
    {U'\u2122', "znak towarowy"},
};

std::optional<std::string_view> MarkName(char32_t c) {
  for (const auto& named : kMarkNames)
    if (named.codePoint == c) return named.name;
  return std::nullopt;
}

// Letters the code page lacks, brought to the letters that read them best.
constexpr Named kNearestLetters[] = {
    {U'\u00C0', "A"},  {U'\u00E0', "a"},  {U'\u00C3', "A"},  {U'\u00E3', "a"},  {U'\u00C5', "A"},
    {U'\u00E5', "a"},  {U'\u00C6', "AE"}, {U'\u00E6', "ae"}, {U'\u00C8', "E"},  {U'\u00E8', "e"},
    {U'\u00CA', "E"},  {U'\u00EA', "e"},  {U'\u00CC', "I"},  {U'\u00EC', "i"},  {U'\u00CF', "I"},
    {U'\u00EF', "i"},  {U'\u00D1', "N"},  {U'\u00F1', "n"},  {U'\u00D2', "O"},  {U'\u00F2', "o"},
    {U'\u00D5', "O"},  {U'\u00F5', "o"},  {U'\u00D8', "O"},  {U'\u00F8', "o"},  {U'\u0152', "OE"},
    {U'\u0153', "oe"}, {U'\u00D9', "U"},  {U'\u00F9', "u"},  {U'\u00DB', "U"},  {U'\u00FB', "u"},
    {U'\u0178', "Y"},  {U'\u00FF', "y"},  {U'\u0100', "A"},  {U'\u0101', "a"},  {U'\u0112', "E"},
    {U'\u0113', "e"},  {U'\u012A', "I"},  {U'\u012B', "i"},  {U'\u016A', "U"},  {U'\u016B', "u"},
};

std::optional<std::string_view> NearestLetters(char32_t c) {
  for (const auto& named : kNearestLetters)
    if (named.codePoint == c) return named.name;
  return std::nullopt;
}

bool IsBlank(char32_t c) {
  return c == U' ' || c == U'\u00A0' || c == U'\u1680' || (c >= U'\u2000' && c <= U'\u200A') || c == U'\u202F' ||
         c == U'\u205F' || c == U'\u3000';
}

bool IsInvisible(char32_t c) {
  return c == U'\u00AD' || (c >= U'\u200B' && c <= U'\u200D') || c == U'\u2060' || c == U'\uFEFF';
}

bool IsLineBreakOrTab(char32_t c) { return c == U'\t' || c == U'\n' || c == U'\r'; }

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// The code page's byte of a character, when it has one.
std::optional<unsigned char> ByteOf(char32_t c) {
  if (IsControl(c)) return std::nullopt;
  const unsigned char byte = cp1250::FromUnicode(c);
  if (byte == '?' && c != U'?') return std::nullopt;
  return byte;
}

bool IsLetter(char32_t c) {
  if (NearestLetters(c)) return true;
  const auto byte = ByteOf(c);
  return byte && cp1250::IsAlpha(*byte);
}

void AppendUtf8Words(std::string& out, std::string_view utf8) { out += cp1250::FromUtf8(utf8); }

// Appends a word with blanks around it, so that it never runs into the text
// beside it.
void AppendWord(std::string& out, std::string_view utf8) {
  if (!out.empty() && out.back() != ' ' && out.back() != '\n') out += ' ';
  AppendUtf8Words(out, utf8);
  out += ' ';
}

// A character as the engine reads it in running text.
void AppendPlain(std::string& out, char32_t c) {
  if (IsInvisible(c)) return;
  if (IsLineBreakOrTab(c)) {
    out += static_cast<char>(c);
    return;
  }
  if (IsBlank(c) || IsControl(c)) {
    out += ' ';
    return;
  }
  if (c == U'\\') {
    // A backslash opens a control tag only when a keyword follows it at
    // once; with a blank after it, it is read as what it is.
    out += "\\ ";
    return;
  }
  if (const auto byte = ByteOf(c)) {
    out += static_cast<char>(*byte);
    return;
  }
  if (const auto letters = NearestLetters(c)) {
    out += *letters;
    return;
  }
  // Anything else the code page lacks (another script, a symbol) is left
  // out; a blank keeps the words on either side apart.
  out += ' ';
}

// The spoken name of one character, as spelling and CHAR read it.
void AppendName(std::string& out, char32_t c, CapitalLetters capitals) {
  if (IsBlank(c)) {
    AppendWord(out, "spacja");
    return;
  }
  if (IsLineBreakOrTab(c)) {
    AppendWord(out, c == U'\t' ? "tabulator" : "nowa linia");
    return;
  }
  if (IsInvisible(c) || IsControl(c)) return;
  if (const auto name = MarkName(c)) {
    AppendWord(out, *name);
    return;
  }
  std::string letters;
  if (const auto byte = ByteOf(c)) letters = std::string(1, static_cast<char>(*byte));
  else if (const auto nearest = NearestLetters(c)) letters = *nearest;
  if (letters.empty()) {
    AppendWord(out, "znak");
    return;
  }
  const auto first = static_cast<unsigned char>(letters[0]);
  if (cp1250::IsAlpha(first) || IsDigit(c)) {
    if (capitals == CapitalLetters::Spell && cp1250::IsUpper(first)) AppendWord(out, "duże");
    for (char letter : letters) {
      const std::string_view name = LetterName(cp1250::ToLower(static_cast<unsigned char>(letter)));
      if (!out.empty() && out.back() != ' ') out += ' ';
      // A letter without a name of its own (ä, š) is read as it stands.
      if (name.empty()) out += cp1250::ToLower(static_cast<unsigned char>(letter));
      else out += name;
      out += ' ';
    }
    return;
  }
  // A symbol of the code page without a name of ours.
  AppendWord(out, "znak");
}

struct CodePoint {
  char32_t value;
  std::size_t offset;  // of its first byte in the UTF-8 text
};

// Every character of a UTF-8 text; a byte that starts no valid character is
// taken as a blank.
std::vector<CodePoint> Decode(std::string_view utf8) {
  std::vector<CodePoint> out;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t at = pos;
    const long value = utf8::DecodeOne(utf8, pos);
    out.push_back({value < 0 ? U' ' : static_cast<char32_t>(value), at});
  }
  return out;
}

bool NamedAtLevel(char32_t c, const TextOptions& options) {
  if (!options.namePunctuation || !MarkName(c)) return false;
  std::string utf8;
  utf8::Append(utf8, c);
  switch (options.punctuation) {
    case Punctuation::None: return false;
    case Punctuation::Some: return options.someMarks.find(utf8) != std::string::npos;
    case Punctuation::Most: return options.mostMarks.find(utf8) != std::string::npos;
    case Punctuation::All: return true;
  }
  return false;
}

// A mark that belongs to a figure the engine reads: a separator between two
// digits (12.03.1996, 3,5, 14:30, 1/2, 12-03) or a sign before a digit.
bool PartOfFigure(const std::vector<CodePoint>& chars, std::size_t i) {
  const char32_t c = chars[i].value;
  const bool digitBefore = i > 0 && IsDigit(chars[i - 1].value);
  const bool digitAfter = i + 1 < chars.size() && IsDigit(chars[i + 1].value);
  if (digitBefore && digitAfter && (c == U'.' || c == U',' || c == U':' || c == U'/' || c == U'-')) return true;
  return (c == U'-' || c == U'+') && digitAfter && !(i > 0 && IsLetter(chars[i - 1].value));
}

// speech-dispatcher's own symbol pre-processing (on by default) writes a
// blank before every full stop between digits: 12.03.1996 comes as
// 12 .03 .1996. That blank is dropped, so that dates and numbers reach the
// engine whole.
bool SplitFigure(const std::vector<CodePoint>& chars, std::size_t i) {
  return chars[i].value == U' ' && i > 0 && IsDigit(chars[i - 1].value) && i + 2 < chars.size() &&
         chars[i + 1].value == U'.' && IsDigit(chars[i + 2].value);
}

// Marks that keep their pause after their name.
bool KeepsItsPause(char32_t c) {
  return c == U'.' || c == U',' || c == U';' || c == U':' || c == U'!' || c == U'?';
}

}  // namespace

EngineText ForEngine(const SpeechText& speech, const TextOptions& options) {
  EngineText result;
  std::string& out = result.text;
  const auto chars = Decode(speech.text);
  std::size_t mark = 0;
  std::size_t span = 0;
  auto placeMarks = [&](std::size_t upTo) {
    while (mark < speech.marks.size() && speech.marks[mark].offset <= upTo) {
      result.marks.push_back({out.size(), speech.marks[mark].name});
      ++mark;
    }
  };
  bool spelledBefore = false;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const auto [c, offset] = chars[i];
    placeMarks(offset);
    while (span < speech.spelled.size() && speech.spelled[span].end <= offset) ++span;
    const bool inSpan = span < speech.spelled.size() && speech.spelled[span].begin <= offset;
    if (options.spelling || inSpan) {
      // Letter by letter; a blank between words is a pause.
      if (IsBlank(c) || IsLineBreakOrTab(c)) {
        if (!out.empty() && out.back() != '\n') out += '\n';
      } else {
        AppendName(out, c, options.capitals);
      }
      spelledBefore = true;
      continue;
    }
    if (spelledBefore) {
      // A spelled stretch never runs into the word after it.
      if (!out.empty() && out.back() != ' ' && out.back() != '\n') out += ' ';
      spelledBefore = false;
    }
    if (SplitFigure(chars, i)) continue;
    if (NamedAtLevel(c, options) && !PartOfFigure(chars, i)) {
      AppendWord(out, *MarkName(c));
      if (KeepsItsPause(c)) out += static_cast<char>(c);
      continue;
    }
    AppendPlain(out, c);
  }
  placeMarks(static_cast<std::size_t>(-1));
  return result;
}

EngineText CharacterForEngine(std::string_view utf8Character, const TextOptions& options) {
  EngineText result;
  if (utf8Character == "space") {
    AppendWord(result.text, "spacja");
    return result;
  }
  const auto chars = Decode(utf8Character);
  if (!chars.empty()) AppendName(result.text, chars.front().value, options.capitals);
  return result;
}

namespace {

constexpr std::pair<std::string_view, std::string_view> kModifierNames[] = {
    {"alt", "alt"},     {"control", "kontrol"}, {"hyper", "hajper"},
    {"meta", "meta"},   {"shift", "szift"},     {"super", "super"},
};

constexpr std::pair<std::string_view, std::string_view> kKeyNames[] = {
    {"space", "spacja"},
    {"underscore", "podkreślnik"},
    {"double-quote", "cudzysłów"},
    {"alt", "alt"},
    {"control", "kontrol"},
    {"hyper", "hajper"},
    {"meta", "meta"},
    {"shift", "szift"},
    {"super", "super"},
    {"backspace", "bekspejs"},
    {"break", "brejk"},
    {"delete", "dilit"},
    {"down", "strzałka w dół"},
    {"end", "end"},
    {"enter", "enter"},
    {"escape", "eskejp"},
    {"home", "hołm"},
    {"insert", "insert"},
    {"kp-enter", "enter numeryczny"},
    {"left", "strzałka w lewo"},
    {"menu", "menu"},
    {"next", "pejdż dałn"},
    {"num-lock", "num lok"},
    {"pause", "pauza"},
    {"print", "print skrin"},
    {"prior", "pejdż ap"},
    {"return", "enter"},
    {"right", "strzałka w prawo"},
    {"scroll-lock", "skrol lok"},
    {"tab", "tabulator"},
    {"up", "strzałka w górę"},
    {"window", "klawisz windows"},
};

std::optional<std::string_view> Lookup(const auto& table, std::string_view key) {
  for (const auto& [name, spoken] : table)
    if (name == key) return spoken;
  return std::nullopt;
}

// f1 ... f24: the number is read by the engine.
std::optional<std::string> FunctionKey(std::string_view key) {
  if (key.size() < 2 || key.size() > 3 || key[0] != 'f') return std::nullopt;
  int number = 0;
  for (char c : key.substr(1)) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number > 24 || key[1] == '0') return std::nullopt;
  return "ef " + std::to_string(number);
}

}  // namespace

EngineText KeyForEngine(std::string_view keyName, const TextOptions& options) {
  EngineText result;
  std::string& out = result.text;
  // Modifiers come first, each followed by an underscore; the key is the rest.
  std::string_view key = keyName;
  for (;;) {
    const std::size_t underscore = key.find('_');
    if (underscore == std::string_view::npos || underscore + 1 >= key.size()) break;
    const auto modifier = Lookup(kModifierNames, key.substr(0, underscore));
    if (!modifier) break;
    AppendWord(out, *modifier);
    key.remove_prefix(underscore + 1);
  }
  // The keypad's keys are the key after "kp-", on the keypad.
  if (key.starts_with("kp-") && key.size() > 3 && key != "kp-enter") {
    AppendWord(out, "numeryczne");
    key.remove_prefix(3);
  }
  if (const auto spoken = Lookup(kKeyNames, key)) {
    AppendWord(out, *spoken);
  } else if (const auto function = FunctionKey(key)) {
    AppendWord(out, *function);
  } else if (Decode(key).size() == 1) {
    out += CharacterForEngine(key, options).text;
  } else {
    // A name we do not know is read as text, never as anything more.
    SpeechText plain;
    plain.text = std::string(key);
    out += ForEngine(plain, options).text;
  }
  return result;
}

}  // namespace vokar::speechd
