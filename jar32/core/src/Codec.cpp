#include "Codec.h"

#include <lzma.h>
#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_c_stableInBuffer
#include <zstd.h>

#include <sched.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "BranchSplit.h"
#include "DecoderThread.h"
#include "GzipTrailers.h"
#include "LargeBuffers.h"
#include "OneBlockXz.h"
#include "TwoThreadXz.h"
#include "jar32/Errors.h"

namespace jar32 {
namespace {

[[noreturn]] void damaged(const char* what) {
  throw JarError(kCrcError, std::string("Damaged archive: ") + what);
}

constexpr size_t kOutStep = 256 * 1024;

// zstd's tables and windows (megabytes, most of them written at once) in large pages.
void* zstdAlloc(void*, size_t n) { return allocateLarge(n); }
void zstdFree(void*, void* p) { freeLarge(p); }
constexpr ZSTD_customMem kZstdMemory = {zstdAlloc, zstdFree, nullptr};

class StoreEncoder final : public Encoder {
 public:
  void write(const uint8_t* d, size_t n, LargeBytes& out) override {
    if (n) out.insert(out.end(), d, d + n);
  }
  void finish(LargeBytes&) override {}
  Codec codec() const override { return kCodecStore; }
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
  ZstdEncoder(const CodecChoice& c, uint64_t size)
      : cctx_(ZSTD_createCCtx_advanced(kZstdMemory)), size_(size) {
    if (!cctx_) throw std::bad_alloc();
    ZSTD_CCtx_setParameter(cctx_, ZSTD_c_compressionLevel, c.level);
    ZSTD_CCtx_setPledgedSrcSize(cctx_, size);
    if (c.windowLog > 0) {
      ZSTD_CCtx_setParameter(cctx_, ZSTD_c_windowLog, std::min(c.windowLog, kMaxZstdWindowLog));
      ZSTD_CCtx_setParameter(cctx_, ZSTD_c_enableLongDistanceMatching, 1);
    }
  }
  ~ZstdEncoder() override { ZSTD_freeCCtx(cctx_); }
  void write(const uint8_t* d, size_t n, LargeBytes& out) override {
    if (!started_ && n == size_) {
      // All of it at once (what blocks write): zstd reads it where it lies instead of copying
      // it into a window of its own.
      ZSTD_CCtx_setParameter(cctx_, ZSTD_c_stableInBuffer, 1);
      done_ = true;
      return run(d, n, ZSTD_e_end, out);
    }
    started_ = true;
    run(d, n, ZSTD_e_continue, out);
  }
  void finish(LargeBytes& out) override {
    if (!done_) run(nullptr, 0, ZSTD_e_end, out);
    done_ = true;
  }
  Codec codec() const override { return kCodecZstd; }

 private:
  void run(const uint8_t* d, size_t n, ZSTD_EndDirective mode, LargeBytes& out) {
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
  uint64_t size_;
  bool started_ = false, done_ = false;
};

class ZstdDecoder final : public Decoder {
 public:
  ZstdDecoder() : dctx_(ZSTD_createDCtx_advanced(kZstdMemory)) {
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

constexpr uint64_t kLongSearchLimit = 16ull << 20;

}  // namespace

lzma_options_lzma xzOptions(const CodecChoice& c, uint64_t size) {
  lzma_options_lzma opt;
  if (lzma_lzma_preset(&opt, uint32_t(std::clamp(c.level, 0, 9))))
    throw JarError(kInternal, "xz: bad preset");
  // A dictionary larger than the input only costs memory.
  while (opt.dict_size / 2 >= std::max<uint64_t>(size, 64 * 1024)) opt.dict_size /= 2;
  if (c.lc >= 0) opt.lc = uint32_t(c.lc);
  if (c.pb >= 0) opt.pb = uint32_t(c.pb);
  // Small inputs take little time either way: the longest matches are worth their search.
  if (c.level == 9 && size <= kLongSearchLimit) opt.nice_len = 273;
  if (c.depth) opt.depth = uint32_t(c.depth);
  if (c.niceLen) opt.nice_len = uint32_t(c.niceLen);
  return opt;
}

namespace {

// The streams of branch targets: 4-byte numbers, so no literal context and 4-byte positions.
constexpr uint32_t kOperandDictionary = 1u << 20;
constexpr uint64_t kOperandDecoderMemory = 2ull << 20;

lzma_options_lzma operandOptions(uint64_t size) {
  lzma_options_lzma opt = xzOptions({kCodecXz, 9, 0, false, 0, 2}, size);
  opt.dict_size = std::min(opt.dict_size, kOperandDictionary);
  opt.lp = 2;
  return opt;
}

class XzEncoder final : public Encoder {
 public:
  XzEncoder(lzma_options_lzma opt, bool x86Filter) {
    lzma_filter filters[3];
    int i = 0;
    if (x86Filter) filters[i++] = {LZMA_FILTER_X86, nullptr};
    filters[i++] = {LZMA_FILTER_LZMA2, &opt};
    filters[i] = {LZMA_VLI_UNKNOWN, nullptr};
    lzma_ret r = lzma_stream_encoder(&strm_, filters, LZMA_CHECK_NONE);
    if (r == LZMA_MEM_ERROR) throw JarError(kNoMemory, "Not enough memory for the xz encoder");
    if (r != LZMA_OK) throw JarError(kInternal, "xz: cannot start the encoder");
  }
  ~XzEncoder() override { lzma_end(&strm_); }
  void write(const uint8_t* d, size_t n, LargeBytes& out) override { run(d, n, LZMA_RUN, out); }
  void finish(LargeBytes& out) override { run(nullptr, 0, LZMA_FINISH, out); }
  Codec codec() const override { return kCodecXz; }

 private:
  void run(const uint8_t* d, size_t n, lzma_action action, LargeBytes& out) {
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

// An encoder that needs the whole input: taken where it lies when it comes at once (what blocks
// do), held until the end otherwise.
class WholeInputEncoder : public Encoder {
 public:
  explicit WholeInputEncoder(uint64_t size) : size_(size) {}
  void write(const uint8_t* d, size_t n, LargeBytes& out) final {
    if (!done_ && raw_.empty() && n == size_) return encodeOnce(d, n, out);
    raw_.insert(raw_.end(), d, d + n);
  }
  void finish(LargeBytes& out) final {
    if (!done_) encodeOnce(raw_.data(), raw_.size(), out);
    LargeBytes().swap(raw_);
  }

 protected:
  virtual void encode(const uint8_t* d, size_t n, LargeBytes& out) = 0;

 private:
  void encodeOnce(const uint8_t* d, size_t n, LargeBytes& out) {
    done_ = true;
    encode(d, n, out);
  }
  uint64_t size_;
  LargeBytes raw_;
  bool done_ = false;
};

// Packed with both cores.
class TwoThreadXzEncoder final : public WholeInputEncoder {
 public:
  TwoThreadXzEncoder(lzma_options_lzma opt, uint64_t size) : WholeInputEncoder(size), opt_(opt) {}
  Codec codec() const override { return kCodecXz; }

 private:
  void encode(const uint8_t* d, size_t n, LargeBytes& out) override {
    encodeTwoThreadXz(opt_, d, n, out);
  }
  lzma_options_lzma opt_;
};

// An xz encoder for `opt`: on two threads where the options allow it.
std::unique_ptr<Encoder> makeXzEncoder(const lzma_options_lzma& opt, bool x86Filter,
                                       uint64_t size) {
  if (!x86Filter && twoThreadEncoderTakes(opt))
    return std::make_unique<TwoThreadXzEncoder>(opt, size);
  return std::make_unique<XzEncoder>(opt, x86Filter);
}

// n bytes packed as one .xz stream, appended to out.
void compressXz(const lzma_options_lzma& opt, const uint8_t* d, size_t n, LargeBytes& out) {
  auto enc = makeXzEncoder(opt, false, n);
  enc->write(d, n, out);
  enc->finish(out);
}

class LiblzmaXzDecoder final : public Decoder {
 public:
  // The default is enough for a 64 MiB dictionary; a hostile header asking for more fails.
  explicit LiblzmaXzDecoder(uint64_t memoryLimit = kMaxDecoderMemory) {
    strm_.allocator = largeBufferAllocator();
    if (lzma_stream_decoder(&strm_, memoryLimit, 0) != LZMA_OK)
      throw JarError(kNoMemory, "Not enough memory for the xz decoder");
  }
  ~LiblzmaXzDecoder() override { lzma_end(&strm_); }
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


// jar32's own streams go to the LZMA SDK's decoder; any other .xz stream to liblzma's.
class XzDecoder final : public Decoder {
 public:
  // The default is enough for a 64 MiB dictionary; a hostile header asking for more fails.
  // faultAhead: see OneBlockXz (false where another thread of the decoding needs the core).
  explicit XzDecoder(uint64_t memoryLimit = kMaxDecoderMemory, bool faultAhead = true)
      : memoryLimit_(memoryLimit), faultAhead_(faultAhead) {}
  size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
              size_t outCap) override {
    if (!sdk_ && !lib_) return choose(in, inSize, inPos, out, outCap);
    return sdk_ ? sdk_->step(in, inSize, inPos, out, outCap)
                : lib_->step(in, inSize, inPos, out, outCap);
  }
  bool finished() const override { return sdk_ ? sdk_->finished() : lib_ && lib_->finished(); }
  bool useWindow(uint8_t* window, size_t size, const uint8_t* head, size_t headSize) override {
    if (sdk_ || lib_ || !head_.empty() || !OneBlockXz::headersOf(head, headSize)) return false;
    sdk_ = std::make_unique<OneBlockXz>(memoryLimit_, faultAhead_);
    sdk_->useWindow(window, size);
    return true;
  }

 private:
  // Picks the decoder once the stream's headers are in; they may come in several steps.
  size_t choose(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out, size_t outCap) {
    if (head_.empty() && decide(in + inPos, inSize - inPos))
      return step(in, inSize, inPos, out, outCap);
    while (inPos < inSize) {
      head_.push_back(in[inPos++]);
      if (decide(head_.data(), head_.size())) {
        size_t pos = 0, got = 0;
        while (pos < head_.size()) {
          const size_t before = pos;
          got += step(head_.data(), head_.size(), pos, out + got, outCap - got);
          if (pos == before) break;
        }
        Bytes().swap(head_);
        return got + step(in, inSize, inPos, out + got, outCap - got);
      }
    }
    return 0;
  }
  // True once head tells which decoder the stream needs (it then exists).
  bool decide(const uint8_t* head, size_t n) {
    if (OneBlockXz::headersOf(head, n)) {
      sdk_ = std::make_unique<OneBlockXz>(memoryLimit_, faultAhead_);
      return true;
    }
    // Not ours, or not yet known: the stream header, then the block header's size byte, then
    // the block header itself.
    const size_t known = LZMA_STREAM_HEADER_SIZE + 1;
    if (n < known) return false;
    const uint8_t sizeByte = head[known - 1];
    if (sizeByte != 0 && n < LZMA_STREAM_HEADER_SIZE + lzma_block_header_size_decode(sizeByte))
      return false;
    lib_ = std::make_unique<LiblzmaXzDecoder>(memoryLimit_);
    return true;
  }

  uint64_t memoryLimit_;
  bool faultAhead_;
  Bytes head_;
  std::unique_ptr<OneBlockXz> sdk_;
  std::unique_ptr<Decoder> lib_;
};

// A section that starts with a head of side data, whose size its first bytes tell, followed by
// a main .xz stream that is decoded on a thread of its own, ahead of the rebuilding of the
// output from it and the head.
class HeadAndMainDecoder : public Decoder {
 public:
  explicit HeadAndMainDecoder(size_t fixed) : fixed_(fixed), want_(fixed) {}
  size_t step(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
              size_t outCap) final {
    if (failed_) std::rethrow_exception(failed_);
    if (finished_) {
      if (inPos < inSize) damaged("data after the end of a compressed stream");
      return 0;
    }
    if (!main_ && !gatherHead(in, inSize, inPos)) return 0;
    size_t produced = 0;
    while (produced < outCap) {
      if (mainPos_ < mainLen_ || !rebuildIdle()) {
        const size_t before = mainPos_;
        const size_t got = rebuild(mainBuf_, mainLen_, mainPos_, out + produced, outCap - produced);
        if (got == 0 && mainPos_ == before) damaged("compressed data does not decode");
        produced += got;
        continue;
      }
      if (main_->finished()) break;
      mainPos_ = 0;
      const size_t before = inPos;
      try {
        mainLen_ = main_->step(in, inSize, inPos, mainBuf_, sizeof mainBuf_);
      } catch (...) {
        if (!produced) throw;
        failed_ = std::current_exception();  // after the output before it
        mainLen_ = 0;
        break;
      }
      if (mainLen_ == 0 && inPos == before && !main_->finished()) break;  // needs more input
    }
    if (main_->finished() && mainPos_ == mainLen_ && rebuildIdle()) {
      checkRebuilt();
      finished_ = true;
    }
    return produced;
  }
  bool finished() const final { return finished_; }

 protected:
  /// The head's whole size, from its first `fixed` bytes; throws when it is too large.
  virtual size_t headSize(const uint8_t* first) const = 0;
  /// Sets the rebuilding up from the whole head (which stays where it is).
  virtual void start(const uint8_t* head, size_t size) = 0;
  /// Rebuilds output from main-stream bytes in[inPos..inSize), as a Decoder steps.
  virtual size_t rebuild(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
                         size_t outCap) = 0;
  /// True when the rebuilding holds no output of its own.
  virtual bool rebuildIdle() const = 0;
  /// After the main stream's end: throws when the head holds more than was used.
  virtual void checkRebuilt() = 0;

 private:
  // Gathers the head; true once the main stream begins.
  bool gatherHead(const uint8_t* in, size_t inSize, size_t& inPos) {
    while (inPos < inSize && head_.size() < want_) {
      const size_t n = std::min(inSize - inPos, want_ - head_.size());
      head_.insert(head_.end(), in + inPos, in + inPos + n);
      inPos += n;
      if (head_.size() == fixed_ && !sized_) {
        sized_ = true;
        want_ = headSize(head_.data());
        head_.reserve(want_);
      }
    }
    if (!sized_ || head_.size() < want_) return false;
    start(head_.data(), head_.size());
    main_ = std::make_unique<DecoderThread>(std::make_unique<XzDecoder>(kMaxDecoderMemory, false));
    return true;
  }

  const size_t fixed_;
  size_t want_;
  bool sized_ = false;
  Bytes head_;
  std::unique_ptr<DecoderThread> main_;
  std::exception_ptr failed_;
  uint8_t mainBuf_[64 * 1024];
  size_t mainPos_ = 0, mainLen_ = 0;
  bool finished_ = false;
};

// Branch split (codec 3): the section holds the stored sizes of the calls, jumps and flags
// streams (4 bytes each), those three streams, then the main stream to the section's end.
// Calls, jumps and main are .xz streams; flags are range coded.
constexpr size_t kBranchHead = 12;

// What an .xz stream of one side stream may add to its raw bytes at most (stream and block
// headers, the index, 3 bytes per stored chunk of 64 KiB), with room to spare.
constexpr uint64_t kSideExpansion = 64 * 1024 + (kMaxBranchSideBytes >> 16) * 3;

// Side streams whose raw bytes cannot pack to more than the limit: the split holds for sure
// before they are packed.
bool sideStreamsFitRaw(const branches::Split& s) {
  return s.calls.size() + s.jumps.size() + s.flags.size() + 2 * kSideExpansion <=
         kMaxBranchSideBytes;
}

// Lowers the calling thread to the scheduler's idle class, where there is one: it then runs
// only on a core that nothing else wants.
void runOnlyWhenACoreIsIdle() {
#ifdef SCHED_IDLE
  sched_param none{};
  sched_setscheduler(0, SCHED_IDLE, &none);  // advice only: the thread runs on either way
#endif
}

// The calls and jumps streams of a split, packed a piece at a time by whichever thread holds
// the lock.
class OperandStreams {
 public:
  OperandStreams(const branches::Split& s, LargeBytes& calls, LargeBytes& jumps)
      : parts_{{{&s.calls, &calls}, {&s.jumps, &jumps}}} {}
  // Packs the next piece; false once both streams are finished.
  bool step() {
    if (part_ == parts_.size()) return false;
    auto [in, out] = parts_[part_];
    if (!encoder_) encoder_ = std::make_unique<XzEncoder>(operandOptions(in->size()), false);
    if (at_ < in->size()) {
      const size_t n = std::min(kPiece, in->size() - at_);
      encoder_->write(in->data() + at_, n, *out);
      at_ += n;
    } else {
      encoder_->finish(*out);
      encoder_.reset();
      at_ = 0;
      ++part_;
    }
    return true;
  }

 private:
  static constexpr size_t kPiece = 16 * 1024;
  std::array<std::pair<const Bytes*, LargeBytes*>, 2> parts_;
  size_t part_ = 0, at_ = 0;
  std::unique_ptr<XzEncoder> encoder_;
};

class XzBranchEncoder final : public WholeInputEncoder {
 public:
  XzBranchEncoder(const CodecChoice& c, uint64_t size, std::vector<uint64_t> fileStarts)
      : WholeInputEncoder(size), choice_(c), starts_(std::move(fileStarts)) {}
  Codec codec() const override { return codec_; }

 private:
  // The calls and jumps streams beside the main stream, whose match finder sets the pace: a
  // thread of the lowest priority packs them in the time the second core has to spare beside
  // it (it never takes a core from the match finder: binaries 3% less wall time), and this
  // thread packs what is left once the main stream is done, so a busy machine cannot hold the
  // side streams back for longer than a piece.
  void compressBeside(const branches::Split& s, LargeBytes& calls, LargeBytes& jumps,
                      LargeBytes& out) {
    OperandStreams side(s, calls, jumps);
    std::mutex turn;
    bool mainDone = false;  // under turn
    std::exception_ptr failed;
    std::thread helper([&] {
      runOnlyWhenACoreIsIdle();
      try {
        for (;;) {
          std::lock_guard hold(turn);
          if (mainDone || !side.step()) break;
        }
      } catch (...) {
        failed = std::current_exception();
      }
    });
    auto stopHelper = [&] {
      {
        std::lock_guard hold(turn);
        mainDone = true;
      }
      helper.join();
    };
    try {
      compressXz(xzOptions(choice_, s.main.size()), s.main.data(), s.main.size(), out);
    } catch (...) {
      stopHelper();
      throw;
    }
    stopHelper();
    if (failed) std::rethrow_exception(failed);
    while (side.step()) {
    }
  }

  void encode(const uint8_t* d, size_t n, LargeBytes& out) override {
    branches::Split s = branches::split(d, n, starts_);
    LargeBytes calls, jumps;
    const size_t at = out.size();
    if (sideStreamsFitRaw(s)) {
      compressBeside(s, calls, jumps, out);
    } else {
      compressXz(operandOptions(s.calls.size()), s.calls.data(), s.calls.size(), calls);
      compressXz(operandOptions(s.jumps.size()), s.jumps.data(), s.jumps.size(), jumps);
      Bytes().swap(s.calls);
      Bytes().swap(s.jumps);
      if (calls.size() + jumps.size() + s.flags.size() > kMaxBranchSideBytes) {
        // Code whose branches do not repeat: the plain x86 filter, which needs no side streams.
        codec_ = kCodecXz;
        Bytes().swap(s.main);
        XzEncoder enc(xzOptions(choice_, n), true);
        enc.write(d, n, out);
        enc.finish(out);
        return;
      }
      compressXz(xzOptions(choice_, s.main.size()), s.main.data(), s.main.size(), out);
    }
    // The sizes and the side streams go before the main stream.
    const size_t mainSize = out.size() - at;
    const size_t sideSize = kBranchHead + calls.size() + jumps.size() + s.flags.size();
    out.resize(out.size() + sideSize);
    uint8_t* p = out.data() + at;
    std::memmove(p + sideSize, p, mainSize);
    putU32(p, uint32_t(calls.size()));
    putU32(p + 4, uint32_t(jumps.size()));
    putU32(p + 8, uint32_t(s.flags.size()));
    p = std::copy(calls.begin(), calls.end(), p + kBranchHead);
    p = std::copy(jumps.begin(), jumps.end(), p);
    std::copy(s.flags.begin(), s.flags.end(), p);
  }

  CodecChoice choice_;
  std::vector<uint64_t> starts_;
  Codec codec_ = kCodecXzBranches;
};

// Operands of one side stream, decoded as they are asked for.
class XzOperands final : public branches::OperandSource {
 public:
  XzOperands(const uint8_t* data, size_t size) : data_(data), size_(size), dec_(kOperandDecoderMemory) {}
  bool next4(uint8_t out[4]) override {
    while (len_ - pos_ < 4) {
      if (!fill()) return false;
    }
    std::memcpy(out, buf_ + pos_, 4);
    pos_ += 4;
    return true;
  }
  // Every operand taken and the stream ended exactly.
  bool exhausted() {
    while (pos_ == len_) {
      if (!fill()) return at_ == size_;
    }
    return false;
  }

 private:
  // Decodes more operands; false once the stream has ended.
  bool fill() {
    std::memmove(buf_, buf_ + pos_, len_ - pos_);
    len_ -= pos_;
    pos_ = 0;
    if (dec_.finished()) return false;
    const size_t before = at_;
    const size_t got = dec_.step(data_, size_, at_, buf_ + len_, sizeof buf_ - len_);
    len_ += got;
    if (got == 0 && at_ == before && !dec_.finished()) damaged("branch operands cut short");
    return true;
  }

  const uint8_t* data_;
  size_t size_, at_ = 0;
  XzDecoder dec_;
  uint8_t buf_[64 * 1024];
  size_t pos_ = 0, len_ = 0;
};

class XzBranchDecoder final : public HeadAndMainDecoder {
 public:
  XzBranchDecoder() : HeadAndMainDecoder(kBranchHead) {}

 private:
  size_t headSize(const uint8_t* first) const override {
    const uint64_t total = uint64_t(getU32(first)) + getU32(first + 4) + getU32(first + 8);
    if (total > kMaxBranchSideBytes) damaged("branch streams too large");
    return kBranchHead + size_t(total);
  }
  void start(const uint8_t* head, size_t size) override {
    const uint8_t* p = head + kBranchHead;
    const size_t callsSize = getU32(head), jumpsSize = getU32(head + 4);
    calls_ = std::make_unique<XzOperands>(p, callsSize);
    jumps_ = std::make_unique<XzOperands>(p + callsSize, jumpsSize);
    joiner_ = std::make_unique<branches::Joiner>(p + callsSize + jumpsSize,
                                                 size - kBranchHead - callsSize - jumpsSize,
                                                 *calls_, *jumps_);
  }
  size_t rebuild(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
                 size_t outCap) override {
    return joiner_->step(in, inSize, inPos, out, outCap);
  }
  bool rebuildIdle() const override { return joiner_->idle(); }
  void checkRebuilt() override {
    if (!calls_->exhausted() || !jumps_->exhausted()) damaged("branch operands left over");
  }

  std::unique_ptr<XzOperands> calls_, jumps_;
  std::unique_ptr<branches::Joiner> joiner_;
};

// gzip trailers left out (codec 4): the section holds the map's size (4 bytes), the map, then
// the .xz stream of the data without the trailers to the section's end.
constexpr size_t kGzipHead = 4;

class XzGzipEncoder final : public WholeInputEncoder {
 public:
  XzGzipEncoder(const CodecChoice& c, uint64_t size, std::vector<uint64_t> fileStarts)
      : WholeInputEncoder(size), choice_(c), starts_(std::move(fileStarts)) {}
  Codec codec() const override { return codec_; }

 private:
  void encode(const uint8_t* d, size_t n, LargeBytes& out) override {
    gzip::Stripped s = gzip::strip(d, n, starts_);
    if (s.files == 0 || s.map.size() > gzip::kMaxMapBytes) {
      codec_ = kCodecXz;  // nothing to leave out: a plain stream
      LargeBytes().swap(s.data);
      return compressXz(xzOptions(choice_, n), d, n, out);
    }
    const size_t at = out.size();
    out.resize(at + kGzipHead + s.map.size());
    putU32(out.data() + at, uint32_t(s.map.size()));
    std::copy(s.map.begin(), s.map.end(), out.data() + at + kGzipHead);
    compressXz(xzOptions(choice_, s.data.size()), s.data.data(), s.data.size(), out);
  }

  CodecChoice choice_;
  std::vector<uint64_t> starts_;
  Codec codec_ = kCodecXzGzip;
};

class XzGzipDecoder final : public HeadAndMainDecoder {
 public:
  XzGzipDecoder() : HeadAndMainDecoder(kGzipHead) {}

 private:
  size_t headSize(const uint8_t* first) const override {
    const uint32_t size = getU32(first);
    if (size > gzip::kMaxMapBytes) damaged("gzip map too large");
    return kGzipHead + size;
  }
  void start(const uint8_t* head, size_t size) override {
    restorer_ = std::make_unique<gzip::Restorer>(head + kGzipHead, size - kGzipHead);
  }
  size_t rebuild(const uint8_t* in, size_t inSize, size_t& inPos, uint8_t* out,
                 size_t outCap) override {
    return restorer_->step(in, inSize, inPos, out, outCap);
  }
  bool rebuildIdle() const override { return restorer_->idle(); }
  void checkRebuilt() override { restorer_->checkEnd(); }

  std::unique_ptr<gzip::Restorer> restorer_;
};

}  // namespace

uint64_t encoderMemory(const CodecChoice& c, uint64_t size) {
  if (c.codec != kCodecXz && c.codec != kCodecXzBranches && c.codec != kCodecXzGzip)
    return 64ull << 20;  // a zstd window with long-distance matching
  lzma_options_lzma opt = xzOptions(c, size);
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA2, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
  const bool twoThreads = !c.x86Filter && twoThreadEncoderTakes(opt);
  uint64_t n = twoThreads ? twoThreadEncoderMemory(opt, size) : lzma_raw_encoder_memusage(filters);
  if (n == UINT64_MAX) return 1ull << 30;
  if (c.codec == kCodecXzGzip) return n + size;  // and the input without its trailers
  if (c.codec != kCodecXzBranches) return n;
  // The split holds the main stream and the side streams (no larger than the input), which
  // pack beside it.
  lzma_options_lzma side = operandOptions(size);
  lzma_filter sideFilters[2] = {{LZMA_FILTER_LZMA2, &side}, {LZMA_VLI_UNKNOWN, nullptr}};
  const uint64_t sideEncoder = lzma_raw_encoder_memusage(sideFilters);
  if (sideEncoder == UINT64_MAX) return 1ull << 30;
  return n + size + sideEncoder + std::min(size, kMaxBranchSideBytes);
}

std::unique_ptr<Encoder> Encoder::make(const CodecChoice& c, uint64_t size,
                                       const std::vector<uint64_t>& fileStarts) {
  switch (c.codec) {
    case kCodecStore: return std::make_unique<StoreEncoder>();
    case kCodecZstd: return std::make_unique<ZstdEncoder>(c, size);
    case kCodecXz: return makeXzEncoder(xzOptions(c, size), c.x86Filter, size);
    case kCodecXzBranches: return std::make_unique<XzBranchEncoder>(c, size, fileStarts);
    case kCodecXzGzip: return std::make_unique<XzGzipEncoder>(c, size, fileStarts);
  }
  throw JarError(kInternal, "unknown codec");
}

std::unique_ptr<Decoder> Decoder::make(uint8_t codec) {
  switch (codec) {
    case kCodecStore: return std::make_unique<StoreDecoder>();
    case kCodecZstd: return std::make_unique<ZstdDecoder>();
    case kCodecXz: return std::make_unique<XzDecoder>();
    case kCodecXzBranches: return std::make_unique<XzBranchDecoder>();
    case kCodecXzGzip: return std::make_unique<XzGzipDecoder>();
  }
  damaged("unknown compression method");
}

}  // namespace jar32
