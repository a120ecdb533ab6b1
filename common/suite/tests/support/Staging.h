// An installation of the suite inside a test folder, as `cmake --install`
// would lay it out: prefix/bin with vkinstall, vkremove and the six programs
// (the real ones where they are built, a stand-in file for the others), and
// the icons in prefix/share. The test target defines VOKAR_BIN_DIR,
// VOKAR_SHARE_DIR, VOKAR_STANDIN, VOKAR_VKINSTALL, VOKAR_VKREMOVE and VOKAR_VKREG.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "SuiteSandbox.h"

namespace vokar::test {

inline const std::vector<std::string>& SixPrograms() {
  static const std::vector<std::string> programs{"vokar", "horalo", "klavo", "remarka", "sievo", "radko"};
  return programs;
}

inline std::filesystem::path StageInstallation(const UserSandbox& sandbox,
                                               const std::vector<std::string>& programs = SixPrograms()) {
  namespace fs = std::filesystem;
  const fs::path prefix = sandbox / "usr";
  const fs::path bin = prefix / "bin";
  CopyProgram(VOKAR_VKINSTALL, bin / "vkinstall");
  CopyProgram(VOKAR_VKREMOVE, bin / "vkremove");
  for (const auto& program : programs) {
    const fs::path real = fs::path(VOKAR_BIN_DIR) / program;
    CopyProgram(fs::exists(real) ? real : fs::path(VOKAR_STANDIN), bin / program);
  }
  const fs::path icons = fs::path(VOKAR_SHARE_DIR) / "icons";
  fs::create_directories(prefix / "share");
  if (fs::exists(icons))
    fs::copy(icons, prefix / "share" / "icons", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  return bin;
}

// The whole settings store of the sandbox as .reg text, read by the real vkreg.
inline std::string ExportStore(UserSandbox& sandbox) {
  const RunResult result = sandbox.Run(VOKAR_VKREG, {"export"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return result.out;
}

// The lines of a .reg export that name a key or a value under the key, so
// that a test can say exactly what is there.
inline std::vector<std::string> ExportLinesUnder(const std::string& exported, const std::string& keyPrefix) {
  std::vector<std::string> lines;
  std::string current;
  std::size_t start = 0;
  while (start < exported.size()) {
    std::size_t end = exported.find('\n', start);
    if (end == std::string::npos) end = exported.size();
    std::string line = exported.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (line.empty()) continue;
    if (line.front() == '[') current = line.substr(1, line.size() - 2);
    if (current.compare(0, keyPrefix.size(), keyPrefix) == 0) lines.push_back(line);
  }
  return lines;
}

// The lines of a .reg export of exactly that key: its header and its values.
inline std::vector<std::string> ExportLinesOf(const std::string& exported, const std::string& key) {
  // Values of subkeys follow their own headers: only those after ours count.
  std::vector<std::string> own;
  bool inOwn = false;
  for (const auto& line : ExportLinesUnder(exported, key)) {
    if (line.front() == '[') inOwn = line == "[" + key + "]";
    if (inOwn) own.push_back(line);
  }
  return own;
}

// The paths a list of the suite's record holds (Files or Folders), in order.
inline std::vector<std::string> RecordedPaths(const std::string& exported, const std::string& list) {
  std::vector<std::pair<int, std::string>> numbered;
  for (const auto& line :
       ExportLinesOf(exported, "HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall\\" + list)) {
    if (line.front() == '[') continue;
    const auto equals = line.find("\"=\"");
    if (line.front() != '"' || equals == std::string::npos || line.back() != '"') continue;
    std::string value = line.substr(equals + 3, line.size() - equals - 4);
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) ++i;
      unescaped += value[i];
    }
    numbered.emplace_back(std::stoi(line.substr(1, equals - 1)), unescaped);
  }
  std::sort(numbered.begin(), numbered.end());
  std::vector<std::string> paths;
  for (const auto& [number, path] : numbered) paths.push_back(path);
  return paths;
}

}  // namespace vokar::test
