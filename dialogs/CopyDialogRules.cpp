#include "dialogs/CopyDialogRules.h"

#include "platform/Paths.h"

QStringList LockOptionItems() { return {"Lock Archive", "Lock Chapter", "Auto Lockable"}; }

CopyFlagState CopyFlagStateOf(const std::string& archiveFlags) {
  const auto has = [&archiveFlags](const char* word) { return archiveFlags.find(word) != std::string::npos; };
  CopyFlagState state;
  state.protectedArchive = has("PROTECTED");
  state.recoveryRecords = has("RECOVERY RECORDS");
  state.hidden = has("HIDDEN");
  state.lockItem = has("LOCKED") ? 0 : has("AUTO_LOCK") ? 2 : -1;
  return state;
}

int LockModeOf(bool lockChecked, int lockItem) {
  if (!lockChecked) return kLockModeOff;
  return lockItem >= 0 && lockItem < kLockModeOff ? lockItem : 0;
}

std::string CopySourceFolder(const std::string& outputArchive, const std::string& currentArchive) {
  const std::string outputFolder = platform::FolderPart(outputArchive);
  return platform::NormalizeFolder(outputFolder.empty() ? platform::FolderPart(currentArchive) : outputFolder);
}
