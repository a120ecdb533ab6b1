#include "KeyName.h"

#include "Utf8.h"

#include <cstddef>
#include <cstdint>

namespace vokar::registry {
namespace {

constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;

using utf8::DecodeOne;

// Counts code points; nothing when the text is not valid UTF-8 or has a NUL.
std::optional<std::size_t> CountChars(std::string_view s) {
  std::size_t count = 0;
  std::size_t pos = 0;
  while (pos < s.size()) {
    const long cp = DecodeOne(s, pos);
    if (cp <= 0) return std::nullopt;
    ++count;
  }
  return count;
}

}  // namespace

char32_t FoldCodePoint(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  // Latin-1: À..Þ except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE) return c == 0xD7 ? c : c + 0x20;
  // Latin Extended-A pairs its letters upper then lower, with the odd
  // stretches around the Ł/Ĺ block and the last Ź Ż Ž.
  if (c >= 0x100 && c <= 0x137) {
    if (c == 0x130) return U'i';  // İ has no partner of its own
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x139 && c <= 0x148) return (c % 2 == 1) ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return (c % 2 == 0) ? c + 1 : c;
  if (c == 0x178) return 0xFF;  // Ÿ
  if (c >= 0x179 && c <= 0x17E) return (c % 2 == 1) ? c + 1 : c;
  // Greek capitals without tonos, and the ones with it.
  if (c >= 0x391 && c <= 0x3A9) return c == 0x3A2 ? c : c + 0x20;
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  // Cyrillic: Ѐ..Џ and А..Я.
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  return c;
}

std::string FoldName(std::string_view utf8Name) {
  std::string out;
  out.reserve(utf8Name.size());
  std::size_t pos = 0;
  while (pos < utf8Name.size()) {
    const std::size_t start = pos;
    const long cp = DecodeOne(utf8Name, pos);
    if (cp < 0) {
      out += utf8Name[start];
    } else {
      utf8::Append(out, FoldCodePoint(static_cast<char32_t>(cp)));
    }
  }
  return out;
}

bool SameName(std::string_view a, std::string_view b) { return FoldName(a) == FoldName(b); }

std::size_t FirstInvalidUtf8(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t start = pos;
    if (DecodeOne(bytes, pos) < 0) return start;
  }
  return std::string_view::npos;
}

bool IsValidUtf8(std::string_view bytes) { return FirstInvalidUtf8(bytes) == std::string_view::npos; }

std::optional<std::vector<std::string>> SplitKeyPath(std::string_view path) {
  std::vector<std::string> parts;
  if (path.empty()) return parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find('\\', start);
    const std::string_view part = path.substr(start, end == std::string_view::npos ? path.npos : end - start);
    const auto chars = CountChars(part);
    if (part.empty() || !chars || *chars > kMaxKeyNameChars) return std::nullopt;
    parts.emplace_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

bool HasControlCharacter(std::string_view name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

std::optional<std::string> KeyPathProblem(std::string_view fullPath) {
  if (fullPath.empty()) return std::nullopt;
  std::size_t depth = 1;
  for (const char c : fullPath) depth += c == '\\';
  if (depth > kMaxKeyDepth) {
    return "a key may lie at most " + std::to_string(kMaxKeyDepth) + " levels deep; this one lies " +
           std::to_string(depth) + " levels deep";
  }
  const auto chars = CountChars(fullPath);
  if (chars && *chars > kMaxKeyPathChars) {
    return "a key's path may be at most " + std::to_string(kMaxKeyPathChars) + " characters long; this one has " +
           std::to_string(*chars);
  }
  if (HasControlCharacter(fullPath)) return "a key name may not hold a control character (a tab or a line break)";
  return std::nullopt;
}

bool IsValidValueName(std::string_view name) {
  const auto chars = CountChars(name);
  return chars && *chars <= kMaxValueNameChars;
}

}  // namespace vokar::registry
