#include "WindowPlacement.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace vokar::comment {

std::optional<WindowPlacement> ParseWindowPos(std::string_view text) {
  long long numbers[10];
  int count = 0;
  std::size_t pos = 0;
  const auto skipBlanks = [&] {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  };
  while (true) {
    if (count == 10) return std::nullopt;
    skipBlanks();
    long long value = 0;
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto [next, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || value < -2147483648LL || value > 4294967295LL) return std::nullopt;
    numbers[count++] = value;
    pos = static_cast<std::size_t>(next - text.data());
    skipBlanks();
    if (pos == text.size()) break;
    if (text[pos] != ',') return std::nullopt;
    ++pos;
  }
  if (count != 10 || numbers[0] < 0 || numbers[1] < 0) return std::nullopt;
  for (int i = 2; i < 10; ++i) {
    if (numbers[i] > 2147483647LL) return std::nullopt;
  }
  WindowPlacement placement;
  placement.flags = static_cast<unsigned>(numbers[0]);
  placement.showCmd = static_cast<unsigned>(numbers[1]);
  int* fields[] = {&placement.minX, &placement.minY, &placement.maxX,  &placement.maxY,
                   &placement.left, &placement.top,  &placement.right, &placement.bottom};
  for (int i = 0; i < 8; ++i) *fields[i] = static_cast<int>(numbers[i + 2]);
  return placement;
}

std::string FormatWindowPos(const WindowPlacement& p) {
  char text[160];
  std::snprintf(text, sizeof text, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", p.flags, p.showCmd, p.minX, p.minY, p.maxX,
                p.maxY, p.left, p.top, p.right, p.bottom);
  return text;
}

std::optional<QRect> UsableRect(const QRect& rect, const std::vector<QRect>& screens) {
  if (rect.width() <= 0 || rect.height() <= 0 || screens.empty()) return std::nullopt;
  int widest = 0, tallest = 0;
  for (const QRect& screen : screens) {
    widest = std::max(widest, screen.width());
    tallest = std::max(tallest, screen.height());
  }
  QRect usable(rect.topLeft(), QSize(std::min(rect.width(), widest), std::min(rect.height(), tallest)));
  const bool seen = std::any_of(screens.begin(), screens.end(), [&](const QRect& s) { return s.intersects(usable); });
  if (!seen) usable.moveTopLeft(screens.front().topLeft());
  return usable;
}

}  // namespace vokar::comment
