// The prosody stage: a run of speech laid down period by period at a tempo
// and a pitch, and whole sentences shaped into chunks: their format, their
// lengths at the speeds, what the melody and the switches change.
#include "ProsodyStage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "AllophoneIndex.h"
#include "Assembly.h"
#include "Cp1250.h"
#include "TextScanner.h"
#include "support/VoicedInventory.h"

namespace vokar {
namespace {

using testing::kTestPeriod;

std::vector<std::int16_t> Wide(const std::vector<std::uint8_t>& samples) { return Widened(samples); }

// Where the pulses of a pulse train are in a stretch: the highest sample
// of each run above half the stretch's peak.
std::vector<std::size_t> Pulses(std::span<const std::int16_t> s) {
  const int peak = *std::max_element(s.begin(), s.end());
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] < peak / 2) {
      ++i;
      continue;
    }
    std::size_t best = i;
    for (; i < s.size() && s[i] >= peak / 4; ++i)
      if (s[i] > s[best]) best = i;
    at.push_back(best);
  }
  return at;
}

// The spacing of the pulses away from the ends of a stretch.
std::vector<long> Spacings(std::span<const std::int16_t> s) {
  const auto at = Pulses(s);
  std::vector<long> out;
  for (std::size_t i = 2; i + 2 < at.size(); ++i) out.push_back(static_cast<long>(at[i] - at[i - 1]));
  return out;
}

struct SpeechRun {
  std::vector<std::int16_t> samples;
  std::vector<PitchMark> marks;
};

SpeechRun VoicedRun(std::size_t periods) {
  const auto source = AnalyseEntry(allo::kA, classbits::kVowel, testing::VoicedSamples(periods, 0.8, 0.0, 3), 0.0);
  return {source.samples, source.marks};
}

TEST(ShapeRun, WithTheTempoAndThePeriodsKeptTheRunIsTheInput) {
  // Voiced, unvoiced, voiced: the marks of both voiced pieces.
  SpeechRun run = VoicedRun(6);
  const auto noise = Wide(testing::VoicedSamples(4, 0.0, 0.3, 9));
  const auto base = static_cast<std::uint32_t>(run.samples.size() + noise.size());
  run.samples.insert(run.samples.end(), noise.begin(), noise.end());
  const SpeechRun tail = VoicedRun(5);
  run.samples.insert(run.samples.end(), tail.samples.begin(), tail.samples.end());
  for (PitchMark m : tail.marks) {
    m.at += base;
    run.marks.push_back(m);
  }
  EXPECT_EQ(ShapeRun(run.samples, run.marks, RunShape{}), run.samples);
}

// Slower or faster, the voiced sound keeps its period: whole periods are
// repeated or dropped, and the run takes its length divided by the tempo.
TEST(ShapeRun, ATempoRepeatsOrDropsWholePeriods) {
  const SpeechRun run = VoicedRun(40);
  for (const double tempo : {0.5, 0.75, 1.5, 2.0, 2.5}) {
    RunShape shape;
    shape.tempo = tempo;
    const auto out = ShapeRun(run.samples, run.marks, shape);
    EXPECT_EQ(out.size(), static_cast<std::size_t>(std::lround(run.samples.size() / tempo))) << tempo;
    const auto spacings = Spacings(out);
    ASSERT_GT(spacings.size(), 5u) << tempo;
    for (const long s : spacings) EXPECT_NEAR(s, kTestPeriod, 1) << tempo;
  }
}

// The melody sets the period: a contour flat at +4 semitones lays the
// pulses at the plain period over 2^(4/12), at -4 under it.
TEST(ShapeRun, TheMelodySetsThePeriod) {
  const SpeechRun run = VoicedRun(40);
  for (const double semitones : {4.0, -4.0, 7.0}) {
    SentencePlan plan;
    plan.contour.assign(200, static_cast<float>(semitones));
    RunShape shape;
    shape.melody = &plan;
    shape.melodyPeriod = kTestPeriod;
    const auto out = ShapeRun(run.samples, run.marks, shape);
    EXPECT_EQ(out.size(), run.samples.size());
    const double expected = kTestPeriod * std::exp2(-semitones / 12.0);
    const auto spacings = Spacings(out);
    ASSERT_GT(spacings.size(), 5u) << semitones;
    for (const long s : spacings) EXPECT_NEAR(s, expected, 1.0) << semitones;
  }
}

TEST(ShapeRun, ThePeriodsItLaysDownHaveLimits) {
  EXPECT_EQ(LimitedPeriod(kShortestTargetPeriod - 1), kShortestTargetPeriod);
  EXPECT_EQ(LimitedPeriod(kShortestTargetPeriod), kShortestTargetPeriod);
  EXPECT_EQ(LimitedPeriod(kShortestTargetPeriod + 1), kShortestTargetPeriod + 1);
  EXPECT_EQ(LimitedPeriod(kLongestTargetPeriod - 1), kLongestTargetPeriod - 1);
  EXPECT_EQ(LimitedPeriod(kLongestTargetPeriod), kLongestTargetPeriod);
  EXPECT_EQ(LimitedPeriod(kLongestTargetPeriod + 1), kLongestTargetPeriod);
  // A melody an octave and more under the longest period still lays the
  // pulses at that period.
  const SpeechRun run = VoicedRun(40);
  SentencePlan plan;
  plan.contour.assign(200, -24.0f);
  RunShape shape;
  shape.melody = &plan;
  shape.melodyPeriod = kMaxPeriod;
  for (const long s : Spacings(ShapeRun(run.samples, run.marks, shape))) EXPECT_NEAR(s, kLongestTargetPeriod, 1);
}

TEST(ShapeRun, UnvoicedSoundIsStretchedAtItsLevel) {
  const auto noise = Wide(testing::VoicedSamples(40, 0.0, 0.5, 4));
  const auto rms = [](std::span<const std::int16_t> s) {
    double sum = 0.0;
    for (auto v : s) sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(s.size()));
  };
  for (const double tempo : {0.5, 2.5}) {
    RunShape shape;
    shape.tempo = tempo;
    const auto out = ShapeRun(noise, {}, shape);
    EXPECT_EQ(out.size(), static_cast<std::size_t>(std::lround(noise.size() / tempo)));
    const double db = 20.0 * std::log10(rms(out) / rms(noise));
    EXPECT_GT(db, -2.0) << tempo;
    EXPECT_LT(db, 1.0) << tempo;
  }
}

// Noise slowed down stays noise: grains laid a fixed 5 ms apart would
// repeat it with that period (a buzz at 200 Hz, an autocorrelation near 0.5
// at 5 ms), so no lag of 2 to 10 ms may correlate much.
TEST(ShapeRun, StretchedNoiseDoesNotRepeatItself) {
  const auto noise = Wide(testing::VoicedSamples(60, 0.0, 0.5, 7));
  for (const double tempo : {0.5, 0.7}) {
    RunShape shape;
    shape.tempo = tempo;
    const auto out = ShapeRun(noise, {}, shape);
    const std::span<const std::int16_t> middle(out.data() + out.size() / 8, out.size() * 3 / 4);
    double energy = 0.0;
    for (std::size_t i = 0; i + 250 < middle.size(); ++i) energy += static_cast<double>(middle[i]) * middle[i];
    double worst = 0.0;
    std::size_t worstLag = 0;
    for (std::size_t lag = 44; lag <= 220; ++lag) {
      double sum = 0.0;
      for (std::size_t i = 0; i + 250 < middle.size(); ++i) sum += static_cast<double>(middle[i]) * middle[i + lag];
      if (std::abs(sum / energy) > worst) {
        worst = std::abs(sum / energy);
        worstLag = lag;
      }
    }
    EXPECT_LT(worst, 0.2) << "tempo " << tempo << ", lag " << worstLag;
  }
}

TEST(ShapeRun, TempoLimits) {
  const auto tempo = [](int speed) { return TempoOf(ChunkShaping{{true, true}, speed}); };
  EXPECT_DOUBLE_EQ(tempo(kSlowestShapedSpeed - 1), 0.5);
  EXPECT_DOUBLE_EQ(tempo(kSlowestShapedSpeed), 0.5);
  EXPECT_DOUBLE_EQ(tempo(kSlowestShapedSpeed + 1), 0.51);
  EXPECT_DOUBLE_EQ(tempo(0), 1.0);
  EXPECT_DOUBLE_EQ(tempo(kFastestShapedSpeed - 1), 2.49);
  EXPECT_DOUBLE_EQ(tempo(kFastestShapedSpeed), 2.5);
  EXPECT_DOUBLE_EQ(tempo(kFastestShapedSpeed + 1), 2.5);
  // Without the pitch kept the tempo is the device's business.
  EXPECT_DOUBLE_EQ(TempoOf(ChunkShaping{{true, false}, 50}), 1.0);
}

class Controls final : public IControlHandler {
 public:
  void ApplyControl(ControlCode, int, CUtterance&) override {}
  std::optional<ChunkShaping> Shaping() const override { return shaping; }
  std::optional<ChunkShaping> shaping;
};

class Stage : public ::testing::Test {
 protected:
  void SetUp() override { testing::FillVoicedInventory(db, settings); }

  // Every chunk of a text, shaped or not, joined; formats and token
  // offsets as they came.
  std::vector<std::uint8_t> Render(const std::string& utf8, std::optional<ChunkShaping> shaping) {
    if (shaping) settings.prosody = shaping->prosody;
    else settings.prosody = {false, false};
    controls.shaping = shaping;
    text = cp1250::FromUtf8(utf8);
    CTextScanner scanner(text, {settings, db, nullptr, sink});
    std::vector<std::uint8_t> out;
    formats.clear();
    while (CUtterance* utterance = scanner.NextUtterance()) {
      while (RenderNextChunk(*utterance, db, controls)) {
        formats.push_back(utterance->chunkFormat);
        EXPECT_EQ(utterance->chunk.format, utterance->chunkFormat);
        // Each token starts within the chunk, in order.
        std::size_t last = 0;
        for (const std::size_t offset : utterance->chunkTokenOffsets) {
          EXPECT_GE(offset, last);
          EXPECT_LE(offset, utterance->chunk.samples.size());
          last = offset;
        }
        out.insert(out.end(), utterance->chunk.samples.begin(), utterance->chunk.samples.end());
      }
    }
    return out;
  }

  // The same text as the plain pieces, put together here from the tokens.
  std::vector<std::uint8_t> Concatenated(const std::string& utf8) {
    settings.prosody = {false, false};
    text = cp1250::FromUtf8(utf8);
    CTextScanner scanner(text, {settings, db, nullptr, sink});
    std::vector<std::uint8_t> out;
    while (CUtterance* utterance = scanner.NextUtterance()) {
      for (const auto& token : utterance->Tokens()) {
        if (token.control) continue;
        for (const auto& e : token.allophones)
          if (e.index < allo::kNothing && db.Entry(e.index)) out.insert(out.end(), db.Entry(e.index)->samples.begin(), db.Entry(e.index)->samples.end());
      }
    }
    return out;
  }

  CSpeechSettingsValues settings;
  CAllophoneDb db;
  CSilentSink sink;
  Controls controls;
  std::string text;
  std::vector<WaveFormat> formats;
};

const char* const kText = "Mama myła ramę, a Ala ma kota. Czy pies biegnie po lesie? 12 kotów!";

TEST_F(Stage, WithBothSwitchesOffTheSpeechIsThePlainConcatenation) {
  const auto plain = Render(kText, std::nullopt);
  EXPECT_EQ(plain, Concatenated(kText));
  for (const auto& f : formats) EXPECT_EQ(f, kVoiceFormat);
}

TEST_F(Stage, ShapedChunksAre16BitMonoAtTheVoicesRate) {
  Render(kText, ChunkShaping{{true, true}, 50});
  ASSERT_FALSE(formats.empty());
  for (const auto& f : formats) EXPECT_EQ(f, (WaveFormat{WaveFormat::kPcm, 1, 22050, 44100, 2, 16}));
}

// With the pitch kept and no melody, the speech at normal speed is the
// pieces themselves in 16 bits (vowels and sonorants low-passed), and each
// speed divides its length by the tempo.
TEST_F(Stage, TheSpeedDividesTheLengthByTheTempo) {
  const std::size_t normal = Render(kText, ChunkShaping{{false, true}, 0}).size() / 2;
  EXPECT_EQ(normal, Concatenated(kText).size());
  for (const int speed : {-50, 50, 150}) {
    const std::size_t n = Render(kText, ChunkShaping{{false, true}, speed}).size() / 2;
    EXPECT_NEAR(static_cast<double>(n), normal * 100.0 / (100.0 + speed), normal * 0.005) << speed;
  }
}

TEST_F(Stage, AQuestionMarkChangesTheSoundOnlyUnderIntonation) {
  EXPECT_NE(Render("Pies biegnie po lesie.", ChunkShaping{{true, true}, 0}),
            Render("Pies biegnie po lesie?", ChunkShaping{{true, true}, 0}));
  EXPECT_EQ(Render("Pies biegnie po lesie.", ChunkShaping{{false, true}, 0}),
            Render("Pies biegnie po lesie?", ChunkShaping{{false, true}, 0}));
}

// The longest silence inside the speech, in samples.
std::size_t LongestInnerSilence(const std::vector<std::uint8_t>& bytes) {
  std::size_t longest = 0, run = 0, first = ~std::size_t{0};
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto v = static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (std::abs(v) < 64) {
      ++run;
    } else {
      if (first == ~std::size_t{0}) first = i;
      else longest = std::max(longest, run);
      run = 0;
    }
  }
  return longest;
}

TEST_F(Stage, NoPauseWhereTheTextHasNone) {
  // After a figure and before a vowel there is none under intonation; the
  // pieces have a tenth of a second there.
  const std::string text = "Mam 12 kotów i 5 psów ale Ala ma owce";
  EXPECT_LT(LongestInnerSilence(Render(text, ChunkShaping{{true, true}, 0})), 22050u * 8 / 100);
  EXPECT_GE(LongestInnerSilence(Render(text, ChunkShaping{{false, true}, 0})), 22050u / 10);
}

TEST_F(Stage, TheMelodyMovesThePitchOfTheSpeech) {
  // A question rises over its last stressed syllable: the period of its last
  // sound (the m of dom) is shorter than that of its first vowel by four
  // semitones and more.
  settings.prosody = {true, true};
  controls.shaping = ChunkShaping{settings.prosody, 0};
  text = cp1250::FromUtf8("Czy mama ma dom?");
  CTextScanner scanner(text, {settings, db, nullptr, sink});
  CUtterance* utterance = scanner.NextUtterance();
  ASSERT_TRUE(utterance && RenderNextChunk(*utterance, db, controls));
  const auto& bytes = utterance->chunk.samples;
  std::vector<std::int16_t> s(bytes.size() / 2);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  const auto& starts = utterance->chunkSoundStarts;
  // czy: cz y (elements 0, 1); mama, ma (2 to 7); dom: d o o m (8 to 11).
  const auto periodOf = [&](std::size_t element) {
    const auto from = starts[element], to = starts[element + 1];
    return PeriodOf(std::span<const std::int16_t>(s).subspan(from, to - from));
  };
  const auto first = periodOf(1);
  const auto last = periodOf(11);
  ASSERT_TRUE(first && last);
  EXPECT_GT(12.0 * std::log2(*first / *last), 4.0);
}

double Mean(const std::vector<long>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size()); }

// The voice's pitch moved by whole semitones: a period of 232 samples at +6
// becomes 232 / 2^(6/12) = 164.0 samples, at -6 232 * 2^(6/12) = 328.1. It
// holds with the pitch kept and no melody (each period scaled) and with a
// melody without the pitch kept (the melody's periods scaled: the mean
// period of the same sounds against the mean at 0).
TEST_F(Stage, APitchShiftScalesEveryPeriod) {
  // The spacings of the pulses of "Mama ma", the first six sounds of the
  // sentence, all voiced.
  const auto spacingsOfMamaMa = [&](const ChunkShaping& shaping) {
    settings.prosody = shaping.prosody;
    controls.shaping = shaping;
    text = cp1250::FromUtf8("Mama ma dom.");
    CTextScanner scanner(text, {settings, db, nullptr, sink});
    CUtterance* utterance = scanner.NextUtterance();
    if (!utterance || !RenderNextChunk(*utterance, db, controls) || utterance->chunkSoundStarts.size() < 7)
      return std::vector<long>{};
    const auto& bytes = utterance->chunk.samples;
    std::vector<std::int16_t> s(bytes.size() / 2);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    const auto from = utterance->chunkSoundStarts[0], to = utterance->chunkSoundStarts[6];
    return Spacings(std::span<const std::int16_t>(s).subspan(from, to - from));
  };
  for (const auto& [semitones, expected] : {std::pair{0.0, 232.0}, {6.0, 164.05}, {-6.0, 328.10}}) {
    const auto spacings = spacingsOfMamaMa(ChunkShaping{{false, true, semitones}, 0});
    ASSERT_GT(spacings.size(), 20u) << semitones;
    for (const long s : spacings) EXPECT_NEAR(s, expected, 1.0) << semitones;
  }
  const double plain = Mean(spacingsOfMamaMa(ChunkShaping{{true, false, 0.0}, 0}));
  const double higher = Mean(spacingsOfMamaMa(ChunkShaping{{true, false, 6.0}, 0}));
  const double lower = Mean(spacingsOfMamaMa(ChunkShaping{{true, false, -6.0}, 0}));
  EXPECT_NEAR(higher / plain, 0.7071, 0.01);
  EXPECT_NEAR(lower / plain, 1.4142, 0.02);
}

}  // namespace
}  // namespace vokar
