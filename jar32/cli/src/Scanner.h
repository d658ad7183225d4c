// Finds the host files that an add command names and gives each its member name.
#pragma once

#include <sys/types.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "NameList.h"
#include "Options.h"
#include "jar32/Member.h"

namespace jar32::cli {

struct ScannedFile {
  std::string hostPath;  // as opened (relative to the current folder or absolute)
  MemberInfo meta;       // name, kind, size, times, mode, owner, attributes, link targets, xattrs
  dev_t device = 0;      // identity and change time, to check before deleting a moved source
  ino_t inode = 0;
  struct timespec changed{};
  /// Whether the file on disk is still the one found (same file, size, modification and change
  /// time to the nanosecond).
  bool unchangedOnDisk() const;
};

struct ScanSettings {
  bool recurse = false;        // -r
  bool fullPath = false;       // -jf
  std::string baseFolder;      // from -o, already normalized ("" or "dir\")
  std::vector<std::string> excludes;  // -x
  bool includeArchive = true, includeDirectories = true, includeHidden = true,
       includeReadOnly = true;
  std::string currentFolder;   // absolute, for exclusions with a folder part
  std::vector<std::pair<dev_t, ino_t>> skipFiles;  // never added (the archive itself)
  bool extendedAttributes = false;  // -ja: read each entry's extended attributes
};

/// What the scan reports: each warning as it comes, and how many names it left out.
struct ScanReport {
  std::function<void(const std::string&)> warn;
  size_t skipped = 0;  // entries left out with a reason (unusable names, unreadable, ...)
};

/// Scans the disk for the patterns. Names that cannot be stored, and patterns that match
/// nothing, are reported through report.warn and left out (a pattern whose only matches were
/// left out with a reason is not reported again). Duplicated member names keep the first.
/// Further names of a file with several hard links name the first in meta.hardLinkTarget.
/// In a deque: the list of a large tree grows without being moved.
/// With a sink, each file goes to it as soon as it is found, and the result is empty.
using ScannedFiles = std::deque<ScannedFile>;
using FoundFile = std::function<void(ScannedFile&&)>;
ScannedFiles scanSources(const NameList& patterns, const ScanSettings& settings,
                         ScanReport& report, FoundFile sink = {});

/// Attribute bits for a host file (lstat mode and name).
uint32_t hostAttributes(mode_t mode, std::string_view name);

/// Lexically normalized absolute path (no ".", "..", or doubled slashes).
std::string absolutePath(const std::string& path, const std::string& currentFolder);

}  // namespace jar32::cli
