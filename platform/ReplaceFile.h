#pragma once
// Replacing a whole file at once, so that a failure half-way never leaves a damaged file.

#include <string>
#include <string_view>

namespace platform {

// Writes content to a new file beside path, flushes it and renames it over path, then flushes the
// folder: the old file stays whole until the new one is complete. An existing file keeps its
// permission bits; a new one is made with newFileMode (less the umask). A link is followed: the
// file it names is replaced. Anything but a regular file in the way is refused. False on failure,
// with why saying what went wrong.
bool ReplaceFile(const std::string& path, std::string_view content, unsigned newFileMode, std::string& why);

}  // namespace platform
