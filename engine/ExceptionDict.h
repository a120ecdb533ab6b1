// The exception dictionary: words and abbreviations replaced by a text of the
// user's choice before they are pronounced. Keys are exact byte strings.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vokar {

class CExceptionDict {
 public:
  // Empties the map, remembers the path and reads the file line by line.
  // Returns false when the file cannot be opened or a read fails; the map then
  // keeps what was read up to the failure.
  bool Load(const std::filesystem::path& path);

  // Reads dictionary lines from bytes already in memory (the same rules).
  void LoadFromText(std::string_view text);

  // The replacement of a key, exact and case-sensitive.
  std::optional<std::string_view> Lookup(std::string_view key) const;

  // The scanner's two tries: the word as it stands, then, when its first byte
  // is an upper-case letter, with that byte folded to lower case.
  std::optional<std::string_view> LookupWord(std::string_view word) const;

  const std::filesystem::path& Path() const { return path_; }
  std::size_t Size() const { return map_.size(); }

 private:
  std::unordered_map<std::string, std::string> map_;
  std::filesystem::path path_;
};

}  // namespace vokar
