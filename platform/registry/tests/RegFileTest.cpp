#include "RegFile.h"

#include <gtest/gtest.h>

#include "helpers/FreshRegistry.h"

namespace {

using namespace vokar::registry;

class RegFile : public FreshRegistry {};

TEST_F(RegFile, ExportWritesTheRegeditTextFormat) {
  auto key = Key::Create(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound");
  ASSERT_TRUE(key->Set("", Value(std::string("domyślny"))));
  ASSERT_TRUE(key->Set("Tunning", Value(10u)));
  ASSERT_TRUE(key->Set("Path", Value(std::string("C:\\Vokar\\\"nowy\""))));
  ASSERT_TRUE(Key::Create(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound\\Empty"));

  auto text = ExportRegText({{Root::CurrentUser, "Software\\Quillmark\\Vokar"}});
  ASSERT_TRUE(text) << text.error().description;
  EXPECT_EQ(*text,
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Sound]\n"
            "@=\"domyślny\"\n"
            "\"Path\"=\"C:\\\\Vokar\\\\\\\"nowy\\\"\"\n"
            "\"Tunning\"=dword:0000000a\n\n"
            "[HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Sound\\Empty]\n\n");
  EXPECT_TRUE(ExportRegText({{Root::CurrentUser, "Software\\Missing"}}).IsNotFound());
}

TEST_F(RegFile, RoundTripKeepsEveryValueExactly) {
  auto key = Key::Create(Root::CurrentUser, "Software\\Quillmark\\Żółta Łódź");
  const std::vector<std::pair<std::string, Value>> values{
      {"", Value(std::string("Zażółć gęślą jaźń"))},
      {"Back\\slash \"name\"", Value(std::string("\\\\serwer\\udział\\"))},
      {"Quote", Value(std::string("\"\""))},
      {"Lines", Value(std::string("pierwsza\r\ndruga\ttab 😀"))},
      {"Empty", Value(std::string())},
      {"Max", Value(0xFFFFFFFFu)},
      {"ĄĘ", Value(7u)},
  };
  for (const auto& [name, value] : values) ASSERT_TRUE(key->Set(name, value));
  ASSERT_TRUE(Key::Create(Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe")
                  ->Set("", Value(std::string("/usr/bin/vokar"))));
  ASSERT_TRUE(Key::Create(Root::ClassesRoot, ".ann\\Pusty"));

  auto text = ExportAllRegText();
  ASSERT_TRUE(text) << text.error().description;
  ASSERT_TRUE(DeleteTree(Root::CurrentUser, "Software"));
  ASSERT_TRUE(DeleteTree(Root::LocalMachine, "Software"));
  ASSERT_TRUE(DeleteTree(Root::ClassesRoot, ".ann"));

  const Status imported = ImportRegText(*text);
  ASSERT_TRUE(imported) << imported.error().description;
  auto back = Key::Open(Root::CurrentUser, "Software\\Quillmark\\Żółta Łódź");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->path(), "Software\\Quillmark\\Żółta Łódź");
  for (const auto& [name, value] : values) {
    auto read = back->Query(name);
    ASSERT_TRUE(read) << name;
    EXPECT_EQ(read.value(), value) << name;
  }
  EXPECT_EQ(back->Values()->size(), values.size());
  EXPECT_EQ(Key::Open(Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe")
                ->QueryString("")
                .value(),
            "/usr/bin/vokar");
  EXPECT_TRUE(Key::Open(Root::ClassesRoot, ".ann\\Pusty"));
  // A second export is the same text.
  EXPECT_EQ(ExportAllRegText().value(), *text);
}

TEST_F(RegFile, ImportDeletesKeysAndValues) {
  ASSERT_TRUE(Key::Create(Root::CurrentUser, "Software\\Quillmark\\Horalo\\Clock")->Set("a", Value(1u)));
  auto vokar = Key::Create(Root::CurrentUser, "Software\\Quillmark\\Vokar");
  ASSERT_TRUE(vokar->Set("keep", Value(1u)));
  ASSERT_TRUE(vokar->Set("drop", Value(1u)));
  const Status imported = ImportRegText(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "; comments and CRLF line ends are fine\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Quillmark\\Horalo]\r\n"
      "[-HKCU\\Software\\Never\\There]\r\n"
      "[HKCU\\software\\quillmark\\vokar]\r\n"
      "\"DROP\"=-\r\n"
      "\"absent\"=-\r\n"
      "\"new\" = dword:FF\r\n");
  ASSERT_TRUE(imported) << imported.error().description;
  EXPECT_TRUE(Key::Open(Root::CurrentUser, "Software\\Quillmark\\Horalo").IsNotFound());
  EXPECT_TRUE(vokar->Query("drop").IsNotFound());
  EXPECT_EQ(vokar->QueryDword("keep").value(), 1u);
  EXPECT_EQ(vokar->QueryDword("new").value(), 255u);
}

TEST_F(RegFile, ReadsUtf16FilesAndContinuedHexStrings) {
  const std::string utf8 =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Łąka]\n\"Ó\"=\"żółw\"\n"
      "\"Multi\"=hex(1):61,00,0a,00,\\\n  62,00,00,00\n";
  std::string utf16 = "\xFF\xFE";
  for (const char32_t c : std::u32string{U"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Łąka]\n\"Ó\"=\"żółw\"\n"}) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  ASSERT_TRUE(ImportRegText(utf16));
  EXPECT_EQ(Key::Open(Root::CurrentUser, "łąka")->QueryString("ó").value(), "żółw");
  ASSERT_TRUE(ImportRegText(utf8));
  EXPECT_EQ(Key::Open(Root::CurrentUser, "Łąka")->QueryString("Multi").value(), "a\nb");
}

TEST_F(RegFile, MistakesAreReportedWithTheLineAndChangeNothing) {
  const std::string start = "Windows Registry Editor Version 5.00\n[HKCU\\Software\\A]\n\"x\"=\"1\"\n";
  const std::vector<std::pair<std::string, std::string>> cases{
      {"\"y\"=\"unclosed\n", "line 4: value data: the closing quote is missing"},
      {"\"y\"=\"C:\\path\"\n", "line 4: value data: a backslash in quotes"},
      {"\"y\"=dword:123456789\n", "line 4: dword: needs one to eight"},
      {"\"y\"=dword:xyz\n", "line 4: dword: needs"},
      {"\"y\"=hex:01,02\n", "line 4: only strings and dword values"},
      {"\"y\"=hex(1):61,00,6\n", "line 4: hex(1): needs bytes"},
      {"\"y\"=\"a\" tail\n", "line 4: unexpected text after the closing quote"},
      {"y=\"a\"\n", "line 4: value name: a quoted text was expected"},
      {"\"y\"\"a\"\n", "line 4: = expected"},
      {"[HKEY_USERS\\x]\n", "line 4: unknown hive"},
      {"[HKCU\\a\\\\b]\n", "line 4: not a valid key path"},
      {"[HKCU\\a\n", "line 4: a key line must end with ]"},
      {"[-HKCU]\n", "line 4: a hive's root cannot be deleted"},
      {"[-HKCU\\Software\\A]\n\"z\"=\"1\"\n", "line 5: a value below a key that is being deleted"},
      {"\"y\"=\"\xC5\"\n", "line 4: the text is not valid UTF-8 (byte offset 68)"},
  };
  for (const auto& [tail, expected] : cases) {
    const Status imported = ImportRegText(start + tail);
    ASSERT_FALSE(imported) << tail;
    EXPECT_EQ(imported.error().description.rfind(expected, 0), 0u) << imported.error().description;
    EXPECT_TRUE(Key::Open(Root::CurrentUser, "Software\\A").IsNotFound()) << "a bad file changed the store: " << tail;
  }
  EXPECT_EQ(ImportRegText("").error().description.find("line"), 0u);
  EXPECT_EQ(ImportRegText("[HKCU\\a]\n").error().description, "line 1: the file must begin with \"Windows Registry Editor Version 5.00\"");
  EXPECT_EQ(ImportRegText("REGEDIT4\n\"a\"=\"b\"\n").error().description, "line 2: a value before the first [key] line");
}

}  // namespace
