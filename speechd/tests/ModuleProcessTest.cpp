// The real sd_vokar, spoken to over its pipes exactly as speech-dispatcher
// speaks to it, with the real voice on the WAV device: what it answers, when
// its events come, and what sound it makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "PitchMarks.h"
#include "Profile.h"
#include "support/ModuleWorld.h"

namespace vokar::speechd {
namespace {

using namespace test;

// Writes a value into the settings store of the user's Vokar server, which
// the module reads when it starts.
void StoreServerSetting(const ModuleWorld& world, std::string_view section, std::string_view name,
                        const std::string& value) {
  ::setenv("VOKAR_REGISTRY_DIR", world.Registry().c_str(), 1);
  const registry::Profile store("Quillmark", "Vokar");
  EXPECT_TRUE(store.WriteString(section, name, value));
  ::unsetenv("VOKAR_REGISTRY_DIR");
}

// A text of some length, about twenty seconds of speech.
std::string LongText() {
  std::string text;
  for (int i = 0; i < 6; ++i) text += "Pociąg do Krakowa odjeżdża z peronu trzeciego o godzinie 14:30. ";
  return text;
}

class Module : public ::testing::Test {
 protected:
  // Starts sd_vokar with the world's environment, in its work folder.
  void SetUp() override {
    if (!std::filesystem::exists(std::filesystem::path(VOKAR_STAGE_DATA) / "pl_22.alf"))
      GTEST_SKIP() << "the voice was not built (VOKAR_BUILD_VOICE is off)";
  }

  void Start(const std::vector<std::string>& arguments = {}, const std::string& dataDir = VOKAR_STAGE_DATA) {
    module = std::make_unique<Child>(SD_VOKAR, arguments, world.Environment(dataDir), world / "work",
                                     world / "module.log");
    ASSERT_TRUE(module->Started());
  }

  // The usual start of speech-dispatcher.
  void Handshake() {
    Start();
    module->Send("INIT\n");
    ASSERT_EQ(Texts(module->ReadUntil("299 ")), (std::vector<std::string>{"299-Vokar: ready", "299 OK LOADED SUCCESSFULLY"}));
    module->Send("AUDIO\naudio_output_method=server\n.\nLOGLEVEL\nlog_level=3\n.\nLIST VOICES\n");
    module->ReadUntil("200 OK VOICE LIST SENT");
  }

  void Set(const std::string& lines) {
    module->Send("SET\n" + lines + ".\n");
    EXPECT_EQ(Texts(module->ReadUntil("203 OK SETTINGS RECEIVED")),
              (std::vector<std::string>{"203 OK RECEIVING SETTINGS", "203 OK SETTINGS RECEIVED"}));
  }

  // Sends a SPEAK and returns the lines up to its END.
  std::vector<Line> Speak(const std::string& ssml) {
    module->Send("SPEAK\n" + ssml + "\n.\n");
    return module->ReadUntil("702 END", 60s);
  }

  static std::vector<std::string> Texts(const std::vector<Line>& lines) {
    std::vector<std::string> texts;
    for (const auto& line : lines) texts.push_back(line.text);
    return texts;
  }

  static std::optional<Clock::time_point> TimeOf(const std::vector<Line>& lines, std::string_view text) {
    for (const auto& line : lines)
      if (line.text == text) return line.at;
    return std::nullopt;
  }

  ModuleWorld world;
  std::unique_ptr<Child> module;
};

TEST_F(Module, AnswersEveryRequestAsTheProtocolSays) {
  Handshake();
  Set("rate=0\npitch=0\nvolume=0\npunctuation_mode=none\nspelling_mode=off\ncap_let_recogn=none\n"
      "voice=male1\nlanguage=pl\nsynthesis_voice=NULL\n");
  module->Send("LIST VOICES\n");
  EXPECT_EQ(Texts(module->ReadUntil("200 ")), (std::vector<std::string>{"200-Vokar\tpl\tnone", "200 OK VOICE LIST SENT"}));
  module->Send("HELLO\n");
  EXPECT_EQ(Texts(module->ReadUntil("300")), std::vector<std::string>{"300 ERROR UNKNOWN COMMAND"});
  // STOP and PAUSE with nothing to stop get no answer at all: the next
  // answer is QUIT's.
  module->Send("STOP\nPAUSE\nQUIT\n");
  EXPECT_EQ(Texts(module->ReadUntil("210")), std::vector<std::string>{"210 OK QUIT"});
  EXPECT_EQ(module->Wait(5s), 0);
}

TEST_F(Module, SpeaksAMessageAndReportsItsMarksWhenTheSpeechReachesThem) {
  Handshake();
  const auto lines = Speak("<speak>Dzień dobry,<mark name=\"po powitaniu\"/> mamy 25 lat.<mark name=\"__spd_0\"/> Tak.</speak>");
  EXPECT_EQ(Texts(lines), (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN",
                                                     "700-po powitaniu", "700 INDEX MARK", "700-__spd_0",
                                                     "700 INDEX MARK", "702 END"}));
  const auto wavs = world.Wavs();
  ASSERT_EQ(wavs.size(), 1u);
  const Wav& wav = wavs[0];
  EXPECT_GT(wav.Peak(), 40) << "the speech is audible";
  // The speech takes as long as its sound: END comes when the WAV ends.
  const auto begin = *TimeOf(lines, "701 BEGIN");
  EXPECT_NEAR(SecondsBetween(begin, *TimeOf(lines, "702 END")), wav.Seconds(), 0.15);
  // Each mark comes when the speech after it begins: after the comma's pause
  // (0.20 s of silence, the prosody stage's at the defaults) and after the
  // sentence's (0.30 s).
  const auto pauses = wav.SilenceEnds(0.2);
  ASSERT_GE(pauses.size(), 2u);
  EXPECT_NEAR(SecondsBetween(begin, *TimeOf(lines, "700-po powitaniu")), pauses[0], 0.15);
  EXPECT_NEAR(SecondsBetween(begin, *TimeOf(lines, "700-__spd_0")), pauses[1], 0.15);
}

// Orca says one focus change as several messages: each ends with its last
// sound, so that the next follows at once, and the pause after its last
// sentence is never played (the pauses between its sentences are).
TEST_F(Module, AMessageEndsWithItsLastSoundAndKeepsThePausesInside) {
  Handshake();
  const auto lines = Speak("<speak>Konwersje panel.</speak>");
  auto wavs = world.Wavs();
  ASSERT_EQ(wavs.size(), 1u);
  const Wav& one = wavs[0];
  EXPECT_GT(one.Peak(), 40);
  // The sentence's pause is 0.3 s of exact silence: none of it is left at
  // the end, and nothing like it.
  EXPECT_TRUE(one.SilenceEnds(0.2).empty()) << "a pause of 0.2 s or more in " << one.Seconds() << " s";
  std::size_t tail = 0;
  while (tail < one.Samples() && one.Level(one.Samples() - 1 - tail) <= 2) ++tail;
  EXPECT_LT(static_cast<double>(tail) / one.rate, 0.15) << "silence at the end";
  // END comes when the sound has played, not before.
  EXPECT_NEAR(SecondsBetween(*TimeOf(lines, "701 BEGIN"), *TimeOf(lines, "702 END")), one.Seconds(), 0.15);

  // The next message goes on in the same file.
  const std::size_t first = one.data.size();
  Speak("<speak>Raz. Dwa, trzy.</speak>");
  wavs = world.Wavs();
  ASSERT_EQ(wavs.size(), 1u);
  Wav two = wavs[0];
  ASSERT_GT(two.data.size(), first);
  two.data.erase(two.data.begin(), two.data.begin() + static_cast<std::ptrdiff_t>(first));
  // The sentence's pause (0.30 s) and the comma's inside (0.20 s and the
  // closure of the t after it, 0.23 s); none at the end.
  EXPECT_EQ(two.SilenceEnds(0.265).size(), 1u);
  EXPECT_EQ(two.SilenceEnds(0.2).size(), 2u);
}

// A message of a mebibyte of "&" (each could open an entity) is read in one
// pass: STOP after it is answered, and the module takes the next message.
TEST_F(Module, AMebibyteOfAmpersandsEndsAtOnceWithAStop) {
  Handshake();
  module->Send("SPEAK\n" + std::string(1u << 20, '&') + "\n.\nSTOP\n");
  const auto lines = module->ReadUntil("70", 20s);
  ASSERT_FALSE(lines.empty());
  // Either the message was stopped or it ended by itself (no "&" is spoken
  // without punctuation named) before the STOP was read.
  const auto last = module->ReadLine(20s);
  ASSERT_TRUE(last);
  EXPECT_TRUE(last->text == "703 STOP" || last->text == "702 END") << last->text;
  EXPECT_EQ(Texts(Speak("<speak>Tak.</speak>")).back(), "702 END");
}

// How soon the sound stops is measured by bench_speechd_stop; here, that
// STOP ends the message at once and where it was.
TEST_F(Module, StopEndsTheMessageWhereItWas) {
  Handshake();
  module->Send("SPEAK\n<speak>" + LongText() + "</speak>\n.\n");
  const auto begin = module->ReadUntil("701 BEGIN").back().at;
  std::this_thread::sleep_for(1500ms);
  const auto stop = Clock::now();
  module->Send("STOP\n");
  const auto lines = module->ReadUntil("703 STOP", 5s);
  ASSERT_EQ(Texts(lines), std::vector<std::string>{"703 STOP"});
  // What was played ends at the STOP, not at the end of a sentence: the
  // first sentence alone takes four seconds.
  const double played = world.TotalSeconds();
  EXPECT_GE(played, SecondsBetween(begin, stop) - 0.1);
  EXPECT_LE(played, SecondsBetween(begin, stop) + 0.5);
  // The module is ready for the next message at once.
  const auto next = Speak("<speak>Dalej.</speak>");
  EXPECT_EQ(next.back().text, "702 END");
}

TEST_F(Module, PauseStopsAtSpeechDispatchersNextMark) {
  Handshake();
  module->Send("SPEAK\n<speak>Pierwsze zdanie.<mark name=\"moja\"/> Dalej<mark name=\"__spd_0\"/> drugie zdanie."
               "<mark name=\"__spd_1\"/> Trzecie zdanie.</speak>\n.\n");
  const auto begin = module->ReadUntil("701 BEGIN").back().at;
  module->Send("PAUSE\n");
  const auto lines = module->ReadUntil("70", 30s);  // the first event after PAUSE
  auto rest = module->ReadUntil("704 PAUSE", 30s);
  std::vector<Line> all = lines;
  all.insert(all.end(), rest.begin(), rest.end());
  EXPECT_EQ(Texts(all), (std::vector<std::string>{"700-moja", "700 INDEX MARK", "700-__spd_0", "700 INDEX MARK",
                                                   "704 PAUSE"}));
  // The sound ends where the mark is.
  EXPECT_NEAR(world.TotalSeconds(), SecondsBetween(begin, *TimeOf(all, "700-__spd_0")), 0.15);
  // Nothing more comes: no further mark, no END.
  EXPECT_FALSE(module->ReadLine(1500ms));
}

// With the pitch kept (the server's default) the rate is the tempo: every
// message reaches the device at the voice's rate in 16 bits, one file for
// all, rate 100 two and a half times as fast as normal, -100 half as fast.
TEST_F(Module, TheRateChangesTheTempoAndTheVolumeTheLevel) {
  Handshake();
  const std::string text = "<speak>Jutro rano jedziemy do Łodzi.</speak>";
  std::vector<std::size_t> ends;  // the file's samples after each message
  const auto say = [&] {
    Speak(text);
    const auto wavs = world.Wavs();
    ends.push_back(wavs.empty() ? 0 : wavs[0].Samples());
  };
  say();
  Set("rate=100\n");
  say();
  Set("rate=-100\n");
  say();
  Set("rate=0\nvolume=-50\n");
  say();
  Set("volume=-100\n");
  say();
  const auto wavs = world.Wavs();
  ASSERT_EQ(wavs.size(), 1u);
  EXPECT_EQ(wavs[0].rate, 22050u);
  EXPECT_EQ(wavs[0].bits, 16);
  const auto length = [&](std::size_t i) { return static_cast<double>(ends[i] - (i == 0 ? 0 : ends[i - 1])) / 22050.0; };
  const double normal = length(0);
  EXPECT_GT(normal, 1.0);
  EXPECT_NEAR(length(1), normal / 2.5, 0.02);
  EXPECT_NEAR(length(2), normal * 2.0, 0.03);
  EXPECT_NEAR(length(3), normal, 0.001);
  EXPECT_NEAR(length(4), normal, 0.001);
  // The fourth message at half level, the fifth silent.
  const auto peak = [&](std::size_t from, std::size_t to) {
    int p = 0;
    for (std::size_t i = from; i < to; ++i) p = std::max(p, wavs[0].Level(i));
    return p;
  };
  EXPECT_NEAR(peak(ends[2], ends[3]), peak(0, ends[0]) / 2.0, 1.0);
  EXPECT_EQ(peak(ends[3], ends[4]), 0);
}

// With Sound\KeepPitch "No" in the user's settings the rate is the playback
// rate, as before the prosody stage: +50 % plays the same samples at 33075
// per second, -50 % at 11025, each change of rate starting the next file.
TEST_F(Module, WithoutThePitchKeptTheRateIsThePlaybackRate) {
  StoreServerSetting(world, "Sound", "KeepPitch", "No");
  Handshake();
  const std::string text = "<speak>Jedziemy do Łodzi.</speak>";
  Speak(text);
  Set("rate=100\n");
  Speak(text);
  Set("rate=-100\n");
  Speak(text);
  const auto wavs = world.Wavs();
  ASSERT_EQ(wavs.size(), 3u);
  EXPECT_EQ(wavs[0].rate, 22050u);
  EXPECT_EQ(wavs[1].rate, 33075u);
  EXPECT_EQ(wavs[2].rate, 11025u);
  EXPECT_NEAR(wavs[1].Seconds(), wavs[0].Seconds() / 1.5, 0.02);
  EXPECT_NEAR(wavs[2].Seconds(), wavs[0].Seconds() * 2.0, 0.02);
}

// The period of each 30 ms frame of 16-bit speech, in samples; nothing for
// a frame the period finder takes for noise or silence.
std::vector<std::optional<double>> FramePeriods(const std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kFrame = 662;
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  std::vector<std::optional<double>> periods;
  for (std::size_t at = 0; at + kFrame <= samples.size(); at += kFrame)
    periods.push_back(PeriodOf(std::span<const std::int16_t>(samples).subspan(at, kFrame)));
  return periods;
}

// A value at a share of the sorted values (0.5 the median).
double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5)];
}

// The interval from a period to another, in semitones: positive when the
// second is shorter (higher).
double SemitonesUp(double from, double to) { return 12.0 * std::log2(from / to); }

// PITCH moves the voice and PITCH_RANGE widens or flattens the melody: the
// same question read at three settings keeps its length; at PITCH 100 every
// voiced frame is six semitones higher than at 0 (its period 2^(-6/12) of
// the one at the same place), and at PITCH_RANGE -100 (a monotone) the
// periods spread over a fraction of a semitone where at 0 the rise at the
// end and the accents spread them over several.
TEST_F(Module, PitchAndPitchRangeShapeTheMelody) {
  Handshake();
  const std::string text = "<speak>Czy jedziemy do Łodzi?</speak>";
  std::vector<std::vector<std::uint8_t>> said;
  for (const char* settings : {"pitch=0\npitch_range=0\n", "pitch=100\n", "pitch=0\npitch_range=-100\n"}) {
    Set(settings);
    const std::size_t before = world.Wavs().empty() ? 0 : world.Wavs()[0].data.size();
    Speak(text);
    // Wavs() reads the files anew: keep them while their bytes are copied.
    const auto wavs = world.Wavs();
    ASSERT_EQ(wavs.size(), 1u);
    ASSERT_EQ(wavs[0].bits, 16);
    const auto& data = wavs[0].data;
    ASSERT_GE(data.size(), before);
    said.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(before), data.end());
  }
  EXPECT_NEAR(static_cast<double>(said[1].size()), static_cast<double>(said[0].size()), said[0].size() * 0.01);
  EXPECT_NEAR(static_cast<double>(said[2].size()), static_cast<double>(said[0].size()), said[0].size() * 0.01);
  const auto normal = FramePeriods(said[0]);
  const auto higher = FramePeriods(said[1]);
  const auto flat = FramePeriods(said[2]);
  // Higher: frame by frame, where both are voiced.
  std::vector<double> steps;
  for (std::size_t i = 0; i < std::min(normal.size(), higher.size()); ++i)
    if (normal[i] && higher[i]) steps.push_back(SemitonesUp(*normal[i], *higher[i]));
  ASSERT_GT(steps.size(), 20u);
  EXPECT_NEAR(Percentile(steps, 0.5), 6.0, 0.3);
  // Flatter: the 10th to the 90th percentile of the periods.
  const auto spread = [](const std::vector<std::optional<double>>& frames) {
    std::vector<double> periods;
    for (const auto& p : frames)
      if (p) periods.push_back(*p);
    EXPECT_GT(periods.size(), 20u);
    return periods.size() < 2 ? 0.0 : SemitonesUp(Percentile(periods, 0.9), Percentile(periods, 0.1));
  };
  const double normalSpread = spread(normal);
  const double flatSpread = spread(flat);
  EXPECT_GT(normalSpread, 3.0);
  EXPECT_LT(flatSpread, 1.0);
}

TEST_F(Module, BackslashesAndTagsInTheTextAreReadAsText) {
  // A wave file the speed tag's neighbour could name, where inserts are
  // looked for: the module's work folder. Played, it would start a file of
  // its own rate.
  std::string wav("RIFF\x34\x56\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x11\x2B\0\0\x11\x2B\0\0\x01\0\x08\0data\x10\x56\0\0", 44);
  wav += std::string(0x5610, '\xF0');
  world.folder().Write("work/dzwonek.wav", wav);
  // The speed played as the rate, so that a speed tag that took effect
  // would start a file of its own.
  StoreServerSetting(world, "Sound", "KeepPitch", "No");
  Handshake();
  const auto lines = Speak("<speak>Plik C:\\Windows\\Wav=\"dzwonek\"\\ oraz \\Wav=\"/etc/passwd\"\\ i \\Spd=99\\ "
                           "\\Drv=5\\ \\Vol=0\\ koniec.</speak>");
  EXPECT_EQ(lines.back().text, "702 END");
  const auto wavs = world.Wavs();
  ASSERT_EQ(wavs.size(), 1u) << "a tag changed the rate or played a file";
  EXPECT_EQ(wavs[0].rate, 22050u);
  // The words are all read: "Plik", "Windows", "Wav", "dzwonek", "etc",
  // "passwd", "Spd", "Drv", "Vol", the numbers... several seconds.
  EXPECT_GT(wavs[0].Seconds(), 4.0);
  EXPECT_GT(wavs[0].Peak(), 40);
  // No sample of the file's loud 0xF0 run: it was never played.
  const auto& data = wavs[0].data;
  const auto run = std::search_n(data.begin(), data.end(), 100, std::uint8_t{0xF0});
  EXPECT_EQ(run, data.end());
}

TEST_F(Module, ASecondMessageWhileSpeakingIsRefusedAndTheFirstGoesOn) {
  Handshake();
  module->Send("SPEAK\n<speak>" + LongText() + "</speak>\n.\n");
  module->ReadUntil("701 BEGIN");
  module->Send("SPEAK\n<speak>Drugi.</speak>\n.\n");
  EXPECT_EQ(Texts(module->ReadUntil("401")),
            (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "401 ERROR ALREADY SPEAKING"}));
  module->Send("STOP\n");
  EXPECT_EQ(module->ReadUntil("703").back().text, "703 STOP");
}

TEST_F(Module, EventsWaitWhileASettingsBlockIsOpen) {
  Handshake();
  module->Send("SPEAK\n<speak>Raz.</speak>\n.\n");
  module->ReadUntil("701 BEGIN");
  module->Send("SET\nrate=10\n");
  EXPECT_EQ(module->ReadLine(5s)->text, "203 OK RECEIVING SETTINGS");
  // "Raz." with its sentence pause is over well within four seconds; its END
  // waits for the block.
  EXPECT_FALSE(module->ReadLine(4s));
  module->Send(".\n");
  EXPECT_EQ(Texts(module->ReadUntil("702")), (std::vector<std::string>{"203 OK SETTINGS RECEIVED", "702 END"}));
}

TEST_F(Module, CharactersKeysAndSoundIconsAreSpoken) {
  Handshake();
  module->Send("CHAR\nż\n.\n");
  EXPECT_EQ(Texts(module->ReadUntil("702")),
            (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "702 END"}));
  const double character = world.TotalSeconds();
  EXPECT_GT(character, 0.1);
  module->Send("KEY\ncontrol_alt_delete\n.\n");
  EXPECT_EQ(module->ReadUntil("702").back().text, "702 END");
  EXPECT_GT(world.TotalSeconds(), character + 0.5) << "three key names take time";
  module->Send("SOUND_ICON\nbell\n.\n");
  EXPECT_EQ(Texts(module->ReadUntil("702")), (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "200 OK SPEAKING",
                                                                        "701 BEGIN", "706-bell", "706 ICON", "702 END"}));
}

TEST_F(Module, AnEmptyMessageBeginsAndEndsWithItsMarks) {
  Handshake();
  EXPECT_EQ(Texts(Speak("<speak><mark name=\"a\"/> </speak>")),
            (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "700-a",
                                      "700 INDEX MARK", "702 END"}));
}

TEST_F(Module, QuitWhileSpeakingEndsAtOnceWithoutAnotherEvent) {
  Handshake();
  module->Send("SPEAK\n<speak>" + LongText() + "</speak>\n.\n");
  module->ReadUntil("701 BEGIN");
  std::this_thread::sleep_for(500ms);
  module->Send("QUIT\n");
  EXPECT_EQ(module->ReadLine(5s)->text, "210 OK QUIT");
  EXPECT_FALSE(module->ReadLine(1s)) << "nothing follows QUIT's answer";
  EXPECT_EQ(module->Wait(2s), 0);
  EXPECT_LT(world.TotalSeconds(), 2.0);
}

TEST_F(Module, TheEndOfItsInputEndsTheModule) {
  Handshake();
  module->Send("SPEAK\n<speak>" + LongText() + "</speak>\n.\n");
  module->ReadUntil("701 BEGIN");
  module->CloseInput();
  EXPECT_EQ(module->Wait(2s), 0);
}

TEST_F(Module, WithoutItsVoiceInitFailsAndNothingIsSpoken) {
  Start({}, (world / "empty").string());
  module->Send("INIT\n");
  const auto lines = module->ReadUntil("399 ");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].text.starts_with("399-Vokar: ")) << lines[0].text;
  EXPECT_NE(lines[0].text.find("pl_22.alf"), std::string::npos) << lines[0].text;
  EXPECT_EQ(lines[1].text, "399 ERR CANT INIT MODULE");
  module->Send("SPEAK\n<speak>Nic.</speak>\n.\n");
  EXPECT_EQ(Texts(module->ReadUntil("401")),
            (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "401 ERROR NOT INITIALIZED"}));
  module->Send("QUIT\n");
  EXPECT_EQ(module->ReadUntil("210").back().text, "210 OK QUIT");
}

TEST_F(Module, ReadsWithTheDictionaryOfTheUsersVokarServer) {
  // The user's dictionary, named in the server's settings: its replacement
  // for "kot" holds a speed tag of the user's own, which is honoured (a
  // second file at another rate), while the same tag from the client is not.
  const auto dictionary = world.folder().Write("home/moj.exp", "kot \\Spd=99\\kot\n");
  ::setenv("VOKAR_REGISTRY_DIR", world.Registry().c_str(), 1);
  const registry::Profile store("Quillmark", "Vokar");
  ASSERT_TRUE(store.WriteString("Dictionary", "ExpDict", dictionary.string()));
  ASSERT_TRUE(store.WriteYesNo("Dictionary", "UseExpDict", true));
  // The speed played as the rate, so that the tag shows as a file.
  ASSERT_TRUE(store.WriteString("Sound", "KeepPitch", "No"));
  ::unsetenv("VOKAR_REGISTRY_DIR");
  Handshake();
  Speak("<speak>Mam \\Spd=99\\ psa.</speak>");
  EXPECT_EQ(world.Wavs().size(), 1u);
  Speak("<speak>Mam kota i kot śpi.</speak>");
  EXPECT_EQ(world.Wavs().size(), 2u);
}

TEST_F(Module, TheConfigurationCanTurnTheServersSettingsOffAndNeverMakesAStore) {
  const auto dictionary = world.folder().Write("home/moj.exp", "kot \\Spd=99\\kot\n");
  ::setenv("VOKAR_REGISTRY_DIR", world.Registry().c_str(), 1);
  const registry::Profile store("Quillmark", "Vokar");
  ASSERT_TRUE(store.WriteString("Dictionary", "ExpDict", dictionary.string()));
  ::unsetenv("VOKAR_REGISTRY_DIR");
  const auto config = world.folder().Write("vokar.conf", "VokarServerSettings Off\n");
  Start({config.string()});
  module->Send("INIT\n");
  module->ReadUntil("299 OK");
  Speak("<speak>Mam kota i kot śpi.</speak>");
  EXPECT_EQ(world.Wavs().size(), 1u);
  module->Send("QUIT\n");
  module->ReadUntil("210");

  // Without a store the module reads with the defaults and makes none.
  std::filesystem::remove_all(world.Registry());
  Start();
  module->Send("INIT\n");
  module->ReadUntil("299 OK");
  Speak("<speak>Raz.</speak>");
  EXPECT_FALSE(std::filesystem::exists(world.Registry()));
}

}  // namespace
}  // namespace vokar::speechd
