// The SSML reader: the words, where the marks stand, what is spelled, and
// that nothing in a message can reach past its text.
#include "Ssml.h"

#include <gtest/gtest.h>

namespace vokar::speechd {
namespace {

// The text with each mark written in at its place as [name] and each spelled
// stretch in braces.
std::string Show(const SpeechText& speech) {
  std::string out;
  std::size_t mark = 0, span = 0;
  for (std::size_t i = 0; i <= speech.text.size(); ++i) {
    if (span < speech.spelled.size() && speech.spelled[span].end == i) {
      out += '}';
      ++span;
    }
    while (mark < speech.marks.size() && speech.marks[mark].offset == i) out += "[" + speech.marks[mark++].name + "]";
    if (span < speech.spelled.size() && speech.spelled[span].begin == i) out += '{';
    if (i < speech.text.size()) out += speech.text[i];
  }
  return out;
}

std::string Read(std::string_view ssml) { return Show(ReadSsml(ssml)); }

TEST(Ssml, MarksStandWhereTheyWereInTheText) {
  EXPECT_EQ(Read("<speak>Dzień dobry, 12.03.1996 r.<mark name=\"__spd_0\"/> Mam 25 lat.</speak>"),
            "Dzień dobry, 12.03.1996 r.[__spd_0] Mam 25 lat.");
  EXPECT_EQ(Read("<speak><mark name='a'/>raz<mark name=\"b\"/><mark name=\"c\"/></speak>"), "[a]raz[b][c]");
  // The offsets are bytes of the UTF-8 text.
  const SpeechText speech = ReadSsml("<speak>żółw<mark name=\"x\"/></speak>");
  ASSERT_EQ(speech.marks.size(), 1u);
  EXPECT_EQ(speech.marks[0].offset, 7u);  // ż ó ł two bytes each, w one
  // A mark without a name, or of another namespace, still counts by its local name.
  EXPECT_EQ(Read("a<mark/>b<ssml:mark name=\"n\"/>c"), "ab[n]c");
}

TEST(Ssml, EntitiesAreDecodedAndNothingElseIs) {
  struct Case {
    const char* ssml;
    const char* text;
  } cases[] = {
      {"a &lt; b &amp; c &gt; d &quot;e&quot; &apos;f&apos;", "a < b & c > d \"e\" 'f'"},
      {"&#261;&#x17C;&#X142;", "ążł"},
      {"&#0;&#xD800;x", "x"},                     // no NUL, no half of a surrogate pair
      {"&#x110000; &foo; & amp; &amp", "&#x110000; &foo; & amp; &amp"},  // not entities: read as they stand
      {"&#12345678901234567890;", "&#12345678901234567890;"},
      {"&nbsp;", "\u00A0"},
      // An entity of 13 bytes in all is the longest looked at; one byte more
      // and it is text.
      {"&#0000000065;", "A"},
      {"&#00000000065;", "&#00000000065;"},
      {"&&amp;&", "&&&"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ssml);
    EXPECT_EQ(ReadSsml(c.ssml).text, c.text);
  }
}

TEST(Ssml, AMebibyteOfAmpersandsIsReadAsItStands) {
  const std::string ampersands(1u << 20, '&');
  EXPECT_EQ(ReadSsml(ampersands).text, ampersands);
  // An entity at the very end is still found.
  EXPECT_EQ(ReadSsml(ampersands + "&lt;").text, ampersands + "<");
}

TEST(Ssml, ElementsWeDoNotFollowAreDroppedAndTheirContentRead) {
  struct Case {
    const char* ssml;
    const char* shown;
  } cases[] = {
      {"<speak><prosody rate=\"fast\">szybko</prosody> <emphasis>mocno</emphasis></speak>", "szybko mocno"},
      {"<speak>raz<break time=\"500ms\"/>dwa<break strength=\"none\"/>trzy</speak>", "raz\ndwatrzy"},
      {"<speak><p>akapit</p><s>zdanie</s></speak>", "\nakapit\n\nzdanie\n"},
      {"<speak><sub alias=\"na przykład\">np.</sub> tak</speak>", "na przykład tak"},
      {"<speak><sub alias=\"X\">a<sub alias=\"Y\">b</sub>c<mark name=\"m\"/></sub>d</speak>", "Xd"},
      // An audio element never plays its file: its content is read instead.
      {"<speak><audio src=\"/etc/passwd\">dzwonek</audio></speak>", "dzwonek"},
      {"<speak><!-- uwaga --><?xml version=\"1.0\"?><!DOCTYPE speak>tekst</speak>", "tekst"},
      {"<speak><![CDATA[a <b> & c]]></speak>", "a <b> & c"},
      {"<speak>a <voice name=\"x\" gender='female'>b</voice></speak>", "a b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ssml);
    EXPECT_EQ(Read(c.ssml), c.shown);
  }
}

TEST(Ssml, SayAsCharactersIsSpelled) {
  EXPECT_EQ(Read("<speak>Kod <say-as interpret-as=\"characters\">PKO</say-as> teraz</speak>"), "Kod {PKO} teraz");
  EXPECT_EQ(Read("<say-as interpret-as=\"spell-out\">ab<say-as interpret-as=\"characters\">cd</say-as>e</say-as>f"),
            "{abcde}f");
  EXPECT_EQ(Read("<say-as interpret-as=\"date\">12.03.1996</say-as>"), "12.03.1996");
  // A stretch left open runs to the end; an empty one is no stretch.
  EXPECT_EQ(Read("a<say-as interpret-as=\"letters\">bc"), "a{bc}");
  EXPECT_EQ(ReadSsml("<say-as interpret-as=\"letters\"></say-as>x").spelled.size(), 0u);
}

TEST(Ssml, TextThatIsNoMarkupIsRead) {
  EXPECT_EQ(Read("a < b > c"), "a < b > c");
  EXPECT_EQ(Read("x<y"), "x<y");
  EXPECT_EQ(Read("<a <mark name=\"m\"/>"), "<a [m]");
  EXPECT_EQ(Read("<!-- never closed"), "");
  EXPECT_EQ(Read("<![CDATA[open"), "open");
  EXPECT_EQ(Read("<mark name=\"a>b\"/>c"), "[a>b]c");
}

TEST(Ssml, AttributeValuesWithoutQuotesHaveTheirEntitiesDecodedToo) {
  // Not well-formed XML, but read as far as it goes: the value runs to the
  // next blank and its entities count as in a quoted one.
  EXPECT_EQ(Read("a<mark name=x&amp;y />b"), "a[x&y]b");
  EXPECT_EQ(Read("<mark name=&#261;&lt;&#x142; />c"), "[ą<ł]c");
  EXPECT_EQ(Read("<speak><sub alias=R&amp;D>rd</sub> tak</speak>"), "R&D tak");
  // A line break written as an entity is still kept out of a mark's name.
  EXPECT_EQ(ReadSsml("<mark name=p&#10;702&#32;END />").marks.at(0).name, "p702 END");
}

TEST(Ssml, AMarkNameNeverHoldsALineBreakOrAnotherControl) {
  // A name with a line break would let a client write a line of its own to
  // speech-dispatcher.
  const SpeechText speech = ReadSsml("<mark name=\"x&#10;702 END&#13;\t\"/>a<mark name=\"y\n703 STOP\"/>");
  ASSERT_EQ(speech.marks.size(), 2u);
  EXPECT_EQ(speech.marks[0].name, "x702 END");
  EXPECT_EQ(speech.marks[1].name, "y703 STOP");
}

TEST(Ssml, AMarkNameIsKeptToItsLimitWithoutCuttingACharacter) {
  const std::string atLimit(kMaxMarkName, 'n');
  EXPECT_EQ(ReadSsml("<mark name=\"" + atLimit + "\"/>").marks.at(0).name, atLimit);
  EXPECT_EQ(ReadSsml("<mark name=\"" + atLimit + "x\"/>").marks.at(0).name, atLimit);
  // 255 bytes and then a two-byte letter: the letter would end past 256.
  const std::string almost(kMaxMarkName - 1, 'n');
  EXPECT_EQ(ReadSsml("<mark name=\"" + almost + "ą\"/>").marks.at(0).name, almost);
}

TEST(Ssml, DeepNestingIsReadToTheEnd) {
  std::string ssml;
  for (int i = 0; i < 10000; ++i) ssml += "<prosody>";
  ssml += "głęboko<mark name=\"m\"/>";
  for (int i = 0; i < 10000; ++i) ssml += "</prosody>";
  EXPECT_EQ(Read(ssml), "głęboko[m]");
}

}  // namespace
}  // namespace vokar::speechd
