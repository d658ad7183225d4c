#pragma once
// The desktop's trash, in the freedesktop.org trash layout: a file on the home
// file system goes to $XDG_DATA_HOME/Trash (~/.local/share/Trash); one on another file system to
// that file system's $topdir/.Trash/$uid or $topdir/.Trash-$uid. Each trashed file has an info file
// with its old path and the time, so file managers can put it back.

#include <string>

namespace platform {

// Moves the file (a link is trashed itself, not what it points to) into the trash. False, with
// the reason, when no trash can take it; the file is then where it was.
bool MoveToTrash(const std::string& path, std::string& reason);

// Deletes a file for good. False, with the reason, when it could not be deleted.
bool DeleteFileNow(const std::string& path, std::string& reason);

// The text of an info file's Path= value: bytes outside the unreserved set of URIs escaped as %XX.
std::string TrashPathEscape(const std::string& path);

}  // namespace platform
