// The echo engine: keys spoken by name in echo mode, the key-name and sound
// queues with their cap of six and their retries, key events and ticks that
// arrive while a Speak waits, the desynchronisation sound, the key-name
// strings, and the program's own window being active.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "KeyNames.h"
#include "KlavoEngine.h"
#include "RecordingHost.h"

namespace {

using namespace vokar::keyboard;
using vokar::keyboard::testing::RecordingHost;

const std::string kPause = "\\Alf=(p010)\\";

std::string Echoed(std::initializer_list<const char*> allophones) {
  std::string text;
  for (const char* a : allophones) text += std::string("\\Alf=") + a + "\\" + kPause;
  return text;
}

class EchoEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine_.Init(2, 0, NumberSeparators{}));
    engine_.SetOwnApplicationActive(false);
    host_.echo = true;
  }
  void Char(unsigned char c, std::uint32_t flags = 0) { engine_.OnKeyEvent(c, flags); }
  void Virtual(unsigned key, std::uint32_t flags = 0) { engine_.OnKeyEvent(key, flags | kKeyVirtual); }

  RecordingHost host_;
  CKlavoEngine engine_{host_};
};

TEST_F(EchoEngineTest, KeysAreSpokenByName) {
  Char(0xA5);  // Ą
  Char(0xB9);  // ą
  Char(0xF3);  // ó is spoken as U
  Char('7');
  Char('q');
  Char(',');
  Char(0xA3);  // Ł
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{Echoed({"(aan)"}), Echoed({"(aan)"}), Echoed({"(u_)"}),
                                                     Echoed({"(si-iee-d-e-m_)"}), Echoed({"(k-u_)"}), "przecinek" + kPause,
                                                     Echoed({"(ee-ll_)"})}));
  host_.Forget();
  // Shift, Ctrl and Alt alone say nothing; other keys by their number.
  Virtual(16);
  Virtual(17);
  Virtual(18);
  Virtual(27);
  Virtual(40);
  Virtual(113);
  Virtual(102);  // keypad 6
  Virtual(200);  // a key number that has the table's entry for >
  Virtual(230);  // and one past the table
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{Echoed({"(e-s-k-ee-jj-p)"}), "d\xF3\xB3" + kPause, "ef2" + kPause,
                                                     Echoed({"(sz-ee-si-ci)"}), "wi\xEA" "cej" + kPause}));
}

TEST_F(EchoEngineTest, BlanksAndEnterOnlyWithTheirSounds) {
  Char(' ');
  Char('\t');
  Char('\r');
  Char(8);
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{Echoed({"(space)"}), Echoed({"(space)"}), Echoed({"(cr)"}),
                                                     "kasuj" + kPause}));
  host_.Forget();
  host_.sounds[Sound::Separator] = false;
  host_.sounds[Sound::CR] = false;
  Char(' ');
  Char('\t');
  Char('\r');
  Char(0xA7);  // the paragraph sign: no character gives "paragraf"
  Char(0x80);  // the euro sign has no name
  EXPECT_TRUE(host_.attempts.empty());
}

TEST_F(EchoEngineTest, TheBufferFollowsWithoutReading) {
  Char('k');
  Char('o');
  Char('t');
  Char(' ');
  EXPECT_EQ(engine_.buffer().Text(), "kot ");
  for (const auto& spoken : host_.attempts) EXPECT_EQ(spoken.text.find("kot"), std::string::npos);
  // Switched to whole-word reading, the next tick reads the finished word.
  host_.Forget();
  host_.echo = false;
  engine_.OnTimer();
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{"kot \\Alf=(space)\\ "}));
}

TEST_F(EchoEngineTest, EightKeysWhileTheServerSpeaksGiveTheLastSix) {
  host_.refuseAll = true;
  for (const char c : std::string("abcdefgh")) Char(static_cast<unsigned char>(c));
  EXPECT_EQ(host_.attempts.size(), 8u) << "each key is tried at once";
  EXPECT_TRUE(host_.spoken.empty());
  ASSERT_EQ(engine_.keyQueue().size(), 6u);
  engine_.OnTimer();
  EXPECT_TRUE(host_.spoken.empty()) << "still speaking";
  host_.refuseAll = false;
  engine_.OnTimer();
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{Echoed({"(c-e_)", "(d-e_)", "(e_)", "(ee-f)", "(gi-j-ie_)",
                                                             "(h-a_)"})}));
  EXPECT_TRUE(engine_.keyQueue().empty());
  host_.Forget();
  engine_.OnTimer();
  EXPECT_TRUE(host_.attempts.empty()) << "nothing is said twice";
}

TEST_F(EchoEngineTest, KeysThatComeWhileSpeakWaitsStayQueued) {
  // While the first key's Speak waits, two more keys and a tick arrive: the
  // nested flush is turned away, the new keys stay for the next tick.
  host_.duringSpeak = [this] {
    Char('b');
    Char('c');
    EXPECT_EQ(engine_.keyQueue().Flush(host_), 1) << "a flush already waits";
  };
  Char('a');
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{Echoed({"(a_)"})}));
  ASSERT_EQ(engine_.keyQueue().size(), 2u);
  EXPECT_FALSE(engine_.keyQueue().items()[0].sent);
  engine_.OnTimer();
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{Echoed({"(a_)"}), Echoed({"(b-e_)", "(c-e_)"})}));

  // So many keys come during a Speak that the ones being sent are dropped:
  // nothing that was not sent goes with them.
  host_.Forget();
  host_.duringSpeak = [this] {
    for (const char c : std::string("1234567")) Char(static_cast<unsigned char>(c));
  };
  Char('x');
  ASSERT_EQ(engine_.keyQueue().size(), 6u);
  engine_.OnTimer();
  EXPECT_EQ(host_.Texts().back(), Echoed({"(d-w-a-a_)", "(t-sz-y-y_)", "(cz-t-ee-r-y_)", "(pi-j-iee-ni-ci)",
                                          "(sz-ee-si-ci)", "(si-iee-d-e-m_)"}));
}

TEST_F(EchoEngineTest, SoundsQueueAndRetry) {
  host_.echo = false;
  host_.results = {1};
  engine_.SayTag(kOnTag);
  EXPECT_TRUE(host_.spoken.empty());
  engine_.SayTag(kEchoTag);
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{std::string(kOnTag) + kPause + kEchoTag + kPause}));
  host_.Forget();
  engine_.OnTimer();
  EXPECT_TRUE(host_.attempts.empty());
  for (int i = 0; i < 9; ++i) engine_.soundQueue().Add("\\Alf=(p00" + std::to_string(i) + ")\\");
  EXPECT_EQ(engine_.soundQueue().size(), 6u);
  EXPECT_EQ(engine_.soundQueue().items().front().text, "\\Alf=(p003)\\");
}

TEST_F(EchoEngineTest, DesynchronisationSoundOncePerReset) {
  host_.echo = false;
  Virtual(33);  // Page Up
  Virtual(34);
  Virtual(46);
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{std::string(kDesyncTag) + kPause}));
  host_.Forget();
  engine_.ClearBuffer();
  host_.Forget();
  Virtual(20);  // CapsLock moves nothing
  Virtual(41);
  Virtual(32);
  EXPECT_TRUE(host_.attempts.empty());
  Virtual(40);  // Down
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{std::string(kDesyncTag) + kPause}));
  host_.Forget();
  engine_.ClearBuffer();
  host_.sounds[Sound::Desynchro] = false;
  host_.Forget();
  Virtual(37);
  EXPECT_TRUE(host_.attempts.empty());
  EXPECT_TRUE(engine_.buffer().inSync) << "a sound that is off does not use up the first movement";
}

TEST_F(EchoEngineTest, NothingWhileTheProgramsOwnWindowIsActive) {
  engine_.SetOwnApplicationActive(true);
  Char('a');
  Virtual(27);
  host_.echo = false;
  Char('k');
  Char(' ');
  EXPECT_TRUE(host_.attempts.empty());
  EXPECT_EQ(engine_.buffer().length, 0);
  engine_.SetOwnApplicationActive(false);
  Char('k');
  EXPECT_EQ(engine_.buffer().length, 1);
}

TEST(KeyNames, TableAndStrings) {
  // 125 strings, every one used, named 6144-6268.
  std::set<int> used;
  for (int type = 0; type < kKeyTypes; ++type) used.insert(KeyNameStringId(type));
  EXPECT_EQ(used.size(), 125u);
  EXPECT_EQ(*used.begin(), 6144);
  EXPECT_EQ(*used.rbegin(), 6268);
  EXPECT_EQ(KeyNameStringId(-1), 0);
  EXPECT_EQ(KeyNameStringId(217), 0);
  EXPECT_EQ(KeyNameString(6143), "");
  EXPECT_EQ(KeyNameString(6269), "");
  EXPECT_EQ(KeyNameString(6144), "(p003)");
  EXPECT_EQ(KeyNameString(6268), "(ee-t)");

  const KeyNameTable table;
  struct Entry {
    int type;
    std::string text;
  };
  const std::vector<Entry> entries = {
      {1, "\\Alf=(p003)\\"},         {2, "\\Alf=(p003)\\"},       {3, "kansel"},
      {4, "\\Alf=(p003)\\"},         {8, "kasuj"},                {9, "\\Alf=(space)\\"},
      {12, "czy\x9C\xE6"},           {13, "\\Alf=(cr)\\"},        {31, "\\Alf=(p003)\\"},
      {32, "\\Alf=(space)\\"},       {36, "pocz\xB9tek"},         {46, "kasuj"},
      {47, "pomoc"},                 {48, "\\Alf=(z-ee-r-o_)\\"}, {57, "\\Alf=(dzi-iee-wi-ie-ni-ci)\\"},
      {58, "\\Alf=(p003)\\"},        {64, "\\Alf=(p003)\\"},      {65, "\\Alf=(a_)\\"},
      {90, "\\Alf=(z-ee-t)\\"},      {91, "\\Alf=(p003)\\"},      {96, "\\Alf=(z-ee-r-o_)\\"},
      {105, "\\Alf=(dzi-iee-wi-ie-ni-ci)\\"},                     {106, "mn\xF3sz"},
      {111, "\\Alf=(dzi-iee-l)\\"},  {112, "ef1"},                {123, "ef12"},
      {124, "\\Alf=(p003)\\"},       {143, "\\Alf=(p003)\\"},     {144, "\\Alf=(n-uu-m-l-o-k)\\"},
      {145, "\\Alf=(s-k-r-oo-l-p010-l-o-k)\\"},                   {146, "\\Alf=(p003)\\"},
      {175, "\\Alf=(p003)\\"},       {176, "\\Alf=(aan)\\"},      {183, "\\Alf=(rz-ee-t)\\"},
      {186, "cudzys\xB3\xF3w"},      {187, "paragraf"},           {195, "lewy nawias"},
      {203, "apostrof"},             {204, "apostrof"},           {208, "\x9Crednik"},
      {211, "pa\xB3ka"},             {216, "\\Alf=(ee-t)\\"},
  };
  for (const auto& e : entries) EXPECT_EQ(table.Text(e.type), e.text) << e.type;
  EXPECT_EQ(table.Text(0), "");
  EXPECT_EQ(table.Text(217), "");

  // Characters to key types.
  struct CharCase {
    unsigned char c;
    int type;
  };
  for (const CharCase c : {CharCase{'a', 65}, {'A', 65}, {'z', 90}, {'0', 48}, {'9', 57}, {0xB9, 176}, {0xA5, 176},
                           {0xE6, 177}, {0xC6, 177}, {0xEA, 178}, {0xB3, 179}, {0xA3, 179}, {0xF1, 180},
                           {0x9C, 181}, {0x8C, 181}, {0x9F, 182}, {0xBF, 183}, {0xAF, 183}, {0xF3, 85}, {0xD3, 85},
                           {'_', 184}, {'!', 185}, {'"', 186}, {0xA7, 0}, {'$', 188}, {'@', 216}, {'`', 204},
                           {'\'', 203}, {'|', 211}, {8, 8}, {'\t', 9}, {'\r', 13}, {' ', 32}, {'\n', 0},
                           {0xE9, 0}, {0x80, 0}, {0, 0}}) {
    EXPECT_EQ(KeyTypeOfCharacter(c.c, true, true), c.type) << static_cast<int>(c.c);
  }
  EXPECT_EQ(KeyTypeOfCharacter(' ', false, true), 0);
  EXPECT_EQ(KeyTypeOfCharacter('\t', false, true), 0);
  EXPECT_EQ(KeyTypeOfCharacter('\r', true, false), 0);
}

}  // namespace
