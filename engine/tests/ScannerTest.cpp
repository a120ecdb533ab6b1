#include "TextScanner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include "AllophoneIndex.h"
#include "Cp1250.h"
#include "TestFolder.h"
#include "support/TestInventory.h"

namespace vokar {
namespace {

// Describes a token for comparison: words as UTF-8 text, one-byte tokens in
// angle brackets (<.> <\x05>), control tokens as <ctl CODE ARG...>.
std::string Describe(const CWordToken& token) {
  const std::string& t = token.text;
  if (!t.empty() && t[0] == '\x03') {
    std::string out = "<ctl";
    for (std::size_t i = 1; i < t.size(); ++i) out += " " + std::to_string(static_cast<unsigned char>(t[i]));
    return out + ">";
  }
  const auto first = static_cast<unsigned char>(t.empty() ? 0 : t[0]);
  if (t.size() == 1 && !cp1250::IsAlpha(first)) {
    if (first < 32) return "<\\x0" + std::to_string(first) + ">";
    return "<" + t + ">";
  }
  return cp1250::ToUtf8(t);
}

class Scanner : public ::testing::Test {
 protected:
  void SetUp() override { testing::FillTestInventory(db, settings); }

  // Every utterance of the text, each as its tokens joined by blanks.
  std::vector<std::string> Scan(const std::string& utf8) {
    text = cp1250::FromUtf8(utf8);
    CTextScanner scanner(text, {settings, db, useDictionary ? &dictionary : nullptr, sink});
    std::vector<std::string> out;
    while (CUtterance* utterance = scanner.NextUtterance()) {
      std::string line;
      for (const auto& token : utterance->Tokens()) line += (line.empty() ? "" : " ") + Describe(token);
      out.push_back(line);
      lastAccents.clear();
      for (const auto& token : utterance->Tokens()) lastAccents.push_back(token.accent);
      if (out.size() > 10000) break;
    }
    return out;
  }

  using Lines = std::vector<std::string>;
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  CExceptionDict dictionary;
  bool useDictionary = false;
  CSilentSink sink;
  std::string text;
  std::vector<bool> lastAccents;
};

TEST_F(Scanner, SentencesAndTheirEnds) {
  EXPECT_EQ(Scan(""), Lines{});
  EXPECT_EQ(Scan("Ala ma kota. Kot ma Alę!"), (Lines{"Ala ma kota <.>", "Kot ma Alę <!>"}));
  EXPECT_EQ(Scan("Tak... Nie?!? Może"), (Lines{"Tak <.>", "Nie <?>", "Może"}));
  // The text ends at its NUL even when bytes follow it.
  EXPECT_EQ(Scan(std::string("Raz\0dwa", 7)), Lines{"Raz"});
  // Words before a blank carry no accent of their own; before punctuation they do.
  Scan("Ala ma, kota.");
  EXPECT_EQ(lastAccents, (std::vector<bool>{false, true, true, true, true}));
}

TEST_F(Scanner, PunctuationBlanksAndLineBreaks) {
  EXPECT_EQ(Scan("a,b"), Lines{"a <,> b"});
  // A line break swallows the control characters after it: CR LF CR LF is one pause.
  EXPECT_EQ(Scan("raz\r\n\r\ndwa"), Lines{"raz <\\x013> dwa"});
  EXPECT_EQ(Scan("raz  \x01\x02 dwa \t trzy"), Lines{"raz dwa <\\x09> trzy"});
  EXPECT_EQ(Scan("pół-żartem"), Lines{"pół <-> żartem"});
  EXPECT_EQ(Scan("x \\ y"), Lines{"x <\\> y"});
}

TEST_F(Scanner, ControlTagsAndTheirArguments) {
  EXPECT_EQ(Scan("\\Spd=80\\szybko"), Lines{"<ctl 7 81> szybko"});
  EXPECT_EQ(Scan("\\Spd=\\x"), Lines{"<ctl 7 1> x"});
  EXPECT_EQ(Scan("\\Vol= 7\\\\Pit=-5\\\\Pnm=99\\"), Lines{"<ctl 8 8> <ctl 3 1> <ctl 4 100>"});
  EXPECT_EQ(Scan("\\Drv=3\\\\Drv=x\\"), Lines{"<ctl 2 4> <ctl 2 10>"});
  EXPECT_EQ(Scan("\\Rst\\ koniec"), Lines{"<ctl 6 1> koniec"});
}

TEST_F(Scanner, MalformedTagsAreReadAsText) {
  // Three digits, an empty device, a missing closing backslash, a lower-case keyword.
  EXPECT_EQ(Scan("\\Spd=123\\"), Lines{"<\\> Spd <=> sto dwadzieścia trzy <\\x06> <\\>"});
  EXPECT_EQ(Scan("\\Drv=\\a"), Lines{"<\\> Drv <=> <\\> a"});
  EXPECT_EQ(Scan("tekst \\Rst"), Lines{"tekst <\\> Rst"});
  EXPECT_EQ(Scan("\\spd=5\\"), Lines{"<\\> spd <=> pięć <\\x06> <\\>"});
}

TEST_F(Scanner, PronunciationTagSwitchesLaterWords) {
  settings.colloquialSpeech = true;
  text = cp1250::FromUtf8("ręka \\Pro=0\\ ręka");
  CTextScanner scanner(text, {settings, db, nullptr, sink});
  CUtterance* utterance = scanner.NextUtterance();
  ASSERT_NE(utterance, nullptr);
  ASSERT_EQ(utterance->Tokens().size(), 2u);
  EXPECT_TRUE(utterance->Tokens()[0].colloquial);
  EXPECT_FALSE(utterance->Tokens()[1].colloquial);
  EXPECT_FALSE(settings.colloquialSpeech);
}

TEST_F(Scanner, AllophoneListTags) {
  EXPECT_EQ(Scan("\\Alf=(a ch, zzz)\\"),
            Lines{"<ctl 1 3 " + std::to_string(allo::kA) + " " + std::to_string(allo::kCh) + " 110>"});
  // A list with no name at all is consumed and adds nothing.
  EXPECT_EQ(Scan("x\\Alf=( , )\\y"), Lines{"x y"});
  EXPECT_EQ(Scan("\\Alf=a)\\"), Lines{"<\\> Alf <=> a <)> <\\>"});
  // More than 255 names are cut to 255.
  std::string many = "\\Alf=(";
  for (int i = 0; i < 300; ++i) many += "a ";
  const Lines lines = Scan(many + ")\\");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("<ctl 1 255 ", 0), 0u);
}

TEST_F(Scanner, WaveInsertEndsItsSentence) {
  const vokar::test::TestFolder folder("scanner-insert");
  const std::string dir = folder.path().string() + "/";
  {
    // A minimal PCM wave file: 8-bit mono, four samples.
    const unsigned char wav[] = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                 1,   0,   1,   0,   0x22, 0x56, 0, 0, 0x22, 0x56, 0, 0, 1, 0, 8, 0,
                                 'd', 'a', 't', 'a', 4, 0, 0, 0, 100, 150, 100, 150};
    std::ofstream(dir + "dzwonek.wav", std::ios::binary).write(reinterpret_cast<const char*>(wav), sizeof wav);
  }
  settings.workDir = dir;
  text = "Raz \\Wav=\"dzwonek\"\\dwa. Trzy \\Wav=\"brak\"\\cztery";
  CTextScanner scanner(text, {settings, db, nullptr, sink});
  CUtterance* first = scanner.NextUtterance();
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(first->Tokens().size(), 2u);
  EXPECT_EQ(Describe(first->Tokens()[1]), "<ctl 9 1>");
  EXPECT_EQ(first->waveInsert.samples.size(), 4u);
  EXPECT_EQ(Describe(scanner.NextUtterance()->Tokens()[0]), "dwa");
  // A missing file is skipped silently, but its tag still ends the sentence.
  CUtterance* third = scanner.NextUtterance();
  ASSERT_NE(third, nullptr);
  ASSERT_EQ(third->Tokens().size(), 1u);
  EXPECT_EQ(Describe(third->Tokens()[0]), "Trzy");
  EXPECT_EQ(Describe(scanner.NextUtterance()->Tokens()[0]), "cztery");
  EXPECT_EQ(scanner.NextUtterance(), nullptr);
}

TEST_F(Scanner, AWaveInsertNamingAFifoIsSkippedWithoutWaiting) {
  const vokar::test::TestFolder folder("scanner-insert");
  const auto fifo = folder.MakeFifo("f1.wav");
  ASSERT_FALSE(fifo.empty());
  settings.workDir = folder.path().string() + "/";
  const Lines lines = vokar::test::WithoutBlocking(fifo, [&] {
    return Scan("Raz \\Wav=\"f1\"\\dwa \\Wav=\"/dev/stdin\"\\trzy \\Wav=\"" + fifo.string() + "\"\\cztery.");
  });
  // Not found: no insert token, but each tag still ends its sentence.
  EXPECT_EQ(lines, (Lines{"Raz", "dwa", "trzy", "cztery <.>"}));
}

TEST_F(Scanner, SpellingOfCapitals) {
  EXPECT_EQ(Scan("To NATO."), Lines{"To en a te o <\\x05> <.>"});
  EXPECT_EQ(Scan("To KOMPUTER."), Lines{"To KOMPUTER <.>"});
  EXPECT_EQ(Scan("W domu."), Lines{"W domu <.>"});
  EXPECT_EQ(Scan("A5"), Lines{"a <\\x05> pięć <\\x06>"});
  EXPECT_EQ(Scan("Jest PKŁ"), Lines{"Jest pe ka eł <\\x05>"});
  // Mixed case with more capitals than small letters counts as capitals.
  EXPECT_EQ(Scan("mam PCt"), Lines{"mam pe ce te <\\x05>"});
  EXPECT_EQ(Scan("mam PCty"), Lines{"mam PCty"});
  settings.convertCaps = false;
  EXPECT_EQ(Scan("To NATO."), Lines{"To NATO <.>"});
  settings.convertCaps = true;
  settings.convertCapsLimit = 3;
  EXPECT_EQ(Scan("To NATO."), Lines{"To NATO <.>"});
  EXPECT_EQ(Scan("To NAT."), Lines{"To en a te <\\x05> <.>"});
  // The limit counts small letters too, and holds on both sides.
  settings.convertCapsLimit = 5;
  EXPECT_EQ(Scan("mam ABCDE"), Lines{"mam a be ce de e <\\x05>"});
  EXPECT_EQ(Scan("mam ABCDEF"), Lines{"mam ABCDEF"});
  EXPECT_EQ(Scan("mam ABCdE"), Lines{"mam a be ce de e <\\x05>"});
  EXPECT_EQ(Scan("mam ABCdEf"), Lines{"mam ABCdEf"});
  // More capitals than small letters: 3 to 2 is spelled, 2 to 2 is a word.
  EXPECT_EQ(Scan("mam ABcdE"), Lines{"mam a be ce de e <\\x05>"});
  EXPECT_EQ(Scan("mam ABcd"), Lines{"mam ABcd"});
  settings.convertCapsLimit = 0;
  EXPECT_EQ(Scan("mam B"), Lines{"mam B"});
  settings.convertCapsLimit = 1;
  EXPECT_EQ(Scan("mam B"), Lines{"mam be <\\x05>"});
}

TEST_F(Scanner, LongRunsOfLettersAreCut) {
  const Lines lines = Scan(std::string(100, 'a'));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string(65, 'a') + " " + std::string(35, 'a'));
}

TEST_F(Scanner, LongSentencesAreCutWithoutLosingLetters) {
  std::string sentence;
  while (sentence.size() < 5000) sentence += "slowo ";
  std::string joined;
  for (const auto& line : Scan(sentence + "koniec.")) joined += line + " ";
  std::string expected;
  for (std::size_t i = 0; i < 5000 / 6 + 1; ++i) expected += "slowo ";
  // Words may be split where a cut falls, but no letter is lost.
  auto letters = [](std::string s) { std::erase(s, ' '); return s; };
  EXPECT_EQ(letters(joined), letters(expected + "koniec <.>"));
  EXPECT_GT(Scan(sentence).size(), 2u);
}

TEST_F(Scanner, DictionaryReplacements) {
  useDictionary = true;
  dictionary.LoadFromText(cp1250::FromUtf8("np. na przykład\nkot pies\nKot Mruczek\nowca owca i baran\n"));
  EXPECT_EQ(Scan("Np. kot. Dalej"), (Lines{"na przykład pies <.>", "Dalej"}));
  EXPECT_EQ(Scan("Kot i KOT"), Lines{"Mruczek i ka o te <\\x05>"});
  EXPECT_EQ(Scan("owca"), Lines{"owca i baran"});
  settings.useExpDict = false;
  EXPECT_EQ(Scan("np. kot"), (Lines{"np <.>", "kot"}));
}

TEST_F(Scanner, ReplacementsMayHoldFiguresAndTags) {
  useDictionary = true;
  dictionary.LoadFromText("tel. telefon 112\nszybko \\Spd=90\\szybko\n");
  EXPECT_EQ(Scan("tel. szybko"), Lines{"telefon sto dwanaście <\\x06> <ctl 7 91> szybko"});
}

}  // namespace
}  // namespace vokar
