// The list of the last comments opened or saved (at most four), kept in the
// settings under "Recent File List" as File1 ... File4, newest first.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Settings.h"

namespace vokar::comment {

class CRecentFiles {
 public:
  explicit CRecentFiles(std::size_t capacity) : capacity_(capacity) {}

  void Load(const app::CSettings& settings);
  // Writes the list when it changed since it was loaded or saved.
  void Save(const app::CSettings& settings);

  // Puts the file first (moving it when it is in the list already).
  void Add(const std::filesystem::path& file);
  void Remove(std::size_t index);

  const std::vector<std::filesystem::path>& files() const { return files_; }

 private:
  std::size_t capacity_;
  std::vector<std::filesystem::path> files_;
  std::vector<std::filesystem::path> saved_;
};

}  // namespace vokar::comment
