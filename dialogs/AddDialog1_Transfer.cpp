// The Add dialog's controls into the job's fields, and the names to add.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "dialogs/AddBrowser.h"
#include "dialogs/AddDialog1_unit.h"
#include "dialogs/AddMemo.h"
#include "dialogs/PathField.h"

namespace {

// The item chosen beside a ticked box, else the value that leaves the switch off.
int ModeOf(const QCheckBox* box, const QComboBox* choice, int off) {
  return box->isChecked() && choice->currentIndex() >= 0 ? choice->currentIndex() : off;
}

void SetBit(uint8_t& bits, uint8_t bit, bool on) { bits = on ? bits | bit : bits & static_cast<uint8_t>(~bit); }

// The archiver's wildcard for everything in a folder.
constexpr const char* kAllInFolder = "\\*";

// The volume size of each item after "Autodetect".
constexpr const char* kVolumeSizes[] = {"360", "720", "1440", "2880k", "100431870"};

}  // namespace

// The option rows run in this order; the browser-folder rows only in browser mode. Cancelling runs
// none of them, so the job stays as it was.
void TAddDialog1::TransferOptions(TJar& jar, bool browserFolderRows) {
  config_.showDosbox = CB_Dosbox->isChecked();
  jar.excludeList.clear();
  jar.useExcludeList = false;
  if (CB_ExcludeFiles->isChecked()) {
    for (const std::string& line : adddialog::MemoLines(ME_ExcludeFiles))
      if (!line.empty()) jar.excludeList.push_back(line);
    jar.useExcludeList = true;
  }
  jar.useOutputPath = true;
  jar.SetOutputPath(ED_Subdirectory->text().toStdString());
  jar.usePassword = CB_Password->isChecked();
  config_.StorePassword(CO_Password->text().toStdString());
  jar.recurseFolders = CB_RecurseFolders->isChecked();
  if (browserFolderRows) {
    const bool fromCurrent = CB_FromCurrentDir->isChecked();
    jar.fromCurrentFolder = fromCurrent;
    jar.makeNamesAbsolute = !fromCurrent;
    jar.sourceFolder = fromCurrent ? browser_->Folder().toStdString() : std::string();
  }
  jar.compressionMethod = CO_Compression->currentIndex() + 1;
  const bool spanning = CB_SpanMultipleDisk->isChecked();
  SetBit(jar.volumeFlags, TJar::kVolumeInhibit, spanning && CB_Inhibit->isChecked());
  SetBit(jar.volumeFlags, TJar::kVolumeBeep, spanning && CB_Beep->isChecked());
  jar.archiveBitsMode = ModeOf(CB_ArchiveBits, CO_ArchiveBits, 2);
  jar.timeStampMode = ModeOf(CB_TimeStamp, CO_TimeStamp, 2);
  jar.lfnMode = ModeOf(CB_LFNProcessing, CO_LFNProcessing, 4);
  jar.chapterMode = ModeOf(CB_ChapterMode, CO_ChapterMode, 3);
  jar.lockMode = ModeOf(CB_LockOption, CO_LockOption, 3);
  jar.accessProtection = ModeOf(CB_AccesProtection, CO_AccesProtection, 0);
  jar.storeFullPath = CB_StoreFullPath->isChecked();
  jar.assumeYes = CB_AssumeYesOnAll->isChecked();
  jar.withDelete = CB_WithDelete->isChecked();
  jar.ignoreReadOnly = CB_IgnoreReadOnly->isChecked();
  jar.onlyNewFiles = CB_OnlyNewFiles->isChecked();
  jar.hideContents = CB_HideArchiveContents->isChecked();
  jar.skipSecurityTest = CB_SkipSecurityEnv->isChecked();
  jar.addRecoveryRecords = CB_AddRecoveryRecords->isChecked();
  jar.queryEachFile = CB_QueryOnEach->isChecked();
  jar.testTempArchive = CB_TestTempArchive->isChecked();
  jar.testNewFiles = CB_TestNewUpdatedFiles->isChecked();
  jar.addSecurityEnvelope = CB_AddSecurityEnvelope->isChecked();
  jar.includeArchiveAttr = CB_AttributeArchive->isChecked();
  jar.includeDirectoryAttr = CB_AttributeDirectory->isChecked();
  jar.includeHiddenAttr = CB_AttributeHidden->isChecked();
  jar.includeReadOnlyAttr = CB_AttributeReadOnly->isChecked();
  jar.includeSystemAttr = CB_AttributeSystem->isChecked();
  // A ticked "Create File List:" switches the list on. The archiver writes that file, while the job
  // takes only the name of one that exists: a missing one is made empty first.
  jar.useListFile = false;
  if (CB_CreateFileList->isChecked()) {
    const std::string name = StripQuotes(DE_CreateFileList->text().trimmed().toStdString());
    if (!name.empty() && !platform::PathExists(name) && IsFolder(platform::FolderPart(name)))
      platform::WriteWholeFile(name, "");
    jar.SetListFile(name);
    jar.useListFile = !name.empty() && jar.listFileName == name;
  }
  jar.multiVolume = spanning;
  jar.reserveSpace = ED_ReserveSpaceSize->text().toStdString();
  if (spanning) {
    TransferVolumeSize(jar);
    SetBit(jar.volumeFlags, TJar::kVolumeReserve, CB_ReserveSpace->isChecked());
  }
  jar.archiveCommentIsText = !CB_ArchiveCommentsFile->isChecked();
  jar.chapterCommentIsText = !CB_ChapterCommentsFile->isChecked();
  jar.useArchiveComment = CB_ArchiveComments->isChecked();
  if (jar.useArchiveComment)
    jar.SetArchiveComment(CB_ArchiveCommentsFile->isChecked() ? StripQuotes(FE_ArchiveCommentsFile->text().toStdString())
                                                              : ME_ArchiveComments->toPlainText().toStdString());
  jar.useChapterComment = CB_ChapterComments->isChecked();
  if (jar.useChapterComment)
    jar.SetChapterComment(CB_ChapterCommentsFile->isChecked() ? StripQuotes(FE_ChapterCommentsFile->text().toStdString())
                                                              : ME_ChapterComments->toPlainText().toStdString());
  // A ticked "Work Directory:" switches the work folder on, once the job holds that folder.
  jar.useWorkFolder = false;
  if (CB_WorkDir->isChecked()) {
    const std::string folder = NormalizeFolder(DE_WorkDirectory->text().trimmed().toStdString());
    jar.SetWorkFolder(folder);
    jar.useWorkFolder = !folder.empty() && jar.workFolder == folder;
  }
}

void TAddDialog1::TransferVolumeSize(TJar& jar) {
  const int index = CO_MultipleDiskSize->currentIndex();
  if (index < 0) return;
  if (index == 0) {
    jar.volumeFlags |= TJar::kVolumeAutoSize;
    return;
  }
  jar.volumeSize = kVolumeSizes[index - 1];
  SetBit(jar.volumeFlags, TJar::kVolumeAutoSize, false);
}

// Wildcards first, then the selected items in list order, relative to the browser's folder; a
// folder stands for everything in it.
void TAddDialog1::BuildBrowserFileList(TJar& jar) {
  jar.fileList.clear();
  const std::string folder = browser_->Folder().toStdString();
  jar.sourceFolder = folder;
  if (CB_Wildcards->isChecked())
    for (const std::string& line : adddialog::MemoLines(ME_Wildcards))
      if (!line.empty()) jar.fileList.push_back(line);
  for (const QString& item : browser_->SelectedNames()) {
    const std::string name = item.toStdString();
    jar.fileList.push_back(IsFolder(JoinFolderAndName(folder, name)) ? name + kAllInFolder : name);
  }
}

// The dropped names as they came, relative to the "Add From Directory:" folder.
void TAddDialog1::BuildDroppedFileList(TJar& jar) {
  jar.fileList.clear();
  const QString separator(QChar(platform::Separator()));
  const QString folder = DE_FromDirectory->text().trimmed();
  if (!folder.endsWith(separator)) DE_FromDirectory->setText(folder + separator);
  jar.sourceFolder = DE_FromDirectory->text().trimmed().toStdString();
  for (const std::string& name : droppedNames_)
    jar.fileList.push_back(IsFolder(name) ? platform::WithoutTrailingSeparator(name) + kAllInFolder : name);
  jar.makeNamesAbsolute = false;
}
