// Buffers of megabytes (decoded blocks, decoder dictionaries and windows, the encoders' input,
// output and tables, a block's data section): in pages of 2 MiB where the system offers them,
// so filling them takes a page fault per 2 MiB, not per 4 KiB.
#pragma once

#include <lzma.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace jar32 {

void* allocateLarge(size_t n);  // nullptr when out of memory; the bytes are not cleared
void freeLarge(void* p);
/// Faults in the pages of p[0..n) (from allocateLarge, at least kPrefaultFrom bytes) for
/// writing, on a thread of its own, ahead of whoever writes them: the system clears them there,
/// not on the writer's thread. The bytes stay as they are. freeLarge(p) waits for the thread.
/// Nothing happens where the system does not offer it (before Linux 5.14).
void prefaultLarge(void* p, size_t n) noexcept;
inline constexpr size_t kPrefaultFrom = 16u << 20;
/// allocateLarge(n), then prefaultLarge on it: for a buffer its user fills in order.
void* allocateLargeAhead(size_t n);

/// A vector's allocator from these pages, whose resize leaves new bytes as they are (they
/// are written next).
template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) {}
  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* p = allocateLarge(n * sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) { freeLarge(p); }
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <class U>
  bool operator==(const LargeAllocator<U>&) const { return true; }
};
using LargeBytes = std::vector<uint8_t, LargeAllocator<uint8_t>>;

/// The allocator liblzma's decoders take their dictionaries from.
const lzma_allocator* largeBufferAllocator();

}  // namespace jar32
