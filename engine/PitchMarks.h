// What the prosody stage reads of each allophone entry, made from its 8-bit
// samples when the voice is loaded: the samples widened to 16 bits (vowels
// and sonorants low-passed, which takes the 8-bit rounding noise out of the
// band where they have no sound of their own) and the pitch marks of its
// voiced stretches, one on the positive peak of every period. The voice is
// cut at the same phase of a steady period, so the marks of two voiced
// pieces continue one another across their join. Everything here runs once
// per entry and in time linear in its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vokar {

enum class SourceKind : std::uint8_t {
  Silence,  // a pause entry, or nothing to play
  Speech,   // a recorded sound of speech, shaped by the stage
  Signal,   // a signal sound (tick, ding, ...): played as recorded
};

struct PitchMark {
  std::uint32_t at = 0;    // the sample of a period's positive peak
  bool startsRun = false;  // the first mark of a voiced stretch
  bool operator==(const PitchMark&) const = default;
};

struct EntrySource {
  SourceKind kind = SourceKind::Silence;
  std::vector<std::int16_t> samples;
  std::vector<PitchMark> marks;
  // Whether its first voiced stretch starts within its first period and a
  // quarter, and its last reaches as near its end: such ends continue a
  // voiced neighbour's marks.
  bool voicedAtStart = false;
  bool voicedAtEnd = false;
  // The median distance of its marks in samples; 0 when it has none.
  double period = 0.0;
};

// The shortest and longest pitch period the analysis looks for, in samples
// at 22050 Hz: 490 Hz down to 69 Hz.
inline constexpr int kMinPeriod = 45;
inline constexpr int kMaxPeriod = 320;

// The normalised correlation of two neighbouring periods of a voiced
// obstruent above which they count as voiced.
inline constexpr double kVoicedCorrelation = 0.5;

// The pitch period of a stretch of samples, by normalised autocorrelation
// over kMinPeriod..kMaxPeriod (at most half the stretch): the shortest lag
// that is a local maximum within 0.85 of the best, so that twice the period
// never wins. Nothing when even the best lag correlates under 0.4 (noise,
// silence) or the stretch is shorter than two of the shortest periods and
// a little.
std::optional<double> PeriodOf(std::span<const std::int16_t> samples);

// The marks of a sound voiced from end to end (a vowel, a sonorant): the
// highest sample of its first period, then from peak to peak, each the
// highest sample 0.85 to 1.15 periods after the one before (the period
// following the sound as it goes, so a falling pitch is tracked).
std::vector<PitchMark> TrackPeriods(std::span<const std::int16_t> samples, double period);

// The marks of a sound that may be voiced in parts (a voiced obstruent): as
// TrackPeriods, but a stretch goes on only while each period correlates
// with the one before at kVoicedCorrelation or more; a new one starts where
// two periods do again.
std::vector<PitchMark> FindVoicedPeriods(std::span<const std::int16_t> samples, double period);

// The low-pass of vowels and sonorants: a half-band filter of 15 taps (the
// Hann-windowed sinc cut at a quarter of the rate, 5.5 kHz at 22050 Hz),
// within 0.7 dB to 4 kHz and 35 dB down from 7.5 kHz. The ends are
// continued by odd reflection, so that an entry that starts or ends on a
// zero crossing still does.
std::vector<std::int16_t> LowPassed(std::span<const std::int16_t> samples);

// 8-bit unsigned samples as 16-bit signed ones of the same level.
std::vector<std::int16_t> Widened(std::span<const std::uint8_t> samples);

// Everything above for one entry. Index and class bits decide its kind
// (signal sounds 98-105; speech 1-97 and the default 110; pauses silent),
// whether it is low-passed (vowels, nasals, l, r, ł, j, the default) and how
// its marks are found (voiced throughout, voiced in parts for the voiced
// obstruents, none for the voiceless). `voicePeriod` is the voice's plain
// period when known (0 otherwise: the entry's own is then looked for).
EntrySource AnalyseEntry(int index, std::uint16_t classBits, std::span<const std::uint8_t> samples,
                         double voicePeriod);

}  // namespace vokar
