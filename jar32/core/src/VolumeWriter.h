// Putting a finished archive in place: renamed over the old one, or cut into volumes.
#pragma once

#include <string>
#include <vector>

#include "jar32/Changes.h"
#include "jar32/Progress.h"

namespace jar32 {

class ArchiveReader;
class ArchiveWriter;

/// Puts the finished temporary archive of `writer` in place. It is cut into volumes when the
/// settings ask for it, or (Layout::Keep) when `source` is a set; an archive that fits into
/// one volume stays one file. Volumes of a set that stood at the final path before and that
/// the new archive does not need are removed; a file in the way of a new volume that belongs
/// to no such set is never replaced (kFatal, nothing changed). Returns the files written.
std::vector<std::string> placeArchive(ArchiveWriter& writer, const ArchiveReader* source,
                                      const VolumeSettings& settings, Progress* progress);

/// Bytes free for an unprivileged user on the file system of `folder`.
uint64_t freeSpace(const std::string& folder);

}  // namespace jar32
