// The build's resource compiler on tables of the test's own: names with their
// numbers, texts with escapes, pieces on the lines after an entry and
// comments become the header and the source a program compiles; a table with
// a name or a number twice, a bad escape or a text outside quotes is refused
// with its line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "TestFolder.h"

namespace {

struct Compiled {
  int status = -1;
  std::string header;
  std::string source;
  std::string errors;
};

Compiled Compile(const vokar::test::TestFolder& folder, const std::string& table) {
  folder.Write("in.strings", table);
  const std::string command = std::string(VOKAR_STRINGS) + " " + (folder / "in.strings").string() + " " +
                              (folder / "out.h").string() + " " + (folder / "out.cpp").string() + " 2> " +
                              (folder / "errors").string();
  Compiled compiled;
  const int status = std::system(command.c_str());
  compiled.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const auto read = [](const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  compiled.header = read(folder / "out.h");
  compiled.source = read(folder / "out.cpp");
  compiled.errors = read(folder / "errors");
  return compiled;
}

TEST(StringsCompiler, NamesNumbersAndTextsAsTheProgramCompilesThem) {
  vokar::test::TestFolder folder("strings");
  const Compiled out = Compile(folder, R"(# A comment line.
namespace vokar::proba
[strings]
IDS_TITLE   57344 "Próba"            # a comment after a text
IDS_TWO     4100  "Raz\n"
                  "dwa \"cytat\" \\ koniec\t."
IDS_FIRST   5     "pierwszy"
[ids]
IDC_BUTTON  0x3E8   # a number in hexadecimal
ID_COMMAND  33010
)");
  ASSERT_EQ(out.status, 0) << out.errors;
  EXPECT_NE(out.header.find("namespace vokar::proba {"), std::string::npos);
  EXPECT_NE(out.header.find("  IDS_TITLE = 57344,\n  IDS_TWO = 4100,\n  IDS_FIRST = 5,\n"), std::string::npos)
      << out.header;
  EXPECT_NE(out.header.find("inline constexpr int IDC_BUTTON = 1000;"), std::string::npos) << out.header;
  EXPECT_NE(out.header.find("inline constexpr int ID_COMMAND = 33010;"), std::string::npos);
  // The texts ordered by number, as C++ reads them back; a long text in pieces
  // after its line breaks.
  const auto first = out.source.find("{IDS_FIRST, \"pierwszy\"}");
  const auto two = out.source.find("{IDS_TWO, \"Raz\\n\"\n        \"dwa \\\"cytat\\\" \\\\ koniec\\t.\"}");
  const auto title = out.source.find("{IDS_TITLE, \"Próba\"}");
  ASSERT_NE(first, std::string::npos) << out.source;
  ASSERT_NE(two, std::string::npos) << out.source;
  ASSERT_NE(title, std::string::npos) << out.source;
  EXPECT_LT(first, two);
  EXPECT_LT(two, title);
}

TEST(StringsCompiler, AMistakeIsRefusedWithItsLine) {
  vokar::test::TestFolder folder("strings");
  const std::pair<const char*, const char*> cases[] = {
      {"namespace a\n[strings]\nIDS_A 1 \"a\"\nIDS_A 2 \"b\"\n", ":4: the name IDS_A is used twice"},
      {"namespace a\n[strings]\nIDS_A 1 \"a\"\nIDS_B 1 \"b\"\n", ":4: the string number 1 is used twice"},
      {"namespace a\n[strings]\nIDS_A 1 \"a\\q\"\n", ":3: unknown escape \\q"},
      {"namespace a\n[strings]\nIDS_A 1 a\n", ":3: a text must be in double quotes"},
      {"namespace a\n[strings]\nIDS_A 1 \"a\n", ":3: the text's quote is not closed"},
      {"namespace a\nIDS_A 1 \"a\"\n", ":2: an entry before [strings] or [ids]"},
      {"namespace a\n[ids]\nIDC_A x1\n", ":3: a bad number: x1"},
      {"namespace a\n[ids]\nIDC_A 1 \"a\"\n", ":3: an id has no text"},
      {"[ids]\nIDC_A 1\n", ": no namespace"},
  };
  for (const auto& [table, error] : cases) {
    const Compiled out = Compile(folder, table);
    EXPECT_EQ(out.status, 1) << table;
    EXPECT_NE(out.errors.find(error), std::string::npos) << table << "\n" << out.errors;
  }
}

}  // namespace
