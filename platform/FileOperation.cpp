#include "platform/FileOperation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/Paths.h"

namespace platform {
namespace {

constexpr size_t kChunk = size_t{8} << 20;  // progress and cancel are looked at after each chunk
constexpr int kMaxNumber = 100000;

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // 0 or the error of close(2).
  int Close() {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

std::string Reason(int error) { return std::generic_category().message(error); }
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Gives `from` the name `to` unless that name is taken; 0 or an errno value (EEXIST when taken).
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  int error = errno;
  if (error != EINVAL && error != ENOSYS) return error;
  // File systems without that flag: a hard link cannot take a taken name.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  error = errno;
  if (error != EPERM && error != EOPNOTSUPP) return error;
  // Nor links (FAT): look first.
  if (Exists(to)) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Renames to `target`, or with collisions allowed to the next free numbered name, which target
// then holds. 0 or an errno value.
int Place(const std::string& from, const std::string& wanted, std::string& target, bool renameOnCollision) {
  target = wanted;
  if (renameOnCollision && Exists(target)) target = FreeNameLike(wanted);
  for (int number = 2;; ++number) {
    const int error = RenameNoReplace(from, target);
    if (error != EEXIST || !renameOnCollision || number > kMaxNumber) return error;
    target = NumberedName(wanted, number);
  }
}

void SyncFolderOf(const std::string& path) {
  std::string folder = FolderPart(path);
  if (folder.empty()) folder = ".";
  Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Copies the bytes; 0, an errno value, or -1 when the progress asked to stop.
int CopyBytes(int in, int out, uint64_t total, FileOperationProgress* progress) {
  uint64_t done = 0;
  if (progress && !progress->Report(0, total)) return -1;
  bool kernelCopy = true;
  std::vector<char> buffer;
  for (;;) {
    ssize_t n;
    if (kernelCopy) {
      n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
      if (n < 0 && done == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        kernelCopy = false;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno;
    } else {
      if (buffer.empty()) buffer.resize(size_t{1} << 20);
      n = ::read(in, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno;
      if (n > 0 && !WriteAll(out, buffer.data(), static_cast<size_t>(n))) return errno;
    }
    if (n == 0) return 0;
    done += static_cast<uint64_t>(n);
    if (progress && !progress->Report(done, std::max(total, done))) return -1;
  }
}

FileOperationResult Failed(const char* verb, const FileOperationRequest& request, const std::string& why) {
  FileOperationResult result;
  result.error = std::string("Cannot ") + verb + " " + Quoted(request.from) + " to " + Quoted(request.to) + ":\n" + why;
  return result;
}

FileOperationResult Copy(const FileOperationRequest& request, FileOperationProgress* progress, const char* verb) {
  Fd in(::open(request.from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return Failed(verb, request, Reason(errno));
  struct stat source;
  if (::fstat(in.get(), &source) != 0) return Failed(verb, request, Reason(errno));
  if (!S_ISREG(source.st_mode)) return Failed(verb, request, "It is not a file.");

  std::string folder = FolderPart(request.to);
  std::string pattern = (folder.empty() ? std::string("./") : folder) + "." + FileNamePart(request.to) + ".XXXXXX";
  Fd out(::mkostemp(pattern.data(), O_CLOEXEC));
  if (out.get() < 0) return Failed(verb, request, Reason(errno));
  const std::string temporary = pattern;
  auto fail = [&](const std::string& why) {
    out.Close();
    ::unlink(temporary.c_str());
    return Failed(verb, request, why);
  };

  const int copied = CopyBytes(in.get(), out.get(), static_cast<uint64_t>(source.st_size), progress);
  if (copied == -1) {
    out.Close();
    ::unlink(temporary.c_str());
    FileOperationResult result;
    result.cancelled = true;
    return result;
  }
  if (copied != 0) return fail(Reason(copied));
  ::fchmod(out.get(), source.st_mode & 0777);
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  ::futimens(out.get(), times);
  if (::fsync(out.get()) != 0) return fail(Reason(errno));
  if (const int error = out.Close()) return fail(Reason(error));

  FileOperationResult result;
  const int error = Place(temporary, request.to, result.target, request.renameOnCollision);
  if (error != 0) {
    ::unlink(temporary.c_str());
    return Failed(verb, request, error == EEXIST ? "A file of that name exists." : Reason(error));
  }
  SyncFolderOf(result.target);
  result.ok = true;
  return result;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat x, y;
  return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

FileOperationResult Move(const FileOperationRequest& request, FileOperationProgress* progress) {
  const bool rename = request.kind == FileOperationKind::Rename;
  const char* verb = rename ? "rename" : "move";
  if (!Exists(request.from)) return Failed(verb, request, Reason(ENOENT));
  if (SameFile(request.from, request.to)) return Failed(verb, request, "The source and the target are the same file.");

  FileOperationResult result;
  const int error = Place(request.from, request.to, result.target, request.renameOnCollision);
  if (error == 0) {
    SyncFolderOf(result.target);
    if (FolderPart(request.from) != FolderPart(result.target)) SyncFolderOf(request.from);
    result.ok = true;
    return result;
  }
  if (error == EEXIST) return Failed(verb, request, "A file of that name exists.");
  if (error != EXDEV || rename) return Failed(verb, request, Reason(error));

  // Another file system: copy, then remove the source once the copy is safely in place.
  result = Copy(request, progress, verb);
  if (!result.ok) return result;
  if (::unlink(request.from.c_str()) != 0) {
    const int why = errno;
    FileOperationResult kept;
    kept.target = result.target;
    kept.error = "The file was copied to " + Quoted(result.target) + ", but " + Quoted(request.from) +
                 " could not be removed:\n" + Reason(why);
    return kept;
  }
  SyncFolderOf(request.from);
  return result;
}

}  // namespace

std::string NumberedName(const std::string& path, int number) {
  const std::string folder = FolderPart(path);
  const std::string name = FileNamePart(path);
  const size_t dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0;
  const std::string stem = hasExtension ? name.substr(0, dot) : name;
  const std::string extension = hasExtension ? name.substr(dot) : std::string();
  return folder + stem + " (" + std::to_string(number) + ")" + extension;
}

std::string FreeNameLike(const std::string& path) {
  for (int number = 2; number <= kMaxNumber; ++number) {
    std::string candidate = NumberedName(path, number);
    if (!Exists(candidate)) return candidate;
  }
  return NumberedName(path, kMaxNumber + 1);
}

FileOperationResult PerformFileOperation(const FileOperationRequest& request, FileOperationProgress* progress) {
  if (request.kind == FileOperationKind::Copy) return Copy(request, progress, "copy");
  return Move(request, progress);
}

}  // namespace platform
