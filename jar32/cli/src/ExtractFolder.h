// Writes extracted members strictly inside one target folder. Every path step is opened with
// O_NOFOLLOW relative to the folder above it, so a link (from the archive or already on disk)
// can never redirect a write; files are written to a temporary name (".~jar32x-<pid>-<n>") and
// renamed into place. Such names left by killed runs are removed from each folder written into.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "jar32/Member.h"

namespace jar32::cli {

/// An open folder descriptor that closes itself.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset();
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

/// What is at a place on disk (never following a link).
struct Existing {
  bool exists = false;
  bool isFolder = false;
  bool isLink = false;
  bool readOnly = false;
  int64_t mtime = 0;
  uint64_t size = 0;
  dev_t device = 0;
  ino_t inode = 0;
};

/// What extraction gives back besides data, times and permission bits.
struct RestoreRules {
  bool owner = false;   // owner and group (as root): by name where the name exists here
  bool xattrs = false;  // extended attributes (-ja)
};

class ExtractFolder {
 public:
  /// Creates the folder (and the folders above it) when missing. Throws JarError.
  explicit ExtractFolder(const std::string& path, RestoreRules rules = {});
  const std::string& path() const { return path_; }

  /// The folder that holds parts.back() (parts.size() >= 1), creating folders on the way when
  /// create is set. Empty Fd with the reason in problem when a step is a link, a file, or
  /// cannot be made.
  Fd openParent(const std::vector<std::string>& parts, bool create, std::string& problem);

  static Existing inspect(int parent, const std::string& leaf);

  /// A file being written under a temporary name in its folder.
  class PendingFile {
   public:
    PendingFile() = default;
    ~PendingFile() { discard(); }
    PendingFile(PendingFile&&) noexcept;
    PendingFile& operator=(PendingFile&&) noexcept;
    bool open() const { return fd_ >= 0; }
    /// Appends data; false with errno set on a write error. A sparse file gets holes where
    /// whole blocks of zeros would be.
    bool write(const uint8_t* data, size_t size);
    /// Sets owner, mode, attributes and time from the member and renames over leaf. False with
    /// errno set on failure; problems with owner or attributes are told in `note`.
    bool commit(const MemberInfo& m, std::string& note);
    void discard();

   private:
    friend class ExtractFolder;
    ExtractFolder* folder_ = nullptr;
    int parent_ = -1;  // borrowed from the caller's Fd
    int fd_ = -1;
    bool sparse_ = false;
    uint64_t size_ = 0;  // bytes written or left as holes
    std::string temp_, leaf_, cleanupPath_;
  };

  /// Starts a file in the parent folder. On failure the PendingFile is not open and errno says why.
  PendingFile startFile(int parent, const std::vector<std::string>& parts, bool sparse = false);
  /// Creates (or keeps) a folder. False with problem set when something else is in the way.
  bool makeFolder(const std::vector<std::string>& parts, std::string& problem);
  /// Creates a link (replacing what is at its place unless that is a folder).
  bool makeLink(int parent, const std::vector<std::string>& parts, const MemberInfo& m,
                std::string& problem);
  /// Another name for a file written by this run (a hard link), replacing what is at its place
  /// unless that is a folder. False with problem set when the file is not there as written.
  bool makeHardLink(const std::vector<std::string>& existing, const Existing& written, int parent,
                    const std::vector<std::string>& parts, std::string& problem);
  /// Sets a folder's owner, mode (the sticky bit included, never set-user/group-id),
  /// attributes and time; done after its contents were written, deepest folders first.
  void finishFolder(const std::vector<std::string>& parts, const MemberInfo& m, std::string& note);

  /// Whether the walk from the target folder along the link's target (read from the link's
  /// folder) passes a link on disk that this run did not make.
  bool linkPassesForeignLink(const std::vector<std::string>& linkParts, const std::string& target);

 private:
  std::string tempName();
  /// Owner, attributes and times of an open file or folder (mode and rename are the caller's).
  void restoreMetadata(int fd, const MemberInfo& m, std::string& note);
  uid_t uidFor(const MemberInfo& m);
  gid_t gidFor(const MemberInfo& m);
  RestoreRules rules_;
  std::unordered_map<std::string, uid_t> uids_;
  std::unordered_map<std::string, gid_t> gids_;
  /// Removes the partly written files that killed runs left in a folder (once per folder).
  void clearLeftovers(const std::string& key, int folder);
  std::string path_;
  Fd root_;
  /// Folders opened for files, by their parts joined with '/': members of one folder are
  /// often not next to each other.
  std::unordered_map<std::string, Fd> folders_;
  std::vector<std::string> madeLinks_;  // parts joined with '/'
  std::unordered_set<std::string> cleared_;  // folders already freed of leftovers
  unsigned counter_ = 0;
};

}  // namespace jar32::cli
