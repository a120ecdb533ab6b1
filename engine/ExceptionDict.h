// The exception dictionary: words and abbreviations replaced by a text of the
// user's choice before they are pronounced. Keys are exact byte strings in
// code page 1250, read from a plain text file of "key replacement" lines.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vokar {

class CExceptionDict {
 public:
  // Empties the map, remembers the path and reads the file line by line.
  // Returns false when the file cannot be opened or a read fails; the map then
  // keeps what was read up to the failure. A file larger than 64 MiB is not
  // read at all (false, empty map), nor is anything but a regular file: a
  // FIFO or a device named as the dictionary is never opened.
  //
  // Dictionaries written on Linux are usually UTF-8, those from the desktop
  // platform code page 1250. A file that is valid UTF-8 and holds at least one
  // non-ASCII character is taken as UTF-8 (a leading byte-order mark is
  // dropped) and converted to code page 1250; any other file is taken as code
  // page 1250 bytes as it stands. Pure ASCII reads the same either way.
  bool Load(const std::filesystem::path& path);

  // Reads dictionary lines from code page 1250 bytes already in memory (the
  // same line rules, no UTF-8 detection). Adds to what the map holds.
  //
  // A line ends at LF, CR LF, or the end of the text; a Ctrl-Z ends the text,
  // as it did for files read in text mode on the desktop platform. Lines are
  // taken in pieces of at most 1022 bytes: the rest of a longer line is a line
  // of its own. Within a piece, the key runs up to the first blank or TAB; the
  // replacement starts after the blanks and TABs that follow and runs to the
  // end of the piece, inner and trailing blanks included. A piece with an
  // empty key or no replacement adds nothing; a later key replaces an earlier
  // one. A NUL byte ends its piece, since the replacement is later handled as
  // a NUL-terminated text.
  void LoadFromText(std::string_view text);

  // The replacement of a key, exact and case-sensitive. The view stays valid
  // until the next Load or LoadFromText.
  std::optional<std::string_view> Lookup(std::string_view key) const;

  // The scanner's two tries: the word as it stands, then, when its first byte
  // is an upper-case letter, with that byte folded to lower case by the
  // engine's folding. So a key "kot" also matches "Kot", but "Kot" only "Kot".
  std::optional<std::string_view> LookupWord(std::string_view word) const;

  const std::filesystem::path& Path() const { return path_; }
  std::size_t Size() const { return map_.size(); }

  // Lines are read in pieces of at most this many bytes.
  static constexpr std::size_t kPieceLength = 1022;

 private:
  // Lets Lookup search with a string_view without building a std::string.
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };

  void AddPiece(std::string_view piece);

  std::unordered_map<std::string, std::string, Hash, std::equal_to<>> map_;
  std::filesystem::path path_;
};

}  // namespace vokar
