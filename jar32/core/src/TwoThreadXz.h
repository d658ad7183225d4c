// .xz streams whose LZMA2 data comes from an encoder with its match finder in a thread of its
// own (two cores at work on one block, the same bytes as with one).
#pragma once

#include <lzma.h>

#include <cstddef>
#include <cstdint>

#include "Bytes.h"
#include "LargeBuffers.h"

namespace jar32 {

/// Memory the second thread's match buffers and the encoder's state take, besides the tables.
inline constexpr uint64_t kTwoThreadBuffers = 8ull << 20;

/// True if `opt` is one the two-thread encoder takes (a binary-tree match finder, normal mode).
bool twoThreadEncoderTakes(const lzma_options_lzma& opt);

/// The most memory the two-thread encoder takes for n bytes with `opt`, which it takes.
uint64_t twoThreadEncoderMemory(const lzma_options_lzma& opt, uint64_t n);

/// The bytes the two-thread encoders have asked their allocator for, all together so far.
uint64_t twoThreadBytesAllocatedForTesting();

/// Appends to out one .xz stream with no check that holds data[0..n) packed with `opt`.
/// Out of memory throws JarError(kNoMemory).
void encodeTwoThreadXz(const lzma_options_lzma& opt, const uint8_t* data, size_t n,
                       LargeBytes& out);

/// The index and stream footer that end a stream with no check and at most one block, as
/// liblzma writes them: the block's unpadded and uncompressed sizes, or no block when
/// unpaddedSize is 0. Out of memory throws JarError(kNoMemory).
Bytes streamEnd(uint64_t unpaddedSize, uint64_t rawSize);

}  // namespace jar32
