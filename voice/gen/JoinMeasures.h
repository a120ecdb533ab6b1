// How joined speech sounds at its joins, measured the way a listener hears
// it: whether the level dips between two sonorant sounds, how far the level
// steps across a join, whether the pitch jumps between two voiced sounds, and
// how much a soft consonant differs from its plain partner. The same measures
// serve the voice built from pieces and a synthesiser's running speech cut at
// its phoneme boundaries, so the two can be compared.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vokar::voicegen {

// What kind of sound a stretch of speech is, for the measures below.
enum class SoundClass {
  Vowel,
  Nasal,
  Liquid,        // l, r
  Glide,         // j, ł
  VoicedStop,
  VoicelessStop,
  VoicedFricative,
  VoicelessFricative,
  VoicedAffricate,
  VoicelessAffricate,
  Silence,       // a pause
  Other,         // signals and anything unknown
};

bool IsSonorant(SoundClass c);  // vowels, nasals, liquids and glides
bool IsVoiced(SoundClass c);    // the sonorants and the voiced obstruents
const char* ClassName(SoundClass c);

// The class of an entry of the standard inventory, by its index.
SoundClass ClassOfEntry(int index);

// The class of one of espeak-ng's Polish phoneme names ("a", "n^", "ts;"),
// Other for names it does not know.
SoundClass ClassOfPhoneme(const std::string& name);

// One stretch of a rendered utterance: an entry, or a synthesiser's phoneme.
struct Segment {
  std::size_t begin = 0;
  std::size_t end = 0;
  SoundClass sound = SoundClass::Other;
};

struct JoinReport {
  std::size_t sonorantJoins = 0;  // joins between two sonorant segments
  std::size_t dips = 0;           // of them, those whose level falls 20 dB or more
  std::vector<std::size_t> dipAt; // the segment before each of those joins
  std::vector<double> stepsDb;    // level step at every join between two sounds
  std::size_t voicedJoins = 0;    // joins between two voiced segments, both periodic
  std::size_t pitchJumps = 0;     // of them, those that jump more than 2 semitones

  double DipShare() const { return sonorantJoins == 0 ? 0.0 : static_cast<double>(dips) / sonorantJoins; }
  double MedianStepDb() const;
  void Add(const JoinReport& other);
};

inline constexpr int kMeasureRate = 22050;
inline constexpr double kDipDb = 20.0;
inline constexpr double kJumpSemitones = 2.0;

// RMS level in dB (relative to full scale 1.0) of a stretch, -100 for silence.
double LevelDb(std::span<const float> samples);

// How far the level falls at a join, in dB (0 or more): every 1 ms window
// within 3 ms of the join against the lower of the same window one pitch
// period earlier and one later (10 ms where neither side is periodic), so
// that the swing of the level within each period does not count. Windows
// stay inside the two segments.
double DipDb(std::span<const float> samples, const Segment& left, const Segment& right);

// The difference in dB between the 10 ms just before a join and the 10 ms
// just after it (each inside its own segment), absolute, at most 60.
double StepDb(std::span<const float> samples, const Segment& left, const Segment& right);

// The fundamental frequency of a stretch by normalised autocorrelation over
// 60-400 Hz, nothing when it is not clearly periodic (peak below 0.6).
std::optional<double> PitchHz(std::span<const float> samples);

// The pitch at the end of the left segment against its start in the right
// one (25 ms each), in semitones, absolute; nothing when either is not
// periodic.
std::optional<double> PitchJumpSemitones(std::span<const float> samples, const Segment& left, const Segment& right);

// All joins of an utterance, between neighbouring segments that are not
// silence.
JoinReport MeasureJoins(std::span<const float> samples, std::span<const Segment> segments);

// How alike two sounds are as waveforms: the largest normalised
// cross-correlation over every shift of one against the other (1 for a copy,
// whatever its length or level).
double WaveCorrelation(std::span<const float> a, std::span<const float> b);

}  // namespace vokar::voicegen
