#include "Chapters.h"

#include <algorithm>
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

bool unchanged(const NewEntry& stored, const Candidate& c, ChapterCompare compare,
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
  if (compare == ChapterCompare::SizeAndTime) return a.mtime == b.mtime;
  auto sum = hashFile(c.file.hostPath);
  return sum && *sum == stored.checksum;
}

}  // namespace

std::vector<NewEntry> keepAll(const Directory& dir) {
  std::vector<NewEntry> entries(dir.entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i].info = dir.entries[i].info;
    entries[i].info.packedSize = 0;
    entries[i].checksum = dir.entries[i].checksum;
    entries[i].origin = NewEntry::Origin::Old;
    entries[i].oldIndex = i;
  }
  return entries;
}

AddReport applyAdd(std::vector<NewEntry>& entries, uint32_t& chapterCount,
                   const std::vector<Candidate>& files, AddMode mode, bool onlyNew,
                   bool newChapter, ChapterCompare compare, const HashFile& hashFile,
                   Progress* progress) {
  AddReport report;
  // The chapter compared against (N) and the one written (N, or N+1 for ac).
  const uint32_t base = chapterCount;
  const uint32_t target = newChapter ? base + 1 : std::max<uint32_t>(base, 1);
  chapterCount = target;

  std::unordered_map<std::string, size_t> current;  // name -> version in chapter `base`
  for (size_t i = 0; i < entries.size(); ++i)
    if (base && entries[i].info.chapters.contains(base)) current[entries[i].info.name] = i;

  std::unordered_set<std::string> seen;
  std::vector<bool> drop(entries.size(), false);
  std::vector<NewEntry> added;
  for (const Candidate& c : files) {
    const MemberInfo& meta = c.file.meta;
    if (!seen.insert(meta.name).second) {
      ++report.skipped;
      if (progress) progress->warning("Duplicate name skipped: " + meta.name);
      continue;
    }
    auto it = current.find(meta.name);
    NewEntry* stored = it == current.end() ? nullptr : &entries[it->second];
    if (newChapter) {
      if (stored && unchanged(*stored, c, compare, hashFile)) {
        stored->info.chapters.last = target;
        ++report.unchanged;
        if (progress) progress->member(Step::Unchanged, stored->info);
        continue;
      }
    } else {
      bool newer = stored && meta.mtime > stored->info.mtime;
      bool take = false;
      switch (mode) {
        case AddMode::Add: take = !(stored && onlyNew); break;
        case AddMode::Update: take = !stored || (newer && !onlyNew); break;
        case AddMode::Freshen: take = stored && newer && !onlyNew; break;
      }
      if (!take) {
        ++report.skipped;
        if (progress) progress->member(Step::Skipping, meta);
        continue;
      }
      // The stored version leaves the target chapter.
      if (stored) {
        if (stored->info.chapters.first == target) drop[it->second] = true;
        else stored->info.chapters.last = target - 1;
      }
    }
    NewEntry e;
    e.info = meta;
    e.info.chapters = {target, target};
    e.info.packedSize = 0;
    if (e.info.kind != MemberKind::File) e.info.size = 0;
    if (e.info.kind != MemberKind::Symlink) e.info.linkTarget.clear();
    e.origin = NewEntry::Origin::Host;
    e.hostPath = c.file.hostPath;
    e.cls = c.cls;
    if (stored) ++report.replaced;
    else ++report.added;
    if (progress) progress->member(stored ? Step::Replacing : Step::Adding, e.info);
    added.push_back(std::move(e));
  }
  dropMarked(entries, drop);
  for (auto& e : added) entries.push_back(std::move(e));
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
