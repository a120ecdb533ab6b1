// A folder of one test's own under the build's test folder ($VOKAR_TEST_TMP,
// which ctest sets), removed with everything in it when the object goes, so
// that a test leaves nothing behind whether it passed or failed and tests can
// run side by side. Every test that needs files on disk makes one of these.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace vokar::test {

class TestFolder {
 public:
  // The name joins the label, the running test's name, the process and a
  // counter, so that it is unique on the machine and says whose it is.
  explicit TestFolder(std::string_view label = "test") {
    path_ = Root() / (std::string(label) + "-" + TestName() + "-" + std::to_string(::getpid()) + "-" +
                      std::to_string(Counter()++));
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    std::filesystem::create_directories(path_);
  }
  ~TestFolder() {
    std::error_code ignored;
    // A test may have taken the permissions away from something inside.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

  // Writes bytes into a file of the folder (its subfolders are made) and returns its path.
  std::filesystem::path Write(const std::filesystem::path& name, std::string_view bytes) const {
    const auto file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
  }

  // Makes a FIFO in the folder and returns its path (empty when it failed).
  std::filesystem::path MakeFifo(const std::filesystem::path& name) const {
    const auto fifo = path_ / name;
    std::filesystem::create_directories(fifo.parent_path());
    if (::mkfifo(fifo.c_str(), 0600) != 0) return {};
    return fifo;
  }

  // The build's test folder, or a folder of the system's temporary folder
  // when a test program is run by hand.
  static std::filesystem::path Root() {
    const char* base = std::getenv("VOKAR_TEST_TMP");
    if (base != nullptr && *base != '\0') return base;
    return std::filesystem::temp_directory_path() / "vokar-tests";
  }

 private:
  static std::atomic<unsigned>& Counter() {
    static std::atomic<unsigned> counter{0};
    return counter;
  }

  static std::string TestName() {
    std::string name = "outside";
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
      name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
      const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                         c == '_' || c == '-';
      if (!plain) c = '_';
    }
    // Keep the name well inside the system's limit for one path component.
    return name.substr(0, 120);
  }

  std::filesystem::path path_;
};

// Runs call, which must come back although it names the FIFO fifo, and
// returns its result. When it has not come back within the limit it is stuck
// on the FIFO: the FIFO is opened for writing until the call is set free, the
// test fails, and the result of the freed call is returned.
template <typename Call>
auto WithoutBlocking(const std::filesystem::path& fifo, Call call,
                     std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  auto pending = std::async(std::launch::async, std::move(call));
  if (pending.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << "blocked on the FIFO " << fifo;
    while (pending.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
    }
  }
  return pending.get();
}

}  // namespace vokar::test
