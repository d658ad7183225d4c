#include "HeaderCopy.h"

#include <algorithm>
#include <cstring>

#include "Bytes.h"
#include "Checksum.h"
#include "jar32/Errors.h"

namespace jar32 {
namespace {

constexpr char kMagic[8] = {'J', 'A', 'R', '3', '2', 'H', 'D', 'C'};

bool decodeCopy(const uint8_t* p, FileHeader& out) {
  if (std::memcmp(p, kMagic, sizeof kMagic) != 0 || getU32(p + 104) != 0 ||
      getU32(p + 108) != crc32(p, 108) || !FileHeader::hasSignature(p + 8, kFileHeaderSize))
    return false;
  try {
    out = FileHeader::decode(p + 8);
    return true;
  } catch (const JarError&) {
    return false;
  }
}

}  // namespace

void encodeHeaderCopy(const uint8_t header[kFileHeaderSize], uint8_t out[kHeaderCopySize]) {
  std::memset(out, 0, kHeaderCopySize);
  std::memcpy(out, kMagic, sizeof kMagic);
  std::memcpy(out + 8, header, kFileHeaderSize);
  putU32(out + 108, crc32(out, 108));
}

void writeHeaderCopy(File& out, const uint8_t header[kFileHeaderSize]) {
  uint8_t copy[kHeaderCopySize];
  encodeHeaderCopy(header, copy);
  out.write(copy, sizeof copy);
}

bool headerCopyIntact(const File& file, const std::vector<BlockRef>& blocks, uint64_t infoOffset) {
  uint64_t end = kFileHeaderSize;
  for (const BlockRef& b : blocks) end = std::max(end, b.offset + b.size);
  if (end == infoOffset) return true;  // written before the copy existed
  if (end + kHeaderCopySize != infoOffset) return true;  // not laid out by this writer: not judged
  uint8_t header[kFileHeaderSize], copy[kHeaderCopySize], expected[kHeaderCopySize];
  if (!file.readAt(0, header, sizeof header) || !file.readAt(end, copy, sizeof copy)) return false;
  encodeHeaderCopy(header, expected);
  return std::memcmp(copy, expected, sizeof copy) == 0;
}

bool findHeaderCopy(const File& file, FileHeader& out) {
  // It lies near the end: search backwards, window by window.
  constexpr size_t kWindow = 1 << 20;
  Bytes window(kWindow + kHeaderCopySize);
  const uint64_t size = file.size();
  for (uint64_t end = size; end > 0;) {
    const uint64_t start = end > kWindow ? end - kWindow : 0;
    const size_t got = file.readSomeAt(start, window.data(),
                                       size_t(std::min<uint64_t>(window.size(), size - start)));
    for (size_t at = got; at-- > 0;) {
      if (window[at] == 'J' && got - at >= kHeaderCopySize && decodeCopy(window.data() + at, out))
        return true;
    }
    end = start;
  }
  return false;
}

}  // namespace jar32
