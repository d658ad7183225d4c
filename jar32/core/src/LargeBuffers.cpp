#include "LargeBuffers.h"

#include <lzma.h>
#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

namespace jar32 {
namespace {

constexpr size_t kHugePage = 2u << 20;

void* lzmaAlloc(void*, size_t count, size_t size) {
  if (size && count > SIZE_MAX / size) return nullptr;
  return allocateLarge(count * size);
}
void lzmaFree(void*, void* p) { freeLarge(p); }
const lzma_allocator kLzmaAllocator = {lzmaAlloc, lzmaFree, nullptr};

// Threads that fault in the pages of buffers being written, one per buffer.
class Prefaulter {
 public:
  void start([[maybe_unused]] void* p, [[maybe_unused]] size_t n) noexcept {
#ifdef MADV_POPULATE_WRITE
    std::thread t;
    try {
      std::lock_guard<std::mutex> lock(mutex_);
      t = std::thread([p, n] {
        constexpr size_t kStep = 8u << 20;
        for (size_t at = 0; at < n; at += kStep)
          if (::madvise(static_cast<char*>(p) + at, std::min(kStep, n - at), MADV_POPULATE_WRITE))
            return;  // not offered (before Linux 5.14) or no memory now: faults come as written
      });
      threads_.emplace(p, std::move(t));
      ++running_;
    } catch (...) {
      // No thread or no memory to spare: the writer faults the pages in itself.
      if (t.joinable()) t.join();
    }
#endif
  }
  void finish(void* p) {
    if (running_.load() == 0) return;
    std::thread t;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = threads_.find(p);
      if (it == threads_.end()) return;
      t = std::move(it->second);
      threads_.erase(it);
      --running_;
    }
    t.join();
  }

 private:
  std::mutex mutex_;
  std::map<void*, std::thread> threads_;
  std::atomic<size_t> running_{0};
};

Prefaulter& prefaulter() {
  static Prefaulter instance;
  return instance;
}

}  // namespace

void* allocateLarge(size_t n) {
  if (n < kHugePage) return std::malloc(n ? n : 1);
  const size_t rounded = (n + kHugePage - 1) / kHugePage * kHugePage;
  if (rounded < n) return nullptr;
  void* p = std::aligned_alloc(kHugePage, rounded);
#ifdef MADV_HUGEPAGE
  if (p) ::madvise(p, rounded, MADV_HUGEPAGE);  // advice only: it may be refused
#endif
  return p;
}

void freeLarge(void* p) {
  if (p) prefaulter().finish(p);
  std::free(p);
}

void prefaultLarge(void* p, size_t n) noexcept {
  if (p && n >= kPrefaultFrom) prefaulter().start(p, n);
}

void* allocateLargeAhead(size_t n) {
  void* p = allocateLarge(n);
  prefaultLarge(p, n);
  return p;
}

const lzma_allocator* largeBufferAllocator() { return &kLzmaAllocator; }

}  // namespace jar32
