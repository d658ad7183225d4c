// The chapter rules of a/u/f/m, ac, d, da and dc, applied to the list of versions that the new
// archive will hold. Pure functions: no files are read or written here (see jar32/CHAPTERS.md).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Directory.h"
#include "Writer.h"
#include "jar32/Changes.h"

namespace jar32 {

/// Every version of the source directory (members: the reader's members()), kept as it is.
std::vector<NewEntry> keepAll(const Directory& dir, const std::vector<MemberInfo>& members);

/// A file to add, already checked to be readable (size and times as found when it was opened).
struct Candidate {
  SourceFile file;
  HostState state;  // files: as opened when checked
  ContentClass cls = ContentClass::General;
  std::shared_ptr<const Bytes> content;  // a small file's bytes, read when it was checked
};

/// How an add compares files with the stored versions.
struct AddRules {
  AddMode mode = AddMode::Add;
  bool onlyNew = false;
  bool newChapter = false;
  ChapterCompare compare = ChapterCompare::SizeAndTime;
  bool verifyContent = false;       // unchanged data only when the content was compared
  bool extendedAttributes = false;  // the candidates' xattrs were read: a change counts
};

/// Content checksum of a host file (for -js1); nullopt when it cannot be read.
using HashFile = std::function<std::optional<uint64_t>(const std::string& hostPath)>;

/// Applies an add (newChapter false: a/u/f/m on chapter N) or ac (newChapter true: chapter
/// N+1). chapterCount is 0 for a new archive and is updated. The metadata and paths of the
/// files that are taken move into their new versions.
AddReport applyAdd(std::vector<NewEntry>& entries, uint32_t& chapterCount,
                   std::deque<Candidate>& files, const AddRules& rules,
                   const HashFile& hashFile, Progress* progress);

/// d / da. Throws kFatal when a version in a locked chapter would change.
size_t applyDelete(std::vector<NewEntry>& entries, uint32_t chapterCount, uint32_t lockedChapters,
                   const std::function<bool(const MemberInfo&)>& match, bool allChapters,
                   Progress* progress);

/// dc: removes chapters range.first..range.last (0 = open bound) and renumbers later ones.
/// Returns false when the range selects no existing chapter.
bool applyDeleteChapters(std::vector<NewEntry>& entries, ArchiveInfo& info, ChapterRange range);

}  // namespace jar32
