#include "ExtractFolder.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/xattr.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "jar32/Errors.h"
#include "jar32/Interrupt.h"

namespace jar32::cli {

namespace {

std::string join(const std::vector<std::string>& parts, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out.push_back('/');
    out += parts[i];
  }
  return out;
}

constexpr const char* kPartialPrefix = ".~jar32x-";

timespec toTimespec(int64_t seconds, uint32_t nsec = 0) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(seconds);
  t.tv_nsec = nsec < 1000000000u ? static_cast<long>(nsec) : 0;
  return t;
}

constexpr size_t kHoleBlock = 4096;

bool allZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i]) return false;
  return true;
}

}  // namespace

void Fd::reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

ExtractFolder::ExtractFolder(const std::string& path, RestoreRules rules)
    : rules_(rules), path_(path.empty() ? "." : path) {
  std::error_code ec;
  std::filesystem::create_directories(path_, ec);
  root_ = Fd(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!root_)
    throw JarError(kOpenError, "cannot open the target folder " + path_ + ": " + std::strerror(errno));
  path_ = std::filesystem::absolute(path_).lexically_normal().string();
  if (path_.size() > 1 && path_.back() == '/') path_.pop_back();
  clearLeftovers("", root_.get());
}

void ExtractFolder::clearLeftovers(const std::string& key, int folder) {
  if (cleared_.insert(key).second) removeFilesOfDeadProcesses(folder, kPartialPrefix, "");
}

Fd ExtractFolder::openParent(const std::vector<std::string>& parts, bool create, std::string& problem) {
  const size_t depth = parts.size() - 1;
  const std::string key = join(parts, depth);
  if (auto it = folders_.find(key); it != folders_.end()) return Fd(::dup(it->second.get()));
  // From the deepest folder above it that is open already.
  size_t start = 0;
  Fd current;
  for (size_t d = depth; d-- > 1 && !current;) {
    if (auto it = folders_.find(join(parts, d)); it != folders_.end()) {
      current = Fd(::dup(it->second.get()));
      start = d;
    }
  }
  if (!current) current = Fd(::dup(root_.get()));
  for (size_t i = start; i < depth; ++i) {
    const char* name = parts[i].c_str();
    int fd = ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create) {
      if (::mkdirat(current.get(), name, 0777) != 0 && errno != EEXIST) {
        problem = "cannot make the folder " + join(parts, i + 1) + ": " + std::strerror(errno);
        return Fd();
      }
      fd = ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0) {
      if (errno == ELOOP || errno == ENOTDIR)
        problem = "a link or file is in the way at " + join(parts, i + 1);
      else
        problem = "cannot open the folder " + join(parts, i + 1) + ": " + std::strerror(errno);
      return Fd();
    }
    current = Fd(fd);
  }
  clearLeftovers(key, current.get());
  constexpr size_t kOpenFolders = 256;  // well below the usual limit of open files
  if (folders_.size() >= kOpenFolders) folders_.clear();
  folders_.emplace(key, Fd(::dup(current.get())));
  return current;
}

Existing ExtractFolder::inspect(int parent, const std::string& leaf) {
  Existing e;
  struct stat st;
  if (::fstatat(parent, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return e;
  e.exists = true;
  e.isFolder = S_ISDIR(st.st_mode);
  e.isLink = S_ISLNK(st.st_mode);
  e.readOnly = !e.isLink && !(st.st_mode & S_IWUSR);
  e.mtime = st.st_mtim.tv_sec;
  e.size = static_cast<uint64_t>(st.st_size);
  e.device = st.st_dev;
  e.inode = st.st_ino;
  return e;
}

std::string ExtractFolder::tempName() {
  return kPartialPrefix + std::to_string(::getpid()) + "-" + std::to_string(++counter_);
}

ExtractFolder::PendingFile::PendingFile(PendingFile&& o) noexcept { *this = std::move(o); }

ExtractFolder::PendingFile& ExtractFolder::PendingFile::operator=(PendingFile&& o) noexcept {
  if (this != &o) {
    discard();
    folder_ = o.folder_;
    parent_ = o.parent_;
    fd_ = o.fd_;
    sparse_ = o.sparse_;
    size_ = o.size_;
    temp_ = std::move(o.temp_);
    leaf_ = std::move(o.leaf_);
    cleanupPath_ = std::move(o.cleanupPath_);
    o.fd_ = -1;
  }
  return *this;
}

ExtractFolder::PendingFile ExtractFolder::startFile(int parent, const std::vector<std::string>& parts,
                                                    bool sparse) {
  PendingFile f;
  f.folder_ = this;
  f.sparse_ = sparse;
  f.temp_ = tempName();
  f.fd_ = ::openat(parent, f.temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (f.fd_ < 0) return f;
  f.parent_ = parent;
  f.leaf_ = parts.back();
  std::vector<std::string> tempParts(parts.begin(), parts.end() - 1);
  tempParts.push_back(f.temp_);
  f.cleanupPath_ = path_ + "/" + join(tempParts, tempParts.size());
  registerCleanupPath(f.cleanupPath_.c_str());
  return f;
}

bool ExtractFolder::PendingFile::write(const uint8_t* data, size_t size) {
  while (size) {
    size_t n = size;
    if (sparse_) {
      // One block (up to the next block boundary of the file) at a time; zeros become holes.
      n = std::min<size_t>(size, kHoleBlock - static_cast<size_t>(size_ % kHoleBlock));
      if (n == kHoleBlock && allZero(data, n)) {
        size_ += n;
        data += n;
        size -= n;
        continue;
      }
    }
    const ssize_t done = ::pwrite(fd_, data, n, static_cast<off_t>(size_));
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    size -= static_cast<size_t>(done);
    size_ += static_cast<uint64_t>(done);
  }
  return true;
}

uid_t ExtractFolder::uidFor(const MemberInfo& m) {
  if (m.owner.empty()) return m.uid;
  auto [it, isNew] = uids_.try_emplace(m.owner, m.uid);
  if (isNew) {
    struct passwd pw, *found = nullptr;
    std::vector<char> buf(16384);
    if (getpwnam_r(m.owner.c_str(), &pw, buf.data(), buf.size(), &found) == 0 && found)
      it->second = pw.pw_uid;
  }
  return it->second;
}

gid_t ExtractFolder::gidFor(const MemberInfo& m) {
  if (m.group.empty()) return m.gid;
  auto [it, isNew] = gids_.try_emplace(m.group, m.gid);
  if (isNew) {
    struct group gr, *found = nullptr;
    std::vector<char> buf(16384);
    if (getgrnam_r(m.group.c_str(), &gr, buf.data(), buf.size(), &found) == 0 && found)
      it->second = gr.gr_gid;
  }
  return it->second;
}

void ExtractFolder::restoreMetadata(int fd, const MemberInfo& m, std::string& note) {
  if (rules_.owner && m.hasOwner && ::fchown(fd, uidFor(m), gidFor(m)) != 0)
    note += std::string(note.empty() ? "" : "; ") + "cannot give it its owner: " + std::strerror(errno);
  if (rules_.xattrs)
    for (const ExtendedAttribute& a : m.xattrs)
      if (::fsetxattr(fd, a.name.c_str(), a.value.data(), a.value.size(), 0) != 0)
        note += std::string(note.empty() ? "" : "; ") + "cannot set " + a.name + ": " + std::strerror(errno);
}

bool ExtractFolder::PendingFile::commit(const MemberInfo& m, std::string& note) {
  const timespec t = toTimespec(m.mtime, m.mtimeNsec);
  const timespec times[2] = {t, t};
  if (sparse_ && ::ftruncate(fd_, static_cast<off_t>(size_)) != 0) return false;  // a hole at the end
  folder_->restoreMetadata(fd_, m, note);
  if (::fchmod(fd_, m.mode & 0777) != 0 || ::futimens(fd_, times) != 0) return false;
  if (::close(fd_) != 0) {
    fd_ = -1;
    return false;
  }
  fd_ = -1;
  if (::renameat(parent_, temp_.c_str(), parent_, leaf_.c_str()) != 0) return false;
  unregisterCleanupPath(cleanupPath_.c_str());
  temp_.clear();
  return true;
}

void ExtractFolder::PendingFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty() && parent_ >= 0) {
    const int saved = errno;
    ::unlinkat(parent_, temp_.c_str(), 0);
    unregisterCleanupPath(cleanupPath_.c_str());
    errno = saved;
  }
  temp_.clear();
}

bool ExtractFolder::makeFolder(const std::vector<std::string>& parts, std::string& problem) {
  Fd parent = openParent(parts, true, problem);
  if (!parent) return false;
  if (::mkdirat(parent.get(), parts.back().c_str(), 0777) == 0) return true;
  if (errno == EEXIST) {
    if (inspect(parent.get(), parts.back()).isFolder) return true;
    problem = "a link or file is in the way at " + join(parts, parts.size());
    return false;
  }
  problem = "cannot make the folder " + join(parts, parts.size()) + ": " + std::strerror(errno);
  return false;
}

bool ExtractFolder::makeLink(int parent, const std::vector<std::string>& parts, const MemberInfo& m,
                             std::string& problem) {
  const std::string temp = tempName();
  if (::symlinkat(m.linkTarget.c_str(), parent, temp.c_str()) != 0) {
    problem = std::string("cannot make the link: ") + std::strerror(errno);
    return false;
  }
  if (rules_.owner && m.hasOwner)
    ::fchownat(parent, temp.c_str(), uidFor(m), gidFor(m), AT_SYMLINK_NOFOLLOW);
  const timespec t = toTimespec(m.mtime, m.mtimeNsec);
  const timespec times[2] = {t, t};
  ::utimensat(parent, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
  if (::renameat(parent, temp.c_str(), parent, parts.back().c_str()) != 0) {
    problem = std::string("cannot place the link: ") + std::strerror(errno);
    ::unlinkat(parent, temp.c_str(), 0);
    return false;
  }
  madeLinks_.push_back(join(parts, parts.size()));
  return true;
}

void ExtractFolder::finishFolder(const std::vector<std::string>& parts, const MemberInfo& m,
                                 std::string& note) {
  std::string problem;
  Fd parent = openParent(parts, false, problem);
  if (!parent) return;
  const int fd = ::openat(parent.get(), parts.back().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  restoreMetadata(fd, m, note);
  const timespec t = toTimespec(m.mtime, m.mtimeNsec);
  const timespec times[2] = {t, t};
  ::fchmod(fd, m.mode & 01777);
  ::futimens(fd, times);
  ::close(fd);
}

bool ExtractFolder::makeHardLink(const std::vector<std::string>& existing, const Existing& written,
                                 int parent, const std::vector<std::string>& parts,
                                 std::string& problem) {
  Fd from = openParent(existing, false, problem);
  if (!from) return false;
  const Existing now = inspect(from.get(), existing.back());
  if (!now.exists || now.device != written.device || now.inode != written.inode) {
    problem = "the file it is a link of is no longer there as extracted";
    return false;
  }
  const std::string temp = tempName();
  if (::linkat(from.get(), existing.back().c_str(), parent, temp.c_str(), 0) != 0) {
    problem = std::string("cannot make the hard link: ") + std::strerror(errno);
    return false;
  }
  if (::renameat(parent, temp.c_str(), parent, parts.back().c_str()) != 0) {
    problem = std::string("cannot place the hard link: ") + std::strerror(errno);
    ::unlinkat(parent, temp.c_str(), 0);
    return false;
  }
  return true;
}

bool ExtractFolder::linkPassesForeignLink(const std::vector<std::string>& linkParts,
                                          const std::string& target) {
  std::vector<std::string> walk(linkParts.begin(), linkParts.end() - 1);
  size_t start = 0;
  while (start <= target.size()) {
    size_t end = target.find('/', start);
    if (end == std::string::npos) end = target.size();
    const std::string part = target.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!walk.empty()) walk.pop_back();
      continue;
    }
    walk.push_back(part);
    struct stat st;
    const std::string rel = join(walk, walk.size());
    if (::fstatat(root_.get(), rel.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(st.st_mode) &&
        std::find(madeLinks_.begin(), madeLinks_.end(), rel) == madeLinks_.end())
      return true;
  }
  return false;
}

}  // namespace jar32::cli
