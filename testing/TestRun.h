// The life of one test program on the machine: everything it makes lives in
// one folder of its own under the build's test folder ($VOKAR_TEST_TMP/p<pid>),
// every test runs as a user of its own inside it (PrivateUser.h), and whatever
// the program leaves, because a test leaked it or because the program was
// killed, is ended and removed: by a guard process when the program ends,
// however it ends, and by the next test program to start when even the guard
// could not.
#pragma once

#include <filesystem>

namespace vokar::test {

// The folders of test programs under root that no longer run: their
// processes are ended and the folders removed. A folder is p<pid> with a file
// "owner" holding the start time of that process, so that a later process
// given the same pid is not taken for its owner.
void RemoveFoldersOfDeadTestPrograms(const std::filesystem::path& root);

// Sets up this test program: its folder under root (made, owned, named in
// VOKAR_TEST_TMP), the private user of the program as a whole, the guard,
// and a private user for every test. Call before any thread is started.
class TestRun {
 public:
  TestRun();
  ~TestRun();
  TestRun(const TestRun&) = delete;
  TestRun& operator=(const TestRun&) = delete;

  const std::filesystem::path& folder() const { return folder_; }

 private:
  void StartGuard();

  std::filesystem::path root_;
  std::filesystem::path folder_;
  bool rootIsOwnFallback_ = false;
};

}  // namespace vokar::test
