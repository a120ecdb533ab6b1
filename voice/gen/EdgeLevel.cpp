#include "EdgeLevel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vokar::voicegen {

double EdgeCorrectionDb(double levelDb, double targetDb, double limitDb) {
  if (levelDb <= -100.0) return 0.0;
  return std::clamp(targetDb - levelDb, -limitDb, limitDb);
}

void RampEdges(std::span<float> piece, double beginDb, double endDb, std::size_t ramp) {
  ramp = std::min(ramp, piece.size() / 2);
  const std::size_t n = piece.size();
  for (std::size_t i = 0; i < ramp; ++i) {
    // 1 on the edge sample, falling to 0 where the ramp ends.
    const double weight = 0.5 + 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / static_cast<double>(ramp));
    piece[i] *= static_cast<float>(std::pow(10.0, beginDb * weight / 20.0));
    piece[n - 1 - i] *= static_cast<float>(std::pow(10.0, endDb * weight / 20.0));
  }
}

}  // namespace vokar::voicegen
