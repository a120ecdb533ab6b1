// The package's manual pages and help pages as a user gets them: every
// program in /usr/bin has its English and its Polish manual page, gzipped,
// and man reads each one, as installed, without a warning; the programs'
// help pages are there. The package is the one the test fixture built
// (VOKAR_PACKAGE_DIR); it is unpacked into a folder of the test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "TestFolder.h"

namespace {

namespace fs = std::filesystem;

fs::path Package() {
  for (const auto& entry : fs::directory_iterator(VOKAR_PACKAGE_DIR))
    if (entry.path().extension() == ".deb") return entry.path();
  return {};
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Found(const std::string& tool) { return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0; }

class PackagedPages : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path deb = Package();
    ASSERT_FALSE(deb.empty()) << "no package in " << VOKAR_PACKAGE_DIR;
    root_ = folder_.path() / "root";
    ASSERT_EQ(std::system(("dpkg-deb -x '" + deb.string() + "' '" + root_.string() + "'").c_str()), 0);
  }

  std::set<std::string> Programs() const {
    std::set<std::string> programs;
    for (const auto& entry : fs::directory_iterator(root_ / "usr/bin")) programs.insert(entry.path().filename());
    return programs;
  }

  vokar::test::TestFolder folder_{"manpages"};
  fs::path root_;
};

TEST_F(PackagedPages, EveryProgramHasItsEnglishAndPolishManualPage) {
  const auto programs = Programs();
  ASSERT_GE(programs.size(), 13u);
  for (const auto& program : programs) {
    EXPECT_TRUE(fs::is_regular_file(root_ / "usr/share/man/man1" / (program + ".1.gz"))) << program;
    EXPECT_TRUE(fs::is_regular_file(root_ / "usr/share/man/pl/man1" / (program + ".1.gz"))) << program;
  }
  // No page without its program, nor anything but gzipped section-1 pages.
  for (const fs::path& dir : {root_ / "usr/share/man/man1", root_ / "usr/share/man/pl/man1"}) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename();
      ASSERT_GT(name.size(), 5u);
      EXPECT_EQ(name.substr(name.size() - 5), ".1.gz") << entry.path();
      EXPECT_TRUE(programs.count(name.substr(0, name.size() - 5))) << entry.path() << " has no program";
    }
  }
}

TEST_F(PackagedPages, ManReadsEachAsInstalledWithoutAWarning) {
  ASSERT_TRUE(Found("man") && Found("lexgrog")) << "man-db is needed to read the pages as a user does";
  for (const auto& program : Programs()) {
    for (const fs::path& dir : {root_ / "usr/share/man/man1", root_ / "usr/share/man/pl/man1"}) {
      const fs::path page = dir / (program + ".1.gz");
      const fs::path errors = folder_.path() / "errors.txt";
      const fs::path text = folder_.path() / "text.txt";
      const int status = std::system(("LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=120 man --warnings -E UTF-8 -l -Tutf8 -Z '" +
                                      page.string() + "' > '" + text.string() + "' 2> '" + errors.string() + "'")
                                         .c_str());
      EXPECT_EQ(status, 0) << page;
      EXPECT_EQ(ReadFile(errors), "") << page;
    }
    // whatis reads the NAME section of the English page: the program and
    // what it is.
    const fs::path english = root_ / "usr/share/man/man1" / (program + ".1.gz");
    const fs::path whatis = folder_.path() / "whatis.txt";
    EXPECT_EQ(std::system(("LC_ALL=C.UTF-8 lexgrog '" + english.string() + "' > '" + whatis.string() + "' 2>&1").c_str()),
              0)
        << english;
    EXPECT_NE(ReadFile(whatis).find("\"" + program + " - "), std::string::npos) << ReadFile(whatis);
  }
}

TEST_F(PackagedPages, HoldsTheHelpPageOfEveryProgramWithAWindow) {
  for (const char* program : {"vokar", "horalo", "klavo", "remarka", "sievo"}) {
    const fs::path page = root_ / "usr/share/vokar/help" / (std::string(program) + ".html");
    ASSERT_TRUE(fs::is_regular_file(page)) << page;
    EXPECT_NE(ReadFile(page).find("<html lang=\"pl\">"), std::string::npos) << page;
  }
}

}  // namespace
