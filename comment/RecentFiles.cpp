#include "RecentFiles.h"

#include <algorithm>

#include "Registry.h"

namespace vokar::comment {
namespace {

constexpr const char* kSection = "Recent File List";

std::string EntryName(std::size_t index) { return "File" + std::to_string(index + 1); }

}  // namespace

void CRecentFiles::Load(const app::CSettings& settings) {
  files_.clear();
  for (std::size_t i = 0; i < capacity_; ++i) {
    const std::string file = settings.ReadString(kSection, EntryName(i), "");
    if (!file.empty() && std::find(files_.begin(), files_.end(), file) == files_.end()) files_.emplace_back(file);
  }
  saved_ = files_;
}

void CRecentFiles::Save(const app::CSettings& settings) {
  if (files_ == saved_) return;
  for (std::size_t i = 0; i < capacity_; ++i) {
    if (i < files_.size()) {
      settings.WriteString(kSection, EntryName(i), files_[i].string());
    } else if (auto key = registry::Key::Open(registry::Root::CurrentUser,
                                              settings.profile().SectionPath(kSection))) {
      (void)key->DeleteValue(EntryName(i));
    }
  }
  saved_ = files_;
}

void CRecentFiles::Add(const std::filesystem::path& file) {
  files_.erase(std::remove(files_.begin(), files_.end(), file), files_.end());
  files_.insert(files_.begin(), file);
  if (files_.size() > capacity_) files_.resize(capacity_);
}

void CRecentFiles::Remove(std::size_t index) {
  if (index < files_.size()) files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace vokar::comment
