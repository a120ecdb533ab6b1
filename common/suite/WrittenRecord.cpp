#include "WrittenRecord.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <set>
#include <system_error>

#include "Places.h"
#include "Registry.h"
#include "Suite.h"

namespace vokar::suite {
namespace fs = std::filesystem;

namespace {

// Deeper or larger trees are not watched further: a MIME database has a few
// hundred files at most.
constexpr std::size_t kMaxTreeEntries = 20000;
constexpr int kMaxTreeDepth = 8;

std::string ListKey(std::string_view list) { return std::string(kRecordKey) + "\\" + std::string(list); }

bool Acceptable(const fs::path& path) {
  if (path.empty() || !path.is_absolute() || path != path.lexically_normal()) return false;
  const std::string text = path.string();
  if (text.size() > 1 && text.back() == '/') return false;
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

std::vector<fs::path> ReadList(std::string_view list) {
  std::vector<std::pair<unsigned, fs::path>> numbered;
  auto key = registry::Key::Open(registry::Root::CurrentUser, ListKey(list));
  if (!key) return {};
  auto values = key->Values();
  if (!values) return {};
  for (const auto& value : values.value()) {
    unsigned number = 0;
    const auto [end, error] = std::from_chars(value.name.data(), value.name.data() + value.name.size(), number);
    if (error != std::errc() || end != value.name.data() + value.name.size()) continue;
    const auto* text = std::get_if<std::string>(&value.value);
    if (text == nullptr || !Acceptable(*text)) continue;
    numbered.emplace_back(number, fs::path(*text));
  }
  std::sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<fs::path> paths;
  for (auto& [number, path] : numbered)
    if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(std::move(path));
  return paths;
}

std::string AddToList(std::string_view list, const std::vector<fs::path>& added) {
  if (added.empty()) return {};
  std::vector<fs::path> paths = ReadList(list);
  const std::size_t before = paths.size();
  for (const auto& path : added)
    if (Acceptable(path) && std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
  if (paths.size() == before) return {};
  auto key = registry::Key::Create(registry::Root::CurrentUser, ListKey(list));
  if (!key) return key.error().description;
  for (std::size_t i = before; i < paths.size(); ++i) {
    const auto status = key->Set(std::to_string(i + 1), registry::Value(paths[i].string()));
    if (!status) return status.error().description;
  }
  return {};
}

bool Exists(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// A is below B (or B itself when orEqual).
bool IsBelow(const fs::path& a, const fs::path& b, bool orEqual) {
  if (b.empty()) return false;
  auto ai = a.begin();
  for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
    if (bi->empty()) continue;  // a trailing separator
    if (ai == a.end() || *ai != *bi) return false;
  }
  return ai != a.end() || orEqual;
}

void ListTree(const fs::path& folder, int depth, std::vector<fs::path>& out) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (out.size() >= kMaxTreeEntries) return;
    out.push_back(it->path());
    if (depth < kMaxTreeDepth && it->is_directory(error) && !it->is_symlink(error)) ListTree(it->path(), depth + 1, out);
  }
}

}  // namespace

fs::path ResolvedPath(const fs::path& path) {
  if (!path.is_absolute()) return path;
  // The deepest part that exists is resolved (".." there as the system takes
  // it); what is missing below it follows as written.
  fs::path existing = path;
  fs::path rest;
  while (!existing.empty() && existing != existing.root_path()) {
    char buffer[PATH_MAX];
    if (::realpath(existing.c_str(), buffer) != nullptr)
      return rest.empty() ? fs::path(buffer) : (fs::path(buffer) / rest).lexically_normal();
    rest = rest.empty() ? existing.filename() : existing.filename() / rest;
    existing = existing.parent_path();
  }
  return path.lexically_normal();
}

WrittenRecord ReadWrittenRecord() { return {ReadList("Files"), ReadList("Folders")}; }

std::string AddToWrittenRecord(const WrittenRecord& added) {
  std::string problem = AddToList("Folders", added.folders);
  if (problem.empty()) problem = AddToList("Files", added.files);
  return problem;
}

void CreationWatch::Watch(const fs::path& path, const fs::path& base) {
  if (path.empty() || !path.is_absolute()) return;
  const fs::path home = HomeDir().lexically_normal();
  const fs::path limit = IsBelow(path.lexically_normal(), home, false) ? home : base.lexically_normal();
  fs::path at = path.lexically_normal();
  do {
    if (std::find(paths_.begin(), paths_.end(), at) == paths_.end()) paths_.push_back(at);
    at = at.parent_path();
  } while (at != at.root_path() && IsBelow(at, limit, false));
}

void CreationWatch::WatchTree(const fs::path& folder, const fs::path& base) {
  Watch(folder, base);
  if (std::find(trees_.begin(), trees_.end(), folder) == trees_.end()) trees_.push_back(folder);
}

void CreationWatch::Before() {
  existed_.clear();
  for (const auto& path : paths_)
    if (Exists(path)) existed_.push_back(path);
  for (const auto& tree : trees_) ListTree(tree, 0, existed_);
}

WrittenRecord CreationWatch::Created() const {
  std::vector<fs::path> now;
  for (const auto& path : paths_)
    if (Exists(path)) now.push_back(path);
  for (const auto& tree : trees_) ListTree(tree, 0, now);
  const std::set<fs::path> before(existed_.begin(), existed_.end());
  std::set<fs::path> seen;
  WrittenRecord created;
  for (const auto& path : now) {
    if (before.contains(path) || !seen.insert(path).second) continue;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode)) continue;
    const fs::path resolved = ResolvedPath(path);
    if (S_ISDIR(info.st_mode)) created.folders.push_back(resolved);
    else created.files.push_back(resolved);
  }
  // Shallower folders first, so that an uninstaller going backwards empties
  // the deeper ones before it tries the folders above them.
  std::stable_sort(created.folders.begin(), created.folders.end(), [](const fs::path& a, const fs::path& b) {
    return std::distance(a.begin(), a.end()) < std::distance(b.begin(), b.end());
  });
  return created;
}

}  // namespace vokar::suite
