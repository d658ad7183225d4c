// A second copy of the file header (salt and key parameters of a protected archive), kept
// before the information block so that rh can rebuild an archive whose first header is damaged.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vector>

#include "Directory.h"
#include "FileIo.h"
#include "Format.h"

namespace jar32 {

inline constexpr size_t kHeaderCopySize = 112;

void encodeHeaderCopy(const uint8_t header[kFileHeaderSize], uint8_t out[kHeaderCopySize]);
/// Writes the copy at the file's write position.
void writeHeaderCopy(File& out, const uint8_t header[kFileHeaderSize]);
/// t: the bytes between the last block and the information block are either nothing (archives
/// written before the copy existed) or an intact copy of the file's own header.
bool headerCopyIntact(const File& file, const std::vector<BlockRef>& blocks, uint64_t infoOffset);
/// The last intact copy in the file, decoded; false when there is none (archives written
/// before the copy existed).
bool findHeaderCopy(const File& file, FileHeader& out);

}  // namespace jar32
