#include "OneBlockXz.h"

#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "LargeBuffers.h"
#include "TwoThreadXz.h"
#include "jar32/Errors.h"

extern "C" {
#include "Lzma2Dec.h"
}

namespace jar32 {
namespace {

[[noreturn]] void damaged(const char* what) {
  throw JarError(kCrcError, std::string("Damaged archive: ") + what);
}

void* sdkAlloc(ISzAllocPtr, size_t n) { return allocateLarge(n); }
// A dictionary faulted in ahead of the decoder, which fills it in order.
void* sdkAllocAhead(ISzAllocPtr, size_t n) { return allocateLargeAhead(n); }
void sdkFree(ISzAllocPtr, void* p) { freeLarge(p); }
const ISzAlloc kSdkAlloc = {sdkAlloc, sdkFree};
const ISzAlloc kSdkAllocAhead = {sdkAllocAhead, sdkFree};

// What the block header says, when the stream is one this decodes.
struct BlockHead {
  size_t headerSize = 0;  // stream header and block header
  uint64_t packed = LZMA_VLI_UNKNOWN, raw = LZMA_VLI_UNKNOWN;
  uint32_t dictSize = 0;
  uint8_t prop = 0;  // LZMA2's dictionary property
};

bool parseHeads(const uint8_t* p, size_t n, BlockHead& h) {
  if (n < LZMA_STREAM_HEADER_SIZE + 1) return false;
  lzma_stream_flags flags;
  if (lzma_stream_header_decode(&flags, p) != LZMA_OK || flags.check != LZMA_CHECK_NONE)
    return false;
  const uint8_t* block = p + LZMA_STREAM_HEADER_SIZE;
  if (block[0] == 0) return false;  // no block: the index follows
  const size_t blockHeaderSize = lzma_block_header_size_decode(block[0]);
  if (n < LZMA_STREAM_HEADER_SIZE + blockHeaderSize) return false;
  lzma_filter filters[LZMA_FILTERS_MAX + 1];
  lzma_block b{};
  b.version = 0;
  b.header_size = uint32_t(blockHeaderSize);
  b.check = LZMA_CHECK_NONE;
  b.filters = filters;
  if (lzma_block_header_decode(&b, nullptr, block) != LZMA_OK) return false;
  bool ok = filters[0].id == LZMA_FILTER_LZMA2 && filters[1].id == LZMA_VLI_UNKNOWN;
  if (ok) {
    uint32_t propSize = 0;
    ok = lzma_properties_size(&propSize, &filters[0]) == LZMA_OK && propSize == 1 &&
         lzma_properties_encode(&filters[0], &h.prop) == LZMA_OK;
    h.dictSize = static_cast<const lzma_options_lzma*>(filters[0].options)->dict_size;
  }
  for (size_t i = 0; filters[i].id != LZMA_VLI_UNKNOWN; ++i) std::free(filters[i].options);
  h.headerSize = LZMA_STREAM_HEADER_SIZE + blockHeaderSize;
  h.packed = b.compressed_size;
  h.raw = b.uncompressed_size;
  return ok;
}

}  // namespace

struct OneBlockXz::Sdk {
  CLzma2Dec dec;
  bool ownDictionary = false;
  Sdk() { Lzma2Dec_CONSTRUCT(&dec); }
  ~Sdk() {
    if (ownDictionary) Lzma2Dec_Free(&dec, &kSdkAlloc);
    else Lzma2Dec_FreeProbs(&dec, &kSdkAlloc);
  }
};

size_t OneBlockXz::headersOf(const uint8_t* head, size_t n) {
  BlockHead h;
  return parseHeads(head, n, h) ? h.headerSize : 0;
}

OneBlockXz::OneBlockXz(uint64_t memoryLimit, bool faultAhead)
    : memoryLimit_(memoryLimit), faultAhead_(faultAhead) {}
OneBlockXz::~OneBlockXz() = default;

void OneBlockXz::useWindow(uint8_t* window, size_t size) {
  window_ = window;
  windowSize_ = size;
}

void OneBlockXz::begin(const uint8_t* headers, size_t n) {
  BlockHead h;
  if (!parseHeads(headers, n, h)) damaged("compressed data does not decode");
  headerSize_ = h.headerSize;
  declaredPacked_ = h.packed;
  declaredRaw_ = h.raw;
  sdk_ = std::make_unique<Sdk>();
  if (window_) {
    if (Lzma2Dec_AllocateProbs(&sdk_->dec, h.prop, &kSdkAlloc) != SZ_OK) throw std::bad_alloc();
    sdk_->dec.decoder.dic = window_;
    sdk_->dec.decoder.dicBufSize = windowSize_;
  } else {
    // The dictionary as the decoder rounds it up, and its probabilities (under 64 KiB).
    const uint64_t mask = h.dictSize >= (1u << 22) ? (1u << 20) - 1 : (1u << 12) - 1;
    if (((uint64_t(h.dictSize) + mask) & ~mask) + (64u << 10) > memoryLimit_)
      damaged("compressed data needs too much memory");
    if (Lzma2Dec_Allocate(&sdk_->dec, h.prop, faultAhead_ ? &kSdkAllocAhead : &kSdkAlloc) != SZ_OK)
      throw JarError(kNoMemory, "Not enough memory for the xz decoder");
    sdk_->ownDictionary = true;
  }
  Lzma2Dec_Init(&sdk_->dec);
  phase_ = Phase::Data;
}

size_t OneBlockXz::step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
                        size_t outCap) {
  if (phase_ == Phase::Headers) {
    // The caller found the headers whole in its first bytes; they are gathered all the same.
    while (inPos < inSize && phase_ == Phase::Headers) {
      const size_t sizeByteAt = LZMA_STREAM_HEADER_SIZE;
      const size_t want =
          headers_.size() <= sizeByteAt
              ? sizeByteAt + 1
              : sizeByteAt + lzma_block_header_size_decode(headers_[sizeByteAt]);
      const size_t n = std::min(inSize - inPos, want - headers_.size());
      headers_.insert(headers_.end(), in + inPos, in + inPos + n);
      inPos += n;
      if (headers_.size() == want && want > sizeByteAt + 1) {
        begin(headers_.data(), headers_.size());
        Bytes().swap(headers_);
      }
    }
    if (phase_ == Phase::Headers) return 0;
  }
  if (phase_ == Phase::Data) {
    const size_t got = decode(in, inSize, inPos, out, outCap);
    if (phase_ == Phase::Data || got) return got;
  }
  if (phase_ == Phase::Trailer) {
    const size_t n = std::min(inSize - inPos, trailer_.size() - trailerPos_);
    if (std::memcmp(in + inPos, trailer_.data() + trailerPos_, n) != 0)
      damaged("compressed data does not decode");
    inPos += n;
    trailerPos_ += n;
    if (trailerPos_ == trailer_.size()) phase_ = Phase::Done;
    return 0;
  }
  if (inPos < inSize) damaged("data after the end of a compressed stream");
  return 0;
}

size_t OneBlockXz::decode(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
                          size_t outCap) {
  CLzma2Dec& d = sdk_->dec;
  SizeT inLen = inSize - inPos;
  ELzmaStatus status;
  SRes r;
  size_t got;
  if (window_) {
    // Output anywhere but right after the last (a probe past the declared size) gets no room.
    const size_t room =
        out == window_ + produced_ ? std::min(outCap, windowSize_ - size_t(produced_)) : 0;
    const SizeT before = d.decoder.dicPos;
    // Without room, only the end of the data may follow.
    r = Lzma2Dec_DecodeToDic(&d, before + room, in + inPos, &inLen,
                             room ? LZMA_FINISH_ANY : LZMA_FINISH_END, &status);
    got = d.decoder.dicPos - before;
  } else {
    SizeT outLen = outCap;
    r = Lzma2Dec_DecodeToBuf(&d, out, &outLen, in + inPos, &inLen, LZMA_FINISH_ANY, &status);
    got = outLen;
  }
  inPos += inLen;
  packed_ += inLen;
  produced_ += got;
  if (r != SZ_OK) damaged("compressed data does not decode");
  if (status == LZMA_STATUS_FINISHED_WITH_MARK) endData();
  return got;
}

void OneBlockXz::endData() {
  if ((declaredPacked_ != LZMA_VLI_UNKNOWN && declaredPacked_ != packed_) ||
      (declaredRaw_ != LZMA_VLI_UNKNOWN && declaredRaw_ != produced_))
    damaged("compressed data does not decode");
  // What must follow: the block padding (no check), then the index and footer as written.
  trailer_.assign(size_t((4 - packed_ % 4) % 4), 0);
  const Bytes end = streamEnd(headerSize_ - LZMA_STREAM_HEADER_SIZE + packed_, produced_);
  trailer_.insert(trailer_.end(), end.begin(), end.end());
  phase_ = Phase::Trailer;
  sdk_.reset();  // the dictionary is not needed past the data
}

}  // namespace jar32
