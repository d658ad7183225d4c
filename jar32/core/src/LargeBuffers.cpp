#include "LargeBuffers.h"

#include <lzma.h>
#include <sys/mman.h>

#include <cstdlib>

namespace jar32 {
namespace {

constexpr size_t kHugePage = 2u << 20;

void* lzmaAlloc(void*, size_t count, size_t size) {
  if (size && count > SIZE_MAX / size) return nullptr;
  return allocateLarge(count * size);
}
void lzmaFree(void*, void* p) { freeLarge(p); }
const lzma_allocator kLzmaAllocator = {lzmaAlloc, lzmaFree, nullptr};

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

void freeLarge(void* p) { std::free(p); }

const lzma_allocator* largeBufferAllocator() { return &kLzmaAllocator; }

}  // namespace jar32
