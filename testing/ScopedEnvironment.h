// Variables of this process's environment changed for a while: each is given
// back its value (or unset again) when the object goes, the last change
// first, whether the test passed or failed.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vokar::test {

class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment() { Restore(); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void Set(const std::string& name, const std::string& value) {
    Save(name);
    ::setenv(name.c_str(), value.c_str(), 1);
    if (name == "TZ") ::tzset();
  }
  void Unset(const std::string& name) {
    Save(name);
    ::unsetenv(name.c_str());
    if (name == "TZ") ::tzset();
  }

  // Gives every variable back now.
  void Restore() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
      if (it->first == "TZ") ::tzset();
    }
    saved_.clear();
  }

 private:
  // Only the value before the first change is kept.
  void Save(const std::string& name) {
    for (const auto& [saved, value] : saved_) {
      if (saved == name) return;
    }
    const char* value = std::getenv(name.c_str());
    saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace vokar::test
