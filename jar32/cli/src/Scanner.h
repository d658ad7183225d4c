// Finds the host files that an add command names and gives each its member name.
#pragma once

#include <sys/types.h>

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
  MemberInfo meta;       // name, kind, size, mtime, mode, attributes, link target
  dev_t device = 0;      // identity, to check before deleting a moved source
  ino_t inode = 0;
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
};

/// Scans the disk for the patterns. Names that cannot be stored, and patterns that match
/// nothing, are reported through warn and left out. Duplicated member names keep the first.
std::vector<ScannedFile> scanSources(const NameList& patterns,
                                     const ScanSettings& settings,
                                     const std::function<void(const std::string&)>& warn);

/// Attribute bits for a host file (lstat mode and name).
uint32_t hostAttributes(mode_t mode, std::string_view name);

/// Lexically normalized absolute path (no ".", "..", or doubled slashes).
std::string absolutePath(const std::string& path, const std::string& currentFolder);

}  // namespace jar32::cli
