// Rebuilding a directory by scanning the file for intact block records.
#include <algorithm>
#include <cstring>
#include <map>

#include "Reader.h"

namespace jar32 {
namespace {

constexpr size_t kScanWindow = 1 << 20;
constexpr uint8_t kMagic[4] = {'J', 'B', 'L', 'K'};

struct FoundBlock {
  BlockRef ref;
  std::vector<PieceRecord> pieces;
};

// Returns the blocks (and the last intact info block) found from `start` to the end.
std::vector<FoundBlock> scanBlocks(const File& file, const FileHeader& header, const Keys* keys,
                                   ArchiveInfo* info, bool* infoFound) {
  const uint64_t size = file.size();
  const size_t tagBytes = tagBytesFor(header.method);
  std::vector<FoundBlock> found;
  Bytes window(kScanWindow + 3);
  uint64_t pos = kFileHeaderSize;
  while (pos + kBlockHeaderSize <= size) {
    size_t got = file.readSomeAt(pos, window.data(), window.size());
    if (got < 4) break;
    const uint8_t* hit = static_cast<const uint8_t*>(memmem(window.data(), got, kMagic, 4));
    if (!hit) {
      pos += got - 3;
      continue;
    }
    uint64_t at = pos + uint64_t(hit - window.data());
    pos = at + 1;  // unless a block is accepted below
    uint8_t hb[kBlockHeaderSize];
    BlockHeader h;
    if (!file.readAt(at, hb, sizeof hb) || !BlockHeader::decode(hb, h) || h.totalSize() > size - at)
      continue;
    try {
      Bytes meta = readMeta(file, at, h, tagBytes, keys);
      if (h.type == kBlockData) {
        FoundBlock b;
        b.ref = {at, h.totalSize(), h.dataRaw, h.dataStored};
        b.pieces = decodeBlockMeta(meta, h.dataRaw);
        found.push_back(std::move(b));
      } else if (h.type == kBlockInfo) {
        ByteReader r(meta.data(), meta.size(), "archive info");
        ArchiveInfo parsed;
        decodeInfo(r, parsed);
        *info = parsed;
        *infoFound = true;
      }
      pos = at + h.totalSize();
    } catch (const JarError& e) {
      if (e.exitCode != kCrcError) throw;
    }
  }
  return found;
}

}  // namespace

Directory scanForDirectory(const File& file, const FileHeader& header, const Keys* keys,
                           std::vector<std::string>* dropped) {
  Directory dir;
  bool infoFound = false;
  std::vector<FoundBlock> blocks = scanBlocks(file, header, keys, &dir.info, &infoFound);

  // Pieces by member id, in block order.
  std::map<uint64_t, std::vector<std::pair<uint32_t, const PieceRecord*>>> byId;
  for (uint32_t b = 0; b < blocks.size(); ++b) {
    dir.blocks.push_back(blocks[b].ref);
    for (const auto& p : blocks[b].pieces) byId[p.id].push_back({b, &p});
  }
  uint32_t maxChapter = 1;
  for (auto& [id, pieces] : byId) {
    const PieceRecord& first = *pieces.front().second;
    const PieceRecord& last = *pieces.back().second;
    bool complete = (first.flags & kPieceFirst) && first.memberOffset == 0 &&
                    (last.flags & kPieceLast);
    uint64_t expect = 0;
    for (size_t i = 0; complete && i < pieces.size(); ++i) {
      const auto& [b, p] = pieces[i];
      if (p->memberOffset != expect || p->info.name != first.info.name) complete = false;
      if (i > 0 && (b != pieces[i - 1].first + 1 || p->blockOffset != 0)) complete = false;
      if (i + 1 < pieces.size() && p->blockOffset + p->length != blocks[b].ref.dataRaw)
        complete = false;
      expect += p->length;
    }
    if (!complete || expect != last.info.size || last.info.name.empty() ||
        last.info.name.find('\0') != std::string::npos) {
      if (dropped) dropped->push_back(first.info.name);
      continue;
    }
    Entry e;
    e.info = last.info;
    e.checksum = last.checksum;
    e.block = pieces.front().first;
    e.offset = e.info.size ? first.blockOffset : 0;
    if (e.info.chapters.first == 0) e.info.chapters.first = 1;
    if (e.info.chapters.last < e.info.chapters.first) e.info.chapters.last = e.info.chapters.first;
    maxChapter = std::max(maxChapter, e.info.chapters.last);
    dir.entries.push_back(std::move(e));
  }
  if (!infoFound) dir.info = ArchiveInfo{};
  dir.info.chapterCount = std::max(dir.info.chapterCount, maxChapter);
  dir.info.lockedChapters = std::min(dir.info.lockedChapters, dir.info.chapterCount);
  // The same checks as for a directory read from the file.
  auto bad = std::remove_if(dir.entries.begin(), dir.entries.end(), [&](const Entry& e) {
    bool drop = !plausibleMember(e.info, dir.info.chapterCount);
    if (drop && dropped) dropped->push_back(e.info.name);
    return drop;
  });
  dir.entries.erase(bad, dir.entries.end());
  std::sort(dir.entries.begin(), dir.entries.end(), [](const Entry& a, const Entry& b) {
    return a.block != b.block ? a.block < b.block : a.offset < b.offset;
  });
  return dir;
}

}  // namespace jar32
