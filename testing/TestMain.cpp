// The main of every test program: GoogleTest's, run inside the program's own
// folder, with a private user for the program and for each of its tests (see
// TestRun.h). Listing the tests (as the build does to find them) makes nothing.
#include <gtest/gtest.h>

#include <memory>

#include "TestRun.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::unique_ptr<vokar::test::TestRun> run;
  if (!GTEST_FLAG_GET(list_tests)) run = std::make_unique<vokar::test::TestRun>();
  return RUN_ALL_TESTS();
}
