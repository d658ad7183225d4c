// Byte layout of the container (see jar32/FORMAT.md): file header, block headers, chunked
// sections and the trailer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Bytes.h"
#include "Crypto.h"
#include "LargeBuffers.h"

namespace jar32 {

class File;

inline constexpr uint16_t kFormatVersion = 7;  // written; 1 to 6 are still read
inline constexpr uint16_t kTrailerVersion = 1;
inline constexpr size_t kFileHeaderSize = 96;
inline constexpr size_t kBlockHeaderSize = 112;
inline constexpr size_t kTrailerSize = 48;
inline constexpr size_t kChunkBytes = 1 << 20;           // largest chunk payload
inline constexpr uint64_t kMaxBlockRaw = 64ull << 20;    // largest data of one block
inline constexpr uint64_t kMaxMetaRaw = 512ull << 20;    // largest directory / block meta
/// A meta section of an archive file of fileSize bytes decodes to at most this many bytes.
/// What a writer makes stays far below 64 bytes per byte of the file (the records of all blocks
/// a directory refers to count together); a small file cannot claim a huge directory.
inline uint64_t metaLimitFor(uint64_t fileSize) {
  const uint64_t byFile = fileSize > kMaxMetaRaw / 64 ? kMaxMetaRaw : 64 * fileSize;
  return byFile < (4ull << 20) ? (4ull << 20) : byFile;
}
inline constexpr uint8_t kSignature[6] = {0x1A, 'J', 'a', 'r', 0x1B, 0x00};

enum BlockType : uint8_t { kBlockData = 1, kBlockInfo = 2, kBlockDirectory = 3 };
/// Codec of a meta section (byte 88 of the block header; always zstd before format 3).
enum MetaCodec : uint8_t { kMetaZstd = 0, kMetaXz = 2 };
/// The most an xz meta section may need to decode (writers cut its dictionary to the section).
inline constexpr uint64_t kMaxMetaXzMemory = 16ull << 20;

/// How a section's chunks are protected: CRC32 only, CRC32 + MAC (readable without the key),
/// or CRC32 + AEAD (encrypted).
enum Guard : uint8_t { kGuardCrc = 0, kGuardMac = 1, kGuardSeal = 2 };
enum Section : uint8_t { kSectionMeta = 1, kSectionData = 2 };

struct FileHeader {
  uint16_t version = kFormatVersion;
  bool protectedArchive = false;
  bool hidden = false;
  uint8_t method = 0;  // protection method when protected
  KdfParams kdf;
  uint8_t check[kCheckBytes] = {};

  void encode(uint8_t out[kFileHeaderSize]) const;
  /// false: no signature (not a JAR archive). Throws kCrcError when the header is damaged.
  static bool hasSignature(const uint8_t* bytes, size_t n);
  static FileHeader decode(const uint8_t in[kFileHeaderSize]);
};

struct BlockHeader {
  uint8_t type = kBlockData;
  uint8_t codec = 0;
  uint8_t metaGuard = kGuardCrc;
  uint8_t dataGuard = kGuardCrc;
  uint8_t metaNonce[kNonceBytes] = {};
  uint8_t dataNonce[kNonceBytes] = {};
  uint64_t metaRaw = 0, metaStored = 0, dataRaw = 0, dataStored = 0;
  uint8_t metaCodec = kMetaZstd;  // format 3: the meta section may be xz

  uint64_t totalSize() const { return kBlockHeaderSize + metaStored + dataStored; }
  void encode(uint8_t out[kBlockHeaderSize]) const;
  /// false when the bytes are not an intact block header.
  static bool decode(const uint8_t in[kBlockHeaderSize], BlockHeader& out);
};

struct Trailer {
  uint64_t infoOffset = 0;
  uint64_t directoryOffset = 0;
  uint64_t directorySize = 0;
  uint64_t fileSize = 0;
  void encode(uint8_t out[kTrailerSize]) const;
  static bool decode(const uint8_t in[kTrailerSize], Trailer& out);
};

/// Cuts a byte stream into chunks and protects each one, appending them to a Bytes (meta
/// sections) or a LargeBytes (a block's data).
template <class Buffer>
class SectionWriter {
 public:
  SectionWriter(Buffer& out, Guard guard, const Keys* keys, const uint8_t* nonce,
                uint8_t blockType, uint8_t section);
  void write(const uint8_t* data, size_t n);
  /// Emits the last chunk (possibly empty). Must be called exactly once.
  void finish();
  /// Emits one chunk as given (used when re-protecting chunks one to one).
  void chunk(const uint8_t* data, size_t n, bool final);

 private:
  Buffer& out_;
  Guard guard_;
  const Keys* keys_;
  const uint8_t* nonce_;
  uint8_t blockType_, section_;
  uint64_t index_ = 0;
  Bytes pending_;
};

/// Bytes of a section of n bytes of payload, with tagBytes of tag per chunk (0: CRC only).
size_t sectionBytes(size_t n, size_t tagBytes);
/// Makes the payload in `data` the section that a SectionWriter would write of it, in place
/// (it grows by the framing: reserve sectionBytes() first to keep it from moving).
void frameSectionInPlace(LargeBytes& data, Guard guard, const Keys* keys, const uint8_t* nonce,
                         uint8_t blockType, uint8_t section);

/// Reads and verifies the chunks of one section. With kGuardMac and no keys the MAC is not
/// checked (CRC only); kGuardSeal without keys throws kMsgPasswordNeeded.
class SectionReader {
 public:
  /// tagBytes: tag size of the archive's protection method (tagBytesFor()).
  SectionReader(const File& file, uint64_t offset, uint64_t storedSize, Guard guard,
                size_t tagBytes, const Keys* keys, const uint8_t* nonce, uint8_t blockType,
                uint8_t section);
  /// Next chunk's plaintext into out; false after the final chunk. Damage throws kCrcError.
  bool next(Bytes& out);
  /// Raw stored bytes of the next chunk (verified by CRC only), for copying unchanged.
  bool nextRaw(Bytes& out, bool& final);

 private:
  bool readChunk(Bytes& out, bool& final, bool decode);
  const File& file_;
  uint64_t pos_, end_;
  Guard guard_;
  size_t tagBytes_;
  const Keys* keys_;
  const uint8_t* nonce_;
  uint8_t blockType_, section_;
  uint64_t index_ = 0;
  bool done_ = false;
};

/// Tag size of a protection method (16 XChaCha20-Poly1305 / BLAKE2b, 32 GOST / HMAC-Streebog).
size_t tagBytesFor(uint8_t method);

/// Reads a whole meta section and returns its decompressed bytes (bounded by header.metaRaw).
Bytes readMeta(const File& file, uint64_t blockOffset, const BlockHeader& header, size_t tagBytes,
               const Keys* keys);
/// Compresses meta bytes with zstd at `level` and protects them as a meta section. When codec
/// points to kMetaXz, xz (preset 9) is tried too and the smaller kept; *codec says which.
Bytes buildMetaSection(const Bytes& raw, Guard guard, const Keys* keys, const uint8_t* nonce,
                       uint8_t blockType, int level = 3, uint8_t* codec = nullptr);

}  // namespace jar32
