// Changes to an archive. Every function writes a complete new archive beside the old one (or in
// the work folder), flushes it, optionally tests it and renames it over the old one. On any
// failure the old archive stays byte-identical and the temporary file is removed.
// All functions throw JarError (see Archive::open for the open errors).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jar32/Envelope.h"
#include "jar32/Errors.h"
#include "jar32/Member.h"
#include "jar32/Progress.h"

namespace jar32 {

/// -jl switches. A LOCKED archive refuses every change; y to another file may copy it
/// (the copy is unlocked unless a lock switch is given).
enum class LockMode {
  Unchanged,     // -jl-  keep the archive's lock state
  Lock,          // -jl   "LOCKED" after this change
  LockChapters,  // -jl1  chapters 1..N (all existing after this change) can no longer change
  AutoLock,      // -jl2  "AUTO_LOCK": the next change locks the archive
};

/// -s switches: the archive's modified time (and the file's mtime).
enum class TimeStampMode {
  Now,      // -s-  current time
  Newest,   // -s   the newest member's mtime
  KeepOld,  // -s1  unchanged
};

/// -v switches: how the written archive is laid out in files.
struct VolumeSettings {
  enum class Layout {
    Keep,   // as the archive was: a set is cut again to its volume size; one file stays one
    Single, // -v-: one file
    Split,  // -v<size> / -va: volumes
  } layout = Layout::Keep;
  uint64_t size = 0;      // Split: the most bytes of a volume file
  bool autoSize = false;  // -va: each volume as large as the free space allows
  uint64_t reserve = 0;   // -vr: bytes left free on the file system of each volume
  /// Called before each volume after the first with its path and number (2, 3, ...); false
  /// stops the change. Not set: go on.
  std::function<bool(const std::string& path, uint32_t number)> nextVolume;
  /// Each volume is put in place as soon as it is written (the medium may change between
  /// volumes); otherwise all of them are put in place together at the end.
  bool placeEach = false;
};

struct WriteSettings {
  int method = 0;                 // -m1..-m4 (Fast, Normal, Better, Best); 0 = default (Normal);
                                  // for y: 0 keeps the stored compression, 1..4 recompresses
  std::string password;           // -g: the archive's current password ("" none)
  int protection = 0;             // -hg0 / -hg1: used whenever the archive gets a new key (new
                                  // archive, first password, y with a new password)
  std::optional<std::string> newPassword;  // y -jg"new": nullopt keeps the current one,
                                           // "" removes the protection
  LockMode lock = LockMode::Unchanged;
  bool hideContents = false;      // -jx: encrypt the directory too (needs a password). For y,
                                  // false also un-hides; for other commands false keeps it.
  std::optional<std::string> archiveComment;  // -z: nullopt unchanged, "" removes (max 4096 bytes)
  std::optional<std::string> chapterComment;  // -hz: comment of the last (for ac: the new) chapter
  std::string workFolder;         // -w: where the temporary archive is written ("" = beside it)
  bool testBeforeCommit = false;  // -jt: test the whole new archive before replacing the old one
  bool testNewMembers = false;    // -ht0: verify the new members before replacing the old one
  TimeStampMode timeStamp = TimeStampMode::Now;
  unsigned threads = 0;           // 0 = number of cores
  bool verifyContent = false;     // m, -d: a file counts as unchanged (ac, u, f) only when its
                                  // content was just found equal to the stored version's, so
                                  // that a source is deleted only when its bytes are stored
  bool extendedAttributes = false;  // -ja: the sources' xattrs were read, so a change of them
                                    // is a change of the version
  bool skipEnvelopeTest = false;    // -he: read a secured archive without testing its envelope
  std::shared_ptr<const SigningKey> signWith;  // -hy: sign the new archive (else it has no envelope)
  VolumeSettings volumes;
  /// -hk / -hk<N>: recovery records for N percent of the archive; 0 none (y without -hk);
  /// -1 as the archive had them (every other change keeps them).
  int recordsShare = -1;
};

/// A file the program found on disk. meta.name is the member name (backslashes), meta.kind,
/// mtime, mode, owner, attributes, linkTarget, hardLinkTarget (another name of the same file
/// given in the same call) and xattrs describe it; meta.size is informational (the engine
/// stores what it reads). chapters and packedSize are ignored. device and inode (when not 0)
/// are the file's as it was found: a file that was replaced since is skipped. With them, the
/// change time (ctime, ctimeNsec) and meta's size and mtime are the file's as it was found too.
struct SourceFile {
  std::string hostPath;
  MemberInfo meta;
  uint64_t device = 0, inode = 0;
  int64_t ctime = 0;
  uint32_t ctimeNsec = 0;
};

enum class AddMode {
  Add,      // a, m: add new names, replace existing versions in the last chapter
  Update,   // u: add new names, replace versions that are older than the file
  Freshen,  // f: only replace versions that are older than the file
};

/// -js0 / -js1 / -js2 (ac): how "unchanged" is decided for a file already in chapter N.
enum class ChapterCompare {
  SizeAndTime = 0,  // same kind, size and mtime (and link target)
  Content = 1,      // same kind, size and content checksum
  CompressAll = 2,  // never unchanged: every file gets a new version
};

struct AddReport {
  size_t added = 0;      // new names
  size_t replaced = 0;   // new versions of existing names
  size_t unchanged = 0;  // ac: versions extended to the new chapter
  size_t skipped = 0;    // not added (see warnings)
  bool archiveWritten = false;  // false when nothing had to change
  /// Names reported as added or replaced whose file could not be read after all (it vanished,
  /// shrank or became something else): their old versions stay as they were.
  std::vector<std::string> notStored;
};

/// The files of an add, checked (opened, and a small one read) on other threads as they are
/// given, while the rest are still being found. addFiles takes them in the order given.
class AddSources {
 public:
  explicit AddSources(unsigned threads = 0);  // as WriteSettings::threads
  ~AddSources();
  AddSources(const AddSources&) = delete;
  AddSources& operator=(const AddSources&) = delete;
  void add(SourceFile file);

  struct Checks;

 private:
  friend AddReport addFiles(const std::string& archivePath, AddSources& sources, AddMode mode,
                            bool onlyNew, bool newChapter, ChapterCompare compare,
                            const WriteSettings& settings, Progress* progress);
  std::unique_ptr<Checks> checks_;
};

/// a/u/f/m (newChapter false) work on the last chapter; ac (newChapter true) makes chapter N+1
/// from exactly these files (mode and onlyNew are ignored then). A missing archive is created
/// with chapter 1 (also by ac). onlyNew (-n): add only names not in the last chapter.
/// u and f take a file as changed when its size or its modification time (in either direction,
/// to the nanosecond where the archive kept it) differs from the stored version's. A version
/// whose data stays but whose mode, owner or attributes changed is a new version sharing the
/// stored data. Every file is opened once and read from that descriptor; one that is no
/// regular file any more, vanished, shrank or cannot be read is skipped with
/// progress->warning() (its old version stays); one that grew or changed while it was read is
/// stored as read, with a warning.
AddReport addFiles(const std::string& archivePath, std::vector<SourceFile> files,
                   AddMode mode, bool onlyNew, bool newChapter, ChapterCompare compare,
                   const WriteSettings& settings, Progress* progress);
/// The same for files given to `sources` (which it empties).
AddReport addFiles(const std::string& archivePath, AddSources& sources, AddMode mode,
                   bool onlyNew, bool newChapter, ChapterCompare compare,
                   const WriteSettings& settings, Progress* progress);

/// d (allChapters false): removes the matching versions from the last chapter (a version that
/// also covers earlier chapters keeps those). da (allChapters true): removes every version of
/// every matching name. The predicate sees each candidate version. Returns how many versions
/// were changed or removed; 0 leaves the archive untouched unless a comment or lock was given.
size_t deleteMembers(const std::string& archivePath,
                     const std::function<bool(const MemberInfo&)>& match, bool allChapters,
                     const WriteSettings& settings, Progress* progress);

/// dc: deletes chapters (0 bounds are open, clamped to 1..N). Later chapters are renumbered
/// down to close the gap. Deleting every chapter leaves an empty archive with one chapter.
/// A range that selects no chapter throws JarError(kWarning) and writes nothing.
void deleteChapters(const std::string& archivePath, ChapterRange range,
                    const WriteSettings& settings, Progress* progress);

/// y: rewrites the archive with new options (method, password, lock, hide, comments) to
/// outputPath ("" = in place). Untouched blocks are copied without recompressing.
void copyArchive(const std::string& archivePath, const std::string& outputPath,
                 const WriteSettings& settings, Progress* progress);

/// rh: rebuilds an archive from the member records that survive in a damaged file and writes it
/// to outputPath (replacing it). Members whose data is incomplete or damaged are left out
/// (reported through progress->warning()). Returns the number of members recovered.
size_t recoverHeader(const std::string& damagedPath, const std::string& outputPath,
                     const std::string& password, Progress* progress);

/// Longest archive or chapter comment in bytes.
inline constexpr size_t kMaxCommentBytes = 4096;
/// Most chapters an archive holds; ac on an archive with this many is refused (kFatal).
inline constexpr uint32_t kMaxChapters = 0xFFFFFFFFu;

}  // namespace jar32
