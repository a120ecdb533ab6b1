#include "DisplayFit.h"

namespace vokar::keyboard {

std::string FitTail(std::string_view text, int width, const std::function<int(std::string_view)>& measure) {
  constexpr std::size_t kDropStep = 5;
  constexpr int kMaxDrops = 819;
  constexpr int kMaxPutBack = 5;
  std::size_t start = 0;
  for (int step = 0; step < kMaxDrops && start < text.size() && measure(text.substr(start)) > width; ++step) {
    start = std::min(text.size(), start + kDropStep);
  }
  for (int step = 0; step < kMaxPutBack && start > 0; ++step) {
    if (measure(text.substr(start - 1)) >= width) break;
    --start;
  }
  return std::string(text.substr(start));
}

}  // namespace vokar::keyboard
