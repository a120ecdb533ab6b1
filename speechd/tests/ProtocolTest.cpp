// The request reader: what speech-dispatcher's lines become, however the
// bytes are cut into pieces, and what happens at every limit.
#include "Protocol.h"

#include <gtest/gtest.h>

namespace vokar::speechd {
namespace {

// Every event the bytes make, described as text: "open SET", "SET rate=20
// pitch=-10", "SPEAK <text>", "UNKNOWN <line>"; a cut request ends in " (cut)".
std::vector<std::string> Events(std::string_view bytes, ReaderLimits limits = {}, std::size_t piece = 0) {
  RequestReader reader(limits);
  if (piece == 0) {
    reader.Feed(bytes);
  } else {
    for (std::size_t at = 0; at < bytes.size(); at += piece) reader.Feed(bytes.substr(at, piece));
  }
  static const char* const kNames[] = {"INIT", "LIST VOICES", "SET", "AUDIO", "LOGLEVEL", "SPEAK", "CHAR",
                                       "KEY", "SOUND_ICON", "STOP", "PAUSE", "QUIT", "UNKNOWN"};
  std::vector<std::string> out;
  while (auto event = reader.Next()) {
    const Request& r = event->request;
    std::string line = kNames[static_cast<int>(r.kind)];
    if (event->type == ReaderEvent::Type::BlockOpened) {
      out.push_back("open " + line);
      continue;
    }
    if (r.kind == RequestKind::Unknown) line += " " + r.line;
    for (const auto& [name, value] : r.settings) line += " " + name + "=" + value;
    if (IsMessage(r.kind)) line += " <" + r.text + ">";
    if (r.truncated) line += " (cut)";
    out.push_back(line);
  }
  return out;
}

using Lines = std::vector<std::string>;

TEST(RequestReader, ReadsTheConversationSpeechDispatcherHolds) {
  const std::string session =
      "INIT\nAUDIO\naudio_output_method=server\n.\nLOGLEVEL\nlog_level=5\n.\nLIST VOICES\n"
      "SET\npitch=0\nrate=20\nvoice=male1\nsynthesis_voice=NULL\n.\n"
      "SPEAK\n<speak>Dzień dobry, 12.03.1996 r.<mark name=\"__spd_0\"/></speak>\n.\n"
      "STOP\nPAUSE\nCHAR\nx\n.\nKEY\nshift_a\n.\nSOUND_ICON\nbell\n.\nQUIT\n";
  const Lines expected{"INIT",
                       "open AUDIO",
                       "AUDIO audio_output_method=server",
                       "open LOGLEVEL",
                       "LOGLEVEL log_level=5",
                       "LIST VOICES",
                       "open SET",
                       "SET pitch=0 rate=20 voice=male1 synthesis_voice=NULL",
                       "open SPEAK",
                       "SPEAK <<speak>Dzień dobry, 12.03.1996 r.<mark name=\"__spd_0\"/></speak>>",
                       "STOP",
                       "PAUSE",
                       "open CHAR",
                       "CHAR <x>",
                       "open KEY",
                       "KEY <shift_a>",
                       "open SOUND_ICON",
                       "SOUND_ICON <bell>",
                       "QUIT"};
  // Whole, byte by byte and in pieces of seven: the same requests.
  EXPECT_EQ(Events(session), expected);
  EXPECT_EQ(Events(session, {}, 1), expected);
  EXPECT_EQ(Events(session, {}, 7), expected);
}

TEST(RequestReader, AMessageRunsOverLinesAndADoubledDotIsOneDot) {
  struct Case {
    const char* bytes;
    Lines events;
  } cases[] = {
      {"SPEAK\nraz\ndwa\n.\n", {"open SPEAK", "SPEAK <raz\ndwa>"}},
      {"SPEAK\nraz\n..\ndwa\n.\n", {"open SPEAK", "SPEAK <raz\n.\ndwa>"}},
      // Only a line of two dots alone stands for one dot.
      {"SPEAK\n...\n..x\n.\n", {"open SPEAK", "SPEAK <...\n..x>"}},
      {"SPEAK\n\n\n.\n", {"open SPEAK", "SPEAK <\n>"}},
      {"SPEAK\n.\n", {"open SPEAK", "SPEAK <>"}},
      // A carriage return does not end the message: ".\r" is text.
      {"SPEAK\na\n.\r\nQUIT\n.\n", {"open SPEAK", "SPEAK <a\n.\r\nQUIT>"}},
      // Words of commands inside a message are text.
      {"SPEAK\nSTOP\nQUIT\n.\nSTOP\n", {"open SPEAK", "SPEAK <STOP\nQUIT>", "STOP"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(Events(c.bytes), c.events);
  }
}

TEST(RequestReader, CommandsAreWholeLinesAndAnythingElseIsUnknown) {
  EXPECT_EQ(Events("INIT\r\nQUIT\n"), (Lines{"INIT", "QUIT"}));
  EXPECT_EQ(Events("init\nINIT x\nSPEAK now\nLIST\n\n"),
            (Lines{"UNKNOWN init", "UNKNOWN INIT x", "UNKNOWN SPEAK now", "UNKNOWN LIST", "UNKNOWN "}));
  // A line without its line feed waits.
  EXPECT_EQ(Events("STOP"), Lines{});
}

TEST(RequestReader, SettingsLinesWithoutAnEqualsSignAreLeftOut) {
  EXPECT_EQ(Events("SET\nrate\nrate=5=6\n=x\npitch=\r\n.\n"),
            (Lines{"open SET", "SET rate=5=6 =x pitch="}));
}

TEST(RequestReader, TellsWhetherABlockIsOpen) {
  RequestReader reader;
  reader.Feed("SET\nrate=1\n");
  EXPECT_TRUE(reader.InBlock());
  reader.Feed(".\n");
  EXPECT_FALSE(reader.InBlock());
  reader.Feed("SPEAK\nab");
  EXPECT_TRUE(reader.InBlock());
  reader.Feed("\n.");
  EXPECT_TRUE(reader.InBlock());
  reader.Feed("\n");
  EXPECT_FALSE(reader.InBlock());
}

// Both sides of every limit.
TEST(RequestReader, ACommandLineOfTheLimitIsReadAndOneByteMoreIsCut) {
  ReaderLimits limits;
  limits.commandLine = 8;
  EXPECT_EQ(Events("SOUND_IC\n", limits), (Lines{"UNKNOWN SOUND_IC"}));
  EXPECT_EQ(Events("SOUND_ICO\n", limits), (Lines{"UNKNOWN SOUND_IC (cut)"}));
  // A long line never becomes a command by its first bytes: QUIT cut out of
  // QUITTING is no QUIT.
  limits.commandLine = 4;
  EXPECT_EQ(Events("QUIT\nQUITTING\nSTOP\n", limits), (Lines{"QUIT", "UNKNOWN QUIT (cut)", "STOP"}));
}

TEST(RequestReader, AMessageOfTheLimitIsWholeAndOneByteMoreIsCut) {
  ReaderLimits limits;
  limits.message = 10;
  EXPECT_EQ(Events("SPEAK\n0123456789\n.\n", limits), (Lines{"open SPEAK", "SPEAK <0123456789>"}));
  EXPECT_EQ(Events("SPEAK\n0123456789A\n.\n", limits), (Lines{"open SPEAK", "SPEAK <0123456789> (cut)"}));
  // The line feeds between lines count: 4 + 1 + 5 = 10 bytes.
  EXPECT_EQ(Events("SPEAK\n0123\n45678\n.\n", limits), (Lines{"open SPEAK", "SPEAK <0123\n45678>"}));
  EXPECT_EQ(Events("SPEAK\n0123\n456789\n.\n", limits), (Lines{"open SPEAK", "SPEAK <0123\n45678> (cut)"}));
  // After the cut the dot still ends the message and what follows is read.
  EXPECT_EQ(Events("SPEAK\n0123456789\nmore\nand more\n.\nQUIT\n", limits),
            (Lines{"open SPEAK", "SPEAK <0123456789> (cut)", "QUIT"}));
}

TEST(RequestReader, AMessageFarOverTheLimitIsHeldToTheLimit) {
  ReaderLimits limits;
  limits.message = 1000;
  RequestReader reader(limits);
  reader.Feed("SPEAK\n");
  const std::string piece(4096, 'a');
  for (int i = 0; i < 256; ++i) reader.Feed(piece);  // 1 MiB on one line
  reader.Feed("\n.\n");
  reader.Next();  // the opening
  const auto done = reader.Next();
  ASSERT_TRUE(done);
  EXPECT_EQ(done->request.text.size(), 1000u);
  EXPECT_TRUE(done->request.truncated);
}

TEST(RequestReader, SettingsLinesAndTheirCountHaveLimits) {
  ReaderLimits limits;
  limits.settingLine = 6;
  EXPECT_EQ(Events("SET\nrate=1\nrate=10\npitch=1\n.\n", limits), (Lines{"open SET", "SET rate=1 (cut)"}));
  limits = {};
  limits.settings = 2;
  EXPECT_EQ(Events("SET\na=1\nb=2\n.\n", limits), (Lines{"open SET", "SET a=1 b=2"}));
  EXPECT_EQ(Events("SET\na=1\nb=2\nc=3\n.\n", limits), (Lines{"open SET", "SET a=1 b=2 (cut)"}));
}

}  // namespace
}  // namespace vokar::speechd
