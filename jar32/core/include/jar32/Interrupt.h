// SIGINT/SIGTERM handling: temporary files are removed and the process exits with kInterrupted.
#pragma once

namespace jar32 {

/// Installs handlers for SIGINT and SIGTERM (call once, early in main). On a signal the handler
/// removes every registered path (async-signal-safe), writes "Interrupted" to stderr and
/// _exit(kInterrupted). The engine registers its temporary archives itself.
void installInterruptHandlers();

/// Registers a file to remove on interruption (e.g. a partly extracted file). At most 64 at a
/// time; returns false when the table is full. Paths longer than 4095 bytes are refused.
bool registerCleanupPath(const char* path);
void unregisterCleanupPath(const char* path);

/// Removes leftover temporary archives ("~jar32-<pid>-*.tmp") of processes that no longer run
/// from a folder. The engine calls it before writing into a folder.
void removeStaleTemporaries(const char* folder);

/// Removes the files and links named prefix + pid + "-" + digits + suffix in an open folder
/// whose pid is not this process's and no longer runs (leftovers of killed runs).
void removeFilesOfDeadProcesses(int folderFd, const char* prefix, const char* suffix);

}  // namespace jar32
