// Where a block's x86 machine code lies. ELF files (and the ELF members of `ar` archives) name
// their code in their section or program headers, Windows executables in their section table;
// the rest of such a file (data, symbols, debug info) holds no branches, though its bytes may
// look like them. Files of other kinds count as code throughout.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vector>

namespace jar32::branches {

struct Range {
  uint64_t begin, end;
  bool operator==(const Range&) const = default;
};

/// The ranges [begin, end) of n bytes that may hold x86 code, ascending and apart. `starts`:
/// where each file of the block begins, ascending (may be empty: one file from 0).
std::vector<Range> codeRanges(const uint8_t* data, size_t n, const std::vector<uint64_t>& starts);

}  // namespace jar32::branches
