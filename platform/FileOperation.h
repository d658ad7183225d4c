#pragma once
// Copying, moving and renaming one file the way a file manager does: a copy is written under a
// temporary name in the target folder, flushed and only then given its name, so a cancelled or
// failed copy leaves no half file; nothing is ever replaced; a name that is taken can be changed
// to the next free one ("backup (2).j").

#include <cstdint>
#include <string>

namespace platform {

enum class FileOperationKind { Copy, Move, Rename };

struct FileOperationRequest {
  FileOperationKind kind = FileOperationKind::Copy;
  std::string from;  // an existing file
  std::string to;    // the full name the file is to get
  bool renameOnCollision = false;  // a taken name becomes the next free one instead of failing
  std::string title;  // for the progress window
};

struct FileOperationResult {
  bool ok = false;
  bool cancelled = false;
  std::string target;  // the name the file got
  std::string error;   // what went wrong, for the user (empty when ok or cancelled)
};

// Told how far the work is, from the thread that does it; false stops it.
class FileOperationProgress {
 public:
  virtual ~FileOperationProgress() = default;
  virtual bool Report(uint64_t done, uint64_t total) = 0;
};

// "name (number).ext" in the same folder.
std::string NumberedName(const std::string& path, int number);
// The first of "name (2).ext", "name (3).ext", ... in the same folder that names nothing.
std::string FreeNameLike(const std::string& path);

// Does the operation on the calling thread. A move within one file system is a rename; across file
// systems it is a copy, flushed, then the source removed. A rename never moves to another folder's
// file system.
FileOperationResult PerformFileOperation(const FileOperationRequest& request,
                                         FileOperationProgress* progress = nullptr);

// What the windows call: the Qt implementation shows a progress window with a cancel button.
class ShellFileOperations {
 public:
  virtual ~ShellFileOperations() = default;
  virtual FileOperationResult Run(const FileOperationRequest& request) = 0;
};

}  // namespace platform
