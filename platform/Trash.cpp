#include "platform/Trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "platform/Paths.h"

namespace platform {
namespace {

std::string Reason(int error) { return std::generic_category().message(error); }

std::string Without(std::string path) { return WithoutTrailingSeparator(path, PathStyle::Posix); }

std::optional<struct stat> LinkStat(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return st;
}

// A folder of ours: made 0700 when missing; an existing one must be a real folder, not a link.
bool OwnFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return true;
  if (errno != EEXIST) return false;
  auto st = LinkStat(path);
  return st && S_ISDIR(st->st_mode);
}

std::string DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return Without(xdg);
  const char* home = std::getenv("HOME");
  std::string folder = home && home[0] == '/' ? home : "";
  if (folder.empty())
    if (const passwd* user = ::getpwuid(::getuid())) folder = user->pw_dir ? user->pw_dir : "";
  if (folder.empty()) return "";
  return JoinPath(Without(folder), ".local/share", PathStyle::Posix);
}

// The absolute path of the file itself: its folder resolved, its name kept (a link stays a link).
std::string AbsoluteName(const std::string& path) {
  std::string name = FileNamePart(path, PathStyle::Posix);
  std::string folder = FolderPart(path, PathStyle::Posix);
  if (folder.empty()) folder = ".";
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.c_str(), nullptr), &std::free);
  if (!real || name.empty()) return "";
  return JoinPath(real.get(), name, PathStyle::Posix);
}

// The top folder of the file system a path is on.
std::string MountTop(const std::string& absolute, dev_t device) {
  std::string folder = Without(FolderPart(absolute, PathStyle::Posix));
  while (folder != "/") {
    const std::string parent = Without(FolderPart(folder, PathStyle::Posix));
    struct stat st;
    if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device) return folder;
    folder = parent;
  }
  return folder;
}

struct TrashFolder {
  std::string base;     // holds files/ and info/
  std::string topdir;   // "" for the home trash: its info files hold absolute paths
};

bool Prepare(const TrashFolder& trash, dev_t device) {
  if (!OwnFolder(trash.base) || !OwnFolder(trash.base + "/files") || !OwnFolder(trash.base + "/info")) return false;
  struct stat st;
  return ::stat((trash.base + "/files").c_str(), &st) == 0 && st.st_dev == device;
}

std::optional<TrashFolder> TrashFor(const std::string& absolute, dev_t device) {
  const std::string data = DataHome();
  if (!data.empty()) {
    // The data folder and its parents, as any desktop program makes them.
    std::error_code ignored;
    std::filesystem::create_directories(data, ignored);
    TrashFolder home{data + "/Trash", ""};
    struct stat st;
    if (::stat(data.c_str(), &st) == 0 && st.st_dev == device && Prepare(home, device)) return home;
  }
  const std::string top = MountTop(absolute, device);
  const std::string topSlash = top == "/" ? "" : top;
  const std::string uid = std::to_string(::getuid());
  // An administrator's shared .Trash counts only when it is a sticky folder, not a link.
  if (auto shared = LinkStat(topSlash + "/.Trash"); shared && S_ISDIR(shared->st_mode) && (shared->st_mode & S_ISVTX)) {
    TrashFolder mine{topSlash + "/.Trash/" + uid, top};
    if (Prepare(mine, device)) return mine;
  }
  TrashFolder own{topSlash + "/.Trash-" + uid, top};
  if (Prepare(own, device)) return own;
  return std::nullopt;
}

std::string NumberedName(const std::string& name, int number) {
  if (number == 1) return name;
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + "." + std::to_string(number);
  return name.substr(0, dot) + "." + std::to_string(number) + name.substr(dot);
}

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

bool WriteInfo(int fd, const std::string& content) {
  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    left -= static_cast<size_t>(n);
  }
  return ::fsync(fd) == 0;
}

}  // namespace

std::string TrashPathEscape(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      std::string_view("-_.!~*'()/").find(static_cast<char>(c)) != std::string_view::npos;
    if (keep) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool MoveToTrash(const std::string& path, std::string& reason) {
  const std::string absolute = AbsoluteName(path);
  auto file = absolute.empty() ? std::nullopt : LinkStat(absolute);
  if (!file) {
    reason = Reason(errno ? errno : ENOENT);
    return false;
  }
  auto trash = TrashFor(absolute, file->st_dev);
  if (!trash) {
    reason = "There is no trash on the file system of \"" + absolute + "\".";
    return false;
  }
  const std::string recorded =
      trash->topdir.empty() ? absolute
                            : absolute.substr(trash->topdir == "/" ? 1 : trash->topdir.size() + 1);
  const std::string name = FileNamePart(absolute, PathStyle::Posix);
  for (int number = 1; number < 100000; ++number) {
    const std::string entry = NumberedName(name, number);
    const std::string info = trash->base + "/info/" + entry + ".trashinfo";
    const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      reason = Reason(errno);
      return false;
    }
    const bool written =
        WriteInfo(fd, "[Trash Info]\nPath=" + TrashPathEscape(recorded) + "\nDeletionDate=" + Now() + "\n");
    ::close(fd);
    if (!written) {
      reason = Reason(errno);
      ::unlink(info.c_str());
      return false;
    }
    const std::string target = trash->base + "/files/" + entry;
    int error = ::renameat2(AT_FDCWD, absolute.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
    if (error == EINVAL) {  // a file system without that flag
      error = LinkStat(target) ? EEXIST : (::rename(absolute.c_str(), target.c_str()) == 0 ? 0 : errno);
    }
    if (error == 0) return true;
    ::unlink(info.c_str());
    if (error == EEXIST) continue;
    reason = Reason(error);
    return false;
  }
  reason = "The trash holds too many files of that name.";
  return false;
}

bool DeleteFileNow(const std::string& path, std::string& reason) {
  if (::unlink(path.c_str()) == 0) return true;
  reason = Reason(errno);
  return false;
}

}  // namespace platform
