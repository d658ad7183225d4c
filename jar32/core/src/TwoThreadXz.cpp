#include "TwoThreadXz.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "LargeBuffers.h"
#include "jar32/Errors.h"

extern "C" {
#include "Lzma2Enc.h"
}

namespace jar32 {
namespace {

// Below this the second thread's buffers cost more than it saves.
constexpr size_t kTwoThreadsFrom = 1u << 20;

// The match finder's tables (hundreds of megabytes) are walked at random: in pages of
// 2 MiB they take a fault per 2 MiB instead of per 4 KiB, and fewer translation misses.
// Their pages are faulted in (and cleared by the system) on a thread of their own, ahead of
// the match finder, whose thread sets the encoder's pace.
std::atomic<uint64_t> g_allocated{0};  // bytes asked for, for tests

void* allocate(ISzAllocPtr, size_t n) {
  g_allocated += n;
  return allocateLargeAhead(n);
}
void release(ISzAllocPtr, void* p) { freeLarge(p); }
const ISzAlloc kAlloc = {allocate, release};

struct Appender {
  ISeqOutStream vt;
  LargeBytes* out;
};

size_t append(ISeqOutStreamPtr stream, const void* data, size_t n) {
  LargeBytes& out = *reinterpret_cast<const Appender*>(stream)->out;
  const auto* d = static_cast<const uint8_t*>(data);
  out.insert(out.end(), d, d + n);
  return n;
}

[[noreturn]] void fail(SRes r) {
  if (r == SZ_ERROR_MEM) throw JarError(kNoMemory, "Not enough memory for the xz encoder");
  throw JarError(kInternal, "xz: encoder failed (" + std::to_string(r) + ")");
}

void check(lzma_ret r) {
  if (r == LZMA_MEM_ERROR) throw JarError(kNoMemory, "Not enough memory for the xz encoder");
  if (r != LZMA_OK) throw JarError(kInternal, "xz: cannot write the stream around the data");
}

CLzma2EncProps propsFor(const lzma_options_lzma& opt, size_t n) {
  CLzma2EncProps p;
  Lzma2EncProps_Init(&p);
  CLzmaEncProps& l = p.lzmaProps;
  l.level = 9;
  l.dictSize = opt.dict_size;
  l.lc = int(opt.lc);
  l.lp = int(opt.lp);
  l.pb = int(opt.pb);
  l.algo = 1;
  l.fb = int(opt.nice_len);
  l.btMode = 1;
  l.numHashBytes = opt.mf == LZMA_MF_BT2 ? 2 : opt.mf == LZMA_MF_BT3 ? 3 : 4;
  l.mc = opt.depth;  // 0: the encoder's own, 16 + fb / 2 (what liblzma takes too)
  l.numThreads = n >= kTwoThreadsFrom ? 2 : 1;
  l.reduceSize = n;
  p.blockSize = LZMA2_ENC_PROPS_BLOCK_SIZE_SOLID;
  p.numBlockThreads_Max = 1;
  p.numTotalThreads = l.numThreads;
  return p;
}

// The raw LZMA2 data of data[0..n); dictSize gets the dictionary the encoder used.
LargeBytes lzma2Data(const lzma_options_lzma& opt, const uint8_t* data, size_t n,
                     uint32_t& dictSize) {
  std::unique_ptr<CLzma2Enc, void (*)(CLzma2Enc*)> enc(Lzma2Enc_Create(&kAlloc, &kAlloc),
                                                        Lzma2Enc_Destroy);
  if (!enc) fail(SZ_ERROR_MEM);
  CLzma2EncProps props = propsFor(opt, n);
  if (SRes r = Lzma2Enc_SetProps(enc.get(), &props)) fail(r);
  Lzma2Enc_SetDataSize(enc.get(), n);
  dictSize = LzmaEncProps_GetDictSize(&props.lzmaProps);
  LargeBytes lz;
  lz.reserve(n / 4 + 4096);
  Appender sink{{append}, &lz};
  if (SRes r = Lzma2Enc_Encode2(enc.get(), &sink.vt, nullptr, nullptr, nullptr, data, n, nullptr))
    fail(r);
  return lz;
}

}  // namespace

uint64_t twoThreadEncoderMemory(const lzma_options_lzma& opt, uint64_t n) {
  // The encoder reads the data where it lies: no window of its own. The dictionary is cut to
  // the data (at least 4 KiB); the tables are a hash of half the dictionary's power of two
  // (of a quarter above 32 MiB; 64 Ki entries at least), two fixed hashes and two references
  // per position of the dictionary.
  const uint64_t dict = std::min<uint64_t>(opt.dict_size, std::max<uint64_t>(n, 4096));
  uint64_t hash = 1;
  if (opt.mf == LZMA_MF_BT2) {
    hash = 1u << 16;
  } else {
    while (hash < dict) hash <<= 1;
    hash >>= 1;
    if (hash > (1u << 24)) hash = opt.mf == LZMA_MF_BT3 ? 1u << 24 : hash >> 1;
    hash = std::max<uint64_t>(hash, 1u << 16);
  }
  const uint64_t fixed = opt.mf == LZMA_MF_BT4 ? (1u << 10) + (1u << 16) : opt.mf == LZMA_MF_BT3 ? 1u << 10 : 0;
  const uint64_t refs = (hash + fixed + 2 * (dict + 1) + 15) & ~uint64_t(15);
  return refs * 4 + kTwoThreadBuffers;
}

uint64_t twoThreadBytesAllocatedForTesting() { return g_allocated.load(); }

bool twoThreadEncoderTakes(const lzma_options_lzma& opt) {
  const bool binaryTree = opt.mf == LZMA_MF_BT2 || opt.mf == LZMA_MF_BT3 || opt.mf == LZMA_MF_BT4;
  return binaryTree && opt.mode == LZMA_MODE_NORMAL && opt.lc + opt.lp <= 4 &&
         opt.nice_len >= 5 && opt.nice_len <= 273;
}

void encodeTwoThreadXz(const lzma_options_lzma& opt, const uint8_t* data, size_t n,
                       LargeBytes& out) {
  lzma_stream_flags flags{};
  flags.version = 0;
  flags.check = LZMA_CHECK_NONE;
  uint8_t head[LZMA_STREAM_HEADER_SIZE];
  check(lzma_stream_header_encode(&flags, head));
  out.insert(out.end(), head, head + sizeof head);

  // Empty input: a stream with no blocks, as liblzma writes it.
  uint64_t unpadded = 0;
  if (n > 0) {
    lzma_options_lzma used = opt;
    LargeBytes lz = lzma2Data(opt, data, n, used.dict_size);
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA2, &used}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_block block{};
    block.version = 0;
    block.check = LZMA_CHECK_NONE;
    block.filters = filters;
    block.compressed_size = lz.size();
    block.uncompressed_size = n;
    check(lzma_block_header_size(&block));
    const size_t at = out.size();
    out.resize(at + block.header_size);
    check(lzma_block_header_encode(&block, out.data() + at));
    out.insert(out.end(), lz.begin(), lz.end());
    out.resize(out.size() + (4 - lz.size() % 4) % 4, 0);  // block padding
    unpadded = lzma_block_unpadded_size(&block);
  }
  const Bytes end = streamEnd(unpadded, n);
  out.insert(out.end(), end.begin(), end.end());
}

Bytes streamEnd(uint64_t unpaddedSize, uint64_t rawSize) {
  Bytes out;
  std::unique_ptr<lzma_index, void (*)(lzma_index*)> index(
      lzma_index_init(nullptr), [](lzma_index* i) { lzma_index_end(i, nullptr); });
  if (!index) check(LZMA_MEM_ERROR);
  if (unpaddedSize) check(lzma_index_append(index.get(), nullptr, unpaddedSize, rawSize));
  uint8_t encoded[64];  // at most one record: well under this
  size_t pos = 0;
  check(lzma_index_buffer_encode(index.get(), encoded, &pos, sizeof encoded));
  out.insert(out.end(), encoded, encoded + pos);
  lzma_stream_flags flags{};
  flags.version = 0;
  flags.check = LZMA_CHECK_NONE;
  flags.backward_size = lzma_index_size(index.get());
  uint8_t foot[LZMA_STREAM_HEADER_SIZE];
  check(lzma_stream_footer_encode(&flags, foot));
  out.insert(out.end(), foot, foot + sizeof foot);
  return out;
}

}  // namespace jar32
