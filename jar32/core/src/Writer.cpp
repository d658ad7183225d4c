#include "Writer.h"

#include "HeaderCopy.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <set>

#include "BlockBuilder.h"
#include "Checksum.h"
#include "FaultInjection.h"
#include "OldBlocks.h"
#include "Reader.h"
#include "SameContent.h"
#include "TempFiles.h"
#include "WorkerPool.h"

namespace jar32 {
namespace {

// Where a stored version's data lies in the source archive.
struct Location {
  uint32_t block;
  uint64_t offset, size;
  auto operator<=>(const Location&) const = default;
};

Location locationOf(const ArchiveReader& source, size_t oldIndex) {
  const Entry& e = source.directory().entries[oldIndex];
  return {e.block, e.offset, e.info.size};
}

std::vector<std::vector<PiecePlan>> oldPieces(const ArchiveReader& source,
                                             const std::vector<size_t>& keptAs) {
  const Directory& dir = source.directory();
  std::vector<std::vector<PiecePlan>> pieces(dir.blocks.size());
  for (size_t i = 0; i < dir.entries.size(); ++i) {
    const Entry& e = dir.entries[i];
    if (e.info.size == 0 || keptAs[i] == SIZE_MAX) continue;
    uint64_t left = e.info.size, offset = e.offset, memberOffset = 0;
    for (uint32_t b = e.block; left && b < dir.blocks.size(); ++b, offset = 0) {
      uint64_t take = std::min(left, dir.blocks[b].dataRaw - offset);
      PiecePlan p;
      p.entry = keptAs[i];
      p.memberOffset = memberOffset;
      p.length = take;
      p.sourceOffset = offset;
      p.first = memberOffset == 0;
      left -= take;
      memberOffset += take;
      p.last = left == 0;
      pieces[b].push_back(p);
    }
  }
  for (auto& list : pieces)
    std::sort(list.begin(), list.end(),
              [](const PiecePlan& a, const PiecePlan& b) { return a.sourceOffset < b.sourceOffset; });
  return pieces;
}

// How many pieces of data each block of the source holds (versions sharing their data count
// once), to tell blocks that keep all of it.
std::vector<size_t> countPieces(const ArchiveReader& source) {
  const Directory& dir = source.directory();
  std::vector<size_t> perBlock(dir.blocks.size(), 0);
  std::set<Location> seen;
  for (size_t i = 0; i < dir.entries.size(); ++i) {
    const Entry& e = dir.entries[i];
    if (e.info.size == 0 || !seen.insert(locationOf(source, i)).second) continue;
    uint64_t left = e.info.size, offset = e.offset;
    for (uint32_t b = e.block; left && b < dir.blocks.size(); ++b, offset = 0) {
      left -= std::min(left, dir.blocks[b].dataRaw - offset);
      ++perBlock[b];
    }
  }
  return perBlock;
}

// Memory for blocks being built at once: their data before and after compression and the
// encoders' state. With what else an add holds (small files read ahead, up to 64 MiB, and the
// directory) it stays under 1 GB.
constexpr uint64_t kBuildBudget = 896ull << 20;
uint64_t buildCost(const Job& job) { return 2 * job.dataRaw + encoderMemory(job.codec, job.dataRaw); }

// The fast method splits new data of fewer blocks than threads evenly, so that each thread
// packs a block of its own (the matches between the parts are lost; the best methods keep
// them). Less than two of the smallest such blocks stays whole.
constexpr uint64_t kSmallestEvenBlock = 8ull << 20;
uint64_t evenBlockLimit(const std::vector<NewEntry>& entries, int method, uint64_t limit,
                        unsigned threads) {
  if (method != 1 || threads < 2) return limit;
  uint64_t total = 0;
  for (const NewEntry& e : entries)
    if (e.origin == NewEntry::Origin::Host) total += e.info.size;
  if (total >= threads * limit || total < 2 * kSmallestEvenBlock) return limit;
  return std::min(limit, std::max(kSmallestEvenBlock, (total + threads - 1) / threads));
}

// The first folder of each name below the folders that all the names share ("" for a name
// directly in them).
std::vector<std::string> treesOf(const std::vector<NewEntry>& entries,
                                 const std::vector<size_t>& which) {
  std::vector<std::string> trees(entries.size());
  if (which.empty()) return trees;
  // The shared folders: the longest prefix of the first name, ending at a separator, that
  // every name starts with.
  const std::string& first = entries[which.front()].info.name;
  const size_t lastSep = first.rfind('\\');
  size_t shared = lastSep == std::string::npos ? 0 : lastSep + 1;
  for (size_t i : which) {
    const std::string& name = entries[i].info.name;
    size_t same = 0;
    while (same < shared && same < name.size() && name[same] == first[same]) ++same;
    if (same < shared) {
      const size_t sep = same ? first.rfind('\\', same - 1) : std::string::npos;
      shared = sep == std::string::npos ? 0 : sep + 1;
    }
  }
  for (size_t i : which) {
    const std::string& name = entries[i].info.name;
    const size_t end = name.find('\\', shared);
    trees[i] = end == std::string::npos ? std::string() : name.substr(shared, end - shared);
  }
  return trees;
}

// New files, similar ones together, big ones split at the block limit.
// only: when given, the entries to plan.
std::vector<Job> planHostJobs(const std::vector<NewEntry>& entries, int method, uint64_t limit,
                              std::vector<std::unique_ptr<HashChain>>& chains,
                              const std::vector<bool>* only = nullptr) {
  std::vector<size_t> hosts;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].origin == NewEntry::Origin::Host && entries[i].info.size > 0 &&
        (!only || (*only)[i]))
      hosts.push_back(i);
  // By kind and extension, then by path: files of one folder stay together, so a tree that
  // repeats (copies, versions) repeats in the same order. Best keeps each tree (the first
  // folder below the shared ones) together within a kind, and a tree that would not fit in
  // the rest of a block but fits in a block of its own starts one: a block that mixes
  // unrelated trees loses what one tree repeats within itself (the catalogues of a program in
  // many languages, a library's headers). Machine code keeps filling blocks: the trees share
  // much of it (the same code linked into several programs and libraries).
  const bool byTree = method == 4;
  std::vector<std::string> exts(entries.size());
  for (size_t i : hosts) exts[i] = extensionOf(entries[i].info.name);
  const std::vector<std::string> trees = byTree ? treesOf(entries, hosts)
                                                : std::vector<std::string>(entries.size());
  std::map<std::pair<ContentClass, std::string>, uint64_t> treeBytes;
  if (byTree)
    for (size_t i : hosts) treeBytes[{entries[i].cls, trees[i]}] += entries[i].info.size;
  std::stable_sort(hosts.begin(), hosts.end(), [&](size_t a, size_t b) {
    const NewEntry& x = entries[a];
    const NewEntry& y = entries[b];
    if (x.cls != y.cls) return x.cls < y.cls;
    if (trees[a] != trees[b]) return trees[a] < trees[b];
    if (exts[a] != exts[b]) return exts[a] < exts[b];
    return x.info.name < y.info.name;
  });
  std::vector<Job> jobs;
  Job current;
  auto close = [&] {
    if (!current.pieces.empty()) jobs.push_back(std::move(current));
    current = Job{};
  };
  for (size_t k = 0; k < hosts.size(); ++k) {
    const size_t i = hosts[k];
    const NewEntry& e = entries[i];
    CodecChoice codec = codecFor(method, e.cls);
    bool treeStartsBlock = false;
    if (byTree && e.cls != ContentClass::Executable && k > 0 && trees[hosts[k - 1]] != trees[i]) {
      const uint64_t tree = treeBytes[{e.cls, trees[i]}];
      treeStartsBlock = current.dataRaw + tree > limit && tree <= limit;
    }
    if (!current.pieces.empty() &&
        (current.codec != codec || current.dataRaw + e.info.size > limit || treeStartsBlock))
      close();
    current.kind = JobKind::EncodeHost;
    current.codec = codec;
    if (e.info.size > limit) chains[i] = std::make_unique<HashChain>();
    uint64_t done = 0;
    int pieceNo = 0;
    while (done < e.info.size) {
      if (current.dataRaw == limit) {
        close();
        current.kind = JobKind::EncodeHost;
        current.codec = codec;
      }
      PiecePlan p;
      p.entry = i;
      p.memberOffset = done;
      p.sourceOffset = done;
      p.length = std::min(e.info.size - done, limit - current.dataRaw);
      p.first = done == 0;
      done += p.length;
      p.last = done == e.info.size;
      p.chainPiece = chains[i] ? pieceNo++ : -1;
      current.dataRaw += p.length;
      current.pieces.push_back(p);
    }
  }
  close();
  return jobs;
}

// Blocks of the source archive: copy, re-protect, re-compress or drop.
std::vector<Job> planOldJobs(const ArchiveReader& source, const std::vector<NewEntry>& entries,
                             int method, bool recompressAll, const Protection& prot) {
  std::vector<Job> jobs;
  std::vector<size_t> keptAs(source.directory().entries.size(), SIZE_MAX);
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].origin == NewEntry::Origin::Old && !entries[i].dropped)
      keptAs[entries[i].oldIndex] = i;
  auto pieces = oldPieces(source, keptAs);
  auto total = countPieces(source);
  const bool sourceProtected = source.header().protectedArchive;
  for (uint32_t b = 0; b < pieces.size(); ++b) {
    if (pieces[b].empty()) continue;
    Job job;
    job.oldBlock = b;
    job.pieces = std::move(pieces[b]);
    for (const auto& p : job.pieces) job.dataRaw += p.length;
    const uint64_t blockRaw = source.directory().blocks[b].dataRaw;
    if (!recompressAll &&
        (job.pieces.size() == total[b] || keepsMostOfBlock(job.dataRaw, blockRaw))) {
      // Still mostly used: copied with the unused bytes rather than compressed again.
      job.dataRaw = blockRaw;
      bool copyable = sourceProtected ? (prot.keys && prot.sameKeysAsSource) : !prot.keys;
      job.kind = copyable ? JobKind::Copy : JobKind::Reseal;
    } else {
      job.kind = JobKind::EncodeOld;
      const std::string& name = entries[job.pieces.front().entry].info.name;
      job.codec = codecFor(method, classify(name, nullptr, 0));
    }
    jobs.push_back(std::move(job));
  }
  if (!recompressAll) {
    std::vector<uint64_t> oldRaw;
    for (const BlockRef& ref : source.directory().blocks) oldRaw.push_back(ref.dataRaw);
    mergeSmallBlocks(jobs, oldRaw, blockLimitFor(method), [&](const PiecePlan& p) {
      return codecFor(method, classify(entries[p.entry].info.name, nullptr, 0));
    });
  }
  return jobs;
}

// Old versions whose data lies where another kept one's does share it instead of storing it
// twice (hard links, versions whose mode alone changed).
void shareEqualOldData(const ArchiveReader& source, std::vector<NewEntry>& entries) {
  std::map<Location, size_t> first;
  for (size_t i = 0; i < entries.size(); ++i) {
    NewEntry& e = entries[i];
    if (e.origin != NewEntry::Origin::Old || e.dropped || e.info.size == 0) continue;
    auto [it, isNew] = first.try_emplace(locationOf(source, e.oldIndex), i);
    if (!isNew) {
      e.origin = NewEntry::Origin::Shared;
      e.sharedWith = it->second;
    }
  }
}

// A hard link names another member of the same file; when that one is gone, it names the
// version its data now lies with (or nothing, for that version itself).
void repairHardLinks(std::vector<NewEntry>& entries) {
  if (std::none_of(entries.begin(), entries.end(),
                   [](const NewEntry& e) { return !e.info.hardLinkTarget.empty(); }))
    return;
  std::map<size_t, std::set<std::string>> names;  // by the entry holding the data
  auto holder = [&](size_t i) {
    return entries[i].origin == NewEntry::Origin::Shared ? entries[i].sharedWith : i;
  };
  for (size_t i = 0; i < entries.size(); ++i)
    if (!entries[i].dropped && entries[i].info.size) names[holder(i)].insert(entries[i].info.name);
  for (size_t i = 0; i < entries.size(); ++i) {
    MemberInfo& m = entries[i].info;
    if (m.hardLinkTarget.empty() || entries[i].dropped) continue;
    const size_t h = holder(i);
    if (m.size && names[h].count(m.hardLinkTarget)) continue;
    m.hardLinkTarget = h == i || !m.size ? std::string() : entries[h].info.name;
  }
}

}  // namespace

std::string makeTempName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  return folder + "/" + std::string(kTempPrefix) + std::to_string(getpid()) + "-" +
         std::to_string(counter++) + kTempSuffix;
}

ArchiveWriter::ArchiveWriter(const std::string& finalPath, const std::string& workFolder,
                             bool replaceExisting)
    : finalPath_(followLinks(finalPath)), replaceExisting_(replaceExisting) {
  struct stat st;
  if (replaceExisting_ && ::stat(finalPath_.c_str(), &st) == 0) {
    mode_ = st.st_mode & 07777;
    owner_ = st.st_uid;
    group_ = st.st_gid;
  } else {
    mode_ = 0666 & ~processUmask();
  }
  std::string folder = workFolder.empty() ? folderOf(finalPath_) : workFolder;
  removeStaleTemporaries(folder.c_str());
  tempPath_ = makeTempName(folder);
}

void ArchiveWriter::applyOwnership(int fd) const {
  unsigned mode = mode_;
  if (owner_ != uid_t(-1)) {
    // Only root may give a file away; others can still keep the group if they belong to it.
    const bool root = ::geteuid() == 0;
    if (::fchown(fd, root ? owner_ : uid_t(-1), group_) != 0) {
      if (root || ::fchown(fd, uid_t(-1), group_) != 0)
        mode &= ~0070u;  // another group must not get the old group's rights
    }
  }
  if (::fchmod(fd, mode) != 0)
    throw JarError(kWriteError, "Cannot set the mode of " + tempPath_ + ": " + std::strerror(errno));
}

ArchiveWriter::~ArchiveWriter() {
  if (!committed_ && !tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
    unregisterCleanupPath(tempPath_.c_str());
  }
}

void ArchiveWriter::write(const ArchiveReader* source, std::vector<NewEntry>& entries,
                          const ArchiveInfo& info, const Protection& prot,
                          const WriteJobSettings& settings, Progress* progress,
                          std::vector<size_t>* newIndex) {
  const int method = settings.method >= 1 && settings.method <= 4 ? settings.method : kDefaultMethod;
  const uint64_t limit =
      evenBlockLimit(entries, method, blockLimitFor(method), std::max(1u, settings.threads));
  dropped_.clear();

  registerCleanupPath(tempPath_.c_str());
  File out = File::create(tempPath_);
  uint8_t fh[kFileHeaderSize];
  FileHeader header = prot.header;
  header.version = kFormatVersion;  // a change of an older archive writes the current format
  header.encode(fh);
  out.write(fh, sizeof fh);

  std::vector<std::unique_ptr<HashChain>> chains(entries.size());
  shareEqualContent(entries, limit, std::max(1u, settings.threads));
  std::vector<Job> jobs = planHostJobs(entries, method, limit, chains);
  std::vector<Job> more;  // outlives the workers, which may still be building them on an error
  std::atomic<bool> abort{false};
  BlockBuilder builder(source, entries, prot, chains, abort);
  builder.setMetaLevel(method == 4 ? 19 : 3);
  std::vector<BlockRef> blocks;
  std::vector<uint32_t> entryBlock(entries.size(), kNoBlock);
  std::vector<uint64_t> entryOffset(entries.size(), 0);
  // The records written for each entry: the directory refers to them where they are current.
  std::vector<RecordMark> firstRecord(entries.size()), lastRecord(entries.size());
  std::vector<uint32_t> recordBlock(entries.size(), kNoBlock);
  auto noteMarks = [&](const std::vector<RecordMark>& marks, uint32_t block) {
    for (const RecordMark& m : marks) {
      if (m.entry >= recordBlock.size()) continue;
      if (m.flags & kPieceFirst) {
        firstRecord[m.entry] = m;
        recordBlock[m.entry] = block;
      }
      if (m.flags & kPieceLast) lastRecord[m.entry] = m;
    }
  };

  const unsigned threads = std::max(1u, settings.threads);
  WorkerPool pool(threads);
  struct AbortOnExit {
    std::atomic<bool>& abort;
    std::vector<std::unique_ptr<HashChain>>& chains;
    ~AbortOnExit() {
      abort = true;
      for (auto& c : chains)
        if (c) {
          std::lock_guard lock(c->mutex);
          c->cv.notify_all();
        }
    }
  } abortOnExit{abort, chains};

  // Workers build blocks ahead, this thread writes them in order. A block starts whenever a
  // worker is free (not only when the one before it is written), and the blocks being built
  // or waiting to be written stay within a memory budget that does not grow with the machine.
  struct Building {
    std::mutex mutex;
    std::condition_variable cv;
    unsigned busy = 0;       // workers building a block
    std::vector<char> done;  // by job: built
  };
  auto run = [&](std::vector<Job>& jobs) {
    auto state = std::make_shared<Building>();
    state->done.assign(jobs.size(), 0);
    std::vector<std::future<Built>> futures(jobs.size());
    size_t launched = 0;
    uint64_t inFlight = 0;
    // With state->mutex held; job j (the next to write) is started whatever the budget.
    auto launch = [&](size_t j) {
      for (; launched < jobs.size(); ++launched) {
        if (jobs[launched].kind == JobKind::Copy) continue;
        const uint64_t cost = buildCost(jobs[launched]);
        if (state->busy >= threads || (launched > j && inFlight + cost > kBuildBudget)) break;
        inFlight += cost;
        ++state->busy;
        auto task = std::make_shared<std::packaged_task<Built()>>(
            [&builder, &job = jobs[launched]] { return builder.build(job); });
        futures[launched] = task->get_future();
        pool.submit([task, state, k = launched] {
          (*task)();
          std::lock_guard lock(state->mutex);
          --state->busy;
          state->done[k] = 1;
          state->cv.notify_all();
        });
      }
    };
    for (size_t j = 0; j < jobs.size(); ++j) {
      {
        std::unique_lock lock(state->mutex);
        launch(j);
        while (jobs[j].kind != JobKind::Copy && !state->done[j]) {
          state->cv.wait(lock);  // a block was built: another may start
          launch(j);
        }
      }
      if (progress && progress->interrupted()) throw JarError(kInterrupted, "Interrupted");
      fault::point("block");
      const Job& job = jobs[j];
      BlockRef ref;
      ref.offset = out.writePosition();
      std::vector<uint64_t> offsets;
      if (job.kind == JobKind::Copy) {
        BlockHeader old = source->blockHeader(job.oldBlock);
        Built b;
        b.header = old;
        for (const auto& p : job.pieces) offsets.push_back(p.sourceOffset);
        builder.finishHead(b, job, offsets);
        noteMarks(b.marks, uint32_t(blocks.size()));
        out.write(b.head.data(), b.head.size());
        const BlockRef& oldRef = source->directory().blocks[job.oldBlock];
        if (old.dataStored) {
          SectionReader in(source->file(), oldRef.offset + kBlockHeaderSize + old.metaStored,
                           old.dataStored, Guard(old.dataGuard), source->tagBytes(),
                           source->keys(), old.dataNonce, kBlockData, kSectionData);
          Bytes chunk;
          bool final = false;
          while (in.nextRaw(chunk, final)) out.write(chunk.data(), chunk.size());
        }
        ref.dataRaw = old.dataRaw;
        ref.dataStored = old.dataStored;
      } else {
        Built b = futures[j].get();
        inFlight -= buildCost(job);
        noteMarks(b.marks, uint32_t(blocks.size()));
        out.write(b.head.data(), b.head.size());
        if (!b.data.empty()) out.write(b.data.data(), b.data.size());
        ref.dataRaw = b.header.dataRaw;
        ref.dataStored = b.header.dataStored;
        uint64_t at = 0;
        for (const auto& p : job.pieces) {
          offsets.push_back(job.kind == JobKind::Reseal ? p.sourceOffset : at);
          at += p.length;
        }
      }
      ref.size = out.writePosition() - ref.offset;
      for (size_t k = 0; k < job.pieces.size(); ++k) {
        const PiecePlan& p = job.pieces[k];
        if (p.first) {
          entryBlock[p.entry] = uint32_t(blocks.size());
          entryOffset[p.entry] = entries[p.entry].info.size ? offsets[k] : 0;
        }
      }
      blocks.push_back(ref);
    }
  };

  // 1. New files first: what cannot be read is known before the old blocks are planned.
  auto noteSources = [&](const std::vector<bool>* only) {
    for (size_t i = 0; i < entries.size(); ++i) {
      if (only && !(*only)[i]) continue;
      std::string failure;
      for (const std::string& note : builder.sourceNotes(i, failure))
        if (progress) progress->warning(entries[i].hostPath + ": " + note);
      if (!failure.empty()) {
        entries[i].dropped = true;
        dropped_.push_back(i);
        if (progress) progress->warning("skipped " + entries[i].hostPath + ": " + failure);
      }
    }
  };
  run(jobs);
  noteSources(nullptr);
  // Files meant to share another's content are read themselves where that one was not
  // stored with it (it changed, or could not be read).
  std::vector<bool> again(entries.size());
  bool readAgain = false;
  for (size_t i : builder.takeUnshared()) again[i] = readAgain = true;
  for (size_t i = 0; i < entries.size(); ++i) {
    NewEntry& e = entries[i];
    if (e.sameContent && !e.dropped && entries[e.sharedWith].dropped) again[i] = readAgain = true;
  }
  if (readAgain) {
    for (size_t i = 0; i < entries.size(); ++i) {
      if (!again[i]) continue;
      entries[i].origin = NewEntry::Origin::Host;
      entries[i].sharedWith = SIZE_MAX;
      entries[i].sameContent = false;
      builder.addHost(i);
    }
    builder.noteSharedData();
    more = planHostJobs(entries, method, limit, chains, &again);
    run(more);
    noteSources(&again);
  }
  for (size_t i = 0; i < entries.size(); ++i) {  // other names of a file that was not read
    NewEntry& e = entries[i];
    if (e.origin == NewEntry::Origin::Shared && !e.dropped && entries[e.sharedWith].dropped) {
      e.dropped = true;
      dropped_.push_back(i);
      if (progress) progress->warning("skipped " + e.hostPath + ": its other name was not read");
    }
  }
  for (size_t i : dropped_) {
    const std::shared_ptr<const NewEntry> displaced = entries[i].displaced;
    if (!displaced) continue;
    auto back = std::find_if(entries.begin(), entries.end(), [&](const NewEntry& e) {
      return e.origin == NewEntry::Origin::Old && e.oldIndex == displaced->oldIndex;
    });
    if (back != entries.end()) back->info.chapters = displaced->info.chapters;
    else entries.push_back(*displaced);
  }
  entryBlock.resize(entries.size(), kNoBlock);
  entryOffset.resize(entries.size(), 0);
  firstRecord.resize(entries.size());
  lastRecord.resize(entries.size());
  recordBlock.resize(entries.size(), kNoBlock);

  // 2. Blocks of the source archive, then the versions without data (folders, links, empty
  // files), which share one block of records.
  jobs.clear();
  if (source) {
    shareEqualOldData(*source, entries);
    jobs = planOldJobs(*source, entries, method, settings.recompressAll, prot);
  }
  repairHardLinks(entries);
  Job empty;
  empty.kind = JobKind::Empty;
  ContentHash emptyHash;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].info.size || entries[i].dropped) continue;
    if (entries[i].origin != NewEntry::Origin::Old) entries[i].checksum = emptyHash.digest();
    PiecePlan p;
    p.entry = i;
    p.first = p.last = true;
    empty.pieces.push_back(p);
  }
  if (!empty.pieces.empty()) jobs.push_back(std::move(empty));
  builder.noteSharedData();
  run(jobs);

  // Versions sharing data lie where the version they share it with does.
  for (size_t i = 0; i < entries.size(); ++i) {
    NewEntry& e = entries[i];
    if (e.origin != NewEntry::Origin::Shared || e.dropped || e.info.size == 0) continue;
    entryBlock[i] = entryBlock[e.sharedWith];
    entryOffset[i] = entryOffset[e.sharedWith];
    e.checksum = entries[e.sharedWith].checksum;
  }

  // 5. Archive info, directory (entries in storage order), trailer.
  std::vector<size_t> order;
  for (size_t i = 0; i < entries.size(); ++i)
    if (!entries[i].dropped) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (entryBlock[a] != entryBlock[b]) return entryBlock[a] < entryBlock[b];
    return entryOffset[a] < entryOffset[b];
  });
  Directory dir;
  dir.info = info;
  dir.blocks = std::move(blocks);
  dir.entries.reserve(entries.size());
  if (newIndex) newIndex->assign(entries.size(), SIZE_MAX);
  for (size_t k = 0; k < order.size(); ++k) {
    size_t i = order[k];
    Entry e;
    e.info = std::move(entries[i].info);  // the directory is the last to need it
    e.info.packedSize = 0;
    e.checksum = entries[i].checksum;
    e.block = entryBlock[i];
    e.offset = entryOffset[i];
    // A reference to the block's record when that says just what the entry would.
    const RecordMark& first = firstRecord[i];
    if (recordBlock[i] != kNoBlock && recordBlock[i] == e.block &&
        (e.info.size == 0 || first.blockOffset == e.offset) &&
        (lastRecord[i].flags & kPieceLast) && lastRecord[i].checksum == e.checksum &&
        first.digest == memberDigest(e.info))
      e.record = {recordBlock[i], first.index};
    dir.entries.push_back(std::move(e));
    if (newIndex) (*newIndex)[i] = k;
  }

  fault::point("directory");
  auto writeMetaBlock = [&](uint8_t type, const Bytes& raw) {
    BlockHeader h;
    h.type = type;
    h.metaGuard = builder.metaGuard();
    randomBytes(h.metaNonce, kNonceBytes);
    h.metaCodec = metaCodecFor(raw.size(), builder.metaLevel());
    Bytes meta = buildMetaSection(raw, Guard(h.metaGuard), prot.keys.get(), h.metaNonce, type,
                                  metaLevelFor(raw.size(), builder.metaLevel()), &h.metaCodec);
    h.metaRaw = raw.size();
    h.metaStored = meta.size();
    uint8_t hb[kBlockHeaderSize];
    h.encode(hb);
    uint64_t at = out.writePosition();
    out.write(hb, sizeof hb);
    out.write(meta.data(), meta.size());
    return at;
  };
  Bytes infoRaw;
  ByteWriter iw(infoRaw);
  encodeInfo(info, iw);
  Trailer trailer;
  writeHeaderCopy(out, fh);  // for rh when the first header is damaged
  trailer.infoOffset = writeMetaBlock(kBlockInfo, infoRaw);
  const Bytes directoryRaw = encodeDirectory(dir);
  trailer.directoryOffset = writeMetaBlock(kBlockDirectory, directoryRaw);
  trailer.directorySize = out.writePosition() - trailer.directoryOffset;
  trailer.fileSize = out.writePosition() + kTrailerSize;
  uint8_t tb[kTrailerSize];
  trailer.encode(tb);
  out.write(tb, sizeof tb);
  verifyWrittenDirectory(out, directoryRaw, prot.keys.get(), tagBytesFor(prot.header.method));
  applyOwnership(out.fd());
  out.sync();
  out.close();
}

void verifyWrittenDirectory(const File& file, const Bytes& directoryRaw, const Keys* keys,
                            size_t tagBytes) {
  auto fail = [](const std::string& why) {
    throw JarError(kInternal, "The new archive does not read back (" + why +
                                  "); the old archive is unchanged");
  };
  const uint64_t size = file.size();
  uint8_t tb[kTrailerSize];
  Trailer t;
  if (size < kFileHeaderSize + kTrailerSize || !file.readAt(size - kTrailerSize, tb, sizeof tb) ||
      !Trailer::decode(tb, t) || t.fileSize != size ||
      t.directoryOffset + t.directorySize != size - kTrailerSize)
    fail("trailer");
  uint8_t hb[kBlockHeaderSize];
  BlockHeader h;
  if (!file.readAt(t.directoryOffset, hb, sizeof hb) || !BlockHeader::decode(hb, h) ||
      h.type != kBlockDirectory)
    fail("directory header");
  try {
    if (readMeta(file, t.directoryOffset, h, tagBytes, keys) != directoryRaw)
      fail("directory bytes");
    Directory dir = decodeDirectory(directoryRaw, size, true);
    if (hasRecordRefs(dir)) resolveBlockRecords(file, dir, tagBytes, keys);
  } catch (const JarError& e) {
    if (e.exitCode == kInternal) throw;
    fail(e.what());
  }
}

namespace {

[[noreturn]] void createdMeanwhile(const std::string& path) {
  throw JarError(kFatal, "Archive is being changed by another program: " + path +
                             " was created meanwhile; nothing was written");
}

}  // namespace

void ArchiveWriter::commit() {
  fault::point("rename");
  // False when `from` is on another file system than the archive.
  auto place = [&](const std::string& from) -> bool {
    if (!replaceExisting_) {
      // A new archive never replaces one that another program created meanwhile.
      if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, finalPath_.c_str(), RENAME_NOREPLACE) == 0)
        return true;
      if (errno == EXDEV) return false;
      if (errno == EEXIST) createdMeanwhile(finalPath_);
      if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        throw JarError(kWriteError, "Cannot create " + finalPath_ + ": " + std::strerror(errno));
      // The file system cannot rename without replacing: a hard link fails on an existing name.
      if (::link(from.c_str(), finalPath_.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
      }
      if (errno == EEXIST) createdMeanwhile(finalPath_);
      throw JarError(kWriteError, "Cannot create " + finalPath_ + ": " + std::strerror(errno));
    }
    if (::rename(from.c_str(), finalPath_.c_str()) == 0) return true;
    if (errno == EXDEV) return false;
    throw JarError(kWriteError, "Cannot replace " + finalPath_ + ": " + std::strerror(errno));
  };
  if (!place(tempPath_)) {
    // The work folder is on another file system: copy beside the archive, then rename.
    std::string near = makeTempName(folderOf(finalPath_));
    registerCleanupPath(near.c_str());
    try {
      File in = File::openRead(tempPath_);
      File copy = File::create(near);
      Bytes buf(kChunkBytes);
      for (uint64_t at = 0;;) {
        size_t got = in.readSomeAt(at, buf.data(), buf.size());
        if (!got) break;
        copy.write(buf.data(), got);
        at += got;
      }
      applyOwnership(copy.fd());
      copy.sync();
      copy.close();
      if (!place(near))
        throw JarError(kWriteError, "Cannot replace " + finalPath_ + ": " + std::strerror(EXDEV));
    } catch (...) {
      ::unlink(near.c_str());
      unregisterCleanupPath(near.c_str());
      throw;
    }
    unregisterCleanupPath(near.c_str());
    ::unlink(tempPath_.c_str());
  }
  committed_ = true;
  unregisterCleanupPath(tempPath_.c_str());
  syncFolder(folderOf(finalPath_));
  fault::point("committed");
}

}  // namespace jar32
