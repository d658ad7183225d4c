#include "Methods.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <set>

namespace jar32 {
namespace {

bool isCompressedExtension(const std::string& ext) {
  static const std::set<std::string> kKnown = {
      "gz", "tgz", "xz", "txz", "bz2", "tbz", "zst", "lz", "lz4", "lzma", "zip", "jar", "7z", "rar",
      "png", "jpg", "jpeg", "gif", "webp", "woff", "woff2", "mp3", "ogg", "opus", "flac", "mp4",
      "mkv", "webm", "avi", "mov", "deb", "rpm", "cab", "j", "apk", "pdf", "odt", "ods", "docx",
      "xlsx", "pptx", "epub"};
  return kKnown.count(ext) > 0;
}

bool isExecutableExtension(const std::string& ext) {
  return ext == "so" || ext == "o" || ext == "a" || ext == "exe" || ext == "dll" || ext == "ko";
}

bool isTableExtension(const std::string& ext) {
  return ext == "mo" || ext == "gmo" || ext == "ttf" || ext == "otf";
}

}  // namespace

std::string extensionOf(const std::string& name) {
  auto sep = name.find_last_of('\\');
  auto dot = name.find_last_of('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep) || dot + 1 == name.size())
    return "";
  std::string ext = name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  // Versioned libraries ("libfoo.so.6.0.1") count as "so".
  if (std::all_of(ext.begin(), ext.end(), [](unsigned char c) { return std::isdigit(c); }) &&
      name.find(".so.") != std::string::npos)
    return "so";
  return ext;
}

ContentClass classify(const std::string& name, const uint8_t* head, size_t headSize) {
  static const uint8_t kElf[4] = {0x7F, 'E', 'L', 'F'};
  // A compiled message catalogue, in either byte order.
  static const uint8_t kCatalogue[2][4] = {{0xDE, 0x12, 0x04, 0x95}, {0x95, 0x04, 0x12, 0xDE}};
  if (headSize >= 4 && std::memcmp(head, kElf, 4) == 0) return ContentClass::Executable;
  if (headSize >= 4 && (std::memcmp(head, kCatalogue[0], 4) == 0 ||
                        std::memcmp(head, kCatalogue[1], 4) == 0))
    return ContentClass::Tables;
  static const char kSqlite[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                   'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
  if (headSize >= sizeof kSqlite && std::memcmp(head, kSqlite, sizeof kSqlite) == 0)
    return ContentClass::Database;
  std::string ext = extensionOf(name);
  if (isCompressedExtension(ext)) return ContentClass::Compressed;
  if (isExecutableExtension(ext)) return ContentClass::Executable;
  if (isTableExtension(ext)) return ContentClass::Tables;
  return ContentClass::General;
}

// Levels chosen by measurement on a mixed corpus (bench/jar32/RESULTS.md). Already compressed
// files still shrink a lot in long windows (many are identical copies), so they get the same
// codec, but zstd only at level 3 below Best (level 1 in the fastest: level 3 took a fifth
// more time for 1.6% on documents): higher levels gain nothing on them.
CodecChoice codecFor(int method, ContentClass cls) {
  const bool packed = cls == ContentClass::Compressed;
  switch (method) {
    case 1: return {kCodecZstd, packed ? 1 : 3, 26, false};
    case 3: return {kCodecZstd, packed ? 3 : 15, 26, false};
    // Best: a dictionary as large as the block (up to 64 MiB); all but machine code get more
    // literal context, no position bits and long matches in blocks of any size (text gains).
    // Text is searched to 192 bytes at depth 40: to 273 at depth 48 took 5% more time for 0.05%
    // on many small text files, and the encoder's own depth for the longest matches (152) a
    // fifth more for nothing on large text. Already-compressed files gain
    // from long matches too (what repeats in them repeats at length), searched to 128 bytes at
    // depth 32 (to 273 took a third more time for 0.2% on documents); a block of their own is
    // built beside the text's. Machine code gains nothing from the longest matches in large
    // blocks, and is searched at depth 40 (48 took 2% more time for 0.02% on binaries). Tables
    // keep the preset's literal context and position bits, which follow their 4-byte fields
    // (message catalogues 1.5% smaller than with text's). Databases take text's
    // literal context in a block of their own, packed beside the text's on the second core,
    // and are searched to 64 bytes: their pages repeat in short runs (0.1% smaller than to 273).
    // gzip files among the already-compressed ones are stored without their trailers, which
    // reading rebuilds (media: 62 KB less).
    case 4:
      if (cls == ContentClass::Executable) return {kCodecXzBranches, 9, 0, false, -1, -1, 40};
      if (packed) return {kCodecXzGzip, 9, 0, false, 4, 0, 32, 128};
      if (cls == ContentClass::Tables) return {kCodecXz, 9, 0, false, 3, 2, 48, 273};
      if (cls == ContentClass::Database) return {kCodecXz, 9, 0, false, 4, 0, 48, 64};
      return {kCodecXz, 9, 0, false, 4, 0, 40, 192};
    default: return {kCodecZstd, packed ? 3 : 9, 26, false};
  }
}

namespace {
std::atomic<uint64_t> g_testLimit{0};
}

uint64_t blockLimitFor(int /*method*/) {
  uint64_t test = g_testLimit.load();
  return test ? test : 64ull << 20;
}

void setBlockLimitForTesting(uint64_t bytes) { g_testLimit = bytes; }

}  // namespace jar32
