// New files with the same content as another new file share its stored copy.
#pragma once

#include <cstdint>
#include <vector>

#include "Writer.h"

namespace jar32 {

/// Reads every new file whose size another new file has, and makes each file whose content
/// equals an earlier one's (byte for byte for files whose bytes are held, BLAKE2b-256 of the
/// whole content for the others) a Shared version of it, with
/// `sameContent` set and `checksum` the content's XXH3. Files of 64 bytes up to `largest` (they
/// lie in one block); files that changed since they were checked, sparse files and names of
/// hard links are left as they are. Reads on up to `threads` threads. Returns the number of
/// files that now share.
size_t shareEqualContent(std::vector<NewEntry>& entries, uint64_t largest, unsigned threads);

}  // namespace jar32
