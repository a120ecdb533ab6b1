#include "Cutter.h"

#include <algorithm>
#include <cmath>

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

}  // namespace vokar::voicegen
