// Streaming compression of a block's data: zstd or xz (LZMA2, optionally with the x86 filter,
// with x86 branches split into streams of their own, or with gzip trailers left out).
#pragma once

#include <lzma.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "Bytes.h"
#include "LargeBuffers.h"

namespace jar32 {

enum Codec : uint8_t {
  kCodecStore = 0,
  kCodecZstd = 1,
  kCodecXz = 2,
  kCodecXzBranches = 3,
  kCodecXzGzip = 4,
};

/// How one block is compressed.
struct CodecChoice {
  Codec codec = kCodecZstd;
  int level = 3;          // zstd level or xz preset (0..9)
  int windowLog = 0;      // zstd: 0 = level default; > 0 enables long-distance matching
  bool x86Filter = false; // xz: branch-call-jump filter for x86 machine code
  int lc = -1, pb = -1;   // xz: literal context bits and position bits (-1: the preset's)
  int depth = 0;          // xz: match finder depth (0: the encoder's own)
  int niceLen = 0;        // xz: match length that ends the search at any input size (0: the
                          // preset's, or the longest for preset 9 on small inputs)

  bool operator==(const CodecChoice&) const = default;
};

/// Memory the encoder of `choice` takes for an input of `size` bytes (its tables and window).
uint64_t encoderMemory(const CodecChoice& choice, uint64_t size);

/// The LZMA2 options of an xz choice for an input of `size` bytes.
lzma_options_lzma xzOptions(const CodecChoice& c, uint64_t size);

/// Largest zstd window a reader accepts (the encoder never uses more).
inline constexpr int kMaxZstdWindowLog = 26;
/// Most memory one decoder may take besides its output: a 64 MiB zstd window or an xz
/// dictionary of up to 64 MiB (the encoder's largest).
inline constexpr uint64_t kMaxDecoderMemory = 66ull << 20;
/// Most bytes the side streams of a split block (calls, jumps, flags) may take; a block whose
/// side streams would be larger is written with the plain x86 filter.
inline constexpr uint64_t kMaxBranchSideBytes = 8ull << 20;
/// Most memory any decoder takes besides its output: the split block's side streams, their two
/// small decoders and the 3.2 MiB of buffers of the thread that decodes its main stream ahead,
/// on top of the largest dictionary (codec 4 takes less: a map of at most 4 MiB, and the same
/// thread).
inline constexpr uint64_t kMaxDecoderState = kMaxDecoderMemory + kMaxBranchSideBytes + (6ull << 20);
/// Most memory a decoder that decodes into its window takes besides it.
inline constexpr uint64_t kWindowDecoderState = 2ull << 20;

class Encoder {
 public:
  virtual ~Encoder() = default;
  /// size: the exact number of bytes that will be written (small inputs get small tables).
  /// fileStarts: where each file of the input begins (a hint for the x86 branch split).
  static std::unique_ptr<Encoder> make(const CodecChoice& choice, uint64_t size,
                                       const std::vector<uint64_t>& fileStarts = {});
  /// Compresses n bytes, appending output to out (in large pages, not cleared first: a
  /// block's output is megabytes, and fresh pages cost more than the copy).
  virtual void write(const uint8_t* data, size_t n, LargeBytes& out) = 0;
  /// Ends the stream, appending the rest to out.
  virtual void finish(LargeBytes& out) = 0;
  /// The codec the stream was written with (after finish; a split may fall back to kCodecXz).
  virtual Codec codec() const = 0;
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  /// kCrcError for an unknown codec id.
  static std::unique_ptr<Decoder> make(uint8_t codec);
  /// Decodes from in[inPos..inSize) into out (at most outCap bytes), advancing inPos; returns
  /// the bytes produced. Malformed input throws JarError(kCrcError).
  virtual size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
                      size_t outCap) = 0;
  /// True once the end of the compressed stream was seen.
  virtual bool finished() const = 0;
  /// Before the first step: lets the codec decode straight into window (size bytes) and read
  /// back what it wrote there as its dictionary, so it keeps almost no state of its own. Each
  /// later step then writes right after the previous one's output in window, which the caller
  /// leaves as it is. head: the stream's first bytes. False (nothing changes) when the codec
  /// cannot.
  virtual bool useWindow(uint8_t* window, size_t size, const uint8_t* head, size_t headSize) {
    (void)window, (void)size, (void)head, (void)headSize;
    return false;
  }
};

}  // namespace jar32
