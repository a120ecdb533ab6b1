// The typing buffer: where words and sentences start, what whole-word reading
// says when, deletions, the sliding window and its limits, loading clipboard
// text, the delayed reading and the retries after a refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KlavoEngine.h"
#include "RecordingHost.h"

namespace {

using vokar::keyboard::CKlavoEngine;
using vokar::keyboard::Interrupt;
using vokar::keyboard::NumberSeparators;
using vokar::keyboard::Sound;
using vokar::keyboard::TypingBuffer;
using vokar::keyboard::testing::RecordingHost;

const std::string kSpace = " \\Alf=(space)\\ ";
const std::string kCr = " \\Alf=(cr)\\ ";
const std::string kClear = "\\Alf=(clear)\\\\Alf=(p010)\\";

class TypingBufferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine_.Init(2, 0, NumberSeparators{}));
    // Keys typed into another program.
    engine_.SetOwnApplicationActive(false);
  }
  TypingBuffer& buffer() { return engine_.buffer(); }
  void Type(const std::string& text, std::uint32_t flags = 0) {
    for (const char c : text) engine_.OnKeyEvent(static_cast<unsigned char>(c), flags);
  }
  void Backspace(std::uint32_t flags = 0) { engine_.OnKeyEvent(8, flags); }
  void Ticks(int count) {
    for (int i = 0; i < count; ++i) engine_.OnTimer();
  }
  // A buffer that holds exactly this text.
  void Holding(const std::string& text) {
    host_.sounds[Sound::Separator] = false;
    host_.sounds[Sound::CR] = false;
    host_.refuseAll = true;
    Type(text);
    host_.refuseAll = false;
    host_.sounds.clear();
    host_.Forget();
  }

  RecordingHost host_;
  CKlavoEngine engine_{host_};
};

struct RuleCase {
  std::string text;
  std::int32_t position;
  std::int32_t expected;
};

TEST_F(TypingBufferTest, WordAndSentenceStarts) {
  const std::vector<RuleCase> wordStarts = {
      {"", 0, 0},
      {"kot", 3, 0},
      {"ala kot", 7, 4},
      {"ala kot  ", 9, 4},      // blanks skipped
      {"ala kot,", 8, 7},       // a mark standing last is the last word
      {"cena 3,5", 8, 5},       // the decimal comma keeps the number whole
      {"dnia 12/05", 10, 5},    // so does the date separator
      {"rok 1.000", 9, 4},      // and the thousands separator
      {"a,b", 3, 2},            // a comma between letters ends a word
      {"\xB9 \xE6ma", 5, 2},  // ą ćma
  };
  for (const auto& c : wordStarts) {
    Holding(c.text);
    EXPECT_EQ(buffer().WordStart(c.position, true), c.expected) << "'" << c.text << "'";
    engine_.buffer().Reset(false);
  }
  // Without skipping blanks the blank itself ends the word.
  Holding("ala kot ");
  EXPECT_EQ(buffer().WordStart(8, false), 7);
  EXPECT_EQ(buffer().WordStart(6, false), 4);
  buffer().Reset(false);

  const std::vector<RuleCase> sentenceStarts = {
      {"", 0, 0},
      {"Ala ma kota. Kot ma Ale", 23, 12},  // from the blank after the point
      {"Ala ma kota. Kot", 16, 12},
      {"Ala ma kota.  ", 14, 0},   // marks and blanks at the end belong to it
      {"Koszt 3.50 zl", 13, 0},    // a number's point ends no sentence
      {"Co? Nic!", 8, 3},
      {"A", 1, 0},
  };
  for (const auto& c : sentenceStarts) {
    Holding(c.text);
    EXPECT_EQ(buffer().SentenceStart(c.position), c.expected) << "'" << c.text << "'";
    buffer().Reset(false);
  }
  Holding("Jeden.\rDwa");
  EXPECT_EQ(buffer().SentenceStart(10), 7) << "CR ends a sentence";
  buffer().Reset(false);

  const std::vector<RuleCase> wordLefts = {
      {"abc def", 7, 3}, {"abc ,", 5, 3}, {"abc", 3, 0}, {"abc   ", 6, 0}, {"a\tb", 3, 2}, {"a\t", 2, 1},
      {"ab,,cd", 6, 4},  {"x ...", 5, 1},
  };
  for (const auto& c : wordLefts) {
    Holding(c.text);
    EXPECT_EQ(buffer().WordLeft(c.position), c.expected) << "'" << c.text << "'";
    buffer().Reset(false);
  }
}

TEST_F(TypingBufferTest, WholeWordsAreReadAtTheBlankAfterThem) {
  // The comma ends the word without reading it; the blank reads both.
  Type("Ala,");
  EXPECT_TRUE(host_.attempts.empty());
  Type(" ");
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"Ala," + kSpace});
  EXPECT_EQ(host_.spoken[0].interrupt, Interrupt::No);

  host_.Forget();
  host_.sounds[Sound::Separator] = false;
  Type("ma kota\r");
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{"ma ", "kota" + kCr}));

  host_.Forget();
  host_.sounds[Sound::CR] = false;
  Type("3,5 12/05 ");
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{"3,5 ", "12/05 "}));

  // Line feeds (Ctrl+Enter) are never stored.
  host_.Forget();
  const auto before = buffer().length;
  engine_.OnKeyEvent(10, 2);
  EXPECT_EQ(buffer().length, before);
}

TEST_F(TypingBufferTest, LocaleSeparatorsDecide) {
  ASSERT_TRUE(engine_.Init(2, 0, NumberSeparators{'.', ' ', '-'}));
  Holding("3,5");
  EXPECT_EQ(buffer().WordStart(3, true), 2) << "a comma is no decimal point here";
  buffer().Reset(false);
  Holding("12-05");
  EXPECT_EQ(buffer().WordStart(5, true), 0);
  buffer().Reset(false);
  // A blank that groups thousands ends no word: the number is read with the
  // word after it.
  host_.sounds[Sound::Separator] = false;
  Type("12 kot ");
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{"12 kot "}));
  // A locale without a date separator.
  ASSERT_TRUE(engine_.Init(2, 0, NumberSeparators{',', '.', 0}));
  Holding("12/05");
  EXPECT_EQ(buffer().WordStart(5, true), 3);
}

TEST_F(TypingBufferTest, AltAndControlCharacters) {
  Type("a", 4);  // Alt+A
  EXPECT_EQ(buffer().length, 0);
  engine_.OnKeyEvent(0xB9, 6);  // AltGr+a: ą
  EXPECT_EQ(buffer().Text(), "\xB9");
  engine_.OnKeyEvent(3, 2);  // Ctrl+C
  engine_.OnKeyEvent(27, 0);
  EXPECT_EQ(buffer().Text(), "\xB9");
  engine_.OnKeyEvent('b', 2);  // a letter with Ctrl alone counts
  EXPECT_EQ(buffer().Text(), "\xB9" "b");
  engine_.OnKeyEvent(0, 0);  // key byte 0
  EXPECT_EQ(buffer().length, 2);
}

TEST_F(TypingBufferTest, BackspaceReadsTheWordThatNowEndsTheText) {
  Backspace();
  EXPECT_TRUE(host_.attempts.empty()) << "nothing to delete";
  EXPECT_EQ(buffer().length, 0);

  Type("kot pies");
  host_.Forget();
  Backspace();
  ASSERT_EQ(host_.spoken.size(), 1u);
  EXPECT_EQ(host_.spoken[0].text, "pie");
  EXPECT_EQ(host_.spoken[0].interrupt, Interrupt::Yes);
  EXPECT_EQ(buffer().Text(), "kot pie");

  // Alt+Backspace does nothing.
  host_.Forget();
  Backspace(4);
  EXPECT_EQ(buffer().Text(), "kot pie");
  EXPECT_TRUE(host_.attempts.empty());

  // Ctrl+Backspace in mode 0 keeps the text and reads the word again.
  Backspace(2);
  EXPECT_EQ(buffer().Text(), "kot pie");
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"pie"});

  // No delayed reading follows a deletion.
  host_.Forget();
  Ticks(20);
  EXPECT_TRUE(host_.attempts.empty());
}

TEST_F(TypingBufferTest, CtrlBackspaceDeletesAWordInMode1) {
  for (const int mode : {0, 1, 2}) {
    ASSERT_TRUE(engine_.Init(2, mode, NumberSeparators{}));
    Holding("abc def");
    Backspace(2);
    EXPECT_EQ(buffer().Text(), mode == 1 ? "abc" : "abc def") << "mode " << mode;
  }
  ASSERT_TRUE(engine_.Init(2, 1, NumberSeparators{}));
  Holding("abc ,");
  Backspace(2);
  EXPECT_EQ(buffer().Text(), "abc");
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"abc"});
  // Out-of-range settings are limited.
  ASSERT_TRUE(engine_.Init(0, 7, NumberSeparators{}));
  EXPECT_EQ(buffer().delayTime, 1);
  EXPECT_EQ(buffer().ctrlBackMode, 2);
  ASSERT_TRUE(engine_.Init(11, -1, NumberSeparators{}));
  EXPECT_EQ(buffer().delayTime, 10);
  EXPECT_EQ(buffer().ctrlBackMode, 0);
}

TEST_F(TypingBufferTest, DeletedWordsLeaveThePending) {
  host_.refuseAll = true;
  Type("raz dwa ");
  EXPECT_EQ(buffer().pendingStart, 0);
  EXPECT_EQ(buffer().pendingEnd, 8);
  Backspace();
  Backspace();
  Backspace();
  EXPECT_EQ(buffer().pendingEnd, 5);
  Backspace();
  Backspace();
  EXPECT_EQ(buffer().pendingEnd, 3);
  host_.refuseAll = false;
  host_.Forget();
  Ticks(1);
  // The deletion's reading (refused before) comes first, then the rest of
  // the finished words.
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{"raz", "raz"}));
}

TEST_F(TypingBufferTest, DelayedReadingOfAnUnfinishedWord) {
  Type("kot");
  Ticks(7);
  EXPECT_TRUE(host_.attempts.empty()) << "1.75 s after the key";
  Ticks(1);
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"kot"}) << "2 s after the key";
  Ticks(40);
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"kot"}) << "once per pause";

  host_.Forget();
  Type(" ");
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"kot" + kSpace});
  host_.Forget();
  Ticks(40);
  EXPECT_TRUE(host_.attempts.empty()) << "a finished word is not read again";

  // A longer pause setting, and DelayedTalk off.
  ASSERT_TRUE(engine_.Init(10, 0, NumberSeparators{}));
  Type("pies");
  Ticks(39);
  EXPECT_TRUE(host_.attempts.empty());
  Ticks(1);
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"pies"});
  host_.Forget();
  host_.delayedTalk = false;
  Type("ek");
  Ticks(60);
  EXPECT_TRUE(host_.attempts.empty());
}

TEST_F(TypingBufferTest, ADelayedWordTheServerRefusesIsTriedAgainUntilTaken) {
  Type("kot");
  Ticks(7);
  // The server reads something else for the next three ticks.
  host_.results = {1, 1, -1};
  Ticks(1);
  EXPECT_EQ(host_.attempts.size(), 1u) << "2 s after the key";
  EXPECT_TRUE(host_.spoken.empty());
  Ticks(2);
  EXPECT_EQ(host_.attempts.size(), 3u) << "once a tick while refused";
  EXPECT_TRUE(host_.spoken.empty());
  Ticks(1);
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"kot"});
  EXPECT_EQ(host_.spoken[0].interrupt, Interrupt::No);
  Ticks(40);
  EXPECT_EQ(host_.attempts.size(), 4u) << "once taken, never again in this pause";

  // Typing on while the word waits: the wait ends; the longer word comes
  // after its own pause.
  host_.Forget();
  host_.results = {1};
  Type("k");
  Ticks(8);
  EXPECT_EQ(host_.attempts.size(), 1u);
  Type("i");
  Ticks(7);
  EXPECT_EQ(host_.attempts.size(), 1u) << "the refused word is not tried after a key";
  Ticks(1);
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"kotki"});

  // Turned off while it waits: dropped.
  host_.Forget();
  host_.results = {1};
  Type("em");
  Ticks(8);
  host_.delayedTalk = false;
  Ticks(10);
  EXPECT_EQ(host_.attempts.size(), 1u);
  EXPECT_TRUE(host_.spoken.empty());
}

TEST_F(TypingBufferTest, RefusedTextIsTriedAgainAtTheNextTick) {
  host_.results = {1};
  Type("dom ");
  EXPECT_TRUE(host_.spoken.empty());
  EXPECT_EQ(buffer().pendingStart, 0);
  Ticks(1);
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{"dom" + kSpace});
  EXPECT_EQ(buffer().pendingStart, 4);

  // The last-word and last-sentence requests stay until the server takes
  // them.
  host_.Forget();
  host_.results = {-1, 1};
  engine_.LastWord();
  engine_.LastSentence();
  EXPECT_EQ(buffer().lastWordRequests, 1);
  EXPECT_EQ(buffer().lastSentenceRequests, 1);
  Ticks(1);
  EXPECT_EQ(buffer().lastWordRequests, 0);
  EXPECT_EQ(buffer().lastSentenceRequests, 1);
  Ticks(1);
  EXPECT_EQ(buffer().lastSentenceRequests, 0);
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{"dom" + kSpace, "dom" + kSpace}));
  EXPECT_EQ(host_.spoken[1].interrupt, Interrupt::Yes);
}

TEST_F(TypingBufferTest, NothingToSayIsDoneAtOnce) {
  // A request on an empty buffer does not wait for ever and does not read
  // the first word typed afterwards.
  engine_.LastWord();
  engine_.LastSentence();
  EXPECT_TRUE(host_.attempts.empty());
  EXPECT_EQ(buffer().lastWordRequests, 0);
  EXPECT_EQ(buffer().lastSentenceRequests, 0);
  host_.delayedTalk = false;
  Type("kot");
  Ticks(3);
  EXPECT_TRUE(host_.attempts.empty());
  // Deleting the last character leaves nothing to read.
  Backspace();
  Backspace();
  Backspace();
  host_.Forget();
  Ticks(3);
  EXPECT_TRUE(host_.attempts.empty());
  EXPECT_EQ(buffer().lastTyped, 0);
}

TEST_F(TypingBufferTest, WindowSlidesBy256AtItsEnd) {
  host_.sounds[Sound::Separator] = false;
  std::string text;
  for (int i = 0; i < 4094; ++i) text += static_cast<char>('a' + i % 26);
  host_.refuseAll = true;
  Type(text);
  EXPECT_EQ(buffer().base, 0);
  EXPECT_EQ(buffer().length, 4094);
  Type("X");
  EXPECT_EQ(buffer().base, 256);
  EXPECT_EQ(buffer().length, 4095);
  EXPECT_EQ(buffer().CharAt(256), static_cast<unsigned char>('a' + 256 % 26));
  EXPECT_EQ(buffer().CharAt(4093), static_cast<unsigned char>('a' + 4093 % 26));
  EXPECT_EQ(buffer().CharAt(4094), 'X');
  EXPECT_EQ(buffer().CharAt(255), 0) << "below the window";
  EXPECT_EQ(buffer().Text().size(), 4095u - 256u);
  EXPECT_EQ(buffer().WordStart(4095, true), 256) << "a word never starts below the window";
}

TEST_F(TypingBufferTest, WordsThatFellBehindTheWindowAreNotReadFromOutsideIt) {
  // The server cannot be reached while the user types more than the window
  // holds: the pending words start below the window.
  host_.refuseAll = true;
  host_.sounds[Sound::Separator] = false;
  std::string words;
  for (int i = 0; words.size() < 3990; ++i) words += "slowo" + std::to_string(i) + " ";
  Type(words);
  ASSERT_EQ(buffer().base, 0);
  EXPECT_EQ(buffer().pendingStart, 0);
  EXPECT_EQ(buffer().pendingEnd, static_cast<std::int32_t>(words.size()));
  // A long word slides the window twice before the next blank.
  Type(std::string(600, 'x'));
  ASSERT_EQ(buffer().base, 512);
  ASSERT_LT(buffer().pendingStart, buffer().base);
  const std::string expected = buffer().Text().substr(0, static_cast<std::size_t>(buffer().pendingEnd - 512));
  host_.refuseAll = false;
  Ticks(1);
  ASSERT_EQ(host_.spoken.size(), 1u);
  EXPECT_EQ(host_.spoken[0].text, expected) << "the finished words still in the window, nothing from outside it";
  EXPECT_EQ(buffer().pendingStart, buffer().pendingEnd);
}

TEST_F(TypingBufferTest, LengthLimitStartsAgainWithTheClearingSound) {
  buffer().StartAt(TypingBuffer::kMaxLength);
  Type("a");
  EXPECT_EQ(buffer().length, TypingBuffer::kMaxLength + 1) << "the limit itself is still taken";
  EXPECT_EQ(buffer().base, TypingBuffer::kMaxLength);
  EXPECT_TRUE(host_.attempts.empty());
  Type("b");
  EXPECT_EQ(buffer().length, 1) << "past the limit the buffer starts again";
  EXPECT_EQ(buffer().base, 0);
  EXPECT_EQ(buffer().Text(), "b");
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{kClear});
}

TEST_F(TypingBufferTest, ClearAndLoad) {
  Type("kot");
  engine_.ClearBuffer();
  EXPECT_EQ(host_.breaks, 1);
  EXPECT_EQ(buffer().length, 0);
  EXPECT_EQ(host_.Texts(), std::vector<std::string>{kClear});
  host_.Forget();
  host_.sounds[Sound::ClearBuffer] = false;
  engine_.ClearBuffer();
  EXPECT_TRUE(host_.attempts.empty());

  // Loaded text is read only on request; LF line ends become CR LF and a
  // final line end is cut off.
  engine_.LoadBuffer(std::string("Pierwsze zdanie.\nDrugie zdanie\n"));
  EXPECT_EQ(buffer().Text(), "Pierwsze zdanie.\r\nDrugie zdanie");
  EXPECT_EQ(buffer().pendingStart, buffer().length);
  EXPECT_EQ(buffer().lastTyped, buffer().length);
  Ticks(20);
  EXPECT_TRUE(host_.attempts.empty());
  engine_.LastSentence();
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{"\nDrugie" + kSpace + "zdanie"}));
  // Backspace takes a CR LF pair at once.
  engine_.LoadBuffer(std::string("raz\r\n\r\n"));
  EXPECT_EQ(buffer().Text(), "raz\r\n");
  Backspace();
  EXPECT_EQ(buffer().Text(), "raz");
  // No text on the clipboard: the buffer stays.
  engine_.LoadBuffer(std::nullopt);
  EXPECT_EQ(buffer().Text(), "raz");
}

TEST_F(TypingBufferTest, LoadKeepsTheLast2047CharactersOfTextsUpTo4091) {
  struct LoadCase {
    std::size_t size;
    std::size_t kept;
  };
  for (const LoadCase c : {LoadCase{2046, 2046}, {2047, 2047}, {2048, 2047}, {4091, 2047}, {4092, 0}, {9000, 0}}) {
    std::string text;
    for (std::size_t i = 0; i < c.size; ++i) text += static_cast<char>('a' + i % 26);
    engine_.LoadBuffer(text);
    EXPECT_EQ(static_cast<std::size_t>(buffer().length), c.kept) << c.size;
    if (c.kept > 0) {
      EXPECT_EQ(buffer().Text(), text.substr(c.size - c.kept)) << c.size;
    }
  }
}

TEST_F(TypingBufferTest, SeparatorExpansionStopsAtTheScratchsEnd) {
  // 1100 blanks become 1100 tags of 15 bytes: only the pieces that fit into
  // the 16000-byte scratch with its terminator go.
  Holding(std::string(1100, ' '));
  EXPECT_EQ(buffer().SpeakRange(0, 1100, Interrupt::No, true), 0);
  ASSERT_EQ(host_.spoken.size(), 1u);
  EXPECT_EQ(host_.spoken[0].text.size(), 1066u * 15u);
  host_.Forget();
  // A range is kept inside the window at both ends.
  host_.sounds[Sound::Separator] = false;
  EXPECT_EQ(buffer().SpeakRange(-5, 3, Interrupt::No, false), 0);
  EXPECT_TRUE(host_.attempts.empty()) << "wholly below the window: nothing";
  EXPECT_EQ(buffer().SpeakRange(-5, 8, Interrupt::No, false), 0);
  EXPECT_EQ(buffer().SpeakRange(1098, 10, Interrupt::No, false), 0);
  EXPECT_EQ(host_.Texts(), (std::vector<std::string>{"   ", "  "}));
}

TEST_F(TypingBufferTest, DisplayTailShowsTheLast128Characters) {
  Holding("ab\rc\td");
  EXPECT_EQ(buffer().Tail(), "ab c d");
  buffer().Reset(false);
  std::string text;
  for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 26);
  Holding(text);
  EXPECT_EQ(buffer().Tail(), text.substr(172));
}

}  // namespace
