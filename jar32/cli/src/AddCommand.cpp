// a, u, f, m, ac: scan the disk, hand the files to the engine, then (m, -d) remove the sources.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "MemberNames.h"
#include "Run.h"
#include "Scanner.h"
#include "UsageError.h"
#include "jar32/TestHooks.h"

namespace jar32::cli {

namespace {

/// Remembers which members the engine stored, so that only those sources are removed (when
/// they are to be removed).
class AddProgress : public PrintingProgress {
 public:
  AddProgress(RunContext& run, bool remembers) : PrintingProgress(run), remembers_(remembers) {}
  void member(Step step, const MemberInfo& m) override {
    PrintingProgress::member(step, m);
    if (remembers_ && (step == Step::Adding || step == Step::Replacing || step == Step::Unchanged))
      stored.insert(m.name);
  }
  std::unordered_set<std::string> stored;

 private:
  bool remembers_;
};

/// Removes the sources whose data is now in the archive: files and links first, then folders
/// (deepest first) when they are empty. A source that changed since it was read stays.
void removeSources(RunContext& run, const ScannedFiles& files,
                   const std::unordered_set<std::string>& stored) {
  std::vector<const ScannedFile*> folders;
  for (const ScannedFile& f : files) {
    if (!stored.count(f.meta.name)) continue;
    if (f.meta.kind == MemberKind::Folder) {
      folders.push_back(&f);
      continue;
    }
    struct stat st;
    if (lstat(f.hostPath.c_str(), &st) != 0) continue;
    // Only the file that was found and read, untouched since to the nanosecond.
    if (!f.unchangedOnDisk()) {
      run.report.warning("kept " + escaped(f.hostPath) + ": it changed while it was added");
      continue;
    }
    if ((f.meta.attributes & kAttrReadOnly) && !run.inv.options.ignoreReadOnly) {
      run.report.warning("kept the read-only file " + escaped(f.hostPath) + " (-ha removes it)");
      continue;
    }
    if (unlink(f.hostPath.c_str()) != 0)
      run.report.warning("cannot remove " + escaped(f.hostPath) + ": " + std::strerror(errno));
  }
  std::sort(folders.begin(), folders.end(), [](const ScannedFile* a, const ScannedFile* b) {
    return a->hostPath.size() > b->hostPath.size();
  });
  for (const ScannedFile* f : folders) rmdir(f->hostPath.c_str());  // only when empty
}

}  // namespace

void runAdd(RunContext& run) {
  const Invocation& inv = run.inv;
  const Options& o = inv.options;
  if (inv.names.empty() && inv.command != Command::AddChapter)
    throw UsageError("no files named to add");
  const auto base = normalizeBaseFolder(o.outputPath);
  if (!base) throw UsageError("unusable base folder inside the archive: " + o.outputPath);

  ScanSettings scan;
  scan.recurse = o.recurse;
  scan.fullPath = o.fullPath;
  scan.baseFolder = *base;
  scan.excludes = o.excludes;
  scan.includeArchive = o.includeArchive;
  scan.includeDirectories = o.includeDirectories;
  scan.includeHidden = o.includeHidden;
  scan.includeReadOnly = o.includeReadOnly;
  scan.currentFolder = run.currentFolder;
  scan.extendedAttributes = o.extendedAttributes;
  for (const std::string& own : {inv.archive, o.listFile}) {
    struct stat st;
    if (!own.empty() && stat(own.c_str(), &st) == 0) scan.skipFiles.emplace_back(st.st_dev, st.st_ino);
  }
  WriteSettings settings = writeSettingsFor(run);
  const bool deleting = inv.command == Command::Move || o.withDelete;
  settings.verifyContent = deleting;  // a source goes only when its bytes are known stored
  settings.extendedAttributes = o.extendedAttributes;
  ScanReport scanned{[&](const std::string& w) { run.report.warning(w); }};
  // The scan's list is needed afterwards only to remove the sources.
  auto sourceOf = [deleting](ScannedFile& f) {
    return SourceFile{deleting ? f.hostPath : std::move(f.hostPath),
                      deleting ? f.meta : std::move(f.meta), static_cast<uint64_t>(f.device),
                      static_cast<uint64_t>(f.inode), f.changed.tv_sec,
                      static_cast<uint32_t>(f.changed.tv_nsec)};
  };
  // Files are checked while the rest are found, unless each is to be asked about first.
  AddSources sources;
  ScannedFiles found;
  FoundFile sink;
  if (!o.query)
    sink = [&](ScannedFile&& f) {
      sources.add(sourceOf(f));
      if (deleting) found.push_back(std::move(f));
    };
  ScannedFiles listed = scanSources(inv.names, scan, scanned, sink);
  testPoint("scanned");

  if (o.query) {
    for (ScannedFile& f : listed)
      if (run.asker.ask("Add " + escaped(f.hostPath) + "?") == Asker::Answer::Yes) {
        sources.add(sourceOf(f));
        if (deleting) found.push_back(std::move(f));
      }
    ScannedFiles().swap(listed);
  }

  AddMode mode = AddMode::Add;
  if (inv.command == Command::Update) mode = AddMode::Update;
  if (inv.command == Command::Freshen) mode = AddMode::Freshen;
  const ChapterCompare compare = o.chapterMode < 0 ? ChapterCompare::SizeAndTime
                                                   : static_cast<ChapterCompare>(o.chapterMode);
  AddProgress progress(run, deleting);
  const AddReport report = addFiles(inv.archive, sources, mode, o.onlyNew,
                                    inv.command == Command::AddChapter, compare, settings, &progress);
  run.out.put("Added ").put(std::to_string(report.added)).put(", replaced ");
  run.out.put(std::to_string(report.replaced));
  if (inv.command == Command::AddChapter)
    run.out.put(", unchanged ").put(std::to_string(report.unchanged));
  run.out.put(", skipped ").put(std::to_string(report.skipped + scanned.skipped)).line(".");
  for (const std::string& name : report.notStored) progress.stored.erase(name);
  // The new archive is in place: only now may the sources go.
  if (deleting) removeSources(run, found, progress.stored);
  writeListFile(run);
}

}  // namespace jar32::cli
