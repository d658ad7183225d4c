// The listing printed by the l command, in the fixed layout that the front-end reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Output.h"
#include "jar32/Member.h"

namespace jar32::cli {

struct ListingHeader {
  std::string archivePath;
  uint32_t formatVersion = 1;
  uint32_t chapterCount = 1;
  uint64_t memberCount = 0;       // stored versions in the whole archive
  int64_t created = 0, modified = 0;
  uint32_t flags = 0;             // ArchiveFlag bits
  std::string comment;
  uint32_t firstChapter = 1, lastChapter = 1;  // the selection
  uint64_t packedBytes = 0;       // whole archive: compressed bytes
  uint64_t unpackedBytes = 0;     // whole archive: bytes of all stored versions
  // A secured archive: whether its envelope was tested, and the signature line's text.
  bool secured = false;
  bool envelopeTested = false;
  std::string signature;
};

/// The two banner lines every command prints first.
void printBanner(Output& out);

/// The flag words of the flags, joined with ", " (empty when there are none).
std::string flagLine(uint32_t flags);

/// Four attribute characters: A (file), D (folder) or L (link); H hidden; R read-only; S system.
std::string attributeText(const MemberInfo& member);

/// The size column: right-aligned in 10 characters; from 10,000,000,000 bytes on in whole
/// KiB with a "K" (rounded up) so the columns never move.
std::string sizeColumn(uint64_t size);

/// Prints the whole listing for the members (in archive order; the caller has selected them).
/// Groups: the root first, then the folders in name order; each folder member appears in its
/// parent's group with a trailing backslash.
void printListing(const ListingHeader& header, const std::vector<const MemberInfo*>& members,
                  Output& out);

}  // namespace jar32::cli
