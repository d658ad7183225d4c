// The change commands: each builds the list of versions for the new archive (Chapters.cpp) and
// hands it to the writer, which replaces the archive only after everything succeeded.
#include "jar32/Changes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "Chapters.h"
#include "Envelope.h"
#include "FaultInjection.h"
#include "HostFile.h"
#include "Checksum.h"
#include "Reader.h"
#include "RecordsChange.h"
#include "RecoveryRecords.h"
#include "VolumeWriter.h"
#include "Writer.h"

namespace jar32 {
namespace {

void checkComments(const WriteSettings& s) {
  if (s.archiveComment && s.archiveComment->size() > kMaxCommentBytes)
    throw JarError(kBadParams, "Archive comment is longer than 4096 bytes; nothing was changed");
  if (s.chapterComment && s.chapterComment->size() > kMaxCommentBytes)
    throw JarError(kBadParams, "Chapter comment is longer than 4096 bytes; nothing was changed");
  if (s.protection != kProtectXChaCha && s.protection != kProtectGost)
    throw JarError(kBadParams, "Unknown protection method " + std::to_string(s.protection));
  if (s.method < 0 || s.method > 4)
    throw JarError(kBadParams, "Unknown compression method " + std::to_string(s.method));
}

bool changesArchiveSettings(const WriteSettings& s) {
  return s.archiveComment || s.chapterComment || s.lock != LockMode::Unchanged || s.signWith ||
         s.volumes.layout != VolumeSettings::Layout::Keep;
}

std::unique_ptr<ArchiveReader> openForChange(const std::string& path, const WriteSettings& s,
                                             bool mustExist, bool allowLocked,
                                             Progress* progress = nullptr) {
  // A link to an archive not made yet makes it where the link points.
  if (!pathExists(followLinks(path))) {
    if (mustExist) throw JarError(kOpenError, "Cannot open " + path + ": No such file");
    return nullptr;
  }
  // The new archive is made from the bytes as the recovery records repair them.
  auto r = ArchiveReader::open(path, s.password, false, !s.skipEnvelopeTest, RecordsUse::Repair);
  // One change at a time: a second jar32 changing the same archive would lose one update.
  // The lock belongs to the file that was opened; if the path was replaced meanwhile, the
  // archive changed under us and the command is refused as well.
  struct stat opened, now;
  if (::flock(r->file().fd(), LOCK_EX | LOCK_NB) != 0 || ::fstat(r->file().fd(), &opened) != 0 ||
      ::stat(path.c_str(), &now) != 0 || opened.st_ino != now.st_ino || opened.st_dev != now.st_dev)
    throw JarError(kFatal, "Archive is being changed by another program: " + path);
  if (r->info().directoryRebuilt)
    throw JarError(kCrcError, "The archive directory is damaged; recover the archive with rh first");
  noteRepairs(r->info().records, path, progress);
  if (r->header().protectedArchive && !r->keys()) throw JarError(kFatal, kMsgPasswordNeeded);
  if (!allowLocked && (r->info().flags & kFlagLocked))
    throw JarError(kFatal, "Archive is locked and cannot be changed: " + path);
  return r;
}

/// The protection of the archive to write and the password that opens it.
Protection decideProtection(const ArchiveReader* src, const WriteSettings& s, bool isCopy,
                            Progress* progress, std::string* passwordOut) {
  Protection prot;
  std::string password;
  int method = s.protection;
  bool fresh = false;
  if (isCopy && s.newPassword) {
    password = *s.newPassword;
    fresh = !password.empty();
  } else if (src && src->header().protectedArchive) {
    prot.header = src->header();
    prot.keys = src->sharedKeys();
    prot.sameKeysAsSource = true;
    password = s.password;
  } else if (!s.password.empty()) {
    password = s.password;
    fresh = true;
  }
  if (fresh) {
    prot.header = FileHeader{};
    prot.header.protectedArchive = true;
    prot.header.method = uint8_t(method);
    prot.header.kdf = KdfParams::fresh();
    prot.keys = Keys::derive(method, password, prot.header.kdf);
    std::copy_n(prot.keys->checkValue(), kCheckBytes, prot.header.check);
  }
  if (!prot.keys) {
    prot.header = FileHeader{};
    password.clear();
    if (s.hideContents && progress)
      progress->warning("Hiding the contents needs a password; the contents are not hidden");
  } else {
    bool wasHidden = src && src->header().hidden;
    prot.header.hidden = isCopy ? s.hideContents : (wasHidden || s.hideContents);
  }
  *passwordOut = password;
  return prot;
}

int64_t now() { return int64_t(std::time(nullptr)); }

void applySettings(ArchiveInfo& info, const WriteSettings& s, const std::vector<NewEntry>& entries,
                   bool existed) {
  if (s.archiveComment) info.comment = *s.archiveComment;
  if (s.chapterComment) {
    auto& list = info.chapterComments;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const ChapterComment& c) { return c.chapter == info.chapterCount; }),
               list.end());
    if (!s.chapterComment->empty()) list.push_back({info.chapterCount, *s.chapterComment});
    std::sort(list.begin(), list.end(),
              [](const ChapterComment& a, const ChapterComment& b) { return a.chapter < b.chapter; });
  }
  // An auto-lockable archive locks itself on its next change.
  if (info.flags & kFlagAutoLock) info.flags = (info.flags & ~kFlagAutoLock) | kFlagLocked;
  switch (s.lock) {
    case LockMode::Unchanged: break;
    case LockMode::Lock: info.flags |= kFlagLocked; break;
    case LockMode::LockChapters: info.lockedChapters = info.chapterCount; break;
    case LockMode::AutoLock:
      if (!(info.flags & kFlagLocked)) info.flags |= kFlagAutoLock;
      break;
  }
  info.flags &= kFlagLocked | kFlagAutoLock;
  if (!existed) info.created = now();
  switch (s.timeStamp) {
    case TimeStampMode::Now: info.modified = now(); break;
    case TimeStampMode::KeepOld:
      if (!existed) info.modified = now();
      break;
    case TimeStampMode::Newest: {
      int64_t newest = 0;
      for (const auto& e : entries) newest = std::max(newest, e.info.mtime);
      info.modified = entries.empty() ? now() : newest;
      break;
    }
  }
}

unsigned threadsFor(unsigned asked) {
  unsigned n = asked ? asked : std::thread::hardware_concurrency();
  return std::clamp(n, 1u, 16u);
}

unsigned threadsFor(const WriteSettings& s) { return threadsFor(s.threads); }

struct NullVisitor : MemberVisitor {
  bool begin(size_t, const MemberInfo&) override { return true; }
  void data(const uint8_t*, size_t) override {}
  void end(size_t, const MemberInfo&, MemberStatus) override {}
};

/// -hy signs the new archive; without it a change of a secured archive leaves no envelope.
void sealEnvelope(const std::string& temp, const ArchiveReader* source, const WriteSettings& s,
                  Progress* progress) {
  if (s.signWith) {
    appendEnvelope(temp, *s.signWith, now());
  } else if (source && source->info().envelope.present && progress) {
    progress->warning("The JAR SECURITY envelope was removed: it does not cover the changed "
                      "archive (-hy signs it again)");
  }
}

/// Writes, optionally tests, and puts the new archive in place of `output`. Returns the
/// entries left out because their files could not be read.
std::vector<size_t> writeAndCommit(const std::string& output, const ArchiveReader* source,
                    std::vector<NewEntry>& entries, const ArchiveInfo& info,
                    const Protection& prot, const std::string& password, const WriteSettings& s,
                    bool recompressAll, bool replaceExisting, Progress* progress) {
  std::vector<size_t> fresh;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].origin == NewEntry::Origin::Host) fresh.push_back(i);
  struct stat before;
  bool hadFile = ::stat(output.c_str(), &before) == 0;

  ArchiveWriter writer(output, s.workFolder, replaceExisting);
  WriteJobSettings js;
  js.method = s.method ? s.method : kDefaultMethod;
  js.recompressAll = recompressAll;
  js.threads = threadsFor(s);
  std::vector<size_t> newIndex;
  writer.write(source, entries, info, prot, js, progress, &newIndex);
  std::erase_if(fresh, [&](size_t i) { return newIndex[i] == SIZE_MAX; });
  // Layers over the finished body. The security envelope comes last: it signs everything.
  sealEnvelope(writer.tempPath(), source, s, progress);
  // Recovery records cover all of it, the envelope included, so they repair that too.
  if (const unsigned share = recordsShareFor(source, s)) appendRecoveryRecords(writer.tempPath(), share);

  if (s.testBeforeCommit || (s.testNewMembers && !fresh.empty())) {
    auto check = ArchiveReader::open(writer.tempPath(), password, false, true, RecordsUse::Check);
    try {
      if (check->info().records.damaged()) throw JarError(kCrcError, "its recovery records do not match it");
      if (s.testBeforeCommit) {
        check->test(nullptr);
      } else {
        std::vector<size_t> which;
        for (size_t i : fresh) which.push_back(newIndex[i]);
        NullVisitor v;
        check->read(which, v, false);
      }
    } catch (const JarError& e) {
      if (e.exitCode != kCrcError) throw;
      throw JarError(kCrcError, std::string("Testing the new archive failed (") + e.what() +
                                    "); the old archive is unchanged");
    }
  }
  const std::vector<std::string> files = placeArchive(writer, source, s.volumes, progress);

  // -s / -s1: the archive's files carry the newest member's time or keep their old time.
  for (const std::string& file : files) {
    if (s.timeStamp == TimeStampMode::Now) break;
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    if (s.timeStamp == TimeStampMode::KeepOld && hadFile) {
      times[1] = before.st_mtim;
    } else {
      times[1].tv_sec = time_t(info.modified);
      times[1].tv_nsec = 0;
    }
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
  }
  return writer.dropped();
}

// Small files are read whole when they are checked and not opened again: most of the time
// of adding many small files goes to opening them. Their bytes stay in memory up to a budget.
constexpr uint64_t kHeldFileBytes = 32 << 10;
constexpr uint64_t kHeldBudget = 64 << 20;

// Takes n bytes of the budget for held files, if that many are left.
bool takeBudget(std::atomic<uint64_t>& budget, uint64_t n) {
  uint64_t left = budget.load();
  while (left >= n && !budget.compare_exchange_weak(left, left - n)) {
  }
  return left >= n;
}

// The bytes of a file of `size`, if it holds that many and did not change while it was read
// (a file that grew has another size or time now).
std::shared_ptr<const Bytes> readWhole(const HostFile& in, uint64_t size) {
  auto bytes = std::make_shared<Bytes>(size_t(size));
  if (in.readAt(0, bytes->data(), bytes->size()) != size || !in.now().unchangedSince(in.opened()))
    return nullptr;
  return bytes;
}

// The file as the scan found it.
HostState foundState(const SourceFile& f) {
  HostState s;
  s.device = f.device;
  s.inode = f.inode;
  s.size = f.meta.size;
  s.mtime = f.meta.mtime;
  s.mtimeNsec = f.meta.mtimeNsec;
  s.ctime = f.ctime;
  s.ctimeNsec = f.ctimeNsec;
  return s;
}

/// Checks a file to add: readable, its size now, what kind of content. False: it is skipped,
/// for the reason in `warning`; a file that is kept may have a warning too. A small file's
/// bytes are read too while `budget` lasts.
bool check(Candidate& c, std::string& warning, std::atomic<uint64_t>& budget) {
  const SourceFile& f = c.file;
  const std::string& name = f.meta.name;
  if (name.empty() || name.size() > kMaxNameBytes || name.find('\0') != std::string::npos) {
    warning = "Bad member name skipped: " + f.hostPath;
    return false;
  }
  if (f.meta.kind != MemberKind::File) return true;
  try {
    // A small file that the scan found is read first and looked at once afterwards: that look
    // tells both what was opened and that nothing changed it since the scan.
    const bool found = f.inode != 0;
    HostFile in = found ? HostFile::openUnconfirmed(f.hostPath) : HostFile::open(f.hostPath);
    std::shared_ptr<Bytes> early;
    const HostState scanned = foundState(f);  // f.meta becomes the file as it is now
    const uint64_t foundSize = scanned.size;
    if (found && foundSize && foundSize <= kHeldFileBytes && takeBudget(budget, foundSize)) {
      early = std::make_shared<Bytes>(size_t(foundSize));
      try {
        if (in.readAt(0, early->data(), early->size()) != foundSize) early.reset();
      } catch (const JarError&) {
        early.reset();  // what it is now is looked at next; it is read again later
      }
      if (!early) budget += foundSize;
    }
    if (found) in.confirm();
    c.state = in.opened();
    if (found && (c.state.device != f.device || c.state.inode != f.inode))
      throw JarError(kOpenError, "Cannot read " + f.hostPath +
                                     ": it was replaced by another file since it was found");
    // What is stored is the file as it is now.
    MemberInfo& m = c.file.meta;
    m.size = c.state.size;
    m.mtime = c.state.mtime;
    m.mtimeNsec = c.state.mtimeNsec;
    m.preciseTime = true;
    m.sparse = c.state.sparse;
    if (early) {
      if (c.state.unchangedSince(scanned) && !m.sparse) c.content = std::move(early);
      else budget += foundSize;  // it changed since the scan: read with the others
    } else if (!found && m.size && m.size <= kHeldFileBytes && !m.sparse &&
               takeBudget(budget, m.size)) {
      c.content = readWhole(in, m.size);
      if (!c.content) budget += m.size;  // it changes: read it with the others
    }
    uint8_t head[kClassifyHeadBytes];
    size_t got = c.content ? std::min<size_t>(sizeof head, c.content->size())
                           : in.readAt(0, head, sizeof head);
    if (c.content) std::memcpy(head, c.content->data(), got);
    if (m.size == 0 && got > 0)
      warning = f.hostPath + ": it tells no size but holds data (a /proc or /sys file?); it "
                             "was stored empty";
    c.cls = classify(name, head, got);
    return true;
  } catch (const JarError& e) {
    warning = std::string(e.what()) + " (skipped)";
    return false;
  }
}

std::optional<uint64_t> hashHostFile(const std::string& path) {
  try {
    HostFile in = HostFile::open(path);
    ContentHash h;
    Bytes buf(1 << 20);
    for (uint64_t at = 0;;) {
      size_t got = in.readAt(at, buf.data(), buf.size());
      if (!got) break;
      h.update(buf.data(), got);
      at += got;
    }
    return h.digest();
  } catch (const JarError&) {
    return std::nullopt;
  }
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

// The files given so far and what their checks found. Helpers check them while more are
// given; the thread that gives them joins in once they are all given. Deques keep their
// elements in place as they grow.
struct AddSources::Checks {
  explicit Checks(unsigned threads) : threads(threads) {}
  ~Checks() {
    stop = true;
    close();
    for (std::thread& t : helpers) t.join();
  }
  void close() {
    {
      std::lock_guard lock(mutex);
      closed = true;
    }
    cv.notify_all();
  }
  // Checks files until none is left and no more will come (or the work stops).
  void work(Progress* progress) {
    for (;;) {
      Candidate* candidate;
      std::string* warning;
      char* keep;
      {
        std::unique_lock lock(mutex);
        // Waits for a batch rather than each file: waking costs more than a check.
        ++waiting;
        cv.wait(lock, [&] { return stop || closed || checked.size() >= next + kBatch; });
        --waiting;
        if (stop || next == checked.size()) return;
        candidate = &checked[next];
        warning = &warnings[next];
        keep = &kept[next];
        ++next;
      }
      if (progress && progress->interrupted()) {
        stop = true;
        cv.notify_all();
        return;
      }
      *keep = check(*candidate, *warning, budget);
    }
  }

  static constexpr size_t kBatch = 16;
  static constexpr size_t kHelpersFrom = 64;  // fewer files are checked by one thread
  const unsigned threads;
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<Candidate> checked;  // each with its file, as given
  std::deque<std::string> warnings;
  std::deque<char> kept;
  size_t next = 0;     // the next file to check
  unsigned waiting = 0;
  bool closed = false;
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> budget{kHeldBudget};
  std::vector<std::thread> helpers;
};

AddSources::AddSources(unsigned threads) : checks_(std::make_unique<Checks>(threadsFor(threads))) {}
AddSources::~AddSources() = default;

void AddSources::add(SourceFile file) {
  Checks& c = *checks_;
  bool wake;
  {
    std::lock_guard lock(c.mutex);
    c.warnings.emplace_back();
    c.kept.push_back(0);
    c.checked.emplace_back().file = std::move(file);  // last: it makes the file one to check
    wake = c.waiting && c.checked.size() >= c.next + Checks::kBatch;
  }
  if (wake) c.cv.notify_one();
  if (c.helpers.empty() && c.threads > 1 && c.checked.size() == Checks::kHelpersFrom) {
    try {
      for (unsigned t = 1; t < c.threads; ++t) c.helpers.emplace_back([&c] { c.work(nullptr); });
    } catch (const std::system_error&) {
      // No more threads: the files are checked by those there are.
    }
  }
}

namespace {

// Waits for every check; the warnings come in the files' order. The files kept stay where
// they are (moved to the front).
std::deque<Candidate> checkedSources(AddSources::Checks& c, AddReport& report,
                                     Progress* progress) {
  c.close();
  c.work(progress);
  for (std::thread& t : c.helpers) t.join();
  c.helpers.clear();
  if (c.stop) throw JarError(kInterrupted, "Interrupted");
  size_t kept = 0;
  for (size_t i = 0; i < c.checked.size(); ++i) {
    if (!c.warnings[i].empty() && progress) progress->warning(c.warnings[i]);
    if (!c.kept[i]) {
      ++report.skipped;
      continue;
    }
    if (kept != i) c.checked[kept] = std::move(c.checked[i]);
    ++kept;
  }
  c.checked.resize(kept);
  return std::move(c.checked);
}

}  // namespace

AddReport addFiles(const std::string& archivePath, std::vector<SourceFile> files,
                   AddMode mode, bool onlyNew, bool newChapter, ChapterCompare compare,
                   const WriteSettings& settings, Progress* progress) {
  AddSources sources(settings.threads);
  for (SourceFile& f : files) sources.add(std::move(f));
  std::vector<SourceFile>().swap(files);
  return addFiles(archivePath, sources, mode, onlyNew, newChapter, compare, settings, progress);
}

AddReport addFiles(const std::string& archivePath, AddSources& sources, AddMode mode,
                   bool onlyNew, bool newChapter, ChapterCompare compare,
                   const WriteSettings& settings, Progress* progress) {
  checkComments(settings);
  auto source = openForChange(archivePath, settings, false, false, progress);
  std::vector<NewEntry> entries = source ? keepAll(source->directory(), source->members()) : std::vector<NewEntry>{};
  ArchiveInfo info = source ? source->info() : ArchiveInfo{};
  uint32_t chapters = source ? info.chapterCount : 0;
  if (!newChapter && chapters && chapters <= info.lockedChapters)
    throw JarError(kFatal, "Chapter " + std::to_string(chapters) +
                               " is locked and cannot be changed (add a chapter with ac)");
  if (newChapter && chapters == kMaxChapters)
    throw JarError(kFatal, "The archive already holds " + std::to_string(kMaxChapters) +
                               " chapters, the most it can hold; nothing was changed");

  AddReport report;
  std::deque<Candidate> candidates = checkedSources(*sources.checks_, report, progress);
  fault::point("prepared");
  size_t skippedEarly = report.skipped;
  AddRules rules;
  rules.mode = mode;
  rules.onlyNew = onlyNew;
  rules.newChapter = newChapter;
  rules.compare = compare;
  rules.verifyContent = settings.verifyContent;
  rules.extendedAttributes = settings.extendedAttributes;
  report = applyAdd(entries, chapters, candidates, rules, hashHostFile, progress);
  std::deque<Candidate>().swap(candidates);  // the entries hold what is needed now
  report.skipped += skippedEarly;
  bool changes = report.added || report.replaced || newChapter;
  if (!changes && !(source && changesArchiveSettings(settings))) return report;

  info.chapterCount = chapters;
  std::string password;
  Protection prot = decideProtection(source.get(), settings, false, progress, &password);
  applySettings(info, settings, entries, source != nullptr);
  const std::vector<size_t> dropped = writeAndCommit(
      archivePath, source.get(), entries, info, prot, password, settings, false, source != nullptr,
      progress);
  for (size_t i : dropped) {
    // Reported as added or replaced, but its file could not be read: its old version stays.
    if (entries[i].displaced) --report.replaced;
    else --report.added;
    ++report.skipped;
    report.notStored.push_back(entries[i].info.name);
  }
  report.archiveWritten = true;
  return report;
}

size_t deleteMembers(const std::string& archivePath,
                     const std::function<bool(const MemberInfo&)>& match, bool allChapters,
                     const WriteSettings& settings, Progress* progress) {
  checkComments(settings);
  auto source = openForChange(archivePath, settings, true, false, progress);
  std::vector<NewEntry> entries = keepAll(source->directory(), source->members());
  ArchiveInfo info = source->info();
  size_t changed = applyDelete(entries, info.chapterCount, info.lockedChapters, match, allChapters,
                               progress);
  if (!changed && !changesArchiveSettings(settings)) return 0;
  std::string password;
  Protection prot = decideProtection(source.get(), settings, false, progress, &password);
  applySettings(info, settings, entries, true);
  writeAndCommit(archivePath, source.get(), entries, info, prot, password, settings, false,
                 true, progress);
  return changed;
}

void deleteChapters(const std::string& archivePath, ChapterRange range,
                    const WriteSettings& settings, Progress* progress) {
  checkComments(settings);
  auto source = openForChange(archivePath, settings, true, false, progress);
  std::vector<NewEntry> entries = keepAll(source->directory(), source->members());
  ArchiveInfo info = source->info();
  if (!applyDeleteChapters(entries, info, range))
    throw JarError(kWarning, "No chapter of the archive lies in that range; nothing was deleted");
  std::string password;
  Protection prot = decideProtection(source.get(), settings, false, progress, &password);
  applySettings(info, settings, entries, true);
  writeAndCommit(archivePath, source.get(), entries, info, prot, password, settings, false,
                 true, progress);
}

void copyArchive(const std::string& archivePath, const std::string& outputPath,
                 const WriteSettings& settings, Progress* progress) {
  checkComments(settings);
  // Another spelling of the same file is still "in place" (and so obeys the lock).
  const bool inPlace =
      outputPath.empty() || outputPath == archivePath || sameFile(archivePath, outputPath);
  auto source = openForChange(archivePath, settings, true, !inPlace, progress);
  std::vector<NewEntry> entries = keepAll(source->directory(), source->members());
  ArchiveInfo info = source->info();
  if (!inPlace) {
    // A copy is a new archive: it is locked only when a lock switch asks for it.
    info.flags &= ~(kFlagLocked | kFlagAutoLock);
    info.lockedChapters = 0;
  }
  std::string password;
  Protection prot = decideProtection(source.get(), settings, true, progress, &password);
  applySettings(info, settings, entries, true);
  // Replacing another existing file was agreed to by the caller.
  writeAndCommit(inPlace ? archivePath : outputPath, source.get(), entries, info, prot, password,
                 settings, settings.method != 0, inPlace || pathExists(outputPath), progress);
}

size_t recoverHeader(const std::string& damagedPath, const std::string& outputPath,
                     const std::string& password, Progress* progress) {
  // What the recovery records repair is recovered too.
  auto source = ArchiveReader::open(damagedPath, password, true, false, RecordsUse::Repair);
  noteRepairs(source->info().records, damagedPath, progress);
  if (source->header().protectedArchive && !source->keys())
    throw JarError(kFatal, kMsgPasswordNeeded);
  // Keep only the versions whose data is intact.
  struct Check : MemberVisitor {
    std::vector<bool> bad;
    bool begin(size_t, const MemberInfo&) override { return true; }
    void data(const uint8_t*, size_t) override {}
    void end(size_t i, const MemberInfo&, MemberStatus s) override {
      if (s != MemberStatus::Ok) bad[i] = true;
    }
  } check;
  const Directory& dir = source->directory();
  check.bad.assign(dir.entries.size(), false);
  std::vector<size_t> all(dir.entries.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  source->read(all, check, true);

  std::vector<NewEntry> kept;
  for (NewEntry& e : keepAll(dir, source->members())) {
    if (check.bad[e.oldIndex]) {
      if (progress) progress->warning("Damaged, not recovered: " + e.info.name);
      continue;
    }
    kept.push_back(std::move(e));
  }
  ArchiveInfo info = source->info();
  info.flags &= kFlagLocked | kFlagAutoLock;
  if (info.created == 0) info.created = now();
  info.modified = now();
  Protection prot;
  prot.header = source->header();
  prot.keys = source->sharedKeys();
  prot.sameKeysAsSource = true;
  WriteSettings s;
  s.password = password;
  s.volumes.layout = VolumeSettings::Layout::Single;
  writeAndCommit(outputPath, source.get(), kept, info, prot, password, s, false,
                 pathExists(outputPath), progress);
  return kept.size();
}

}  // namespace jar32
