#include "Chapters.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace jar32 {
namespace {

void dropMarked(std::vector<NewEntry>& entries, const std::vector<bool>& drop) {
  size_t out = 0;
  for (size_t i = 0; i < entries.size(); ++i)
    if (!drop[i]) {
      if (out != i) entries[out] = std::move(entries[i]);
      ++out;
    }
  entries.resize(out);
}

[[noreturn]] void lockedChapter(uint32_t chapter) {
  throw JarError(kFatal, "Chapter " + std::to_string(chapter) + " is locked and cannot be changed");
}

// Whether the file's data is what the stored version holds.
bool sameData(const NewEntry& stored, const Candidate& c, ChapterCompare compare, bool verify,
              const HashFile& hashFile) {
  const MemberInfo& a = stored.info;
  const MemberInfo& b = c.file.meta;
  if (compare == ChapterCompare::CompressAll || a.kind != b.kind) return false;
  switch (a.kind) {
    case MemberKind::Folder: return true;
    case MemberKind::Symlink: return a.linkTarget == b.linkTarget;
    case MemberKind::File: break;
  }
  if (a.size != b.size) return false;
  if (compare == ChapterCompare::SizeAndTime && !verify) return sameModificationTime(a, b);
  if (compare == ChapterCompare::SizeAndTime && !sameModificationTime(a, b)) return false;
  auto sum = hashFile(c.file.hostPath);
  return sum && *sum == stored.checksum;
}

// Whether what a version says about its file besides the data is the same.
bool sameMetadata(const MemberInfo& stored, const MemberInfo& file, bool withXattrs) {
  if (stored.mode != file.mode || stored.attributes != file.attributes) return false;
  if (stored.hasOwner && file.hasOwner && (stored.uid != file.uid || stored.gid != file.gid))
    return false;
  if (stored.hardLinkTarget != file.hardLinkTarget) return false;
  return !withXattrs || stored.xattrs == file.xattrs;
}

// u and f: a file is taken as changed when its size or modification time differs from the
// stored version's, in either direction.
bool sizeOrTimeDiffers(const MemberInfo& stored, const MemberInfo& file) {
  if (stored.kind != file.kind || stored.size != file.size) return true;
  if (stored.kind == MemberKind::Symlink && stored.linkTarget != file.linkTarget) return true;
  return !sameModificationTime(stored, file);
}

// The metadata of the file for a version that keeps its stored data.
void takeMetadata(MemberInfo& version, const MemberInfo& file) {
  version.mode = file.mode;
  version.attributes = file.attributes;
  version.hasOwner = file.hasOwner;
  version.uid = file.uid;
  version.gid = file.gid;
  version.owner = file.owner;
  version.group = file.group;
  version.hardLinkTarget = file.hardLinkTarget;
  version.xattrs = file.xattrs;
}

}  // namespace

std::vector<NewEntry> keepAll(const Directory& dir, const std::vector<MemberInfo>& members) {
  std::vector<NewEntry> entries(dir.entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i].info = members[i];
    entries[i].info.packedSize = 0;
    entries[i].checksum = dir.entries[i].checksum;
    entries[i].origin = NewEntry::Origin::Old;
    entries[i].oldIndex = i;
  }
  return entries;
}

AddReport applyAdd(std::vector<NewEntry>& entries, uint32_t& chapterCount,
                   std::deque<Candidate>& files, const AddRules& rules,
                   const HashFile& hashFile, Progress* progress) {
  AddReport report;
  // The chapter compared against (N) and the one written (N, or N+1 for ac).
  const uint32_t base = chapterCount;
  const uint32_t target = rules.newChapter ? base + 1 : std::max<uint32_t>(base, 1);
  chapterCount = target;

  // The added versions follow the old ones.
  const size_t oldCount = entries.size();
  entries.reserve(oldCount + files.size());
  // The names below are views of names that stay put while they are used: the entries' (room
  // for the added versions is reserved, so the vector never moves) and the files' before any
  // moves out.
  std::unordered_map<std::string_view, size_t> current;  // name -> version in chapter `base`
  for (size_t i = 0; i < entries.size(); ++i)
    if (base && entries[i].info.chapters.contains(base)) current[entries[i].info.name] = i;

  std::vector<char> duplicate(files.size());  // a name that came before
  {
    std::unordered_set<std::string_view> seen;
    seen.reserve(files.size());
    for (size_t k = 0; k < files.size(); ++k)
      duplicate[k] = !seen.insert(files[k].file.meta.name).second;
  }
  std::unordered_map<std::string_view, size_t> addedFiles;  // name -> index among the added
  addedFiles.reserve(files.size());
  std::vector<bool> drop(entries.size(), false);
  size_t addedCount = 0;
  auto added = [&](size_t k) -> NewEntry& { return entries[oldCount + k]; };
  // Versions that share data, by what they share it with (resolved once indices settle).
  std::vector<std::pair<size_t, size_t>> sharesOld;    // (added index, old directory index)
  std::vector<std::pair<size_t, size_t>> sharesAdded;  // (added index, added index)

  // Takes the file's metadata and path: the candidate is not looked at for them again.
  auto newVersion = [&](Candidate& c, NewEntry* stored) -> NewEntry& {
    NewEntry& e = entries.emplace_back();
    ++addedCount;
    e.info = std::move(c.file.meta);
    e.info.chapters = {target, target};
    e.info.packedSize = 0;
    if (e.info.kind != MemberKind::File) e.info.size = 0;
    if (e.info.kind != MemberKind::Symlink) e.info.linkTarget.clear();
    e.origin = NewEntry::Origin::Host;
    e.hostPath = std::move(c.file.hostPath);
    e.expected = c.state;
    e.cls = c.cls;
    e.content = std::move(c.content);
    if (stored) ++report.replaced;
    else ++report.added;
    if (progress) progress->member(stored ? Step::Replacing : Step::Adding, e.info);
    return e;
  };
  // A new version that keeps the stored version's data and takes the file's metadata.
  auto sharedVersion = [&](Candidate& c, NewEntry& stored) {
    NewEntry& e = newVersion(c, &stored);
    e.info.size = stored.info.size;
    e.origin = NewEntry::Origin::Shared;
    sharesOld.push_back({addedCount - 1, stored.oldIndex});
  };
  // The last added version is another name of a file read in this run (a hard link): it
  // shares that file's data; without it in this run it is a file of its own.
  auto linkToPrimary = [&](const Candidate& c) {
    NewEntry& e = entries.back();
    auto primary = e.info.hardLinkTarget.empty() ? addedFiles.end()
                                                 : addedFiles.find(e.info.hardLinkTarget);
    if (primary != addedFiles.end() && added(primary->second).origin == NewEntry::Origin::Host &&
        added(primary->second).expected.sameFile(c.state) &&
        added(primary->second).info.size == e.info.size) {
      e.origin = NewEntry::Origin::Shared;
      sharesAdded.push_back({addedCount - 1, primary->second});
    } else {
      e.info.hardLinkTarget.clear();
      addedFiles[e.info.name] = addedCount - 1;
    }
  };
  // The stored version leaves the target chapter; it comes back if the file cannot be read.
  auto displace = [&](size_t index) {
    auto before = std::make_shared<const NewEntry>(entries[index]);
    if (entries[index].info.chapters.first == target) drop[index] = true;
    else entries[index].info.chapters.last = target - 1;
    return before;
  };

  for (size_t k = 0; k < files.size(); ++k) {
    Candidate& c = files[k];
    const MemberInfo& meta = c.file.meta;
    if (duplicate[k]) {
      ++report.skipped;
      if (progress) progress->warning("Duplicate name skipped: " + meta.name);
      continue;
    }
    auto it = current.find(meta.name);
    NewEntry* stored = it == current.end() ? nullptr : &entries[it->second];
    const bool file = meta.kind == MemberKind::File;
    if (rules.newChapter) {
      if (stored && sameData(*stored, c, rules.compare, rules.verifyContent, hashFile)) {
        if (sameMetadata(stored->info, meta, rules.extendedAttributes)) {
          stored->info.chapters.last = target;
          ++report.unchanged;
          if (progress) progress->member(Step::Unchanged, stored->info);
          continue;
        }
        if (file && stored->origin == NewEntry::Origin::Old && stored->info.size) {
          sharedVersion(c, *stored);
          continue;
        }
      }
    } else {
      bool take = false, metadataOnly = false;
      switch (rules.mode) {
        case AddMode::Add: take = !(stored && rules.onlyNew); break;
        case AddMode::Update:
        case AddMode::Freshen:
          if (!stored) {
            take = rules.mode == AddMode::Update;
          } else if (!rules.onlyNew) {
            take = sizeOrTimeDiffers(stored->info, meta) ||
                   (file && rules.verifyContent &&
                    !sameData(*stored, c, ChapterCompare::Content, false, hashFile));
            metadataOnly = !take && !sameMetadata(stored->info, meta, rules.extendedAttributes);
          }
          break;
      }
      if (!take && !metadataOnly) {
        ++report.skipped;
        if (progress) progress->member(Step::Skipping, meta);
        continue;
      }
      if (metadataOnly && stored->info.chapters.first == target) {
        // The version lives in this chapter only: it takes the new metadata itself.
        takeMetadata(stored->info, meta);
        ++report.replaced;
        if (progress) progress->member(Step::Replacing, stored->info);
        continue;
      }
      if (metadataOnly && file && stored->origin == NewEntry::Origin::Old && stored->info.size) {
        stored->info.chapters.last = target - 1;
        sharedVersion(c, *stored);
        continue;
      }
      std::shared_ptr<const NewEntry> before;
      if (stored) before = displace(it->second);
      newVersion(c, stored).displaced = std::move(before);
      if (file) linkToPrimary(c);
      continue;
    }
    newVersion(c, stored);
    if (file) linkToPrimary(c);
  }
  drop.resize(entries.size(), false);  // the added versions stay
  dropMarked(entries, drop);
  const size_t firstAdded = entries.size() - addedCount;
  std::unordered_map<size_t, size_t> byOldIndex;
  for (size_t i = 0; i < firstAdded; ++i)
    if (entries[i].origin == NewEntry::Origin::Old) byOldIndex[entries[i].oldIndex] = i;
  for (auto [a, old] : sharesOld) entries[firstAdded + a].sharedWith = byOldIndex.at(old);
  for (auto [a, primary] : sharesAdded) entries[firstAdded + a].sharedWith = firstAdded + primary;
  return report;
}

size_t applyDelete(std::vector<NewEntry>& entries, uint32_t chapterCount, uint32_t lockedChapters,
                   const std::function<bool(const MemberInfo&)>& match, bool allChapters,
                   Progress* progress) {
  std::vector<bool> drop(entries.size(), false);
  size_t changed = 0;
  if (allChapters) {
    std::unordered_set<std::string> names;
    for (const auto& e : entries)
      if (match(e.info)) names.insert(e.info.name);
    for (size_t i = 0; i < entries.size(); ++i) {
      if (!names.count(entries[i].info.name)) continue;
      if (entries[i].info.chapters.first <= lockedChapters) lockedChapter(entries[i].info.chapters.first);
      drop[i] = true;
      ++changed;
      if (progress) progress->member(Step::Deleting, entries[i].info);
    }
  } else {
    const uint32_t last = chapterCount;
    for (size_t i = 0; i < entries.size(); ++i) {
      MemberInfo& m = entries[i].info;
      if (!m.chapters.contains(last) || !match(m)) continue;
      if (last <= lockedChapters) lockedChapter(last);
      if (progress) progress->member(Step::Deleting, m);
      if (m.chapters.first == last) drop[i] = true;
      else m.chapters.last = last - 1;
      ++changed;
    }
  }
  dropMarked(entries, drop);
  return changed;
}

bool applyDeleteChapters(std::vector<NewEntry>& entries, ArchiveInfo& info, ChapterRange range) {
  const uint32_t n = info.chapterCount;
  uint32_t a = range.first == 0 ? 1 : range.first;
  uint32_t b = range.last == 0 ? n : std::min(range.last, n);
  if (a > b || a > n) return false;
  if (a <= info.lockedChapters) lockedChapter(a);
  const uint32_t gone = b - a + 1;
  // Chapters after the range move down by `gone`, so what is left of a range stays contiguous.
  auto mapFirst = [&](uint32_t c) { return c < a ? c : (c > b ? c - gone : a); };
  auto mapLast = [&](uint32_t c) { return c < a ? c : (c > b ? c - gone : a - 1); };
  std::vector<bool> drop(entries.size(), false);
  for (size_t i = 0; i < entries.size(); ++i) {
    ChapterRange& r = entries[i].info.chapters;
    uint32_t f = mapFirst(r.first), l = mapLast(r.last);
    if (f > l || l == 0) drop[i] = true;
    else r = {f, l};
  }
  dropMarked(entries, drop);
  std::vector<ChapterComment> comments;
  for (auto& c : info.chapterComments) {
    if (c.chapter >= a && c.chapter <= b) continue;
    if (c.chapter > b) c.chapter -= gone;
    comments.push_back(std::move(c));
  }
  info.chapterComments = std::move(comments);
  info.chapterCount = std::max<uint32_t>(1, n - gone);
  return true;
}

}  // namespace jar32
