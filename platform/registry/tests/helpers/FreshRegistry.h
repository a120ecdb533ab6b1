// A test fixture that points the settings store at an empty folder of its own,
// so every test starts with empty hives.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

class FreshRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const char* base = std::getenv("VOKAR_TEST_TMP");
    dir_ = std::filesystem::path(base && *base ? base : std::filesystem::temp_directory_path().string()) /
           ("registry-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ::setenv("VOKAR_REGISTRY_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::filesystem::path dir_;
};
