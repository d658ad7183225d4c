// e, x: extraction into a target folder, never outside it.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "EnvelopeText.h"
#include "ExtractFolder.h"
#include "MemberNames.h"
#include "MemberSelection.h"
#include "RecoveryUse.h"
#include "Run.h"

namespace jar32::cli {

namespace {

bool overlaps(const ChapterRange& a, const ChapterRange& b) {
  return a.first <= b.last && b.first <= a.last;
}

bool isWriteFailure(int err) { return err == ENOSPC || err == EDQUOT || err == EIO || err == EFBIG; }

class Extractor : public MemberVisitor {
 public:
  /// linkTargets: members that others name as their hard link's file.
  Extractor(RunContext& run, ExtractFolder& target, bool withFolders, const struct stat& archive,
            std::unordered_set<std::string> linkTargets)
      : run_(run), o_(run.inv.options), target_(target), withFolders_(withFolders),
        archive_(archive), linkTargets_(std::move(linkTargets)) {}

  bool begin(size_t, const MemberInfo& m) override {
    const std::string shown = escaped(m.name);
    std::vector<std::string> parts;
    if (withFolders_) {
      SafePath safe = safeRelativePath(m.name);
      if (!safe.problem.empty()) return refuse(shown, safe.problem);
      parts = std::move(safe.parts);
    } else {
      SafePath safe = safeRelativePath(memberLeaf(m.name));
      if (!safe.problem.empty()) return refuse(shown, safe.problem);
      parts = std::move(safe.parts);
    }
    if (o_.query && run_.asker.ask("Extract " + shown + "?") != Asker::Answer::Yes) return false;

    std::string problem;
    if (m.kind == MemberKind::Folder) {
      if (!target_.makeFolder(parts, problem)) return refuse(shown, problem);
      folders_.push_back({parts, m});
      done(m);
      return false;
    }
    parent_ = target_.openParent(parts, true, problem);
    if (!parent_) return refuse(shown, problem);
    const Existing existing = ExtractFolder::inspect(parent_.get(), parts.back());
    if (existing.exists && existing.device == archive_.st_dev && existing.inode == archive_.st_ino)
      return refuse(shown, "it would replace the archive being read");
    if (!mayWrite(m, existing, shown)) return false;
    if (m.kind == MemberKind::Symlink) {
      // Judged where the link is placed: e puts it at the top of the target folder.
      if (!linkTargetStaysInside(joinMemberName(parts), m.linkTarget) ||
          target_.linkPassesForeignLink(parts, m.linkTarget))
        return refuse(shown, "its link target leads outside the target folder");
      if (!target_.makeLink(parent_.get(), parts, m, problem)) return refuse(shown, problem);
      done(m);
      return false;
    }
    // Another name of a file this run wrote: a hard link, no second copy of the data.
    if (auto placed = placed_.find(m.hardLinkTarget);
        !m.hardLinkTarget.empty() && placed != placed_.end() &&
        target_.makeHardLink(placed->second.parts, placed->second.written, parent_.get(), parts,
                             problem)) {
      done(m);
      return false;
    }
    pending_ = target_.startFile(parent_.get(), parts, m.sparse);
    pendingParts_ = parts;
    if (!pending_.open()) {
      const int err = errno;
      if (isWriteFailure(err)) throw JarError(kWriteError, "cannot write " + shown + ": " + std::strerror(err));
      return refuse(shown, std::string("cannot create it: ") + std::strerror(err));
    }
    return true;
  }

  void data(const uint8_t* bytes, size_t size) override {
    if (!pending_.open()) return;
    if (!pending_.write(bytes, size)) {
      const int err = errno;
      pending_.discard();
      throw JarError(isWriteFailure(err) ? kWriteError : kOpenError,
                     std::string("write error while extracting: ") + std::strerror(err));
    }
  }

  void end(size_t, const MemberInfo& m, MemberStatus status) override {
    if (status == MemberStatus::Damaged) {
      pending_.discard();
      run_.report.warning("not extracted, damaged: " + escaped(m.name));
      return;
    }
    if (!pending_.open()) return;
    std::string note;
    if (!pending_.commit(m, note)) {
      const int err = errno;
      pending_.discard();
      if (isWriteFailure(err)) throw JarError(kWriteError, "cannot write " + escaped(m.name) + ": " + std::strerror(err));
      run_.report.warning("cannot place " + escaped(m.name) + ": " + std::strerror(err));
      return;
    }
    if (!note.empty()) run_.report.warning("extracted " + m.name + ", but " + note);
    if (linkTargets_.count(m.name)) {
      std::string problem;
      Fd parent = target_.openParent(pendingParts_, false, problem);
      if (parent) placed_[m.name] = {pendingParts_, ExtractFolder::inspect(parent.get(), pendingParts_.back())};
    }
    done(m);
  }

  /// Folder times and modes last, deepest first, so writing their contents did not change them.
  void finishFolders() {
    std::sort(folders_.begin(), folders_.end(),
              [](const FolderTodo& a, const FolderTodo& b) { return a.parts.size() > b.parts.size(); });
    for (const FolderTodo& f : folders_) {
      std::string note;
      target_.finishFolder(f.parts, f.member, note);
      if (!note.empty()) run_.report.warning("extracted " + f.member.name + "\\, but " + note);
    }
  }

  size_t extracted() const { return extracted_; }

 private:
  struct FolderTodo {
    std::vector<std::string> parts;
    MemberInfo member;
  };
  struct Placed {
    std::vector<std::string> parts;
    Existing written;
  };

  bool refuse(const std::string& shown, const std::string& why) {
    run_.report.warning("not extracted " + shown + ": " + why);
    return false;
  }

  /// The -f / -u modes, read-only files (-ha) and replacing (-y or a yes answer).
  bool mayWrite(const MemberInfo& m, const Existing& e, const std::string& shown) {
    if (!e.exists) return o_.freshenMode < 0 || o_.updateMode >= 0;
    if (e.isFolder) return refuse(shown, "a folder of that name is in the way");
    const int mode = o_.freshenMode >= 0 ? o_.freshenMode : o_.updateMode;
    if (mode == 0 && !(m.mtime > e.mtime)) return false;
    if (mode == 1 && !(m.mtime < e.mtime)) return false;
    if (mode == 2 && m.mtime == e.mtime && m.size == e.size) return false;
    if (e.readOnly && !o_.ignoreReadOnly) return refuse(shown, "the existing file is read-only (-ha replaces it)");
    if (run_.asker.ask("Replace " + shown + "?") != Asker::Answer::Yes)
      return refuse(shown, "the existing file was not replaced");
    return true;
  }

  void done(const MemberInfo& m) {
    ++extracted_;
    run_.out.put("Extracting ").put(escaped(m.name));
    if (m.kind == MemberKind::Folder) run_.out.put('\\');
    run_.out.put('\n');
    if (!o_.listFile.empty()) run_.processed.push_back(m.name);
  }

  RunContext& run_;
  const Options& o_;
  ExtractFolder& target_;
  bool withFolders_;
  const struct stat& archive_;
  std::unordered_set<std::string> linkTargets_;
  std::unordered_map<std::string, Placed> placed_;  // link targets written by this run
  std::vector<std::string> pendingParts_;
  Fd parent_;
  ExtractFolder::PendingFile pending_;
  std::vector<FolderTodo> folders_;
  size_t extracted_ = 0;
};

}  // namespace

void runExtract(RunContext& run) {
  const Invocation& inv = run.inv;
  const Options& o = inv.options;
  repairWithRecords(run);  // -jr
  OpenOptions options = openOptionsOf(o);
  options.records = recordsUseFor(run);
  keepSelectedChapters(o.chapters, options);
  auto archive = Archive::open(inv.archive, passwordOf(o), options);
  struct stat archiveFile{};
  if (stat(inv.archive.c_str(), &archiveFile) != 0)
    throw JarError(kOpenError, "cannot open " + inv.archive + ": " + std::strerror(errno));
  const auto& members = archive->members();
  const ChapterRange range = selectChapters(o.chapters, archive->info().chapterCount);
  const bool withFolders = inv.command == Command::ExtractFolders;
  const MemberSelection selection(inv.names);

  // For each name, its newest version within the selected chapters.
  std::unordered_map<std::string_view, size_t> chosen;
  for (size_t i = 0; i < members.size(); ++i) {
    const MemberInfo& m = members[i];
    const bool folder = m.kind == MemberKind::Folder;
    if (!overlaps(m.chapters, range) || (folder && !withFolders)) continue;
    if (!selection.matches(m.name, folder) || memberExcluded(o.excludes, m.name, folder))
      continue;
    auto [it, isNew] = chosen.try_emplace(m.name, i);
    if (!isNew && members[it->second].chapters.last < m.chapters.last) it->second = i;
  }
  std::vector<size_t> which;
  which.reserve(chosen.size());
  for (const auto& [name, index] : chosen) which.push_back(index);
  std::sort(which.begin(), which.end());
  // Damage counts before anything else: an archive whose directory is lost may show no member.
  if (archive->info().directoryRebuilt)
    run.report.problem(kCrcError, "the archive's directory is damaged; its members were found by scanning (rh rebuilds the archive)");
  if (which.empty()) {
    run.report.warning("nothing in the selected chapters matches the names given");
    return;
  }
  std::unordered_set<std::string> linkTargets;
  for (size_t i : which)
    if (!members[i].hardLinkTarget.empty()) linkTargets.insert(members[i].hardLinkTarget);
  RestoreRules rules;
  rules.owner = geteuid() == 0;  // only root can give files to their owners
  rules.xattrs = o.extendedAttributes;
  ExtractFolder target(o.outputPath, rules);
  Extractor extractor(run, target, withFolders, archiveFile, std::move(linkTargets));
  reportRepairs(run, archive->info().records);
  archive->read(which, extractor, o.recoverBroken);
  extractor.finishFolders();
  run.out.put("Extracted ").put(std::to_string(extractor.extracted()))
      .put(" of ").put(std::to_string(which.size())).line(".");
  writeListFile(run);
}

}  // namespace jar32::cli
