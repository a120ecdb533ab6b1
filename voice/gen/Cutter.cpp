#include "Cutter.h"

#include <algorithm>
#include <cmath>

#include "JoinMeasures.h"

namespace vokar::voicegen {
namespace {

std::size_t Ms(double ms, int rate) { return static_cast<std::size_t>(std::llround(ms * rate / 1000.0)); }

double RmsOf(std::span<const float> s) {
  if (s.empty()) return 0.0;
  double sum = 0.0;
  for (float v : s) sum += static_cast<double>(v) * v;
  return std::sqrt(sum / s.size());
}

}  // namespace

bool IsPauseMark(const std::string& name) { return name.empty() || name[0] == '_'; }

std::size_t NearestRisingZero(std::span<const float> samples, std::size_t at, std::size_t radius) {
  for (std::size_t d = 0; d <= radius; ++d) {
    for (const std::size_t i : {at - d, at + d}) {
      if (d > at && i == at - d) continue;
      if (i == 0 || i >= samples.size()) continue;
      if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) return i;
    }
  }
  return at;
}

alf::Result<Cut> FindCut(const Synthesis& synthesis, const CutRequest& request) {
  const std::vector<PhonemeMark>& marks = synthesis.marks;
  const std::size_t total = synthesis.samples.size();
  std::size_t which = marks.size();
  int seen = 0;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (marks[i].name == request.phoneme && ++seen == request.occurrence) {
      which = i;
      break;
    }
  }
  // Where the synthesiser has no soft phoneme of that name, "p;" is p said
  // soft: the p and the palatal release (";") that follows it.
  bool soft = false;
  if (which == marks.size() && request.phoneme.size() > 1 && request.phoneme.back() == ';') {
    const std::string plain = request.phoneme.substr(0, request.phoneme.size() - 1);
    seen = 0;
    for (std::size_t i = 0; i + 1 < marks.size(); ++i) {
      if (marks[i].name == plain && marks[i + 1].name == ";" && ++seen == request.occurrence) {
        which = i;
        soft = true;
        break;
      }
    }
  }
  if (which == marks.size()) {
    std::string found;
    for (const PhonemeMark& m : marks) found += " " + m.name;
    return alf::MakeError(alf::ErrorKind::Source, {}, 0,
                          "phoneme '" + request.phoneme + "' #" + std::to_string(request.occurrence) +
                              " not in the carrier; it holds:" + found);
  }
  const std::span<const float> all(synthesis.samples);
  const int rate = synthesis.rate;
  std::size_t begin = std::min(marks[which].sample, total);
  std::size_t end = which + 1 < marks.size() ? std::min(marks[which + 1].sample, total) : total;
  if (soft) {
    const std::size_t releaseEnd = which + 2 < marks.size() ? std::min(marks[which + 2].sample, total) : total;
    end = request.releaseMs ? std::min(releaseEnd, end + Ms(*request.releaseMs, synthesis.rate)) : releaseEnd;
  }
  if (end <= begin) {
    return alf::MakeError(alf::ErrorKind::Source, {}, 0, "phoneme '" + request.phoneme + "' is empty");
  }

  // Quiet edges (a vowel's decay into the next closure, the synthesiser's
  // onset) are left out, judged in 5 ms windows against the segment's peak.
  const std::size_t window = Ms(5.0, rate);
  double peak = 0.0;
  for (std::size_t at = begin; at + window <= end; at += window / 2) {
    peak = std::max(peak, RmsOf(all.subspan(at, window)));
  }
  const double quiet = peak * 0.05;
  if (request.postMs == 0.0) {
    while (end > begin + window && RmsOf(all.subspan(end - window, window)) < quiet) end -= window / 2;
  }
  if (request.preMs == 0.0) {
    while (begin + window < end && RmsOf(all.subspan(begin, window)) < quiet) begin += window / 2;
  }
  begin = begin > Ms(request.preMs, rate) ? begin - Ms(request.preMs, rate) : 0;
  end = std::min(total, end + Ms(request.postMs, rate));
  begin = std::min(end, begin + Ms(request.skipMs, rate));
  if (request.lengthMs) end = std::min(end, begin + Ms(*request.lengthMs, rate));
  if (end <= begin + window) {
    return alf::MakeError(alf::ErrorKind::Source, {}, 0,
                          "phoneme '" + request.phoneme + "' leaves less than 5 ms after trimming");
  }

  const std::size_t radius = Ms(1.5, rate);
  begin = NearestRisingZero(all, begin, radius);
  end = NearestRisingZero(all, end, radius);

  Cut cut;
  cut.begin = begin;
  cut.end = end;
  // The loudest phoneme of the carrier, measured over its middle half.
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (IsPauseMark(marks[i].name)) continue;
    const std::size_t a = std::min(marks[i].sample, total);
    const std::size_t b = i + 1 < marks.size() ? std::min(marks[i + 1].sample, total) : total;
    if (b <= a) continue;
    const std::size_t quarter = (b - a) / 4;
    cut.referenceRms = std::max(cut.referenceRms, RmsOf(all.subspan(a + quarter, b - a - 2 * quarter)));
  }
  return cut;
}

std::size_t QuietestRisingZero(std::span<const float> samples, std::size_t at, std::size_t radius) {
  std::size_t best = at;
  double quietest = 1e300;
  const std::size_t from = at > radius ? at - radius : 1;
  for (std::size_t i = std::max<std::size_t>(from, 1); i <= at + radius && i < samples.size(); ++i) {
    if (!(samples[i - 1] < 0.0f && samples[i] >= 0.0f)) continue;
    const double step = std::max(std::abs(samples[i - 1]), std::abs(samples[i]));
    if (step < quietest) {
      quietest = step;
      best = i;
    }
  }
  return best;
}

std::vector<std::size_t> PeriodPeaks(std::span<const float> samples, std::size_t from, std::size_t to,
                                     double period) {
  std::vector<std::size_t> peaks;
  to = std::min(to, samples.size());
  if (from >= to || period < 2.0) return peaks;
  const auto strongest = static_cast<std::size_t>(
      std::max_element(samples.begin() + static_cast<std::ptrdiff_t>(from), samples.begin() + static_cast<std::ptrdiff_t>(to)) -
      samples.begin());
  const auto near = static_cast<std::size_t>(0.8 * period);
  const auto far = static_cast<std::size_t>(1.2 * period);
  const auto highest = [&](std::size_t a, std::size_t b) {
    return static_cast<std::size_t>(std::max_element(samples.begin() + static_cast<std::ptrdiff_t>(a),
                                                     samples.begin() + static_cast<std::ptrdiff_t>(b)) -
                                    samples.begin());
  };
  std::vector<std::size_t> before;
  for (std::size_t p = strongest; p >= far;) {
    p = highest(p - far, p - near + 1);
    before.push_back(p);
  }
  peaks.assign(before.rbegin(), before.rend());
  peaks.push_back(strongest);
  for (std::size_t p = strongest; p + far < samples.size();) {
    p = highest(p + near, p + far + 1);
    peaks.push_back(p);
  }
  return peaks;
}

void AlignToPeriods(std::span<const float> samples, double period, Cut& cut) {
  const auto p = static_cast<std::size_t>(period);
  const std::size_t window = std::min<std::size_t>(Ms(25.0, kMeasureRate), cut.end - cut.begin);
  const auto periodic = [&](std::size_t a, std::size_t b) {
    const auto f0 = PitchHz(samples.subspan(a, b - a));
    return f0 && std::abs(*f0 * period / kMeasureRate - 1.0) < 0.15;
  };
  const bool atBegin = periodic(cut.begin, cut.begin + window);
  const bool atEnd = periodic(cut.end - window, cut.end);
  if (!atBegin && !atEnd) return;
  const std::size_t from = cut.begin > 2 * p ? cut.begin - 2 * p : 0;
  const auto peaks = PeriodPeaks(samples, from, std::min(samples.size(), cut.end + 2 * p), period);
  if (peaks.size() < 2) return;
  // The grid point of the period nearest to `at`.
  const auto gridPoint = [&](std::size_t at) {
    std::size_t best = at;
    double distance = 1e300;
    for (std::size_t k = 0; k + 1 < peaks.size(); ++k) {
      const double point = peaks[k] + kCutPhase * static_cast<double>(peaks[k + 1] - peaks[k]);
      if (std::abs(point - static_cast<double>(at)) < distance) {
        distance = std::abs(point - static_cast<double>(at));
        best = static_cast<std::size_t>(std::llround(point));
      }
    }
    return QuietestRisingZero(samples, best, p / 10);
  };
  Cut aligned = cut;
  if (atBegin) aligned.begin = gridPoint(cut.begin);
  if (atEnd) aligned.end = gridPoint(cut.end);
  if (aligned.end <= aligned.begin + p) return;
  aligned.periodicBegin = atBegin;
  aligned.periodicEnd = atEnd;
  cut = aligned;
}

}  // namespace vokar::voicegen
