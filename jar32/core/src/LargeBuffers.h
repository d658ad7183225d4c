// Buffers of megabytes that are filled once (decoded blocks, decoder dictionaries): in pages
// of 2 MiB where the system offers them, so filling them takes a page fault per 2 MiB, not per
// 4 KiB.
#pragma once

#include <lzma.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace jar32 {

void* allocateLarge(size_t n);  // nullptr when out of memory; the bytes are not cleared
void freeLarge(void* p);

struct LargeFree {
  void operator()(uint8_t* p) const { freeLarge(p); }
};
using LargeBuffer = std::unique_ptr<uint8_t[], LargeFree>;

/// n bytes, not cleared; throws std::bad_alloc when out of memory.
LargeBuffer makeLargeBuffer(size_t n);

/// The allocator liblzma's decoders take their dictionaries from.
const lzma_allocator* largeBufferAllocator();

}  // namespace jar32
