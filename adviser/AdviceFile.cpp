#include "AdviceFile.h"

#include <chrono>
#include <cstdio>
#include <random>

#include "Cp1250.h"
#include "RegularFile.h"

namespace vokar::adviser {

std::string TextModeCp1250(std::string_view fileBytes, cp1250::TextEnd end) {
  // Ctrl+Z marks the end of a text file, as old editors wrote it: what stands
  // before it is whole.
  if (const auto endOfText = fileBytes.find('\x1A'); endOfText != std::string_view::npos) {
    fileBytes = fileBytes.substr(0, endOfText);
    end = cp1250::TextEnd::Whole;
  }
  std::string text;
  text.reserve(fileBytes.size());
  for (std::size_t i = 0; i < fileBytes.size(); ++i) {
    if (fileBytes[i] == '\r' && i + 1 < fileBytes.size() && fileBytes[i + 1] == '\n') continue;
    text.push_back(fileBytes[i]);
  }
  return cp1250::IncomingText(text, end);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    const std::size_t taken = std::min(length, kLineLength);
    lines.push_back(text.substr(0, taken));
    text.remove_prefix(taken);
  }
  return lines;
}

std::int64_t RandomLine(std::uint32_t r, std::int64_t n) {
  const std::int64_t index = static_cast<std::int64_t>(r) * n / kRandomMax;
  return std::min(index, n - 1);
}

std::int64_t NextLine(std::int64_t lastRow, std::int64_t n) {
  if (lastRow < 0) lastRow = -1;
  return (lastRow + 1) % n;
}

Choice ChooseLine(const std::filesystem::path& file, Order order, std::int64_t lastRow, std::uint32_t draw) {
  Choice choice;
  choice.row = lastRow;
  const auto read = files::ReadRegularFile(file, kMaxFileBytes);
  if (!read.ok()) return choice;
  choice.opened = true;
  if (read.truncated) {
    std::fprintf(stderr, "radko: %s is longer than %zu bytes; only its start is used\n", file.c_str(),
                 kMaxFileBytes);
  }
  const std::string text =
      TextModeCp1250(read.bytes, read.truncated ? cp1250::TextEnd::Cut : cp1250::TextEnd::Whole);
  const auto lines = SplitLines(text);
  const auto n = static_cast<std::int64_t>(lines.size());
  if (n == 0) {
    choice.row = 0;
    return choice;
  }
  const std::int64_t index = order == Order::Random ? RandomLine(draw, n) : NextLine(lastRow, n);
  // The line is a C string to the rest of the suite: a NUL byte ends it.
  const std::string_view line = lines[static_cast<std::size_t>(index)];
  choice.line = std::string(line.substr(0, line.find('\0')));
  choice.row = choice.line.empty() ? 0 : index;
  return choice;
}

std::uint32_t DrawRandom() {
  std::minstd_rand generator(
      static_cast<std::uint_fast32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  return std::uniform_int_distribution<std::uint32_t>(0, kRandomMax)(generator);
}

}  // namespace vokar::adviser
