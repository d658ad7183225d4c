#pragma once
// Files on the host: existence, sizes, whole-file reads and writes, temporary files.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

bool PathExists(const std::string& path);
// Exists and is not a folder.
bool FileExists(const std::string& path);
bool IsFolder(const std::string& path);
// Size in bytes of a file that can be opened for reading; -1 otherwise (also for folders).
int64_t FileSizeOf(const std::string& path);

// The system's temporary folder ($TMPDIR, else /tmp) with a trailing separator; "" when it does not exist.
std::string SystemTempFolder();
// Creates a new, empty file named prefix + a unique part + ".tmp" in folder, readable and writable by
// the owner only. Returns its full name, or "" when it cannot be made.
std::string MakeUniqueTempFile(const std::string& folder, const std::string& prefix);

// The whole content; false when the file cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);
// Creates or truncates the file and writes content (mode 0600 for a new file); false on any failure.
bool WriteWholeFile(const std::string& path, std::string_view content);
// Deletes a file; failures are ignored.
void DeleteFileQuietly(const std::string& path);
// Overwrites a file's bytes with zeros, then deletes it (for files that held a secret).
void WipeAndDeleteFile(const std::string& path);

// Full path of the running program, "" when unknown.
std::string RunningProgramPath();
// The file a program name stands for: a name with a folder as it is; a bare name in the running
// program's own folder first, then in the folders of PATH. "" when nothing is found.
std::string FindProgram(const std::string& name);

}  // namespace platform
