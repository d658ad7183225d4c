// Compression methods -m1..-m4 and how new files are grouped into solid blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Codec.h"

namespace jar32 {

inline constexpr int kDefaultMethod = 2;

/// What kind of content a file holds; files of one kind are compressed together. Tables are
/// binary files laid out in 4-byte fields (message catalogues, fonts); databases are SQLite
/// files.
enum class ContentClass : uint8_t {
  General = 0, Executable = 1, Compressed = 2, Tables = 3, Database = 4
};

/// Bytes at the start of a file that `classify` looks at.
inline constexpr size_t kClassifyHeadBytes = 16;

/// Class from the member name and the first bytes of the data (ELF, catalogue or database
/// magic, if known).
ContentClass classify(const std::string& memberName, const uint8_t* head, size_t headSize);

/// Codec for a block of the given class under method 1..4.
CodecChoice codecFor(int method, ContentClass cls);

/// Largest uncompressed data of one block for a method (bigger files are split).
uint64_t blockLimitFor(int method);
/// Tests: a smaller block limit (0 restores the normal one), to split files without huge data.
void setBlockLimitForTesting(uint64_t bytes);

/// Lower-case extension of a member name ("" when none), for ordering similar files together.
std::string extensionOf(const std::string& memberName);

}  // namespace jar32
