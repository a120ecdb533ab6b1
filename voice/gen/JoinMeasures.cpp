#include "JoinMeasures.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace vokar::voicegen {
namespace {

constexpr std::size_t Ms(double ms) { return static_cast<std::size_t>(ms * kMeasureRate / 1000.0 + 0.5); }

std::span<const float> Part(std::span<const float> s, std::size_t begin, std::size_t end) {
  end = std::min(end, s.size());
  begin = std::min(begin, end);
  return s.subspan(begin, end - begin);
}

// The stretch of `length` samples of a segment that lies next to one of its
// ends, `gap` samples away from it; the gap at most a quarter of the segment
// and the stretch shorter when the segment is, never outside it.
std::span<const float> BeforeEnd(std::span<const float> s, const Segment& seg, std::size_t gap, std::size_t length) {
  const std::size_t size = seg.end - seg.begin;
  gap = std::min(gap, size / 4);
  length = std::min(length, size - gap);
  return Part(s, seg.end - gap - length, seg.end - gap);
}

std::span<const float> AfterStart(std::span<const float> s, const Segment& seg, std::size_t gap, std::size_t length) {
  const std::size_t size = seg.end - seg.begin;
  gap = std::min(gap, size / 4);
  length = std::min(length, size - gap);
  return Part(s, seg.begin + gap, seg.begin + gap + length);
}

}  // namespace

bool IsSonorant(SoundClass c) {
  return c == SoundClass::Vowel || c == SoundClass::Nasal || c == SoundClass::Liquid || c == SoundClass::Glide;
}

bool IsVoiced(SoundClass c) {
  return IsSonorant(c) || c == SoundClass::VoicedStop || c == SoundClass::VoicedFricative ||
         c == SoundClass::VoicedAffricate;
}

const char* ClassName(SoundClass c) {
  switch (c) {
    case SoundClass::Vowel: return "vowel";
    case SoundClass::Nasal: return "nasal";
    case SoundClass::Liquid: return "liquid";
    case SoundClass::Glide: return "glide";
    case SoundClass::VoicedStop: return "voiced stop";
    case SoundClass::VoicelessStop: return "voiceless stop";
    case SoundClass::VoicedFricative: return "voiced fricative";
    case SoundClass::VoicelessFricative: return "voiceless fricative";
    case SoundClass::VoicedAffricate: return "voiced affricate";
    case SoundClass::VoicelessAffricate: return "voiceless affricate";
    case SoundClass::Silence: return "silence";
    case SoundClass::Other: return "other";
  }
  return "other";
}

SoundClass ClassOfEntry(int index) {
  if (index >= 1 && index <= 48) return SoundClass::Vowel;
  if (index >= 49 && index <= 54) return SoundClass::VoicedStop;
  if (index >= 55 && index <= 59) return SoundClass::VoicedFricative;
  if (index >= 60 && index <= 62) return SoundClass::VoicedAffricate;
  if (index >= 63 && index <= 68) return SoundClass::VoicelessStop;
  if (index >= 69 && index <= 73) return SoundClass::VoicelessFricative;
  if (index >= 74 && index <= 76) return SoundClass::VoicelessAffricate;
  if (index >= 77 && index <= 84) return SoundClass::Nasal;
  if (index >= 85 && index <= 88) return SoundClass::VoicelessFricative;
  if (index == 89 || index == 90 || index == 94 || index == 95) return SoundClass::Liquid;
  if ((index >= 91 && index <= 93) || index == 96 || index == 97) return SoundClass::Glide;
  if (index >= 106 && index <= 109) return SoundClass::Silence;
  return SoundClass::Other;
}

SoundClass ClassOfPhoneme(const std::string& name) {
  if (name.empty() || name[0] == '_') return SoundClass::Silence;
  // Softness (';') and the reduced or variant marks ('#') do not change the class.
  std::string base;
  for (char c : name) {
    if (c != ';' && c != '#' && c != '\'' && c != ',') base += c;
  }
  static const std::map<std::string, SoundClass> kClasses{
      {"a", SoundClass::Vowel},  {"E", SoundClass::Vowel},  {"e", SoundClass::Vowel},
      {"i", SoundClass::Vowel},  {"O", SoundClass::Vowel},  {"o", SoundClass::Vowel},
      {"u", SoundClass::Vowel},  {"y", SoundClass::Vowel},  {"O~", SoundClass::Vowel},
      {"E~", SoundClass::Vowel}, {"m", SoundClass::Nasal},  {"n", SoundClass::Nasal},
      {"n^", SoundClass::Nasal}, {"N", SoundClass::Nasal},  {"l", SoundClass::Liquid},
      {"R", SoundClass::Liquid}, {"r", SoundClass::Liquid}, {"j", SoundClass::Glide},
      {"w", SoundClass::Glide},  {"b", SoundClass::VoicedStop}, {"d", SoundClass::VoicedStop},
      {"g", SoundClass::VoicedStop}, {"p", SoundClass::VoicelessStop}, {"t", SoundClass::VoicelessStop},
      {"k", SoundClass::VoicelessStop}, {"v", SoundClass::VoicedFricative}, {"z", SoundClass::VoicedFricative},
      {"Z", SoundClass::VoicedFricative}, {"f", SoundClass::VoicelessFricative},
      {"s", SoundClass::VoicelessFricative}, {"S", SoundClass::VoicelessFricative},
      {"x", SoundClass::VoicelessFricative}, {"h", SoundClass::VoicelessFricative},
      {"dz", SoundClass::VoicedAffricate}, {"dZ", SoundClass::VoicedAffricate},
      {"ts", SoundClass::VoicelessAffricate}, {"tS", SoundClass::VoicelessAffricate},
  };
  const auto it = kClasses.find(base);
  return it == kClasses.end() ? SoundClass::Other : it->second;
}

double JoinReport::MedianStepDb() const {
  if (stepsDb.empty()) return 0.0;
  std::vector<double> sorted = stepsDb;
  std::sort(sorted.begin(), sorted.end());
  const std::size_t n = sorted.size();
  return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
}

void JoinReport::Add(const JoinReport& other) {
  sonorantJoins += other.sonorantJoins;
  dips += other.dips;
  dipAt.clear();  // segment numbers belong to one utterance
  stepsDb.insert(stepsDb.end(), other.stepsDb.begin(), other.stepsDb.end());
  voicedJoins += other.voicedJoins;
  pitchJumps += other.pitchJumps;
}

double LevelDb(std::span<const float> samples) {
  if (samples.empty()) return -100.0;
  double sum = 0.0;
  for (float v : samples) sum += static_cast<double>(v) * v;
  const double rms = std::sqrt(sum / samples.size());
  return rms <= 1e-5 ? -100.0 : 20.0 * std::log10(rms);
}

double DipDb(std::span<const float> samples, const Segment& left, const Segment& right) {
  // A voiced sound's level swings within every pitch period, so each short
  // window near the join is held against the same phase one period earlier
  // (in the left sound) and one period later (in the right one): only a
  // fall that the neighbouring periods do not have counts.
  std::size_t period = Ms(10);
  if (const auto f0 = PitchHz(BeforeEnd(samples, left, 0, Ms(25)))) {
    period = static_cast<std::size_t>(kMeasureRate / *f0 + 0.5);
  } else if (const auto f0r = PitchHz(AfterStart(samples, right, 0, Ms(25)))) {
    period = static_cast<std::size_t>(kMeasureRate / *f0r + 0.5);
  }
  const std::size_t join = left.end;
  const std::size_t window = Ms(1);
  const std::size_t reach = Ms(3);
  double deepest = 0.0;
  const std::size_t from = join > reach + window / 2 ? join - reach - window / 2 : 0;
  for (std::size_t at = from; at + window <= std::min(right.end, join + reach + window / 2); at += Ms(0.25)) {
    double reference = 1e9;
    if (at >= left.begin + period) reference = std::min(reference, LevelDb(samples.subspan(at - period, window)));
    if (at + period + window <= right.end) reference = std::min(reference, LevelDb(samples.subspan(at + period, window)));
    if (reference > 1e8) continue;
    deepest = std::max(deepest, reference - LevelDb(samples.subspan(at, window)));
  }
  return deepest;
}

double StepDb(std::span<const float> samples, const Segment& left, const Segment& right) {
  const double before = LevelDb(BeforeEnd(samples, left, 0, Ms(10)));
  const double after = LevelDb(AfterStart(samples, right, 0, Ms(10)));
  return std::min(60.0, std::abs(before - after));
}

std::optional<double> PitchHz(std::span<const float> s) {
  const int shortest = kMeasureRate / 400;
  const int longest = kMeasureRate / 60;
  if (s.size() < static_cast<std::size_t>(longest) + 64) return std::nullopt;
  const auto correlation = [&](int lag) {
    double cross = 0.0, e1 = 0.0, e2 = 0.0;
    for (std::size_t i = 0; i + lag < s.size(); ++i) {
      cross += static_cast<double>(s[i]) * s[i + lag];
      e1 += static_cast<double>(s[i]) * s[i];
      e2 += static_cast<double>(s[i + lag]) * s[i + lag];
    }
    return cross / std::sqrt(e1 * e2 + 1e-12);
  };
  double best = 0.0;
  int bestLag = 0;
  for (int lag = shortest; lag <= longest; ++lag) {
    const double r = correlation(lag);
    if (r > best) {
      best = r;
      bestLag = lag;
    }
  }
  if (best < 0.6) return std::nullopt;
  // Two or three periods correlate nearly as well as one: take the shortest
  // lag that comes close to the best.
  for (int divisor : {3, 2}) {
    for (int lag = bestLag / divisor - 2; lag <= bestLag / divisor + 2; ++lag) {
      if (lag >= shortest && correlation(lag) > 0.9 * best) return static_cast<double>(kMeasureRate) / lag;
    }
  }
  return static_cast<double>(kMeasureRate) / bestLag;
}

std::optional<double> PitchJumpSemitones(std::span<const float> samples, const Segment& left, const Segment& right) {
  const auto before = PitchHz(BeforeEnd(samples, left, 0, Ms(25)));
  const auto after = PitchHz(AfterStart(samples, right, 0, Ms(25)));
  if (!before || !after) return std::nullopt;
  return std::abs(12.0 * std::log2(*after / *before));
}

JoinReport MeasureJoins(std::span<const float> samples, std::span<const Segment> segments) {
  JoinReport report;
  for (std::size_t i = 0; i + 1 < segments.size(); ++i) {
    const Segment& left = segments[i];
    const Segment& right = segments[i + 1];
    if (left.sound == SoundClass::Silence || right.sound == SoundClass::Silence) continue;
    if (left.sound == SoundClass::Other || right.sound == SoundClass::Other) continue;
    if (left.end != right.begin || left.end <= left.begin || right.end <= right.begin) continue;
    if (right.end > samples.size()) break;
    report.stepsDb.push_back(StepDb(samples, left, right));
    if (IsSonorant(left.sound) && IsSonorant(right.sound)) {
      ++report.sonorantJoins;
      if (DipDb(samples, left, right) >= kDipDb) {
        ++report.dips;
        report.dipAt.push_back(i);
      }
    }
    if (IsVoiced(left.sound) && IsVoiced(right.sound)) {
      if (const auto jump = PitchJumpSemitones(samples, left, right)) {
        ++report.voicedJoins;
        if (*jump > kJumpSemitones) ++report.pitchJumps;
      }
    }
  }
  return report;
}

double WaveCorrelation(std::span<const float> a, std::span<const float> b) {
  double ea = 0.0, eb = 0.0;
  for (float v : a) ea += static_cast<double>(v) * v;
  for (float v : b) eb += static_cast<double>(v) * v;
  if (ea <= 0.0 || eb <= 0.0) return 0.0;
  double best = 0.0;
  const auto na = static_cast<long>(a.size());
  const auto nb = static_cast<long>(b.size());
  for (long shift = -(nb - 1); shift < na; ++shift) {
    double cross = 0.0;
    const long from = std::max(0L, shift);
    const long to = std::min(na, shift + nb);
    for (long i = from; i < to; ++i) cross += static_cast<double>(a[static_cast<std::size_t>(i)]) * b[static_cast<std::size_t>(i - shift)];
    best = std::max(best, std::abs(cross));
  }
  return best / std::sqrt(ea * eb);
}

}  // namespace vokar::voicegen
