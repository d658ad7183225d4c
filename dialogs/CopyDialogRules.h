#pragma once
// The Copy dialog's rules that need no window: what the archive's flags tick on show, the lock
// mode, the folder the archiver starts in, and the input the reserve-space box takes.

#include <QStringList>
#include <string>

// "1440 kb", the disk size shown before the user picks one.
inline constexpr int kDefaultDiskSizeItem = 3;
// A number, optionally followed by a k (1024 bytes).
inline constexpr const char* kReserveSpacePattern = "[0-9]{1,10}k?";

// "Lock Archive", "Lock Chapter", "Auto Lockable": the lock mode is the item's index.
QStringList LockOptionItems();
inline constexpr int kLockModeOff = 3;

struct CopyFlagState {
  bool protectedArchive = false;  // "PROTECTED": the password is to be given
  bool recoveryRecords = false;   // "RECOVERY RECORDS"
  bool hidden = false;            // "HIDDEN"
  int lockItem = -1;              // the lock item the archive has: "LOCKED" 0, "AUTO_LOCK" 2; -1 none
};
// What the archive's flag line says about the options the Copy dialog shows.
CopyFlagState CopyFlagStateOf(const std::string& archiveFlags);

// The job's lockMode: the chosen item (0 when none is) when the lock is kept, else off.
int LockModeOf(bool lockChecked, int lockItem);

// The folder the archiver starts in: the output archive's folder, or the open archive's when the
// output has no folder (empty, or a bare file name); with a trailing separator.
std::string CopySourceFolder(const std::string& outputArchive, const std::string& currentArchive);
