#include "PitchContour.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vokar::voicegen {

std::vector<float> LowerPitchTowardsEnd(std::span<const float> source, std::span<const std::size_t> peaks,
                                        std::size_t fallStart, std::size_t fallEnd, double semitones) {
  std::vector<float> out(source.begin(), source.end());
  if (peaks.size() < 3 || fallEnd <= fallStart) return out;
  // The first grain sits on the peak nearest the start of the fall; up to it
  // the source is kept.
  std::size_t first = 0;
  for (std::size_t k = 0; k < peaks.size(); ++k) {
    if (std::llabs(static_cast<long long>(peaks[k]) - static_cast<long long>(fallStart)) <
        std::llabs(static_cast<long long>(peaks[first]) - static_cast<long long>(fallStart))) {
      first = k;
    }
  }
  if (first + 1 >= peaks.size()) return out;
  const std::size_t splice = peaks[first];
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(splice), out.end(), 0.0f);
  // Before the splice the source continues into the first grain's left
  // half; the source's own right half of that period is what the grain adds.
  const auto periodAt = [&](std::size_t k) {
    return k + 1 < peaks.size() ? peaks[k + 1] - peaks[k] : peaks[k] - peaks[k - 1];
  };
  const auto nearestPeak = [&](double at) {
    const auto it = std::lower_bound(peaks.begin(), peaks.end(), static_cast<std::size_t>(std::max(0.0, at)));
    if (it == peaks.end()) return peaks.size() - 1;
    const auto k = static_cast<std::size_t>(it - peaks.begin());
    if (k > 0 && at - static_cast<double>(peaks[k - 1]) < static_cast<double>(peaks[k]) - at) return k - 1;
    return k;
  };
  double mark = static_cast<double>(splice);
  bool isFirst = true;
  while (mark < static_cast<double>(source.size())) {
    const std::size_t k = isFirst ? first : nearestPeak(mark);
    const std::size_t period = periodAt(k);
    const std::size_t center = peaks[k];
    // Each grain reaches one period to either side, under a Hann window;
    // the first grain only to the right, the left being the source itself.
    for (long d = isFirst ? 0 : -static_cast<long>(period); d <= static_cast<long>(period); ++d) {
      const long from = static_cast<long>(center) + d;
      const long to = std::lround(mark) + d;
      if (from < 0 || to < 0 || from >= static_cast<long>(source.size()) || to >= static_cast<long>(out.size())) {
        continue;
      }
      const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * static_cast<double>(d) / static_cast<double>(period));
      out[static_cast<std::size_t>(to)] += static_cast<float>(w * source[static_cast<std::size_t>(from)]);
    }
    isFirst = false;
    double progress = (mark - static_cast<double>(fallStart)) / static_cast<double>(fallEnd - fallStart);
    progress = std::clamp(progress, 0.0, 1.0);
    const double ratio = std::pow(2.0, -semitones * progress / 12.0);
    if (k + 1 >= peaks.size()) break;
    mark += static_cast<double>(period) / ratio;
  }
  return out;
}

}  // namespace vokar::voicegen
