// The spoken text of an SSML message as speech-dispatcher hands it on: the
// words with their entities decoded, the index marks at the places where they
// stand, and the stretches that are to be spelled. Elements the engine cannot
// follow are dropped and their content is read; a <sub> reads its alias, a
// <break> and the end of a paragraph or sentence become a line break (a
// pause), and an <audio> element never plays its file: its content is read.
// Text that is not well-formed SSML is still read as far as it goes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vokar::speechd {

struct IndexMark {
  std::size_t offset = 0;  // bytes into the text: the mark stands before this byte
  std::string name;
  bool operator==(const IndexMark&) const = default;
};

struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool operator==(const Span&) const = default;
};

struct SpeechText {
  std::string text;  // UTF-8
  std::vector<IndexMark> marks;  // in text order
  std::vector<Span> spelled;     // stretches of the text to spell, in order, not overlapping
};

// Names of marks are reported on a line of their own, so they are kept to
// this many bytes and never hold control characters.
inline constexpr std::size_t kMaxMarkName = 256;

SpeechText ReadSsml(std::string_view ssml);

}  // namespace vokar::speechd
