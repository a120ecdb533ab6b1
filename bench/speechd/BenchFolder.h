// The temporary folder of a speech-dispatcher benchmark: made in the system's
// temporary folder and removed with everything in it when the benchmark ends,
// on its failure paths as well as at its normal end. A failure says why and
// shows the end of what the programs logged there, since the folder that held
// their logs is gone afterwards.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace vokar::bench {

class BenchFolder {
 public:
  // `program` names the benchmark in its messages and in the folder's name.
  explicit BenchFolder(std::string program) : program_(std::move(program)) {
    std::string pattern = (std::filesystem::temp_directory_path() / (program_ + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~BenchFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

  // Says why the benchmark could not measure, with the last lines of every
  // log in the folder (*.log, *.out), and gives the exit status of that: 2.
  int Fail(const std::string& why) const {
    std::fprintf(stderr, "%s: %s\n", program_.c_str(), why.c_str());
    std::error_code error;
    if (path_.empty()) return 2;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      const auto& file = it->path();
      if (!it->is_regular_file() || (file.extension() != ".log" && file.extension() != ".out")) continue;
      std::fprintf(stderr, "--- the end of %s:\n", std::filesystem::relative(file, path_).c_str());
      for (const std::string& line : LastLines(file, 15)) std::fprintf(stderr, "%s\n", line.c_str());
    }
    return 2;
  }

 private:
  static std::deque<std::string> LastLines(const std::filesystem::path& file, std::size_t count) {
    std::deque<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
      lines.push_back(std::move(line));
      if (lines.size() > count) lines.pop_front();
    }
    return lines;
  }

  std::string program_;
  std::filesystem::path path_;
};

}  // namespace vokar::bench
