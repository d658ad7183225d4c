// What a change does with the blocks of the archive it replaces: copy a block that is still
// mostly used as it is, compress the rest again, and merge the small blocks that many small
// updates leave behind (FORMAT.md, "Changing an archive").
#pragma once

#include <cstdint>
#include <vector>

#include "BlockBuilder.h"

namespace jar32 {

/// A block that loses versions is still copied as it is (stored bytes, no decoding) while the
/// data of the versions it keeps is at least this share of its data: 3/4.
inline constexpr uint64_t kKeepUsedNumerator = 3, kKeepUsedDenominator = 4;
/// A block is small when it holds less than 1 MiB of data; once more than 16 small blocks of
/// whole versions would be copied, they are compressed again together into as few blocks as
/// the block limit allows.
inline constexpr uint64_t kSmallBlockBytes = 1ull << 20;
inline constexpr size_t kSmallBlocksMerged = 16;

/// True when a block whose data is dataRaw bytes and of which kept bytes stay in use is
/// copied as it is.
inline bool keepsMostOfBlock(uint64_t kept, uint64_t dataRaw) {
  return kept * kKeepUsedDenominator >= dataRaw * kKeepUsedNumerator;
}

/// Replaces the small blocks among jobs (old blocks, in their order) by merged EncodeOld
/// jobs when there are more than kSmallBlocksMerged of them. oldRaw[b] is the data size of
/// old block b. Only blocks whose kept pieces are whole versions take part, so that a version
/// split over blocks stays contiguous. codecOf gives the codec of a merged job from its first
/// piece.
template <typename CodecOf>
void mergeSmallBlocks(std::vector<Job>& jobs, const std::vector<uint64_t>& oldRaw, uint64_t limit,
                      CodecOf codecOf) {
  auto small = [&](const Job& j) {
    if (j.oldBlock == kNoBlock || oldRaw[j.oldBlock] >= kSmallBlockBytes) return false;
    for (const PiecePlan& p : j.pieces)
      if (!p.first || !p.last) return false;
    return true;
  };
  size_t count = 0;
  for (const Job& j : jobs) count += small(j);
  if (count <= kSmallBlocksMerged) return;
  std::vector<Job> out, merged;
  size_t insertAt = SIZE_MAX;
  for (Job& j : jobs) {
    if (!small(j)) {
      out.push_back(std::move(j));
      continue;
    }
    if (insertAt == SIZE_MAX) insertAt = out.size();
    for (PiecePlan p : j.pieces) {
      p.oldBlock = j.oldBlock;
      if (merged.empty() || merged.back().dataRaw + p.length > limit) {
        merged.emplace_back();
        merged.back().kind = JobKind::EncodeOld;
        merged.back().codec = codecOf(p);
      }
      merged.back().dataRaw += p.length;
      merged.back().pieces.push_back(p);
    }
  }
  out.insert(out.begin() + std::ptrdiff_t(insertAt), std::make_move_iterator(merged.begin()),
             std::make_move_iterator(merged.end()));
  jobs = std::move(out);
}

}  // namespace jar32
