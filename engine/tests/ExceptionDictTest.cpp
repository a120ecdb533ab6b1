#include "ExceptionDict.h"

#include <gtest/gtest.h>

#include "Cp1250.h"
#include "support/AlfWriter.h"

namespace vokar {
namespace {

// Dictionary text is code page 1250; the tests write it in UTF-8.
std::string Cp(std::string_view utf8) { return cp1250::FromUtf8(utf8); }

std::string Found(const CExceptionDict& dict, std::string_view key) {
  const auto hit = dict.Lookup(key);
  return hit ? std::string(*hit) : std::string("<none>");
}

TEST(ExceptionDictLines, KeyThenSeparatorsThenReplacementToTheLineEnd) {
  CExceptionDict dict;
  dict.LoadFromText(Cp("np. na przykład\r\n"
                       "kot\t \tpies  domowy  \n"
                       "sam\n"
                       "tylko \t \r\n"
                       "\n"
                       "   bez klucza\n"
                       "a\rb c\rd\n"
                       "ostatni bez końca linii"));
  EXPECT_EQ(Found(dict, "np."), Cp("na przykład"));
  EXPECT_EQ(Found(dict, "kot"), "pies  domowy  ");
  EXPECT_EQ(Found(dict, "ostatni"), Cp("bez końca linii"));
  // A lone CR is no line end: it stays in the key or the replacement.
  EXPECT_EQ(Found(dict, "a\rb"), "c\rd");
  EXPECT_EQ(Found(dict, "sam"), "<none>");
  EXPECT_EQ(Found(dict, "tylko"), "<none>");
  EXPECT_EQ(Found(dict, ""), "<none>");
  EXPECT_EQ(dict.Size(), 4u);
}

TEST(ExceptionDictLines, TheLaterKeyWins) {
  CExceptionDict dict;
  dict.LoadFromText("km kilometr\nkm kilometry\nKm Kilometr\n");
  EXPECT_EQ(Found(dict, "km"), "kilometry");
  EXPECT_EQ(Found(dict, "Km"), "Kilometr");
  EXPECT_EQ(dict.Size(), 2u);
}

TEST(ExceptionDictLines, LongLinesAreReadInPiecesOf1022Bytes) {
  const std::string value(1020, 'x');
  CExceptionDict dict;
  // 1022 bytes, then the rest of the line is a line of its own.
  dict.LoadFromText("k " + value + "reszta linii\r\nz y\n");
  EXPECT_EQ(Found(dict, "k"), value);
  EXPECT_EQ(Found(dict, "reszta"), "linii");
  EXPECT_EQ(Found(dict, "z"), "y");
  EXPECT_EQ(dict.Size(), 3u);

  // A line of exactly 1022 bytes before CR LF is one piece: the line end
  // does not count.
  CExceptionDict exact;
  exact.LoadFromText("k " + value + "\r\nz y\n");
  EXPECT_EQ(Found(exact, "k"), value);
  EXPECT_EQ(exact.Size(), 2u);

  // A key longer than a piece loses its replacement to the next piece.
  CExceptionDict longKey;
  longKey.LoadFromText(std::string(1022, 'q') + " w\n");
  EXPECT_EQ(longKey.Size(), 0u);
}

TEST(ExceptionDictLines, CtrlZEndsTheTextAndNulEndsItsPiece) {
  CExceptionDict dict;
  dict.LoadFromText(std::string("a b\0c d\ne f\x1Ag h\n", 16));
  EXPECT_EQ(Found(dict, "a"), "b");
  EXPECT_EQ(Found(dict, "e"), "f");
  EXPECT_EQ(Found(dict, "c"), "<none>");
  EXPECT_EQ(Found(dict, "g"), "<none>");
}

TEST(ExceptionDictLookup, ALowerCaseKeyAlsoMatchesACapitalInitial) {
  CExceptionDict dict;
  dict.LoadFromText(Cp("kot pies\nKoń rumak\nłódź statek\nnp. na przykład\nšárka imię\n"));
  EXPECT_EQ(dict.LookupWord("kot").value_or("-"), "pies");
  EXPECT_EQ(dict.LookupWord("Kot").value_or("-"), "pies");
  EXPECT_EQ(dict.LookupWord("KOT").value_or("-"), "-");
  EXPECT_EQ(dict.LookupWord(Cp("Koń")).value_or("-"), "rumak");
  EXPECT_EQ(dict.LookupWord(Cp("koń")).value_or("-"), "-");
  EXPECT_EQ(dict.LookupWord(Cp("Łódź")).value_or("-"), "statek");
  EXPECT_EQ(dict.LookupWord("Np.").value_or("-"), Cp("na przykład"));
  // The engine's folding knows only A-Z and the Polish capitals.
  EXPECT_EQ(dict.LookupWord(Cp("Šárka")).value_or("-"), "-");
  EXPECT_EQ(dict.LookupWord("").value_or("-"), "-");
}

class ExceptionDictFile : public ::testing::Test {
 protected:
  testing::TempDir dir;
  CExceptionDict dict;
};

TEST_F(ExceptionDictFile, Utf8FilesAreConvertedAndOthersTakenAsCodePage1250) {
  const auto utf8 = dir / "utf8.exp";
  testing::WriteFile(utf8, std::string_view("\xEF\xBB\xBFżółw gad\r\nkot pies z ogonem\r\n"));
  ASSERT_TRUE(dict.Load(utf8));
  EXPECT_EQ(dict.Path(), utf8);
  EXPECT_EQ(Found(dict, Cp("żółw")), "gad");
  EXPECT_EQ(Found(dict, "kot"), "pies z ogonem");
  EXPECT_EQ(dict.Size(), 2u);

  const auto cp = dir / "cp1250.exp";
  testing::WriteFile(cp, Cp("żółw gad\nźdźbło trawa\n"));
  ASSERT_TRUE(dict.Load(cp));
  EXPECT_EQ(Found(dict, Cp("żółw")), "gad");
  EXPECT_EQ(Found(dict, Cp("źdźbło")), "trawa");
  EXPECT_EQ(Found(dict, "kot"), "<none>");  // the earlier file is gone

  const auto ascii = dir / "ascii.exp";
  testing::WriteFile(ascii, std::string_view("\xEF\xBB\xBFkot pies\n"));
  ASSERT_TRUE(dict.Load(ascii));
  EXPECT_EQ(Found(dict, "kot"), "pies");

  // A byte order mark before code page 1250 text is dropped all the same.
  const auto mixed = dir / "mixed.exp";
  testing::WriteFile(mixed, "\xEF\xBB\xBF" + Cp("żółw gad\n"));
  ASSERT_TRUE(dict.Load(mixed));
  EXPECT_EQ(Found(dict, Cp("żółw")), "gad");
  EXPECT_EQ(dict.Size(), 1u);
}

TEST_F(ExceptionDictFile, AFailedLoadEmptiesTheMapAndKeepsThePath) {
  const auto good = dir / "good.exp";
  testing::WriteFile(good, std::string_view("kot pies\n"));
  ASSERT_TRUE(dict.Load(good));
  ASSERT_EQ(dict.Size(), 1u);

  EXPECT_FALSE(dict.Load(dir / "missing.exp"));
  EXPECT_EQ(dict.Size(), 0u);
  EXPECT_EQ(dict.Path(), dir / "missing.exp");

  ASSERT_TRUE(dict.Load(good));
  EXPECT_FALSE(dict.Load(dir.Path()));
  EXPECT_EQ(dict.Size(), 0u);
}

TEST_F(ExceptionDictFile, AFifoOrADeviceIsNoDictionaryAndIsNeverOpened) {
  const auto fifo = dir.MakeFifo("slownik.exp");
  ASSERT_FALSE(fifo.empty());
  const auto good = dir / "good.exp";
  testing::WriteFile(good, std::string_view("kot pies\n"));
  for (const std::filesystem::path& path : {fifo, std::filesystem::path("/dev/zero")}) {
    SCOPED_TRACE(path.string());
    ASSERT_TRUE(dict.Load(good));
    EXPECT_FALSE(vokar::test::WithoutBlocking(fifo, [&] { return dict.Load(path); }));
    EXPECT_EQ(dict.Size(), 0u);
    EXPECT_EQ(dict.Path(), path);
  }
}

TEST_F(ExceptionDictFile, AnEmptyFileLoadsAnEmptyMap) {
  const auto empty = dir / "empty.exp";
  testing::WriteFile(empty, std::string_view(""));
  EXPECT_TRUE(dict.Load(empty));
  EXPECT_EQ(dict.Size(), 0u);
}

}  // namespace
}  // namespace vokar
