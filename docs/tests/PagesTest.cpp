// The pages the build made from the guides and the tree's Markdown pages:
// every link points at something, every guide has its help page, and every
// installed program has a Polish and an English manual page that groff and
// man read without a warning.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Links.h"
#include "TestFolder.h"

namespace vokar::doc {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = VOKAR_SOURCE_DIR;
const fs::path kHelp = VOKAR_HELP_DIR;
const fs::path kMan = VOKAR_MAN_DIR;

std::vector<std::string> Programs() {
  std::vector<std::string> programs;
  std::stringstream list(VOKAR_MANUAL_PROGRAMS);
  for (std::string name; std::getline(list, name, ',');)
    if (!name.empty()) programs.push_back(name);
  return programs;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Describe(const std::vector<BrokenLink>& broken) {
  std::string text;
  for (const auto& link : broken)
    text += link.page.string() + ":" + std::to_string(link.line) + ": " + link.target + ": " + link.reason + "\n";
  return text;
}

// A command's standard error (and its status); standard output is dropped.
struct Outcome {
  int status = -1;
  std::string errors;
};

Outcome Shell(const test::TestFolder& folder, const std::string& command) {
  auto errors = folder.path() / "errors.txt";
  Outcome run;
  run.status = std::system((command + " > /dev/null 2> '" + errors.string() + "'").c_str());
  run.errors = ReadFile(errors);
  return run;
}

bool Found(const std::string& tool) {
  return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

TEST(TreePages, EveryLinkOfTheMarkdownPagesPointsAtSomething) {
  std::vector<fs::path> pages{kSource / "README.md"};
  for (const auto& entry : fs::recursive_directory_iterator(kSource / "docs"))
    if (entry.is_regular_file() && entry.path().extension() == ".md") pages.push_back(entry.path());
  ASSERT_GT(pages.size(), 10u);
  std::string broken;
  for (const auto& page : pages) broken += Describe(CheckMarkdownLinks(page));
  EXPECT_EQ(broken, "");
}

TEST(HelpPages, EveryGuideHasOneAndItsLinksPointAtSomething) {
  std::set<std::string> guides;
  for (const auto& entry : fs::directory_iterator(kSource / "docs/user"))
    if (entry.path().extension() == ".md") guides.insert(entry.path().stem().string());
  for (const auto& program : {"vokar", "horalo", "klavo", "remarka", "sievo"})
    EXPECT_TRUE(guides.count(program)) << program << " opens its help page, which comes from its guide";
  std::string broken;
  for (const auto& guide : guides) {
    fs::path page = kHelp / (guide == "README" ? std::string("index.html") : guide + ".html");
    ASSERT_TRUE(fs::is_regular_file(page)) << page;
    std::string html = ReadFile(page);
    EXPECT_NE(html.find("<html lang=\"pl\">"), std::string::npos) << page;
    EXPECT_NE(html.find("</html>"), std::string::npos) << page;
    broken += Describe(CheckHtmlLinks(page));
  }
  EXPECT_EQ(broken, "");
}

TEST(ManualPages, EveryProgramHasAPolishAndAnEnglishPage) {
  auto programs = Programs();
  ASSERT_GE(programs.size(), 13u) << "the thirteen programs installed into bin";
  for (const auto& program : programs) {
    for (const fs::path& folder : {kMan / "pl/man1", kMan / "man1"}) {
      fs::path page = folder / (program + ".1");
      ASSERT_TRUE(fs::is_regular_file(page)) << page;
      std::string text = ReadFile(page);
      std::string upper = program;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      EXPECT_NE(text.find("\n.TH \"" + upper + "\" 1 "), std::string::npos) << page;
      // Debian wants the installed page gzipped at the best compression:
      // the header's extra flags say 2 for it.
      std::string gz = ReadFile(page.string() + ".gz");
      ASSERT_GE(gz.size(), 18u) << page << ".gz";
      EXPECT_EQ(static_cast<unsigned char>(gz[0]), 0x1f);
      EXPECT_EQ(static_cast<unsigned char>(gz[1]), 0x8b);
      EXPECT_EQ(static_cast<unsigned char>(gz[8]), 2) << page << ".gz is not at the best compression";
      EXPECT_EQ(gz[3] & 0x08, 0) << page << ".gz carries a file name, so the package is not reproducible";
    }
  }
}

TEST(ManualPages, GroffAndManReadThemWithoutAWarning) {
  ASSERT_TRUE(Found("groff")) << "groff (groff-base) is needed to check the manual pages";
  test::TestFolder folder("manpages");
  bool haveMan = Found("man");
  bool haveLexgrog = Found("lexgrog");
  for (const auto& program : Programs()) {
    for (const fs::path& dir : {kMan / "pl/man1", kMan / "man1"}) {
      fs::path page = dir / (program + ".1");
      Outcome groff = Shell(folder, "groff -man -ww -z -Tutf8 '" + page.string() + "'");
      EXPECT_EQ(groff.status, 0) << page;
      EXPECT_EQ(groff.errors, "") << page;
      if (haveMan) {
        // As lintian reads a page: the compressed one, with man's warnings on.
        Outcome man = Shell(folder, "LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=120 man --warnings -E UTF-8 -l -Tutf8 -Z '" +
                                    page.string() + ".gz'");
        EXPECT_EQ(man.status, 0) << page;
        EXPECT_EQ(man.errors, "") << page;
      }
      if (haveLexgrog && dir == kMan / "man1") {
        // whatis reads the NAME section of the English pages.
        Outcome whatis = Shell(folder, "LC_ALL=C.UTF-8 lexgrog '" + page.string() + ".gz'");
        EXPECT_EQ(whatis.status, 0) << page << " has no NAME section whatis can read";
      }
    }
  }
}

}  // namespace
}  // namespace vokar::doc
