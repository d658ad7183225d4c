#include "Scanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/xattr.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "MemberNames.h"
#include "Wildcard.h"

namespace jar32::cli {

namespace {

std::vector<std::string> splitSlash(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t pos = path.find('/', start);
    if (pos == std::string::npos) pos = path.size();
    parts.push_back(path.substr(start, pos - start));
    start = pos + 1;
  }
  return parts;
}

/// Member name parts for -jf: the matched path, lexically cleaned; leading ".." parts and the
/// root go.
std::vector<std::string> fullPathParts(const std::string& hostPath) {
  std::vector<std::string> out;
  for (const std::string& part : splitSlash(hostPath)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(part);
  }
  return out;
}

/// Names of users and groups, looked up once each.
class OwnerNames {
 public:
  const std::string& user(uid_t uid) {
    if (lastUser_ && lastUser_->first == uid) return lastUser_->second;  // most files: one owner
    auto [it, isNew] = users_.try_emplace(uid);
    lastUser_ = &*it;
    if (isNew) {
      struct passwd pw, *found = nullptr;
      std::vector<char> buf(16384);
      if (getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == 0 && found) it->second = pw.pw_name;
    }
    return it->second;
  }
  const std::string& group(gid_t gid) {
    if (lastGroup_ && lastGroup_->first == gid) return lastGroup_->second;
    auto [it, isNew] = groups_.try_emplace(gid);
    lastGroup_ = &*it;
    if (isNew) {
      struct group gr, *found = nullptr;
      std::vector<char> buf(16384);
      if (getgrgid_r(gid, &gr, buf.data(), buf.size(), &found) == 0 && found) it->second = gr.gr_name;
    }
    return it->second;
  }

 private:
  std::unordered_map<uid_t, std::string> users_;
  std::unordered_map<gid_t, std::string> groups_;
  const std::pair<const uid_t, std::string>* lastUser_ = nullptr;  // nodes do not move
  const std::pair<const gid_t, std::string>* lastGroup_ = nullptr;
};

/// The extended attributes of an entry (not following a link), or nothing with the reason.
std::optional<std::vector<ExtendedAttribute>> readXattrs(const std::string& path, std::string& why) {
  std::vector<ExtendedAttribute> out;
  for (int attempt = 0; attempt < 4; ++attempt) {
    out.clear();
    ssize_t size = llistxattr(path.c_str(), nullptr, 0);
    if (size < 0) {
      if (errno == ENOTSUP) return out;
      why = std::strerror(errno);
      return std::nullopt;
    }
    std::string names(static_cast<size_t>(size), '\0');
    size = llistxattr(path.c_str(), names.data(), names.size());
    if (size < 0 && errno == ERANGE) continue;  // grew meanwhile
    if (size < 0) {
      why = std::strerror(errno);
      return std::nullopt;
    }
    names.resize(static_cast<size_t>(size));
    bool again = false;
    for (size_t at = 0; at < names.size() && !again;) {
      const std::string name = names.c_str() + at;
      at += name.size() + 1;
      if (name.empty()) continue;
      ssize_t n = lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
      if (n < 0 && errno == ENODATA) continue;  // removed meanwhile
      if (n < 0) {
        why = name + ": " + std::strerror(errno);
        return std::nullopt;
      }
      std::string value(static_cast<size_t>(n), '\0');
      n = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
      if (n < 0 && errno == ERANGE) {
        again = true;
        break;
      }
      if (n < 0) continue;
      value.resize(static_cast<size_t>(n));
      out.push_back({name, std::move(value)});
    }
    if (!again) return out;
  }
  why = "they keep changing";
  return std::nullopt;
}

class Scanner {
 public:
  Scanner(const ScanSettings& s, ScanReport& report, size_t patternCount, FoundFile sink)
      : s_(s), report_(report), patternCount_(patternCount), sink_(std::move(sink)) {}

  void scanPattern(const std::string& rawPattern) {
    ++patterns_;
    std::string pattern = rawPattern;
    std::replace(pattern.begin(), pattern.end(), '\\', '/');
    while (pattern.size() > 1 && pattern.back() == '/') pattern.pop_back();
    const size_t slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    const std::string leaf = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    const size_t before = taken_;
    const size_t skippedBefore = report_.skipped;
    if (leaf.empty()) {
      // The root itself ("/"): everything below it.
      walk(folder, "*", true, {});
    } else if (hasWildcards(leaf)) {
      walk(folder, leaf, s_.recurse, {});
    } else {
      // One named entry: a folder is taken with everything below it.
      struct stat st;
      const std::string path = folder + leaf;
      if (lstat(path.c_str(), &st) != 0) {
        skip("cannot find " + escaped(path) + ": " + std::strerror(errno));
        return;
      }
      if (leaf == "." || leaf == "..") {
        walk(path + "/", "*", true, {});
      } else {
        std::vector<std::string> rel;
        if (take(path, leaf, st, rel) && S_ISDIR(st.st_mode)) walk(path + "/", "*", true, rel);
      }
    }
    // A pattern whose matches were all left out with a reason needs no second message.
    if (taken_ == before && report_.skipped == skippedBefore &&
        !reportedEmpty_.count(rawPattern)) {
      reportedEmpty_.insert(rawPattern);
      report_.warn("no files match " + escaped(rawPattern));
    }
  }

  ScannedFiles result() { return std::move(found_); }

 private:
  /// Lists folder (a prefix ending in '/', or "" for the current folder), takes the entries
  /// matching leafPattern and, when recursing, descends into every subfolder.
  void walk(const std::string& folder, const std::string& leafPattern, bool recurse,
            const std::vector<std::string>& relParts) {
    const std::string open = folder.empty() ? "." : folder;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(open.c_str()), &closedir);
    if (!dir) {
      skip("cannot read the folder " + escaped(open) + ": " + std::strerror(errno));
      return;
    }
    struct Found {
      std::string name;
      struct stat st;
      int error = 0;
    };
    std::vector<Found> found;
    while (dirent* e = readdir(dir.get())) {
      const std::string_view n = e->d_name;
      if (n == "." || n == "..") continue;
      found.push_back({std::string(n), {}, 0});
    }
    // Looked up in the open folder rather than along the whole path; closed before descending.
    for (Found& f : found)
      if (fstatat(dirfd(dir.get()), f.name.c_str(), &f.st, AT_SYMLINK_NOFOLLOW) != 0) f.error = errno;
    dir.reset();
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.name < b.name; });
    for (const Found& f : found) {
      const std::string& name = f.name;
      const std::string path = folder + name;
      const struct stat& st = f.st;
      if (f.error) {
        skip("cannot read " + escaped(path) + ": " + std::strerror(f.error));
        continue;
      }
      std::vector<std::string> rel = relParts;
      bool usable = true;
      if (wildcardMatch(leafPattern, name, '/')) {
        usable = take(path, name, st, rel);
      } else if (S_ISDIR(st.st_mode)) {
        usable = descendable(path, name, st);
        rel.push_back(name);
      } else {
        continue;
      }
      if (usable && recurse && S_ISDIR(st.st_mode)) walk(path + "/", leafPattern, true, rel);
    }
  }

  bool excluded(const std::string& path, const std::string& name) const {
    for (const std::string& raw : s_.excludes) {
      std::string p = raw;
      std::replace(p.begin(), p.end(), '\\', '/');
      if (p.find('/') == std::string::npos) {
        if (wildcardMatch(p, name, '/')) return true;
      } else if (wildcardMatch(absolutePath(p, s_.currentFolder), absolutePath(path, s_.currentFolder), '/')) {
        return true;
      }
    }
    return false;
  }

  bool skipped(const struct stat& st) const {
    for (const auto& [dev, ino] : s_.skipFiles)
      if (st.st_dev == dev && st.st_ino == ino) return true;
    return false;
  }

  /// Whether a folder that does not match may still be entered.
  bool descendable(const std::string& path, const std::string& name, const struct stat&) {
    if (excluded(path, name)) return false;
    if (!s_.includeHidden && name[0] == '.') return false;
    if (auto problem = hostComponentProblem(name, true)) {
      skip("skipped " + escaped(path) + ": the name cannot be stored (" + *problem + ")");
      return false;
    }
    return true;
  }

  /// Takes one matching entry; rel gets the entry's name appended. False when the entry (and,
  /// for a folder, everything below it) is left out.
  bool take(const std::string& path, const std::string& name, const struct stat& st,
            std::vector<std::string>& rel) {
    if (excluded(path, name) || skipped(st)) return false;
    const bool isDir = S_ISDIR(st.st_mode);
    if (!s_.includeHidden && name[0] == '.') return false;
    if (auto problem = hostComponentProblem(name, isDir)) {
      skip("skipped " + escaped(path) + ": the name cannot be stored (" + *problem + ")");
      return false;
    }
    rel.push_back(name);
    if (!isDir && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      skip("skipped " + escaped(path) + ": not a file, folder or link");
      return false;
    }
    const uint32_t attrs = hostAttributes(st.st_mode, name);
    if (isDir && !s_.includeDirectories) return true;  // its contents still count
    if (!isDir) {
      if (!s_.includeArchive) return true;
      if (!s_.includeReadOnly && (attrs & kAttrReadOnly)) return true;
    }
    std::vector<std::string> parts = s_.fullPath ? fullPathParts(path) : rel;
    for (size_t i = 0; i < parts.size(); ++i) {
      if (auto problem = hostComponentProblem(parts[i], isDir || i + 1 < parts.size())) {
        skip("skipped " + escaped(path) + ": the name cannot be stored (" + *problem + ")");
        return false;
      }
    }
    if (parts.empty()) return isDir;
    std::string member = s_.baseFolder;
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i) member.push_back('\\');
      member += parts[i];
    }
    if (safeRelativePath(member).problem.size()) {
      skip("skipped " + escaped(path) + ": the name cannot be stored (" + escaped(member) + ")");
      return false;
    }
    // One pattern names each member once; a later one may name it again.
    if (patternCount_ > 1 && !names_.insert(member).second && patterns_ > 1) return true;
    ScannedFile f;
    f.hostPath = path;
    f.device = st.st_dev;
    f.inode = st.st_ino;
    f.changed = st.st_ctim;
    f.meta.name = std::move(member);
    f.meta.kind = isDir ? MemberKind::Folder : S_ISLNK(st.st_mode) ? MemberKind::Symlink : MemberKind::File;
    f.meta.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    f.meta.mtime = st.st_mtim.tv_sec;
    f.meta.mtimeNsec = static_cast<uint32_t>(st.st_mtim.tv_nsec);
    f.meta.preciseTime = true;
    f.meta.mode = st.st_mode & 07777;
    f.meta.attributes = attrs;
    f.meta.hasOwner = true;
    f.meta.uid = st.st_uid;
    f.meta.gid = st.st_gid;
    f.meta.owner = owners_.user(st.st_uid);
    f.meta.group = owners_.group(st.st_gid);
    if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
      auto [it, isNew] = linked_.try_emplace({st.st_dev, st.st_ino}, f.meta.name);
      if (!isNew) f.meta.hardLinkTarget = it->second;
    }
    if (s_.extendedAttributes) {
      std::string why;
      if (auto xattrs = readXattrs(path, why)) f.meta.xattrs = std::move(*xattrs);
      else report_.warn("cannot read the extended attributes of " + escaped(path) + ": " + why +
                        " (stored without them)");
    }
    if (S_ISLNK(st.st_mode)) {
      std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 256) + 1, '\0');
      const ssize_t n = readlink(path.c_str(), target.data(), target.size());
      if (n < 0) {
        skip("cannot read the link " + escaped(path) + ": " + std::strerror(errno));
        names_.erase(f.meta.name);
        return false;
      }
      target.resize(static_cast<size_t>(n));
      f.meta.linkTarget = std::move(target);
    }
    ++taken_;
    if (sink_) sink_(std::move(f));
    else found_.push_back(std::move(f));
    return true;
  }

  void skip(const std::string& why) {
    ++report_.skipped;
    report_.warn(why);
  }

  const ScanSettings& s_;
  ScanReport& report_;
  OwnerNames owners_;
  std::map<std::pair<dev_t, ino_t>, std::string> linked_;  // files with several names: the first
  ScannedFiles found_;
  std::unordered_set<std::string> names_;  // members taken, when there are several patterns
  size_t patternCount_;
  FoundFile sink_;
  size_t patterns_ = 0;
  size_t taken_ = 0;
  std::unordered_set<std::string> reportedEmpty_;
};

}  // namespace

uint32_t hostAttributes(mode_t mode, std::string_view name) {
  uint32_t attrs = S_ISDIR(mode) ? kAttrDirectory : kAttrArchive;
  if (!name.empty() && name[0] == '.') attrs |= kAttrHidden;
  if (!(mode & S_IWUSR) && !S_ISLNK(mode)) attrs |= kAttrReadOnly;
  return attrs;
}

std::string absolutePath(const std::string& path, const std::string& currentFolder) {
  const std::string joined = (!path.empty() && path[0] == '/') ? path : currentFolder + "/" + path;
  std::vector<std::string> out;
  for (const std::string& part : splitSlash(joined)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(part);
  }
  std::string result;
  for (const std::string& p : out) result += "/" + p;
  return result.empty() ? "/" : result;
}

bool ScannedFile::unchangedOnDisk() const {
  struct stat st;
  if (lstat(hostPath.c_str(), &st) != 0) return false;
  return st.st_dev == device && st.st_ino == inode && st.st_mtim.tv_sec == meta.mtime &&
         static_cast<uint32_t>(st.st_mtim.tv_nsec) == meta.mtimeNsec &&
         st.st_ctim.tv_sec == changed.tv_sec && st.st_ctim.tv_nsec == changed.tv_nsec &&
         (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) == meta.size);
}

ScannedFiles scanSources(const NameList& patterns, const ScanSettings& settings,
                         ScanReport& report, FoundFile sink) {
  Scanner scanner(settings, report, patterns.size(), std::move(sink));
  for (std::string_view p : patterns) scanner.scanPattern(std::string(p));
  return scanner.result();
}

}  // namespace jar32::cli
