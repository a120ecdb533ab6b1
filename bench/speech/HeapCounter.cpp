#include "HeapCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace vokar::bench::heap {
namespace {

// The wave devices free and allocate on their own threads. Counting is off
// until Enable, so that the timed runs pay only for one load per call.
std::atomic<bool> g_enabled{false};
std::atomic<std::size_t> g_current{0};
std::atomic<std::size_t> g_peak{0};

void Count(void* block) {
  if (block == nullptr || !g_enabled.load(std::memory_order_relaxed)) return;
  const std::size_t size = malloc_usable_size(block);
  const std::size_t now = g_current.fetch_add(size, std::memory_order_relaxed) + size;
  std::size_t peak = g_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

// A block allocated before counting began is still subtracted when freed;
// the sum may then dip below what was counted, so it saturates at zero.
void Uncount(void* block) {
  if (block == nullptr || !g_enabled.load(std::memory_order_relaxed)) return;
  const std::size_t size = malloc_usable_size(block);
  std::size_t now = g_current.load(std::memory_order_relaxed);
  while (!g_current.compare_exchange_weak(now, now > size ? now - size : 0, std::memory_order_relaxed)) {
  }
}

void* Allocate(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  Count(block);
  return block;
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  // aligned_alloc wants a size that is a multiple of the alignment.
  const std::size_t rounded = (size + align - 1) / align * align;
  void* block = std::aligned_alloc(align, rounded == 0 ? align : rounded);
  if (block == nullptr) throw std::bad_alloc();
  Count(block);
  return block;
}

void Release(void* block) {
  Uncount(block);
  std::free(block);
}

}  // namespace

void Enable() { g_enabled.store(true); }
std::size_t Current() { return g_current.load(std::memory_order_relaxed); }
std::size_t Peak() { return g_peak.load(std::memory_order_relaxed); }
void ResetPeak() { g_peak.store(Current(), std::memory_order_relaxed); }

}  // namespace vokar::bench::heap

using vokar::bench::heap::Allocate;
using vokar::bench::heap::AllocateAligned;
using vokar::bench::heap::Release;

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { Release(block); }
