// The texts the speech benchmarks read: the Polish sample prose cut to a
// length in code page 1250, the engine's own bytes, with the same text in
// UTF-8 for espeak-ng.
#pragma once

#include <cstddef>
#include <string>

#include "Cp1250.h"
#include "PolishSample.h"

namespace vokar::bench {

struct SampleText {
  std::string cp1250;
  std::string utf8;
};

enum class Cut {
  Exact,      // exactly the length, even inside a word, as a full text buffer holds it
  WholeWord,  // at the last blank within the length, so both engines read whole words
};

inline SampleText MakeSampleText(std::size_t characters, Cut cut) {
  // The generator counts UTF-8 bytes, and a Polish letter takes two of them
  // but one byte in code page 1250; twice the length always suffices.
  std::string text = cp1250::FromUtf8(PolishSampleText(2 * characters));
  if (text.size() > characters) {
    std::size_t end = characters;
    if (cut == Cut::WholeWord) {
      const std::size_t blank = text.find_last_of(" \r\n", characters);
      if (blank != std::string::npos && blank > 0) end = blank;
    }
    text.resize(end);
  }
  return {text, cp1250::ToUtf8(text)};
}

}  // namespace vokar::bench
