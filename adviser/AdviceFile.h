// How the adviser takes one line of its text file: the file is read as text
// (CR LF as LF, Ctrl+Z ends it; UTF-8 is turned into code page 1250, other
// files are taken as code page 1250), cut into lines of at most 255
// characters each ending at its line end, and one line is chosen at random
// or after the one spoken last.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Cp1250.h"

namespace vokar::adviser {

// A longer physical line counts as several lines of this length.
inline constexpr std::size_t kLineLength = 255;
// The largest random draw: draws are 0..kRandomMax.
inline constexpr std::uint32_t kRandomMax = 32767;
// The most of a file that is read; a larger file is used up to here.
inline constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

enum class Order { Random, InTurn };

// The file's bytes as the adviser reads them: from a file in code page 1250 or
// UTF-8, with text-mode line ends, in code page 1250. Cut says the bytes are
// only the start of a longer file, which may end inside a character.
std::string TextModeCp1250(std::string_view fileBytes, cp1250::TextEnd end = cp1250::TextEnd::Whole);

// The text cut into lines: each takes the characters up to and including the
// next line end, or kLineLength characters, whichever comes first. Views into
// text.
std::vector<std::string_view> SplitLines(std::string_view text);

// The line a random draw r (0..kRandomMax) picks among n lines (n > 0):
// floor(r * n / kRandomMax), at most n - 1. Exact for any n a file can have.
std::int64_t RandomLine(std::uint32_t r, std::int64_t n);

// The line after lastRow among n lines (n > 0), wrapping by the remainder. A
// negative lastRow (a damaged setting) starts again at line 0.
std::int64_t NextLine(std::int64_t lastRow, std::int64_t n);

struct Choice {
  bool opened = false;   // false: the file could not be read; nothing chosen
  std::string line;      // code page 1250, with its line end; empty when nothing is to be said
  std::int64_t row = 0;  // the new LastRow (unchanged when the file could not be read)
};

// Chooses a line of the file. draw gives the random value when order is
// Random. The row is the line's index, or 0 when the file has no lines or the
// chosen line is empty (a line that starts with a NUL byte).
Choice ChooseLine(const std::filesystem::path& file, Order order, std::int64_t lastRow, std::uint32_t draw);

// A draw from the run-time's generator seeded with the current time.
std::uint32_t DrawRandom();

}  // namespace vokar::adviser
