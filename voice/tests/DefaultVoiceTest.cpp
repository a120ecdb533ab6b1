// The built default voice, loaded with the engine: it passes the checks, the
// rules find every allophone of real Polish text in it, and its pieces have
// the shape concatenation needs (joins without dips, steps or pitch jumps,
// matched levels, stops with closure and burst, soft consonants unlike the
// plain ones, stressed vowels a little higher and longer, final ones falling
// gently).
// Sentences read with it are written to the test folder for listening.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "AlfCheck.h"
#include "AlfFile.h"
#include "AllophoneDb.h"
#include "AllophoneIndex.h"
#include "Audio.h"
#include "Cp1250.h"
#include "Inventory.h"
#include "JoinMeasures.h"
#include "RenderText.h"
#include "TextScanner.h"

namespace vokar::alf {
namespace {

namespace fs = std::filesystem;
using namespace vokar::allo;

constexpr double kRate = 22050.0;

const char* VoiceFile() {
#ifdef VOKAR_VOICE_FILE
  return VOKAR_VOICE_FILE;
#else
  return "";
#endif
}

// Fundamental frequency of a voiced stretch by autocorrelation (70-400 Hz),
// 0 when it is not clearly periodic.
double Pitch(std::span<const float> s) {
  double best = 0.0;
  int bestLag = 0;
  for (int lag = 55; lag <= 315; ++lag) {
    double cross = 0.0, e1 = 0.0, e2 = 0.0;
    for (std::size_t i = 0; i + lag < s.size(); ++i) {
      cross += s[i] * s[i + lag];
      e1 += s[i] * s[i];
      e2 += s[i + lag] * s[i + lag];
    }
    const double r = cross / std::sqrt(e1 * e2 + 1e-12);
    if (r > best) {
      best = r;
      bestLag = lag;
    }
  }
  return best > 0.5 ? kRate / bestLag : 0.0;
}

class DefaultVoice : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!fs::exists(VoiceFile())) return;
    CSilentSink sink;
    loaded_ = db_.LoadFromPath(VoiceFile(), settings_, sink);
  }

  void SetUp() override {
    if (!fs::exists(VoiceFile())) GTEST_SKIP() << "the default voice is not built";
    ASSERT_TRUE(loaded_) << "the engine refused " << VoiceFile();
  }

  // Every element of every sentence of a text, as the rules leave them.
  static std::vector<int> Transcribe(const std::string& utf8) {
    const std::string text = cp1250::FromUtf8(utf8);
    CSilentSink sink;
    CTextScanner scanner(text, {settings_, db_, nullptr, sink});
    std::vector<int> out;
    while (CUtterance* utterance = scanner.NextUtterance()) {
      for (const CWordToken& token : utterance->Tokens()) {
        if (token.control) continue;
        for (const AllophoneElement& e : token.allophones) out.push_back(e.index);
      }
    }
    return out;
  }

  // Plain concatenation of the allophones' samples, as the engine plays them.
  static std::vector<std::uint8_t> Render(const std::vector<int>& indices) {
    std::vector<std::uint8_t> out;
    for (int index : indices) {
      if (index >= kNothing) continue;
      if (const CAllophone* a = db_.Entry(index)) out.insert(out.end(), a->samples.begin(), a->samples.end());
    }
    return out;
  }

  static std::vector<float> Samples(int index) {
    const CAllophone* a = db_.Entry(index);
    return a ? FromUnsigned8(a->samples) : std::vector<float>{};
  }

  static double Ms(int index) { return db_.Length(index) * 1000.0 / kRate; }

  // Writes the sentence into VOKAR_LISTEN_DIR for a person to listen to;
  // nothing when it is not set, so that a test run leaves nothing behind.
  static void Listen(const std::string& name, const std::string& utf8) {
    const char* folder = std::getenv("VOKAR_LISTEN_DIR");
    if (folder == nullptr || *folder == '\0') return;
    fs::create_directories(fs::path(folder));
    const auto pcm = Render(Transcribe(utf8));
    const auto wav = EncodeWav(pcm, kVoiceFormat);
    WriteFileAtomically(fs::path(folder) / (name + ".wav"), wav);
  }

  static inline CSpeechSettingsValues settings_;
  static inline CAllophoneDb db_;
  static inline bool loaded_ = false;
};

TEST_F(DefaultVoice, PassesTheCheckWithoutWarnings) {
  auto file = ReadAlfFile(VoiceFile());
  ASSERT_TRUE(file) << file.Error().ToString();
  const auto findings = CheckAlf(*file);
  for (const Finding& f : findings) ADD_FAILURE() << f.ToString();
  EXPECT_EQ(file->format, kVoiceFormat);
}

TEST_F(DefaultVoice, RealTextNeedsNoDefaultEntry) {
  const char* texts[] = {
      "W Szczebrzeszynie chrząszcz brzmi w trzcinie i Szczebrzeszyn z tego słynie.",
      "Pchnąć w tę łódź jeża lub ośm skrzyń fig.",
      "Zażółć gęślą jaźń. Dżdżownica, dziewczyna, chleb i hałas.",
      "Auto, Europa, kwiat, pięć, siedem, ręka, idę, Anna, hiena, riksza.",
  };
  for (const char* text : texts) {
    const auto indices = Transcribe(text);
    EXPECT_FALSE(indices.empty()) << text;
    EXPECT_EQ(std::count(indices.begin(), indices.end(), kDefault), 0) << text;
    for (int index : indices) {
      if (index < kNothing) {
        EXPECT_NE(db_.Entry(index), nullptr) << text << ": " << index;
      }
    }
  }
}

TEST_F(DefaultVoice, ClientNamesReachTheirSounds) {
  for (std::string_view name : ClientNames()) {
    const int index = db_.FindByName(name);
    ASSERT_GE(index, 0) << name;
    EXPECT_GT(db_.Length(index), 0u) << name;
  }
  EXPECT_EQ(db_.FindByName("a"), kA);
  EXPECT_EQ(db_.FindByName("iee"), kIe + kAccentOffset);
  EXPECT_EQ(db_.FindByName("ll_"), kLDarkFinal);
  EXPECT_EQ(db_.FindByName("j"), kIGlide);
  EXPECT_EQ(db_.FindByName("jj"), kJ);
}

TEST_F(DefaultVoice, EveryPieceStartsAndEndsNearTheMiddle) {
  // A piece that starts or ends away from the middle value clicks against a
  // pause. Voiced ends lie on a zero crossing of the period grid; at most 3
  // steps of 128 remain there.
  for (const StandardEntry& s : StandardInventory()) {
    const CAllophone* a = db_.Entry(s.index);
    ASSERT_NE(a, nullptr) << s.name;
    if (a->samples.empty()) continue;
    EXPECT_LE(std::abs(a->samples.front() - 128), 3) << s.name;
    EXPECT_LE(std::abs(a->samples.back() - 128), 3) << s.name;
  }
}

TEST_F(DefaultVoice, LevelsAreMatchedAndNothingClips) {
  std::vector<double> vowelDb;
  for (int index : ProducedIndices()) {
    if (index > 48) break;
    const auto s = Samples(index);
    vowelDb.push_back(20 * std::log10(Rms(s)));
    const auto a = db_.Entry(index);
    const auto [lo, hi] = std::minmax_element(a->samples.begin(), a->samples.end());
    EXPECT_GT(*lo, 0) << a->name << " clips";
    EXPECT_LT(*hi, 255) << a->name << " clips";
  }
  const auto [quiet, loud] = std::minmax_element(vowelDb.begin(), vowelDb.end());
  EXPECT_LT(*loud - *quiet, 6.0) << "vowel levels spread too far";
  // Consonants stay below the vowels but audible.
  for (int index = kFirstVoiced; index <= kJ; ++index) {
    const double level = 20 * std::log10(Rms(Samples(index)) + 1e-9);
    EXPECT_LT(level, *loud + 1.0) << db_.Entry(index)->name;
    EXPECT_GT(level, *quiet - 30.0) << db_.Entry(index)->name;
  }
}

TEST_F(DefaultVoice, VoicelessStopsKeepClosureAndBurst) {
  for (int index : {kP, kT, kK, kC, kCz, kCi}) {
    const auto s = Samples(index);
    const std::size_t ms10 = static_cast<std::size_t>(kRate / 100);
    ASSERT_GT(s.size(), 3 * ms10) << db_.Entry(index)->name;
    const double closure = Rms(std::span<const float>(s).first(ms10));
    double burst = 0.0;
    for (std::size_t at = ms10; at + ms10 / 2 <= s.size(); at += ms10 / 4) {
      burst = std::max(burst, Rms(std::span<const float>(s).subspan(at, ms10 / 2)));
    }
    EXPECT_LT(closure, 0.01) << db_.Entry(index)->name << " has no silent closure";
    EXPECT_GT(burst, 10 * closure + 0.01) << db_.Entry(index)->name << " has no burst";
  }
}

TEST_F(DefaultVoice, StressedVowelsHigherAndLongerFinalOnesFalling) {
  for (int base : {kA, kE, kI, kO, kU, kY, kIa, kIe}) {
    const auto plain = Samples(base);
    const auto accented = Samples(base + kAccentOffset);
    const auto final = Samples(base + kFinalOffset);
    const std::string name = db_.Entry(base)->name;
    const auto middle = [](const std::vector<float>& s) {
      return std::span<const float>(s).subspan(s.size() / 2 - 330, 660);
    };
    const double plainPitch = Pitch(middle(plain));
    ASSERT_GT(plainPitch, 0.0) << name;
    // A little higher: more than 1 semitone (1.059), less than 2 (1.122).
    EXPECT_GT(Pitch(middle(accented)), plainPitch * 1.059) << name;
    EXPECT_LT(Pitch(middle(accented)), plainPitch * 1.122) << name;
    EXPECT_GT(Ms(base + kAccentOffset), Ms(base)) << name;
    EXPECT_GT(Ms(base + kFinalOffset), Ms(base + kAccentOffset)) << name;
    const std::span<const float> f(final);
    const double start = Pitch(f.subspan(200, 660));
    const double end = Pitch(f.subspan(f.size() - 700, 660));
    ASSERT_GT(start, 0.0) << name;
    ASSERT_GT(end, 0.0) << name;
    // Falling gently over the last half: by more than 1 semitone (0.944) and
    // less than 3 (0.841) in the last 30 ms, from the plain pitch at the start.
    EXPECT_LT(end, start * 0.944) << name << " final form does not fall";
    EXPECT_GT(end, start * 0.841) << name << " final form falls too far";
    EXPECT_LT(std::abs(start / plainPitch - 1.0), 0.03) << name << " final form starts off the plain pitch";
  }
}

// Sentences read as the engine reads them, measured where a listener hears
// the joins: sonorant joins that dip, level steps, pitch jumps.
TEST_F(DefaultVoice, JoinsDoNotDipStepOrJump) {
  const char* sentences[] = {
      "Mama myła ramę, a Ala ma małego kota i wielkiego psa.",
      "Pies biegnie po lesie, wiatr wieje mocno, a ryby pływają w wodzie.",
      "Jutro rano pojedziemy na wieś, gdzie mieszka moja babcia.",
      "Niebo nad miastem było jasne, a słońce świeciło nisko.",
  };
  voicegen::JoinReport report;
  for (const char* sentence : sentences) {
    const auto speech = voicegen::RenderText(db_, settings_, sentence);
    report.Add(voicegen::MeasureJoins(speech.samples, speech.segments));
  }
  ASSERT_GT(report.sonorantJoins, 50u);
  ASSERT_GT(report.voicedJoins, 50u);
  EXPECT_LE(report.DipShare(), 0.15) << report.dips << " of " << report.sonorantJoins << " sonorant joins dip";
  EXPECT_LE(report.MedianStepDb(), 6.0);
  EXPECT_LE(report.pitchJumps, report.voicedJoins / 20) << "joins jumping over 2 semitones";
}

// A vowel and a nasal or liquid after or before it meet without a step in
// loudness: the consonant's ends are ramped to the vowels' level, while its
// middle stays a consonant's, clearly under the vowels.
TEST_F(DefaultVoice, SonorantsMeetVowelsWithoutAStep) {
  const char* sentences[] = {
      "Mama myła ramę, a Ala ma małego kota i wielkiego psa.",
      "Ten nowy wiersz mówi o miłości, o morzu i o ludziach.",
      "Pani Maria lubi malować, grać na pianinie i czytać książki.",
  };
  std::vector<double> steps;
  for (const char* sentence : sentences) {
    const auto speech = voicegen::RenderText(db_, settings_, sentence);
    for (std::size_t i = 0; i + 1 < speech.segments.size(); ++i) {
      const auto& l = speech.segments[i];
      const auto& r = speech.segments[i + 1];
      const auto nasalOrLiquid = [](voicegen::SoundClass c) {
        return c == voicegen::SoundClass::Nasal || c == voicegen::SoundClass::Liquid;
      };
      const bool vowelFirst = l.sound == voicegen::SoundClass::Vowel && nasalOrLiquid(r.sound);
      const bool vowelSecond = nasalOrLiquid(l.sound) && r.sound == voicegen::SoundClass::Vowel;
      if (vowelFirst || vowelSecond) steps.push_back(voicegen::StepDb(speech.samples, l, r));
    }
  }
  ASSERT_GT(steps.size(), 40u);
  std::sort(steps.begin(), steps.end());
  EXPECT_LE(steps[steps.size() / 2], 4.0) << "median step between vowels and nasals or liquids";

  std::vector<double> vowels;
  for (int index : {kA, kE, kI, kO, kU, kY}) vowels.push_back(20 * std::log10(Rms(Samples(index))));
  std::sort(vowels.begin(), vowels.end());
  const double vowelDb = (vowels[2] + vowels[3]) / 2;
  for (const char* name : {"m", "n", "l", "r", "mi", "li"}) {
    const auto s = Samples(db_.FindByName(name));
    ASSERT_GT(s.size(), 400u) << name;
    const double middle = 20 * std::log10(Rms(std::span<const float>(s).subspan(s.size() / 4, s.size() / 2)));
    EXPECT_LT(middle, vowelDb - 2.0) << name << " is as loud as a vowel in its middle";
    EXPECT_GT(middle, vowelDb - 12.0) << name << " is too weak in its middle";
  }
}

// "pies" and "pes": a soft consonant carries its palatal release, so it is
// no copy of the plain one.
TEST_F(DefaultVoice, SoftConsonantsDifferFromThePlainOnes) {
  for (const auto& [plain, soft] : {std::pair{"p", "pi"}, {"b", "bi"}, {"k", "ki"}, {"g", "gi"}, {"f", "fi"},
                                    {"w", "wi"}, {"m", "mi"}, {"h", "hi"}, {"l", "li"}, {"r", "ri"}}) {
    const auto a = Samples(db_.FindByName(plain));
    const auto b = Samples(db_.FindByName(soft));
    ASSERT_FALSE(a.empty() || b.empty()) << plain;
    EXPECT_LT(voicegen::WaveCorrelation(a, b), 0.9) << plain << "/" << soft;
  }
}

// Two plain vowels one after the other (the doubled vowel of the main
// stress) sound as one long vowel: the level through the join stays that of
// the vowel, period after period.
TEST_F(DefaultVoice, ADoubledVowelSoundsAsOne) {
  for (int vowel : {kA, kE, kO}) {
    const auto one = Samples(vowel);
    std::vector<float> two = one;
    two.insert(two.end(), one.begin(), one.end());
    const voicegen::Segment left{0, one.size(), voicegen::SoundClass::Vowel};
    const voicegen::Segment right{one.size(), two.size(), voicegen::SoundClass::Vowel};
    EXPECT_LT(voicegen::DipDb(two, left, right), 6.0) << db_.Entry(vowel)->name;
    const auto jump = voicegen::PitchJumpSemitones(two, left, right);
    ASSERT_TRUE(jump) << db_.Entry(vowel)->name;
    EXPECT_LT(*jump, 0.5) << db_.Entry(vowel)->name;
  }
}

TEST_F(DefaultVoice, SignalSoundsAreShortAndDistinct) {
  std::set<std::vector<std::uint8_t>> seen;
  for (const StandardEntry& s : StandardInventory()) {
    if (s.role != EntryRole::Signal) continue;
    const CAllophone* a = db_.Entry(s.index);
    ASSERT_NE(a, nullptr);
    EXPECT_GT(Rms(FromUnsigned8(a->samples)), 0.02) << s.name;
    EXPECT_LT(Ms(s.index), 400.0) << s.name;
    EXPECT_TRUE(seen.insert(a->samples).second) << s.name << " sounds like another signal";
  }
}

TEST_F(DefaultVoice, WritesSentencesForListening) {
  Listen("szczebrzeszyn", "W Szczebrzeszynie chrząszcz brzmi w trzcinie i Szczebrzeszyn z tego słynie.");
  Listen("pangram", "Pchnąć w tę łódź jeża lub ośm skrzyń fig.");
  Listen("dzien_dobry", "Dzień dobry. Jest godzina dwunasta trzydzieści.");
  Listen("ala", "Ala ma kota, a kot ma Alę.");
  const auto pcm = Render(Transcribe("Ala ma kota."));
  EXPECT_GT(pcm.size(), static_cast<std::size_t>(kRate * 0.5));
}

}  // namespace
}  // namespace vokar::alf
