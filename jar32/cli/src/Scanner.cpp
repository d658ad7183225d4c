#include "Scanner.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
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

class Scanner {
 public:
  Scanner(const ScanSettings& s, const std::function<void(const std::string&)>& warn)
      : s_(s), warn_(warn) {}

  void scanPattern(const std::string& rawPattern) {
    std::string pattern = rawPattern;
    std::replace(pattern.begin(), pattern.end(), '\\', '/');
    while (pattern.size() > 1 && pattern.back() == '/') pattern.pop_back();
    const size_t slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    const std::string leaf = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    const size_t before = found_.size();
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
        warn_("cannot find " + escaped(path) + ": " + std::strerror(errno));
        return;
      }
      if (leaf == "." || leaf == "..") {
        walk(path + "/", "*", true, {});
      } else {
        std::vector<std::string> rel;
        if (take(path, leaf, st, rel) && S_ISDIR(st.st_mode)) walk(path + "/", "*", true, rel);
      }
    }
    if (found_.size() == before && !reportedEmpty_.count(rawPattern)) {
      reportedEmpty_.insert(rawPattern);
      warn_("no files match " + escaped(rawPattern));
    }
  }

  std::vector<ScannedFile> result() { return std::move(found_); }

 private:
  /// Lists folder (a prefix ending in '/', or "" for the current folder), takes the entries
  /// matching leafPattern and, when recursing, descends into every subfolder.
  void walk(const std::string& folder, const std::string& leafPattern, bool recurse,
            const std::vector<std::string>& relParts) {
    const std::string open = folder.empty() ? "." : folder;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(open.c_str()), &closedir);
    if (!dir) {
      warn_("cannot read the folder " + escaped(open) + ": " + std::strerror(errno));
      return;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(dir.get())) {
      const std::string_view n = e->d_name;
      if (n == "." || n == "..") continue;
      names.emplace_back(n);
    }
    dir.reset();
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = folder + name;
      struct stat st;
      if (lstat(path.c_str(), &st) != 0) {
        warn_("cannot read " + escaped(path) + ": " + std::strerror(errno));
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
      warn_("skipped " + escaped(path) + ": the name cannot be stored (" + *problem + ")");
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
      warn_("skipped " + escaped(path) + ": the name cannot be stored (" + *problem + ")");
      return false;
    }
    rel.push_back(name);
    if (!isDir && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      warn_("skipped " + escaped(path) + ": not a file, folder or link");
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
        warn_("skipped " + escaped(path) + ": the name cannot be stored (" + *problem + ")");
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
      warn_("skipped " + escaped(path) + ": the name cannot be stored (" + escaped(member) + ")");
      return false;
    }
    if (!names_.insert(member).second) return true;
    ScannedFile f;
    f.hostPath = path;
    f.device = st.st_dev;
    f.inode = st.st_ino;
    f.meta.name = std::move(member);
    f.meta.kind = isDir ? MemberKind::Folder : S_ISLNK(st.st_mode) ? MemberKind::Symlink : MemberKind::File;
    f.meta.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    f.meta.mtime = st.st_mtim.tv_sec;
    f.meta.mode = st.st_mode & 07777;
    f.meta.attributes = attrs;
    if (S_ISLNK(st.st_mode)) {
      std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 256) + 1, '\0');
      const ssize_t n = readlink(path.c_str(), target.data(), target.size());
      if (n < 0) {
        warn_("cannot read the link " + escaped(path) + ": " + std::strerror(errno));
        names_.erase(f.meta.name);
        return false;
      }
      target.resize(static_cast<size_t>(n));
      f.meta.linkTarget = std::move(target);
    }
    found_.push_back(std::move(f));
    return true;
  }

  const ScanSettings& s_;
  const std::function<void(const std::string&)>& warn_;
  std::vector<ScannedFile> found_;
  std::unordered_set<std::string> names_;
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

std::vector<ScannedFile> scanSources(const NameList& patterns, const ScanSettings& settings,
                                     const std::function<void(const std::string&)>& warn) {
  Scanner scanner(settings, warn);
  for (std::string_view p : patterns) scanner.scanPattern(std::string(p));
  return scanner.result();
}

}  // namespace jar32::cli
