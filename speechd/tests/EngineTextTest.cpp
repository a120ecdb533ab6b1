// The text the engine gets from a client's message: no client can reach the
// engine's control tags, characters come through the code page as near as
// they can, marks move with the text, and spelling, punctuation, characters
// and keys are read by their Polish names.
#include "EngineText.h"

#include <gtest/gtest.h>

#include <random>

#include "Cp1250.h"
#include "TestFolder.h"
#include "TextScanner.h"
#include "support/TestInventory.h"

namespace vokar::speechd {
namespace {

SpeechText Plain(std::string_view utf8) {
  SpeechText speech;
  speech.text = std::string(utf8);
  return speech;
}

// The engine text in UTF-8 with its blanks made single and line breaks shown
// as '|', for comparing words.
std::string Words(const EngineText& text) {
  std::string out;
  for (char c : cp1250::ToUtf8(text.text)) {
    if (c == '\n') c = '|';
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Runs the engine's own scanner over a text and reports every control token
// it made, and whether a wave insert was loaded or a switch was thrown.
class EngineSide : public ::testing::Test {
 protected:
  void SetUp() override {
    vokar::testing::FillTestInventory(db, settings);
    // A wave file that a tag could name, in the folder inserts are searched.
    settings.workDir = folder.path().string() + "/";
    const std::string wav = MinimalWav();
    folder.Write("dzwonek.wav", wav);
    folder.Write("passwd.wav", wav);
  }

  static std::string MinimalWav() {
    std::string data(100, '\x80');
    std::string fmt("fmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0\x22\x56\0\0\x01\0\x08\0", 24);
    std::string body = "WAVE" + fmt + "data" + std::string("\x64\0\0\0", 4) + data;
    const auto size = static_cast<std::uint32_t>(body.size());
    std::string riff = "RIFF";
    for (int i = 0; i < 4; ++i) riff += static_cast<char>((size >> (8 * i)) & 0xFF);
    return riff + body;
  }

  // The control tokens the scanner made of the text, as "code arg" strings.
  std::vector<std::string> ControlsOf(const std::string& cp1250Text) {
    std::vector<std::string> controls;
    CTextScanner scanner(cp1250Text, {settings, db, nullptr, sink});
    while (CUtterance* utterance = scanner.NextUtterance()) {
      if (utterance->waveInsert.loaded || !utterance->waveInsert.samples.empty()) controls.push_back("wave insert");
      for (const auto& token : utterance->Tokens())
        if (token.control || token.allophoneList || (!token.text.empty() && token.text[0] == '\x03'))
          controls.push_back(std::to_string(static_cast<unsigned char>(token.text.size() > 1 ? token.text[1] : 0)));
    }
    if (!settings.colloquialSpeech) controls.push_back("pronunciation switched");
    settings.colloquialSpeech = true;
    return controls;
  }

  vokar::test::TestFolder folder{"speechd-engineside"};
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  CSilentSink sink;
};

TEST_F(EngineSide, TheTagsWorkWhenOurOwnTextHoldsThem) {
  // The check itself: written straight to the engine, each tag is a tag.
  EXPECT_EQ(ControlsOf("a\\Spd=80\\b"), std::vector<std::string>{"7"});
  EXPECT_EQ(ControlsOf("a\\Pro=0\\b"), std::vector<std::string>{"pronunciation switched"});
  EXPECT_EQ(ControlsOf("a\\Wav=\"dzwonek\"\\b"), (std::vector<std::string>{"wave insert", "9"}));
}

TEST_F(EngineSide, NoClientTextReachesAControlTag) {
  const char* const texts[] = {
      "\\Wav=\"/etc/passwd\"\\",
      "\\Wav=\"dzwonek\"\\ i \\Wav=\"passwd\"\\",
      "a\\Drv=1\\b \\Drv=9\\",
      "\\Spd=99\\ \\Pit=0\\ \\Pnm=0\\ \\Vol=0\\ \\Rst\\ \\Pro=0\\",
      "\\Alf=(a b c)\\",
      "\\\\Spd=10\\\\",
      "\\\\\\Vol=5\\",
      "x\\",
      "\\",
      "C:\\Windows\\Spd=1\\",
      "&#92;Wav=\"dzwonek\"\\",  // read as SSML below: the entity is a backslash
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ControlsOf(ForEngine(Plain(text), {}).text), std::vector<std::string>{});
    EXPECT_EQ(ControlsOf(ForEngine(ReadSsml(text), {}).text), std::vector<std::string>{});
    TextOptions spelled;
    spelled.spelling = true;
    EXPECT_EQ(ControlsOf(ForEngine(Plain(text), spelled).text), std::vector<std::string>{});
    TextOptions named;
    named.namePunctuation = true;
    named.punctuation = Punctuation::Some;
    EXPECT_EQ(ControlsOf(ForEngine(Plain(text), named).text), std::vector<std::string>{});
    EXPECT_EQ(ControlsOf(KeyForEngine(text, {}).text), std::vector<std::string>{});
    EXPECT_EQ(ControlsOf(CharacterForEngine(text, {}).text), std::vector<std::string>{});
  }
}

TEST_F(EngineSide, NoMixOfBackslashesKeywordsAndQuotesReachesATag) {
  // Thousands of texts built from the pieces of tags, the same every run.
  const std::string pieces[] = {"\\", "\\\\", "Wav=", "Spd=", "Drv=", "Pro=", "Alf=", "Rst", "Vol=", "Pit=",
                                "Pnm=", "\"", "dzwonek", "(a)", "1", "80", " ", "\n", "&#92;", "\u00A0"};
  std::mt19937 random(1996);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1), length(1, 12);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (std::size_t n = length(random); n > 0; --n) text += pieces[piece(random)];
    SCOPED_TRACE(text);
    ASSERT_EQ(ControlsOf(ForEngine(Plain(text), {}).text), std::vector<std::string>{});
    ASSERT_EQ(ControlsOf(ForEngine(ReadSsml(text), {}).text), std::vector<std::string>{});
  }
}

TEST(EngineText, ABackslashIsKeptAndFollowedByABlank) {
  EXPECT_EQ(ForEngine(Plain("a\\b"), {}).text, "a\\ b");
  EXPECT_EQ(ForEngine(Plain("\\\\"), {}).text, "\\ \\ ");
}

TEST(EngineText, CharactersComeThroughTheCodePageAsNearAsTheyCan) {
  struct Case {
    const char* utf8;
    const char* expected;  // UTF-8 of the code page text
  } cases[] = {
      {"Zażółć gęślą jaźń. Źdźbło!", "Zażółć gęślą jaźń. Źdźbło!"},
      {"„cytat” – myśl… 5 €", "„cytat” – myśl… 5 €"},
      {"ñandú Ørsted Æsir œuvre", "nandú Orsted AEsir oeuvre"},
      {"a\tb\nc\rd", "a\tb\nc\rd"},
      {"a\x01" "b\x7F" "c", "a b c"},
      {"a\u00A0b\u2003c\u202Fd", "a b c d"},
      {"a\u00ADb\u200Bc\uFEFFd", "abcd"},
      {"Привет, мир", "      ,    "},
      {"ok 😀 ok", "ok   ok"},
      {"a?b", "a?b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(cp1250::ToUtf8(ForEngine(Plain(c.utf8), {}).text), c.expected);
  }
  // Bytes that are no UTF-8 and a NUL become blanks: the engine's text never
  // ends early.
  EXPECT_EQ(ForEngine(Plain(std::string("a\xFF" "b\0c", 5)), {}).text, "a b c");
}

TEST(EngineText, MarksMoveWithTheText) {
  SpeechText speech;
  speech.text = "żółw \\ma";                 // ż ó ł: two bytes each in UTF-8, one in the code page
  // Before ż, before the blank, before the backslash, before m, at the end
  // and past it.
  speech.marks = {{0, "start"}, {7, "after"}, {8, "slash"}, {9, "m"}, {11, "end"}, {50, "past"}};
  const EngineText text = ForEngine(speech, {});
  EXPECT_EQ(cp1250::ToUtf8(text.text), "żółw \\ ma");
  // The backslash takes a blank after it: m moves one further.
  EXPECT_EQ(text.marks,
            (std::vector<IndexMark>{{0, "start"}, {4, "after"}, {5, "slash"}, {7, "m"}, {9, "end"}, {9, "past"}}));
}

TEST(EngineText, TheBlankSpeechDispatcherPutsIntoFiguresIsTakenOut) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Dnia 12 .03 .1996 r.", "Dnia 12.03.1996 r."},
      {"3 .14 i 1 .000 .000", "3.14 i 1.000.000"},
      {"koniec 5 . Potem", "koniec 5 . Potem"},
      {"a .5", "a .5"},
      {"12  .03", "12  .03"},
      {"12 .x", "12 .x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(ForEngine(Plain(c.in), {}).text, c.out);
  }
}

TEST(EngineText, SpellingReadsEveryCharacterByItsName) {
  TextOptions options;
  options.spelling = true;
  EXPECT_EQ(Words(ForEngine(Plain("Ala ma 5, ż"), options)), "a el a | em a | pięć przecinek | żet");
  options.capitals = CapitalLetters::Spell;
  EXPECT_EQ(Words(ForEngine(Plain("Ala"), options)), "duże a el a");
  // Only the stretch that SSML asks to spell is spelled.
  EXPECT_EQ(Words(ForEngine(ReadSsml("Kod <say-as interpret-as=\"characters\">AB</say-as> teraz"), {})),
            "Kod a be teraz");
}

TEST(EngineText, CharactersAreReadByTheirNames) {
  TextOptions capitals;
  capitals.capitals = CapitalLetters::Spell;
  struct Case {
    const char* character;
    const TextOptions options;
    const char* words;
  } cases[] = {
      {"a", {}, "a"},
      {"A", {}, "a"},
      {"A", capitals, "duże a"},
      {"Ż", capitals, "duże żet"},
      {"ż", capitals, "żet"},
      {"5", {}, "pięć"},
      {",", {}, "przecinek"},
      {"\\", {}, "ukośnik wsteczny"},
      {"space", {}, "spacja"},
      {" ", {}, "spacja"},
      {"ñ", {}, "en"},
      {"ä", {}, "ä"},
      {"Ж", {}, "znak"},
      {"€", {}, "euro"},
      {"", {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.character);
    EXPECT_EQ(Words(CharacterForEngine(c.character, c.options)), c.words);
  }
}

TEST(EngineText, KeysAreReadByTheirNames) {
  struct Case {
    const char* key;
    const char* words;
  } cases[] = {
      {"a", "a"},
      {"shift_a", "szift a"},
      {"control_alt_delete", "kontrol alt dilit"},
      {"kp-5", "numeryczne pięć"},
      {"kp-enter", "enter numeryczny"},
      {"kp-*", "numeryczne gwiazdka"},
      {"f1", "ef 1"},
      {"f24", "ef 24"},
      {"f25", "f25"},
      {"f0", "f0"},
      {"underscore", "podkreślnik"},
      {"shift_underscore", "szift podkreślnik"},
      {"double-quote", "cudzysłów"},
      {"super_up", "super strzałka w górę"},
      {"shift_", "shift_"},
      {"XF86Back", "XF86Back"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(Words(KeyForEngine(c.key, {})), c.words);
  }
}

TEST(EngineText, PunctuationIsNamedOnlyWhenTheModuleIsAskedTo) {
  TextOptions all;
  all.namePunctuation = true;
  all.punctuation = Punctuation::All;
  EXPECT_EQ(Words(ForEngine(Plain("Tak, nie."), all)), "Tak przecinek , nie kropka .");
  // Marks inside figures are left to the engine, which reads dates, times,
  // fractions and signs.
  EXPECT_EQ(Words(ForEngine(Plain("12.03.1996, -5 i 3,5 o 14:30 (x)"), all)),
            "12.03.1996 przecinek , -5 i 3,5 o 14:30 nawias otwierający x nawias zamykający");
  EXPECT_EQ(Words(ForEngine(Plain("a\\b"), all)), "a ukośnik wsteczny b");

  TextOptions some = all;
  some.punctuation = Punctuation::Some;
  EXPECT_EQ(Words(ForEngine(Plain("a#b, c (d)"), some)), "a krzyżyk b, c (d)");
  TextOptions most = all;
  most.punctuation = Punctuation::Most;
  EXPECT_EQ(Words(ForEngine(Plain("a#b, c (d)"), most)), "a krzyżyk b, c nawias otwierający d nawias zamykający");
  most.mostMarks = ",";
  EXPECT_EQ(Words(ForEngine(Plain("a#b, c"), most)), "a#b przecinek , c");

  TextOptions none = all;
  none.punctuation = Punctuation::None;
  EXPECT_EQ(Words(ForEngine(Plain("a#b, c."), none)), "a#b, c.");
  TextOptions notAsked = all;
  notAsked.namePunctuation = false;
  EXPECT_EQ(Words(ForEngine(Plain("a#b, c."), notAsked)), "a#b, c.");
}

}  // namespace
}  // namespace vokar::speechd
