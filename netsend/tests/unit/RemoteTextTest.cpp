// Wave-insert tags never reach the server in a text from another computer;
// the rest of the text is read as sent.
#include <gtest/gtest.h>

#include "RemoteText.h"

namespace {

using vokar::netdde::RemoveWaveInserts;

TEST(RemoteText, WaveInsertTagsAreTakenOutAndNothingElse) {
  struct Case {
    std::string in;
    std::string out;
    std::size_t removed;
  };
  const Case cases[] = {
      {"Ala ma kota.", "Ala ma kota.", 0},
      {"\\Wav=\"dzwonek\"\\Obiad.", " Obiad.", 1},
      {"Uwaga \\Wav=\"/etc/shadow\"\\ koniec", "Uwaga   koniec", 1},
      {"\\wav=\"x\"\\ i \\WAV=\"y\"\\", "  i  ", 2},
      // No closing backslash: the rest of the text goes with it.
      {"Raz \\Wav=\"x", "Raz  ", 1},
      // Other tags stay.
      {"\\Spd=60\\Szybko \\Rst\\", "\\Spd=60\\Szybko \\Rst\\", 0},
      {"\\Alf=(a b)\\\\Wav=\"z\"\\", "\\Alf=(a b)\\ ", 1},
      // A backslash alone, or a keyword without its backslash, is text.
      {"a\\b Wav=\"x\"", "a\\b Wav=\"x\"", 0},
      // Taking one tag out never joins what is left into another.
      {"\\Wa\\Wav=\"x\"\\v=\"y\"\\", "\\Wa v=\"y\"\\", 1},
      {"\\\\Wav=\"x\"\\Wav=\"y\"\\", "\\ Wav=\"y\"\\", 1},
      {std::string("A\0\\Wav=\"x\"\\", 11), std::string("A\0 ", 3), 1},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    EXPECT_EQ(RemoveWaveInserts(text), c.removed) << c.in;
    EXPECT_EQ(text, c.out) << c.in;
    // Nothing that the server would take for a wave insert is left.
    EXPECT_EQ(text.find("\\Wav="), std::string::npos);
  }
}

}  // namespace
