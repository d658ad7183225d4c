// Writing a complete archive into a temporary file and putting it in place.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "Crypto.h"
#include "Directory.h"
#include "FileIo.h"
#include "Format.h"
#include "HostFile.h"
#include "Methods.h"
#include "jar32/Progress.h"

namespace jar32 {

class ArchiveReader;

/// A version in the archive being written and where its data comes from.
struct NewEntry {
  enum class Origin { None, Old, Host, Shared };
  MemberInfo info;         // final metadata, chapters included; info.size = data bytes
  uint64_t checksum = 0;   // known for Old, computed while writing for Host
  Origin origin = Origin::None;
  size_t oldIndex = 0;     // Old: index in the source archive's directory
  std::string hostPath;    // Host
  HostState expected;      // Host: the file as it was checked (the read must find it so)
  /// Host: a small file's bytes, read when it was checked (it is not opened again); null for
  /// the others. Let go once they are in their block.
  std::shared_ptr<const Bytes> content;
  ContentClass cls = ContentClass::General;
  size_t sharedWith = SIZE_MAX;  // Shared: the entry whose data this version shares
  /// Shared: another file with the same content (checksum: that content's), not a hard link;
  /// if the file it shares with is not stored with that content, it is read itself.
  bool sameContent = false;
  /// Host: the version of the name that this one took the chapter from, as it was before, so
  /// that it comes back when the file cannot be read after all.
  std::shared_ptr<const NewEntry> displaced;
  bool dropped = false;    // the file could not be read: this version is not written
};

/// Protection of the archive being written.
struct Protection {
  FileHeader header;            // protected/hidden/method/kdf/check
  std::shared_ptr<Keys> keys;   // null when unprotected
  bool sameKeysAsSource = false;  // stored data of the source can be copied unchanged
};

struct WriteJobSettings {
  int method = kDefaultMethod;   // for new data and for re-compressed blocks
  bool recompressAll = false;    // y -m: compress every block anew
  unsigned threads = 1;
};

class ArchiveWriter {
 public:
  /// The temporary file goes into workFolder, or beside the file finalPath names (a symbolic
  /// link is followed: the file it points to is replaced, the link stays) when that is empty.
  /// replaceExisting: the caller holds the old archive (or was allowed to replace the file);
  /// otherwise the final file must not exist when the new one is put in place.
  ArchiveWriter(const std::string& finalPath, const std::string& workFolder, bool replaceExisting);
  ~ArchiveWriter();  // removes the temporary file unless committed
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;

  /// Writes the archive: the new files first (a file that cannot be read is marked dropped,
  /// its displaced version restored, a warning given), then the blocks of the source archive.
  /// newIndex[i] tells where entries[i] (as given) ended up in the directory (SIZE_MAX when
  /// dropped). entries may grow by restored versions; the metadata (info) of the entries that
  /// were written is moved into the directory.
  void write(const ArchiveReader* source, std::vector<NewEntry>& entries, const ArchiveInfo& info,
             const Protection& protection, const WriteJobSettings& settings, Progress* progress,
             std::vector<size_t>* newIndex);

  const std::string& tempPath() const { return tempPath_; }
  /// The file that commit() replaces (symbolic links followed).
  const std::string& finalPath() const { return finalPath_; }
  bool replacesExisting() const { return replaceExisting_; }
  /// Gives a file (the temporary archive, or a volume) the mode, owner and group it gets.
  void applyOwnership(int fd) const;
  /// The entries that write() left out because their file could not be read.
  const std::vector<size_t>& dropped() const { return dropped_; }
  /// Renames the temporary file over the final path and makes that durable. Without
  /// replaceExisting, a file that appeared at the final path meanwhile (another program
  /// created the archive) is kept and the change refused with kFatal.
  void commit();

 private:
  std::string finalPath_;
  std::string tempPath_;
  bool replaceExisting_;
  unsigned mode_ = 0644;
  uid_t owner_ = uid_t(-1);
  gid_t group_ = gid_t(-1);
  bool committed_ = false;
  std::vector<size_t> dropped_;
};

/// Reads the trailer and the directory of a just written archive back and checks that they
/// are what was meant to be written. Throws kInternal when they are not.
void verifyWrittenDirectory(const File& file, const Bytes& directoryRaw, const Keys* keys,
                            size_t tagBytes);

/// Name of a fresh temporary archive in `folder` ("~jar32-<pid>-<n>.tmp").
std::string makeTempName(const std::string& folder);

}  // namespace jar32
