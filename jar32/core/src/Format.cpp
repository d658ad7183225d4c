#include "Format.h"

#include <lzma.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>

#include "Checksum.h"
#include "FileIo.h"
#include "jar32/Errors.h"

namespace jar32 {
namespace {

constexpr char kHeaderText[14] = {'J', 'A', 'R', '3', '2', ' ', 'a', 'r', 'c', 'h', 'i', 'v', 'e', ' '};
constexpr uint8_t kBlockMagic[4] = {'J', 'B', 'L', 'K'};
constexpr uint8_t kTrailerMagic[4] = {'J', 'E', 'N', 'D'};
constexpr uint32_t kFinalBit = 0x80000000u;
constexpr int kMaxMetaWindowLog = 23;

// Fuzzing builds accept wrong CRCs so that the fuzzer reaches the parsers behind them.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr bool kCheckCrc = false;
#else
constexpr bool kCheckCrc = true;
#endif

[[noreturn]] void damaged(const std::string& what) {
  throw JarError(kCrcError, "Damaged archive: " + what);
}

void chunkNonce(const uint8_t* base, uint8_t section, uint64_t index, uint8_t out[kNonceBytes]) {
  std::memcpy(out, base, kNonceBytes);
  out[15] ^= section;
  for (int i = 0; i < 8; ++i) out[16 + i] ^= uint8_t(index >> (8 * i));
}

// Authenticated data of a chunk: where it belongs and whether it is the last one.
size_t chunkAad(const uint8_t* nonce, uint8_t blockType, uint8_t section, uint64_t index,
                uint32_t word, uint8_t out[64]) {
  std::memcpy(out, nonce, kNonceBytes);
  out[24] = blockType;
  out[25] = section;
  putU64(out + 26, index);
  putU32(out + 34, word);
  return 38;
}

}  // namespace

size_t tagBytesFor(uint8_t method) { return method == kProtectGost ? 32 : 16; }

void FileHeader::encode(uint8_t out[kFileHeaderSize]) const {
  std::memset(out, 0, kFileHeaderSize);
  std::memcpy(out, kHeaderText, 14);
  std::memcpy(out + 14, kSignature, 6);
  putU16(out + 20, version);
  putU16(out + 22, kFileHeaderSize);
  putU32(out + 24, (protectedArchive ? 1u : 0u) | (hidden ? 2u : 0u));
  out[28] = protectedArchive ? method : 0xFF;
  out[29] = protectedArchive ? 1 : 0;  // key derivation: 1 = Argon2id
  if (protectedArchive) {
    std::memcpy(out + 32, kdf.salt, kSaltBytes);
    putU32(out + 48, kdf.opsLimit);
    putU32(out + 52, kdf.memKiB);
    std::memcpy(out + 56, check, kCheckBytes);
  }
  putU32(out + 92, crc32(out, 92));
}

bool FileHeader::hasSignature(const uint8_t* bytes, size_t n) {
  return n >= 20 && std::memcmp(bytes + 14, kSignature, 6) == 0;
}

FileHeader FileHeader::decode(const uint8_t in[kFileHeaderSize]) {
  if (kCheckCrc && getU32(in + 92) != crc32(in, 92)) damaged("the archive header is damaged");
  FileHeader h;
  h.version = getU16(in + 20);
  if (h.version == 0 || h.version > kFormatVersion)
    throw JarError(kFatal, "Archive format " + std::to_string(h.version) +
                               " is newer than this program understands");
  if (getU16(in + 22) != kFileHeaderSize) damaged("bad header size");
  uint32_t flags = getU32(in + 24);
  h.protectedArchive = flags & 1;
  h.hidden = flags & 2;
  if (h.hidden && !h.protectedArchive) damaged("bad header flags");
  if (h.protectedArchive) {
    h.method = in[28];
    if (h.method != kProtectXChaCha && h.method != kProtectGost) damaged("unknown protection");
    if (in[29] != 1) damaged("unknown key derivation");
    std::memcpy(h.kdf.salt, in + 32, kSaltBytes);
    h.kdf.opsLimit = getU32(in + 48);
    h.kdf.memKiB = getU32(in + 52);
    if (!h.kdf.plausible()) damaged("bad key parameters");
    std::memcpy(h.check, in + 56, kCheckBytes);
  }
  return h;
}

void BlockHeader::encode(uint8_t out[kBlockHeaderSize]) const {
  std::memset(out, 0, kBlockHeaderSize);
  std::memcpy(out, kBlockMagic, 4);
  out[4] = type;
  out[5] = codec;
  out[6] = metaGuard;
  out[7] = dataGuard;
  std::memcpy(out + 8, metaNonce, kNonceBytes);
  std::memcpy(out + 32, dataNonce, kNonceBytes);
  putU64(out + 56, metaRaw);
  putU64(out + 64, metaStored);
  putU64(out + 72, dataRaw);
  putU64(out + 80, dataStored);
  out[88] = metaCodec;
  putU32(out + 108, crc32(out, 108));
}

bool BlockHeader::decode(const uint8_t in[kBlockHeaderSize], BlockHeader& h) {
  if (std::memcmp(in, kBlockMagic, 4) != 0 || (kCheckCrc && getU32(in + 108) != crc32(in, 108)))
    return false;
  h.type = in[4];
  h.codec = in[5];
  h.metaGuard = in[6];
  h.dataGuard = in[7];
  std::memcpy(h.metaNonce, in + 8, kNonceBytes);
  std::memcpy(h.dataNonce, in + 32, kNonceBytes);
  h.metaRaw = getU64(in + 56);
  h.metaStored = getU64(in + 64);
  h.dataRaw = getU64(in + 72);
  h.dataStored = getU64(in + 80);
  h.metaCodec = in[88];
  if ((h.metaCodec != kMetaZstd && h.metaCodec != kMetaXz) || h.type < kBlockData || h.type > kBlockDirectory || h.metaGuard > kGuardSeal ||
      h.dataGuard > kGuardSeal || h.metaRaw > kMaxMetaRaw || h.dataRaw > kMaxBlockRaw ||
      h.metaStored > (1ull << 40) || h.dataStored > (1ull << 40))
    return false;
  return true;
}

void Trailer::encode(uint8_t out[kTrailerSize]) const {
  std::memset(out, 0, kTrailerSize);
  std::memcpy(out, kTrailerMagic, 4);
  putU16(out + 4, kTrailerVersion);
  putU16(out + 6, kTrailerSize);
  putU64(out + 8, infoOffset);
  putU64(out + 16, directoryOffset);
  putU64(out + 24, directorySize);
  putU64(out + 32, fileSize);
  putU32(out + 44, crc32(out, 44));
}

bool Trailer::decode(const uint8_t in[kTrailerSize], Trailer& t) {
  if (std::memcmp(in, kTrailerMagic, 4) != 0 || (kCheckCrc && getU32(in + 44) != crc32(in, 44)))
    return false;
  t.infoOffset = getU64(in + 8);
  t.directoryOffset = getU64(in + 16);
  t.directorySize = getU64(in + 24);
  t.fileSize = getU64(in + 32);
  return true;
}

template <class Buffer>
SectionWriter<Buffer>::SectionWriter(Buffer& out, Guard guard, const Keys* keys,
                                     const uint8_t* nonce, uint8_t blockType, uint8_t section)
    : out_(out), guard_(guard), keys_(keys), nonce_(nonce), blockType_(blockType),
      section_(section) {
  if (guard != kGuardCrc && !keys) throw JarError(kInternal, "section needs keys");
}

template <class Buffer>
void SectionWriter<Buffer>::write(const uint8_t* data, size_t n) {
  while (n) {
    // Keep a full chunk back until more data arrives, so the last chunk is the final one.
    if (pending_.empty() && n > kChunkBytes) {
      chunk(data, kChunkBytes, false);  // straight from the input
      data += kChunkBytes;
      n -= kChunkBytes;
      continue;
    }
    size_t take = std::min(n, kChunkBytes - pending_.size());
    pending_.insert(pending_.end(), data, data + take);
    data += take;
    n -= take;
    if (pending_.size() == kChunkBytes && n) {
      chunk(pending_.data(), pending_.size(), false);
      pending_.clear();
    }
  }
}

template <class Buffer>
void SectionWriter<Buffer>::finish() {
  chunk(pending_.data(), pending_.size(), true);
  pending_.clear();
}

namespace {

// Protects one chunk laid out at p: its word, its n bytes of payload, then room for the CRC
// and the tag.
void protectChunk(uint8_t* p, size_t n, bool final, Guard guard, const Keys* keys,
                  const uint8_t* base, uint8_t blockType, uint8_t section, uint64_t index) {
  const uint32_t word = uint32_t(n) | (final ? kFinalBit : 0);
  putU32(p, word);
  uint8_t aad[64];
  size_t aadSize = chunkAad(base, blockType, section, index, word, aad);
  if (guard == kGuardSeal) {
    uint8_t nonce[kNonceBytes];
    chunkNonce(base, section, index, nonce);
    keys->seal(nonce, aad, aadSize, p + 4, n, p + 8 + n);
  } else if (guard == kGuardMac) {
    keys->mac(aad, aadSize, p + 4, n, p + 8 + n);
  }
  putU32(p + 4 + n, crc32(p, 4 + n));
}

}  // namespace

template <class Buffer>
void SectionWriter<Buffer>::chunk(const uint8_t* data, size_t n, bool final) {
  size_t start = out_.size();
  size_t tag = guard_ == kGuardCrc ? 0 : keys_->tagSize();
  uint8_t head[4] = {};
  out_.insert(out_.end(), head, head + 4);
  out_.insert(out_.end(), data, data + n);  // copied, not cleared first
  out_.resize(start + 4 + n + 4 + tag);
  protectChunk(out_.data() + start, n, final, guard_, keys_, nonce_, blockType_, section_, index_);
  ++index_;
}

size_t sectionBytes(size_t n, size_t tagBytes) {
  const size_t chunks = n == 0 ? 1 : (n + kChunkBytes - 1) / kChunkBytes;
  return n + chunks * (8 + tagBytes);
}

void frameSectionInPlace(LargeBytes& data, Guard guard, const Keys* keys, const uint8_t* nonce,
                         uint8_t blockType, uint8_t section) {
  if (guard != kGuardCrc && !keys) throw JarError(kInternal, "section needs keys");
  const size_t n = data.size();
  const size_t tag = guard == kGuardCrc ? 0 : keys->tagSize();
  const size_t chunks = n == 0 ? 1 : (n + kChunkBytes - 1) / kChunkBytes;
  data.resize(sectionBytes(n, tag));
  uint8_t* p = data.data();
  // Each chunk moves up by the framing of those before it: the last one first, so nothing is
  // overwritten before it has moved.
  for (size_t k = chunks; k-- > 0;) {
    const size_t from = k * kChunkBytes;
    std::memmove(p + from + k * (8 + tag) + 4, p + from, std::min(kChunkBytes, n - from));
  }
  for (size_t k = 0; k < chunks; ++k) {
    const size_t from = k * kChunkBytes;
    protectChunk(p + from + k * (8 + tag), std::min(kChunkBytes, n - from), k + 1 == chunks, guard,
                 keys, nonce, blockType, section, k);
  }
}

template class SectionWriter<Bytes>;
template class SectionWriter<LargeBytes>;

SectionReader::SectionReader(const File& file, uint64_t offset, uint64_t storedSize, Guard guard,
                             size_t tagBytes, const Keys* keys, const uint8_t* nonce,
                             uint8_t blockType, uint8_t section)
    : file_(file), pos_(offset), end_(offset + storedSize), guard_(guard),
      tagBytes_(guard == kGuardCrc ? 0 : tagBytes), keys_(keys), nonce_(nonce),
      blockType_(blockType), section_(section) {
  if (guard == kGuardSeal && !keys) throw JarError(kFatal, kMsgPasswordNeeded);
}

bool SectionReader::next(Bytes& out) {
  bool final = false;
  return readChunk(out, final, true);
}

bool SectionReader::nextRaw(Bytes& out, bool& final) { return readChunk(out, final, false); }

bool SectionReader::readChunk(Bytes& out, bool& final, bool decode) {
  if (done_) {
    if (pos_ != end_) damaged("data after the last chunk of a section");
    return false;
  }
  uint8_t wordBytes[4];
  if (end_ - pos_ < 8 || !file_.readAt(pos_, wordBytes, 4)) damaged("a section is cut short");
  uint32_t word = getU32(wordBytes);
  size_t n = word & ~kFinalBit;
  final = word & kFinalBit;
  if (n > kChunkBytes || end_ - pos_ < 8 + n + tagBytes_) damaged("bad chunk length");
  size_t total = 8 + n + tagBytes_;
  out.resize(total);
  if (!file_.readAt(pos_, out.data(), total)) damaged("a section is cut short");
  if (kCheckCrc && getU32(out.data() + 4 + n) != crc32(out.data(), 4 + n)) damaged("CRC error");
  if (decode) {
    uint8_t aad[64];
    size_t aadSize = chunkAad(nonce_, blockType_, section_, index_, word, aad);
    const uint8_t* tag = out.data() + 8 + n;
    if (guard_ == kGuardSeal) {
      if (keys_->tagSize() != tagBytes_) damaged("bad protection");
      uint8_t nonce[kNonceBytes];
      chunkNonce(nonce_, section_, index_, nonce);
      if (!keys_->open(nonce, aad, aadSize, out.data() + 4, n, tag))
        damaged("authentication failed");
    } else if (guard_ == kGuardMac && keys_) {
      uint8_t expect[kMaxTagBytes];
      keys_->mac(aad, aadSize, out.data() + 4, n, expect);
      if (keys_->tagSize() != tagBytes_ || !constantTimeEqual(expect, tag, tagBytes_))
        damaged("authentication failed");
    }
    std::memmove(out.data(), out.data() + 4, n);
    out.resize(n);
  }
  pos_ += total;
  ++index_;
  if (final) {
    done_ = true;
    if (pos_ != end_) damaged("data after the last chunk of a section");
  }
  return true;
}

Bytes readMeta(const File& file, uint64_t blockOffset, const BlockHeader& h, size_t tagBytes,
               const Keys* keys) {
  if (h.metaRaw > metaLimitFor(file.size())) damaged("meta data larger than the archive allows");
  SectionReader reader(file, blockOffset + kBlockHeaderSize, h.metaStored, Guard(h.metaGuard),
                       tagBytes, keys, h.metaNonce, h.type, kSectionMeta);
  // Grow with the decoded data rather than trusting the declared size up front.
  Bytes raw;
  Bytes chunk;
  uint8_t buf[1 << 16];
  bool ended = false;
  auto take = [&](size_t n) {
    if (raw.size() + n > h.metaRaw) damaged("meta data larger than declared");
    raw.insert(raw.end(), buf, buf + n);
  };
  if (h.metaCodec == kMetaXz) {
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_stream_decoder(&strm, kMaxMetaXzMemory, 0) != LZMA_OK) throw std::bad_alloc();
    struct End {
      lzma_stream* s;
      ~End() { lzma_end(s); }
    } end{&strm};
    while (reader.next(chunk)) {
      strm.next_in = chunk.data();
      strm.avail_in = chunk.size();
      while (strm.avail_in > 0 && !ended) {
        strm.next_out = buf;
        strm.avail_out = sizeof buf;
        const lzma_ret r = lzma_code(&strm, LZMA_RUN);
        if (r != LZMA_OK && r != LZMA_STREAM_END) damaged("meta data does not decode");
        take(sizeof buf - strm.avail_out);
        if (r == LZMA_STREAM_END) ended = true;
      }
      if (ended && strm.avail_in > 0) damaged("bad meta data");
    }
    // What the decoder still holds once the input has ended.
    while (!ended) {
      strm.next_out = buf;
      strm.avail_out = sizeof buf;
      const lzma_ret r = lzma_code(&strm, LZMA_FINISH);
      if (r != LZMA_OK && r != LZMA_STREAM_END) damaged("meta data does not decode");
      take(sizeof buf - strm.avail_out);
      if (r == LZMA_STREAM_END) ended = true;
      else if (strm.avail_out != 0) break;
    }
    if (!ended || raw.size() != h.metaRaw) damaged("meta data shorter than declared");
    return raw;
  }
  ZSTD_DCtx* dctx = ZSTD_createDCtx();
  if (!dctx) throw std::bad_alloc();
  struct Free {
    ZSTD_DCtx* d;
    ~Free() { ZSTD_freeDCtx(d); }
  } guard{dctx};
  ZSTD_DCtx_setParameter(dctx, ZSTD_d_windowLogMax, kMaxMetaWindowLog);
  while (reader.next(chunk)) {
    ZSTD_inBuffer in{chunk.data(), chunk.size(), 0};
    for (;;) {
      if (ended) {
        if (in.pos < in.size) damaged("bad meta data");
        break;
      }
      // Straight into raw, a step at a time (one byte past what is declared shows a longer one).
      const size_t at = raw.size();
      raw.resize(at + size_t(std::min<uint64_t>(sizeof buf, h.metaRaw + 1 - at)));
      ZSTD_outBuffer out{raw.data() + at, raw.size() - at, 0};
      size_t r = ZSTD_decompressStream(dctx, &out, &in);
      raw.resize(at + out.pos);
      if (ZSTD_isError(r)) damaged("meta data does not decode");
      if (raw.size() > h.metaRaw) damaged("meta data larger than declared");
      if (r == 0) ended = true;
      // Done with this chunk once its input is used up and the output did not fill the buffer.
      else if (in.pos == in.size && out.pos < out.size) break;
    }
  }
  if (!ended || raw.size() != h.metaRaw) damaged("meta data shorter than declared");
  return raw;
}

Bytes buildMetaSection(const Bytes& raw, Guard guard, const Keys* keys, const uint8_t* nonce,
                       uint8_t blockType, int level, uint8_t* codec) {
  Bytes packed(ZSTD_compressBound(raw.size()));
  size_t n = ZSTD_compress(packed.data(), packed.size(), raw.data(), raw.size(), level);
  if (ZSTD_isError(n)) throw JarError(kInternal, "zstd: cannot compress meta data");
  packed.resize(n);
  if (codec && *codec == kMetaXz) {
    // Preset 9 with the dictionary cut to the section (at least 64 KiB).
    lzma_options_lzma opt;
    if (lzma_lzma_preset(&opt, 9)) throw JarError(kInternal, "xz: bad preset");
    while (opt.dict_size / 2 >= std::max<uint64_t>(raw.size(), 64 * 1024)) opt.dict_size /= 2;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA2, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
    Bytes xz(lzma_stream_buffer_bound(raw.size()));
    size_t m = 0;
    if (lzma_stream_buffer_encode(filters, LZMA_CHECK_NONE, nullptr, raw.data(), raw.size(),
                                  xz.data(), &m, xz.size()) != LZMA_OK)
      throw JarError(kInternal, "xz: cannot compress meta data");
    if (m < packed.size()) {
      xz.resize(m);
      packed.swap(xz);
    } else {
      *codec = kMetaZstd;
    }
  }
  Bytes out;
  SectionWriter w(out, guard, keys, nonce, blockType, kSectionMeta);
  w.write(packed.data(), packed.size());
  w.finish();
  return out;
}

}  // namespace jar32
