#include "Codec.h"

#include <lzma.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "jar32/Errors.h"

namespace jar32 {
namespace {

[[noreturn]] void damaged(const char* what) {
  throw JarError(kCrcError, std::string("Damaged archive: ") + what);
}

constexpr size_t kOutStep = 256 * 1024;

class StoreEncoder final : public Encoder {
 public:
  void write(const uint8_t* d, size_t n, Bytes& out) override {
    if (n) out.insert(out.end(), d, d + n);
  }
  void finish(Bytes&) override {}
};

class StoreDecoder final : public Decoder {
 public:
  size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
              size_t outCap) override {
    size_t n = std::min(inSize - inPos, outCap);
    if (n == 0) return 0;
    std::memcpy(out, in + inPos, n);
    inPos += n;
    return n;
  }
  // A stored stream ends where its section ends; the section reader knows that.
  bool finished() const override { return true; }
};

class ZstdEncoder final : public Encoder {
 public:
  ZstdEncoder(const CodecChoice& c, uint64_t size) : cctx_(ZSTD_createCCtx()) {
    if (!cctx_) throw std::bad_alloc();
    ZSTD_CCtx_setParameter(cctx_, ZSTD_c_compressionLevel, c.level);
    ZSTD_CCtx_setPledgedSrcSize(cctx_, size);
    if (c.windowLog > 0) {
      ZSTD_CCtx_setParameter(cctx_, ZSTD_c_windowLog, std::min(c.windowLog, kMaxZstdWindowLog));
      ZSTD_CCtx_setParameter(cctx_, ZSTD_c_enableLongDistanceMatching, 1);
    }
  }
  ~ZstdEncoder() override { ZSTD_freeCCtx(cctx_); }
  void write(const uint8_t* d, size_t n, Bytes& out) override { run(d, n, ZSTD_e_continue, out); }
  void finish(Bytes& out) override { run(nullptr, 0, ZSTD_e_end, out); }

 private:
  void run(const uint8_t* d, size_t n, ZSTD_EndDirective mode, Bytes& out) {
    ZSTD_inBuffer in{d, n, 0};
    for (;;) {
      size_t old = out.size();
      out.resize(old + kOutStep);
      ZSTD_outBuffer ob{out.data() + old, kOutStep, 0};
      size_t r = ZSTD_compressStream2(cctx_, &ob, &in, mode);
      out.resize(old + ob.pos);
      if (ZSTD_isError(r)) throw JarError(kInternal, std::string("zstd: ") + ZSTD_getErrorName(r));
      bool done = mode == ZSTD_e_end ? r == 0 : in.pos == in.size;
      if (done) return;
    }
  }
  ZSTD_CCtx* cctx_;
};

class ZstdDecoder final : public Decoder {
 public:
  ZstdDecoder() : dctx_(ZSTD_createDCtx()) {
    if (!dctx_) throw std::bad_alloc();
    ZSTD_DCtx_setParameter(dctx_, ZSTD_d_windowLogMax, kMaxZstdWindowLog);
  }
  ~ZstdDecoder() override { ZSTD_freeDCtx(dctx_); }
  size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
              size_t outCap) override {
    if (finished_) {
      if (inPos < inSize) damaged("data after the end of a compressed stream");
      return 0;
    }
    ZSTD_inBuffer ib{in, inSize, inPos};
    ZSTD_outBuffer ob{out, outCap, 0};
    size_t r = ZSTD_decompressStream(dctx_, &ob, &ib);
    if (ZSTD_isError(r)) damaged("compressed data does not decode");
    inPos = ib.pos;
    if (r == 0) finished_ = true;
    return ob.pos;
  }
  bool finished() const override { return finished_; }

 private:
  ZSTD_DCtx* dctx_;
  bool finished_ = false;
};

// The LZMA2 options of a choice for an input of `size` bytes.
lzma_options_lzma xzOptions(const CodecChoice& c, uint64_t size) {
  lzma_options_lzma opt;
  if (lzma_lzma_preset(&opt, uint32_t(std::clamp(c.level, 0, 9))))
    throw JarError(kInternal, "xz: bad preset");
  // A dictionary larger than the input only costs memory.
  while (opt.dict_size / 2 >= std::max<uint64_t>(size, 64 * 1024)) opt.dict_size /= 2;
  if (c.lc >= 0) opt.lc = uint32_t(c.lc);
  if (c.pb >= 0) opt.pb = uint32_t(c.pb);
  return opt;
}

class XzEncoder final : public Encoder {
 public:
  XzEncoder(const CodecChoice& c, uint64_t size) {
    lzma_options_lzma opt = xzOptions(c, size);
    lzma_filter filters[3];
    int i = 0;
    if (c.x86Filter) filters[i++] = {LZMA_FILTER_X86, nullptr};
    filters[i++] = {LZMA_FILTER_LZMA2, &opt};
    filters[i] = {LZMA_VLI_UNKNOWN, nullptr};
    lzma_ret r = lzma_stream_encoder(&strm_, filters, LZMA_CHECK_NONE);
    if (r == LZMA_MEM_ERROR) throw JarError(kNoMemory, "Not enough memory for the xz encoder");
    if (r != LZMA_OK) throw JarError(kInternal, "xz: cannot start the encoder");
  }
  ~XzEncoder() override { lzma_end(&strm_); }
  void write(const uint8_t* d, size_t n, Bytes& out) override { run(d, n, LZMA_RUN, out); }
  void finish(Bytes& out) override { run(nullptr, 0, LZMA_FINISH, out); }

 private:
  void run(const uint8_t* d, size_t n, lzma_action action, Bytes& out) {
    strm_.next_in = d;
    strm_.avail_in = n;
    for (;;) {
      size_t old = out.size();
      out.resize(old + kOutStep);
      strm_.next_out = out.data() + old;
      strm_.avail_out = kOutStep;
      lzma_ret r = lzma_code(&strm_, action);
      out.resize(old + (kOutStep - strm_.avail_out));
      if (r == LZMA_STREAM_END) return;
      if (r == LZMA_MEM_ERROR) throw JarError(kNoMemory, "Not enough memory for the xz encoder");
      if (r != LZMA_OK) throw JarError(kInternal, "xz: encoder failed");
      if (action == LZMA_RUN && strm_.avail_in == 0) return;
    }
  }
  lzma_stream strm_ = LZMA_STREAM_INIT;
};

class XzDecoder final : public Decoder {
 public:
  XzDecoder() {
    // Enough for a 64 MiB dictionary; a hostile header asking for more fails.
    if (lzma_stream_decoder(&strm_, kMaxDecoderMemory, 0) != LZMA_OK)
      throw JarError(kNoMemory, "Not enough memory for the xz decoder");
  }
  ~XzDecoder() override { lzma_end(&strm_); }
  size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
              size_t outCap) override {
    if (finished_) {
      if (inPos < inSize) damaged("data after the end of a compressed stream");
      return 0;
    }
    strm_.next_in = in + inPos;
    strm_.avail_in = inSize - inPos;
    strm_.next_out = out;
    strm_.avail_out = outCap;
    lzma_ret r = lzma_code(&strm_, LZMA_RUN);
    inPos = inSize - strm_.avail_in;
    if (r == LZMA_STREAM_END) finished_ = true;
    else if (r == LZMA_MEMLIMIT_ERROR) damaged("compressed data needs too much memory");
    else if (r != LZMA_OK && r != LZMA_BUF_ERROR) damaged("compressed data does not decode");
    return outCap - strm_.avail_out;
  }
  bool finished() const override { return finished_; }

 private:
  lzma_stream strm_ = LZMA_STREAM_INIT;
  bool finished_ = false;
};

}  // namespace

uint64_t encoderMemory(const CodecChoice& c, uint64_t size) {
  if (c.codec != kCodecXz) return 64ull << 20;  // a zstd window with long-distance matching
  lzma_options_lzma opt = xzOptions(c, size);
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA2, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
  const uint64_t n = lzma_raw_encoder_memusage(filters);
  return n == UINT64_MAX ? 1ull << 30 : n;
}

std::unique_ptr<Encoder> Encoder::make(const CodecChoice& c, uint64_t size) {
  switch (c.codec) {
    case kCodecStore: return std::make_unique<StoreEncoder>();
    case kCodecZstd: return std::make_unique<ZstdEncoder>(c, size);
    case kCodecXz: return std::make_unique<XzEncoder>(c, size);
  }
  throw JarError(kInternal, "unknown codec");
}

std::unique_ptr<Decoder> Decoder::make(uint8_t codec) {
  switch (codec) {
    case kCodecStore: return std::make_unique<StoreDecoder>();
    case kCodecZstd: return std::make_unique<ZstdDecoder>();
    case kCodecXz: return std::make_unique<XzDecoder>();
  }
  damaged("unknown compression method");
}

}  // namespace jar32
