// Commands on the archive as a whole: new, open (with the reduced listings), reopen, close, the
// recent archives, the information dialog, and copying, moving, renaming or deleting the file.

#include <QInputDialog>
#include <QLineEdit>

#include "config/InfoDialog_unit.h"
#include "mainwindow/ArchiveName.h"
#include "mainwindow/ArchiveListModel.h"
#include "mainwindow/ArchiveListView.h"
#include "mainwindow/CommentLines.h"
#include "mainwindow/CommentPane.h"
#include "mainwindow/Main_unit.h"
#include "mainwindow/MainStatusBar.h"
#include "mainwindow/VolumeSet.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Trash.h"

namespace {

constexpr int kSummaryPanel = 3;
constexpr const char* kArchiveFilter = "Jar files (*.j *.jar);;All files (*)";

std::string Trimmed(std::string text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

bool TMain::OpenArchive(const std::string& path, bool addToRecent) {
  if (path.empty() || platform::IsFolder(path)) return false;
  const std::string previous = config_->currentArchive;
  if (!platform::PathExists(path)) {
    if (services_.prompter.ask(platform::BoxKind::Confirmation,
                               "Archive: \"" + path +
                                   "\" does not exist!\nDo you want to make a new archive with this name ?",
                               platform::ButtonYes | platform::ButtonNo) != platform::ButtonYes)
      return false;
    StartNewArchive(path);
  } else {
    if (config_->internalJarCheck && !jar_->IsJarArchive(path)) {
      services_.prompter.error("File: \"" + path + "\" is not a jar archive");
      return false;
    }
    SetCurrentArchive(LiteralArchiveName(path));
    if (!RefreshListing()) {
      services_.prompter.error("Could not open archive: " + config_->currentArchive);
      SetCurrentArchive(previous);
      return false;
    }
    RememberLastArchive(previous);
  }
  if (addToRecent) AddRecentAndRebuild(config_->currentArchive);
  summary_.Reset(SelectionSummary::kNoneSelected);
  ShowSummary();
  RememberArchiveFolder(config_->currentArchive);
  EnableArchiveCommands(true);
  return true;
}

bool TMain::StartNewArchive(std::string path) {
  RememberLastArchive(config_->currentArchive);
  model_->BeginUpdate();
  model_->Clear();
  commentMemo_->SetLines({});
  summary_.Reset(SelectionSummary::kNoneSelected);
  ShowSummary();
  archiveProtected_ = false;
  ShowTotals("0", "0", "0");
  EnableArchiveCommands(true);
  SetCurrentArchive(LiteralArchiveName(std::move(path)));
  RememberArchiveFolder(config_->currentArchive);
  jar_->ClearArchive();
  model_->EndUpdate();
  listView_->setFocus();
  return true;
}

void TMain::CloseArchive() {
  model_->BeginUpdate();
  model_->Clear();
  RememberLastArchive(config_->currentArchive);
  SetCurrentArchive("");
  EnableArchiveCommands(false);
  ShowTotals("", "", "");
  commentMemo_->SetLines(ClosedHintLines());
  archiveProtected_ = false;
  model_->EndUpdate();
  listView_->setFocus();
}

void TMain::EnableArchiveCommands(bool on) {
  if (Find("AddBtn")->isEnabled() == on) return;
  for (const char* name : {"Mainmenu_ReopenArchive", "Mainmenu_CloseArchive", "Mainmenu_Information",
                           "Mainmenu_RenameArchive", "Mainmenu_MoveArchive", "Mainmenu_CopyArchive",
                           "Mainmenu_DeleteArchive", "Mainmenu_Add", "Mainmenu_Copy", "Mainmenu_Delete",
                           "Mainmenu_Extract", "Mainmenu_Test", "Mainmenu_ViewLastOutput", "POP_CloseArchive",
                           "POP_Add", "POP_Delete", "POP_Extract", "POP3_ReopenArchive"})
    Find(name)->setEnabled(on);
  for (const char* name : {"CloseArchiveBtn", "AddBtn", "DeleteBtn", "ExtractBtn", "TestBtn"})
    SetButtonEnabled(Find(name), on);
}

std::string TMain::StartupFolder() const {
  std::string folder = config_->startupFolder == 0 || config_->startupFolder == 2
                           ? config_->theStartupFolder
                           : platform::FolderPart(config_->lastOpenArchive);
  if (!platform::IsFolder(folder)) folder = config_->theStartupFolder;
  return Trimmed(folder);
}

bool TMain::AddRecent(const std::string& path) { return recentArchives_.Add(path); }

void TMain::AddRecentAndRebuild(const std::string& path) {
  try {
    if (!AddRecent(path)) return;
    RebuildRecentMenu("Main_");
    RebuildRecentMenu("POP_");
  } catch (const std::exception& failure) {
    services_.prompter.error(failure.what());
  }
}

void TMain::Mainmenu_NewArchiveClick() {
  if (operationRunning_) return;
  openDialogTitle_ = "New file dialog";
  const std::optional<std::string> name =
      services_.chooser.saveFile(openDialogTitle_.toStdString(), StartupFolder(), kArchiveFilter);
  openDialogTitle_ = "Open file";
  if (!name) return;
  if (platform::PathExists(*name)) {
    if (services_.prompter.ask(platform::BoxKind::Confirmation,
                               "Archive: \"" + *name + "\" exists, do you want to open it ?",
                               platform::ButtonYes | platform::ButtonNo) != platform::ButtonYes)
      return;
    if (OpenArchive(*name, true)) {
      listView_->setFocus();
      return;
    }
  }
  StartNewArchive(*name);
}

void TMain::OpenWithParseMode(int mode) {
  if (operationRunning_) return;
  try {
    jar_->parseMode = mode;
    const std::optional<std::string> name =
        services_.chooser.openFile(openDialogTitle_.toStdString(), StartupFolder(), kArchiveFilter);
    if (name) OpenArchive(*name, true);
  } catch (...) {
    services_.prompter.error("Error while opening archive");
  }
  listView_->setFocus();
}

void TMain::Mainmenu_OpenArchiveClick() { OpenWithParseMode(0); }
void TMain::ParseDirsOnly1Click() { OpenWithParseMode(1); }
void TMain::ParseNone1Click() { OpenWithParseMode(2); }

void TMain::Mainmenu_ReopenArchiveClick() {
  if (operationRunning_) return;
  const std::string archive = config_->currentArchive;
  if (platform::FileExists(archive)) OpenArchive(archive, false);
}

void TMain::Mainmenu_CloseArchiveClick() {
  if (operationRunning_) return;
  try {
    CloseArchive();
  } catch (...) {
    services_.prompter.error("Error while closing archive !");
  }
}

void TMain::RecentClick(QAction* item) {
  if (operationRunning_) return;
  try {
    const std::string* entry = recentArchives_.EntryOfCaption(item->text().toStdString());
    if (entry) OpenArchive(std::string(*entry), false);
  } catch (...) {
    // A recent entry that cannot be opened has said so already.
  }
}

void TMain::Mainmenu_InformationClick() {
  if (operationRunning_) return;
  const std::string archive = config_->currentArchive;
  if (archive.empty()) return;
  TInfoDialog dialog(this);
  const std::string name = platform::FileNamePart(archive);
  if (platform::FileExists(archive)) {
    const TJar& job = *jar_;
    // A set's size is that of all its volumes.
    int64_t size = platform::FileSizeOf(archive);
    for (const std::string& suffix : FurtherVolumeSuffixes(archive)) size += platform::FileSizeOf(archive + suffix);
    dialog.ShowInfo(name, job.archiveFlags, job.securitySignature, job.modifiedDate, job.createdDate, -1,
                    job.dataRatio, job.totalBytes, size, job.totalFiles, job.hasComment);
  } else {
    dialog.ShowInfo(name, "", "", "Unknown", "Unknown", 0, "1", "0", 0, "0", false);
  }
}

std::string TMain::PickTargetFolder(const char* title) {
  const std::string start = platform::WithoutTrailingSeparator(platform::FolderPart(config_->currentArchive));
  const std::optional<std::string> folder = services_.chooser.folder(title, start, true);
  if (!folder || !platform::IsFolder(*folder)) return "";
  return *folder;
}

bool TMain::ShellFileOperation(const std::string& from, const std::string& to, const char* title,
                               bool renameOnCollision, platform::FileOperationKind operation, std::string* target) {
  platform::FileOperationRequest request;
  request.kind = operation;
  request.from = from;
  request.to = to;
  request.renameOnCollision = renameOnCollision;
  request.title = title;
  const platform::FileOperationResult result = services_.fileOperations.Run(request);
  if (!result.error.empty()) services_.prompter.error(result.error);
  if (target) *target = result.target;
  return result.ok;
}

bool TMain::CarryFurtherVolumes(const std::string& from, const std::string& to, const std::vector<std::string>& suffixes,
                                const char* title, platform::FileOperationKind operation) {
  for (const std::string& suffix : suffixes)
    if (!ShellFileOperation(from + suffix, to + suffix, title, false, operation)) return false;
  return true;
}

void TMain::Mainmenu_CopyArchiveClick() {
  if (operationRunning_) return;
  try {
    const std::string archive = config_->currentArchive;
    if (!platform::FileExists(archive)) return;
    const std::string folder = PickTargetFolder("Copy the archive to");
    if (folder.empty()) return;
    const std::string wanted = platform::JoinPath(folder, platform::FileNamePart(archive));
    const std::vector<std::string> volumes = FurtherVolumeSuffixes(archive);
    if (volumes.empty()) {
      ShellFileOperation(archive, wanted, "Tamber 2.0 - Copy", true, platform::FileOperationKind::Copy);
      return;
    }
    // A set goes whole, under a name that is free for every volume.
    const std::string target = FreeSetName(wanted, volumes);
    if (ShellFileOperation(archive, target, "Tamber 2.0 - Copy", false, platform::FileOperationKind::Copy))
      CarryFurtherVolumes(archive, target, volumes, "Tamber 2.0 - Copy", platform::FileOperationKind::Copy);
  } catch (...) {
    services_.prompter.error("Error while copying archive !");
  }
}

void TMain::Mainmenu_MoveArchiveClick() {
  if (operationRunning_) return;
  try {
    const std::string old = config_->currentArchive;
    if (!platform::FileExists(old)) return;
    const std::string folder = PickTargetFolder("Move the archive to");
    if (folder.empty()) return;
    const std::string wanted = platform::JoinPath(folder, platform::FileNamePart(old));
    const std::vector<std::string> volumes = FurtherVolumeSuffixes(old);
    const std::string target = volumes.empty() ? wanted : FreeSetName(wanted, volumes);
    try {
      const bool existed = target != wanted || platform::FileExists(target);
      if (ShellFileOperation(old, target, "Tamber 2.0 - Move", volumes.empty(), platform::FileOperationKind::Move)) {
        // The window follows the first volume; a further one that could not follow has said so.
        CarryFurtherVolumes(old, target, volumes, "Tamber 2.0 - Move", platform::FileOperationKind::Move);
        if (existed) {
          CloseArchive();  // the file got another name
        } else {
          SetCurrentArchive(target);
          AddRecentAndRebuild(config_->currentArchive);
          RememberArchiveFolder(config_->currentArchive);
        }
      }
      RememberLastArchive(old);
    } catch (...) {
      services_.prompter.error("Error while moving archive !");
    }
  } catch (...) {
    services_.prompter.error("Uhhh, uhhh, cool !");
  }
}

void TMain::Mainmenu_RenameArchiveClick() {
  if (operationRunning_) return;
  try {
    const std::string old = config_->currentArchive;
    if (old.empty()) return;
    const std::string name = platform::FileNamePart(old);
    QInputDialog ask(this);
    ask.setObjectName("RenameArchiveDialog");
    ask.setWindowTitle("Tamber 2.2 - Rename Archive");
    ask.setLabelText(QString::fromStdString("Give new name for: \"" + name + "\""));
    ask.setTextValue(QString::fromStdString(name));
    ask.setInputMode(QInputDialog::TextInput);
    if (ask.exec() != QDialog::Accepted) return;
    const std::string answer = ask.textValue().toStdString();
    if (answer.empty() || platform::FileNamePart(answer).empty()) return;
    const std::string unquoted = platform::StripQuotes(answer);
    if (unquoted.empty()) return;
    std::string renamed = platform::FolderPart(old) + platform::FileNamePart(unquoted);
    if (platform::FileNamePart(renamed).empty()) return;
    if (platform::ExtensionPart(renamed).empty()) renamed += ".j";
    // The further volumes of a set take the new name too.
    const std::vector<std::string> volumes = FurtherVolumeSuffixes(old);
    std::vector<std::string> names{renamed};
    for (const std::string& suffix : volumes) names.push_back(renamed + suffix);
    for (const std::string& name : names) {
      if (platform::PathExists(name)) {
        services_.prompter.error("File: \"" + name + "\" already exists !");
        return;
      }
    }
    if (platform::FileExists(old)) {
      if (!ShellFileOperation(old, renamed, "Tamber 2.2 - Rename Archive", false, platform::FileOperationKind::Rename))
        return;
      CarryFurtherVolumes(old, renamed, volumes, "Tamber 2.2 - Rename Archive", platform::FileOperationKind::Rename);
      SetCurrentArchive(renamed);
      AddRecentAndRebuild(config_->currentArchive);
      RememberArchiveFolder(config_->currentArchive);
      RememberLastArchive(old);
    } else {
      SetCurrentArchive(renamed);
      RememberLastArchive(old);
    }
  } catch (...) {
    services_.prompter.error("And yet another error message");
  }
}

void TMain::Mainmenu_DeleteArchiveClick() {
  if (operationRunning_) return;
  try {
    const std::string archive = config_->currentArchive;
    if (!platform::FileExists(archive)) return;
    if (services_.prompter.ask(platform::BoxKind::Confirmation,
                               "Do you really want to remove archive: \"" + archive + "\" ?",
                               platform::ButtonYes | platform::ButtonNo) == platform::ButtonYes) {
      // To the desktop's trash, from where it can be put back; deleted for good only without one.
      // The further volumes of a set go with the first.
      const std::vector<std::string> volumes = FurtherVolumeSuffixes(archive);
      std::string reason;
      if (!platform::MoveToTrash(archive, reason) && !platform::DeleteFileNow(archive, reason)) {
        services_.prompter.error("Error while deleting the archive !");
        return;
      }
      for (const std::string& suffix : volumes) {
        const std::string volume = archive + suffix;
        if (!platform::MoveToTrash(volume, reason) && !platform::DeleteFileNow(volume, reason)) {
          services_.prompter.error("Error while deleting the archive !");
          break;
        }
      }
      CloseArchive();
    }
    RememberLastArchive(archive);
  } catch (...) {
    services_.prompter.error("Error while deleting archive !");
  }
}
